// Ctrl+C in the middle of larkspur-report's scan: during the walk and during
// the comparison of two large identical files. The report must exit as
// interrupted within a second and leave every file as it was. Its own
// program, apart from the report's other tests, so that the
// thread-sanitizer run takes it (and only it) through the hand-off between
// the signal, the UI thread and the worker.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

using testsupport::Snapshot;

// The moment the signal goes out.
enum class When {
    FirstStatus,  // the report's first status text: the scan is under way
    Comparing,    // the report holds both named files open
};

struct Interruption {
    long milliseconds = -1;  // from the signal to the exit; -1: no exit in 10 s
    int exitCode = -1;       // -1: killed by a signal or not run
    std::string terminal;    // what the report wrote to its terminal
};

// Whether process pid has every one of the paths open.
bool HoldsOpen(pid_t pid, const std::string& first, const std::string& second)
{
    bool sawFirst = false;
    bool sawSecond = false;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
    for (int fd = 0; fd < 64; ++fd) {
        char target[PATH_MAX];
        const ssize_t length =
            ::readlink((fds + std::to_string(fd)).c_str(), target, sizeof target - 1);
        if (length <= 0) continue;
        const std::string path(target, static_cast<std::size_t>(length));
        sawFirst = sawFirst || path == first;
        sawSecond = sawSecond || path == second;
    }
    return sawFirst && sawSecond;
}

// Starts the report on folder with standard error on a terminal, waits for
// the moment (Comparing: until it holds first and second open), sends
// SIGINT and waits up to 10 seconds for the exit.
Interruption InterruptReport(const std::string& folder, When when, const std::string& first,
                             const std::string& second)
{
    Interruption result;
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return result;
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    testsupport::StartedChild child({LARKSPUR_REPORT_PROGRAM, folder}, -1, terminal);
    if (terminal >= 0) ::close(terminal);
    if (terminal < 0 || !child.Started()) {
        ::close(master);
        return result;
    }

    // Reads what the report writes, waiting up to timeoutMs for some.
    char buffer[4096];
    const auto readSome = [&](int timeoutMs) {
        pollfd readable{master, POLLIN, 0};
        if (::poll(&readable, 1, timeoutMs) != 1) return false;
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) return false;
        result.terminal.append(buffer, static_cast<std::size_t>(got));
        return true;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (result.terminal.find("Scanning: ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline && readSome(10000)) {
    }
    // The worker opens the files without telling anyone: look at the
    // report's descriptors between reads of its output.
    while (when == When::Comparing && !HoldsOpen(child.Pid(), first, second) &&
           std::chrono::steady_clock::now() < deadline) {
        readSome(10);
    }

    const auto sent = std::chrono::steady_clock::now();
    child.Signal(SIGINT);
    const bool ended = child.WaitForExit(10000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - sent);
    child.Signal(SIGKILL);
    child.WaitForExit(-1);
    while (readSome(0)) {
    }
    ::close(master);
    if (ended) result.milliseconds = static_cast<long>(took.count());
    result.exitCode = child.ExitCode();
    return result;
}

// How long the report may take from the signal to its exit: a second.
// Built with the thread sanitizer, it also sleeps before it exits
// (atexit_sleep_ms, 1000 unless TSAN_OPTIONS says otherwise), so that races
// with threads still running then are caught; that sleep is allowed on top.
long ExitAllowanceMs()
{
    long allowance = 1000;
#if defined(__SANITIZE_THREAD__)
    long sleep = 1000;
    const char* options = std::getenv("TSAN_OPTIONS");
    const char* const key = "atexit_sleep_ms=";
    if (const char* found = options != nullptr ? std::strstr(options, key) : nullptr)
        sleep = std::atol(found + std::strlen(key));
    allowance += sleep;
#endif
    return allowance;
}

class ReportInterruptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeDir("top"));
        // Two large identical files: comparing them takes far longer than a
        // second, so the signal always comes while the scan runs.
        ASSERT_TRUE(testsupport::MakeHugeTwins(m_files, "top", 8ull << 30, 200));
    }

    TempTree m_files;
};

TEST_F(ReportInterruptTest, CtrlCAsTheScanBeginsOrDuringAComparisonEndsItWithinASecond)
{
    const std::string top = m_files.Path("top");
    // The report names the files it compares by their real paths.
    const std::string real = m_files.RealPath("top");
    const auto before = Snapshot(top);
    for (const When when : {When::FirstStatus, When::Comparing}) {
        SCOPED_TRACE(when == When::FirstStatus ? "as the scan begins" : "while comparing");
        const Interruption interruption =
            InterruptReport(top, when, real + "/huge1", real + "/huge2");
        ASSERT_GE(interruption.milliseconds, 0) << "no exit\n" << interruption.terminal;
        EXPECT_EQ(interruption.exitCode, 130) << interruption.terminal;
        EXPECT_LT(interruption.milliseconds, ExitAllowanceMs());
        std::printf("signal to exit: %ld ms\n", interruption.milliseconds);
        EXPECT_EQ(Snapshot(top), before);
    }
}

}  // namespace

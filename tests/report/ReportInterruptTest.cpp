// Ctrl+C in the middle of larkspur-report's scan, as it begins and while it
// compares two large identical files: it exits as interrupted within a
// second, prints no report, not even part of one, and changes no file.
#include <chrono>
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

// Whether process pid holds both paths open.
bool HoldsOpen(pid_t pid, const std::string& first, const std::string& second)
{
    int seen = 0;
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd/";
    for (int fd = 0; fd < 64; ++fd) {
        char target[PATH_MAX];
        const ssize_t length =
            ::readlink((fds + std::to_string(fd)).c_str(), target, sizeof target - 1);
        const std::string path(target, length > 0 ? static_cast<std::size_t>(length) : 0);
        seen |= (path == first ? 1 : 0) | (path == second ? 2 : 0);
    }
    return seen == 3;
}

TEST(ReportInterruptTest, CtrlCAsTheScanBeginsOrDuringAComparisonEndsItWithinASecond)
{
    TempTree files;
    // Comparing the twins takes far longer than a second, so the signal
    // always comes while the scan runs.
    ASSERT_TRUE(files.IsValid() && files.MakeDir("top") &&
                testsupport::MakeHugeTwins(files, "top", 8ull << 30, 200));
    const std::string top = files.Path("top");
    const std::string real = files.RealPath("top");  // the report opens files by these
    const auto before = testsupport::Snapshot(top);
    auto allowance = std::chrono::milliseconds(1000);
#if defined(__SANITIZE_THREAD__)
    allowance += std::chrono::milliseconds(1000);  // the sanitizer's sleep at exit
#endif
    for (const bool comparing : {false, true}) {
        SCOPED_TRACE(comparing ? "while comparing" : "as the scan begins");
        // Standard error on a terminal, where the report shows its status.
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
        const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        const std::string outPath = files.Path("out");
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        testsupport::StartedChild child({LARKSPUR_REPORT_PROGRAM, top}, out, terminal);
        ::close(terminal);
        ::close(out);
        ASSERT_TRUE(terminal >= 0 && out >= 0 && child.Started());

        std::string shown;
        const auto readSome = [&](int timeoutMs) {
            char buffer[4096];
            pollfd readable{master, POLLIN, 0};
            const ssize_t got =
                ::poll(&readable, 1, timeoutMs) == 1 ? ::read(master, buffer, sizeof buffer) : 0;
            if (got > 0) shown.append(buffer, static_cast<std::size_t>(got));
            return got > 0;
        };
        while (shown.find("Scanning: ") == std::string::npos && readSome(60000)) continue;
        // The worker opens the files without a word: look at its
        // descriptors between reads of its output.
        for (int i = 0;
             comparing && i < 6000 && !HoldsOpen(child.Pid(), real + "/huge1", real + "/huge2");
             ++i)
            readSome(10);

        const auto sent = std::chrono::steady_clock::now();
        child.Signal(SIGINT);
        const bool ended = child.WaitForExit(10000);
        const auto took = std::chrono::steady_clock::now() - sent;
        ::close(master);
        ASSERT_TRUE(ended) << shown;
        EXPECT_EQ(child.ExitCode(), 130) << shown;
        EXPECT_LT(took, allowance);
        EXPECT_EQ(testsupport::ReadWholeFile(outPath), "");
        EXPECT_EQ(testsupport::Snapshot(top), before);
    }
}

}  // namespace

// Closing the main window while a scan runs, and while the duplicate search
// compares two large identical files: the program (larkspur-window-driver,
// the real application offscreen) must exit within a second, with status
// 0, and leave every file as it was. Built with the address sanitizer, an
// exit that uses a freed record or leaks one fails here too.
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

using testsupport::Snapshot;

struct Closing {
    bool closed = false;     // the driver announced the close
    bool scanning = false;   // ... and the scan was running then
    long milliseconds = -1;  // from the close to the exit; -1: no exit in 10 s
    int exitCode = -1;       // -1: ended by a signal
    int signal = 0;          // the signal that ended it, if one did
    std::string errors;      // its standard error
};

// Runs the driver with arguments, waits for it to close the window and
// times the way from there to its exit.
Closing RunAndClose(std::vector<std::string> arguments)
{
    Closing result;
    const std::string errPath =
        std::string(std::getenv("TMPDIR")) + "/driver." + std::to_string(::getpid()) + ".err";
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return result;
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    arguments.insert(arguments.begin(), LARKSPUR_WINDOW_DRIVER);
    testsupport::StartedChild child(arguments, output[1], err);
    ::close(output[1]);
    if (err >= 0) ::close(err);

    std::string seen;
    char buffer[256];
    pollfd readable{output[0], POLLIN, 0};
    while (child.Started() && seen.find('\n') == std::string::npos &&
           ::poll(&readable, 1, 60000) == 1) {
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    result.closed = seen.rfind("closing ", 0) == 0 && seen.find('\n') != std::string::npos;
    result.scanning = seen.rfind("closing while scanning\n", 0) == 0;
    const auto closedAt = std::chrono::steady_clock::now();
    const bool ended = result.closed && child.WaitForExit(10000);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - closedAt);
    if (ended) result.milliseconds = static_cast<long>(took.count());
    child.Signal(SIGKILL);
    child.WaitForExit(-1);
    // Open until the exit: a write after the close announcement must not
    // end the driver by a broken pipe.
    ::close(output[0]);
    result.exitCode = child.ExitCode();
    result.signal = child.TermSignal();
    result.errors = testsupport::ReadWholeFile(errPath);
    ::unlink(errPath.c_str());
    return result;
}

class WindowShutdownTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeDir("top"));
    }
    std::string Top() const { return m_files.Path("top"); }
    static void ExpectCleanExitWithinASecond(const Closing& closing)
    {
        ASSERT_TRUE(closing.closed) << closing.errors;
        EXPECT_TRUE(closing.scanning) << "the scan had ended before the close";
        ASSERT_GE(closing.milliseconds, 0) << "no exit within 10 s\n" << closing.errors;
        EXPECT_EQ(closing.exitCode, 0) << "signal " << closing.signal << "\n" << closing.errors;
        EXPECT_LT(closing.milliseconds, 1000);
        std::printf("closed to exit: %ld ms\n", closing.milliseconds);
    }

    TempTree m_files;
};

TEST_F(WindowShutdownTest, ClosingTheWindowAnywhereInTheWalkEndsTheProgramWithinASecond)
{
    // 20 folders of 20 folders each, every folder with two copies of a
    // small file: the walk goes on for hundreds of status texts, and every
    // folder's duplicate search compares.
    for (int i = 0; i < 20; ++i) {
        const std::string outer = "top/o" + std::to_string(i);
        ASSERT_TRUE(m_files.MakeDir(outer));
        for (int j = 0; j < 20; ++j) {
            const std::string inner = outer + "/i" + std::to_string(j);
            ASSERT_TRUE(m_files.MakeDir(inner));
            const std::string contents(100 + j, static_cast<char>('a' + i));
            ASSERT_TRUE(m_files.MakeFile(inner + "/one", contents));
            ASSERT_TRUE(m_files.MakeFile(inner + "/two", contents));
        }
    }
    const auto before = Snapshot(Top());
    // The close comes after this many status texts.
    for (const char* changes : {"1", "3", "40", "150"}) {
        SCOPED_TRACE(std::string("after status texts: ") + changes);
        ExpectCleanExitWithinASecond(RunAndClose({"scanning", Top(), changes}));
    }
    EXPECT_EQ(Snapshot(Top()), before);
}

TEST_F(WindowShutdownTest, ClosingTheWindowMidComparisonEndsTheProgramWithinASecond)
{
    // Comparing the two large identical files takes seconds, so the close
    // always comes while the scan runs.
    ASSERT_TRUE(testsupport::MakeHugeTwins(m_files, "top", 8ull << 30, 200));
    const auto before = Snapshot(Top());
    ExpectCleanExitWithinASecond(
        RunAndClose({"comparing", Top(), Top() + "/huge1", Top() + "/huge2"}));
    EXPECT_EQ(Snapshot(Top()), before);
}

}  // namespace

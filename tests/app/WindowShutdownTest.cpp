// The real application (larkspur-window-driver) closed by its window in the
// middle of a scan, and while the duplicate search compares two large
// identical files: it must exit within a second, with status 0, and leave
// every file as it was. Built with the address sanitizer, an exit that uses
// a freed record or leaks one fails here too.
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
    std::string announced;   // the driver's line before the close
    long milliseconds = -1;  // from the close to the exit; -1: no exit in 10 s
    int exitCode = -1;       // -1: ended by a signal
    std::string errors;      // its standard error
};

// Runs the driver with arguments (after prefix), waits for it to close the
// window and times the way from there to its exit.
Closing RunAndClose(std::vector<std::string> arguments, std::vector<std::string> prefix = {})
{
    Closing result;
    const std::string errPath =
        std::string(std::getenv("TMPDIR")) + "/driver." + std::to_string(::getpid()) + ".err";
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return result;
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    prefix.push_back(LARKSPUR_WINDOW_DRIVER);
    arguments.insert(arguments.begin(), prefix.begin(), prefix.end());
    testsupport::StartedChild child(arguments, output[1], err);
    ::close(output[1]);
    if (err >= 0) ::close(err);

    char buffer[256];
    pollfd readable{output[0], POLLIN, 0};
    while (child.Started() && result.announced.find('\n') == std::string::npos &&
           ::poll(&readable, 1, 180000) == 1) {
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        result.announced.append(buffer, static_cast<std::size_t>(got));
    }
    const auto closedAt = std::chrono::steady_clock::now();
    if (result.announced.find('\n') != std::string::npos && child.WaitForExit(10000))
        result.milliseconds =
            static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - closedAt)
                                  .count());
    child.Signal(SIGKILL);
    child.WaitForExit(-1);
    // Open until the exit: a write after the announcement must not end the
    // driver by a broken pipe.
    ::close(output[0]);
    result.exitCode = child.ExitCode();
    result.errors = testsupport::ReadWholeFile(errPath);
    ::unlink(errPath.c_str());
    return result;
}

void ExpectCleanExitWithinASecond(const Closing& closing, const char* announced)
{
    EXPECT_EQ(closing.announced, announced) << closing.errors;
    ASSERT_GE(closing.milliseconds, 0) << "no exit within 10 s\n" << closing.errors;
    EXPECT_EQ(closing.exitCode, 0) << closing.errors;
    EXPECT_LT(closing.milliseconds, 1000);
}

TEST(WindowShutdownTest, ClosingTheWindowAnywhereInTheWalkEndsTheProgramWithinASecond)
{
    // 20 folders of 20 folders each, every folder with two copies of a
    // small file: the walk goes on for hundreds of status texts, and every
    // folder's duplicate search compares.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    for (int i = 0; i < 20; ++i) {
        const std::string outer = "top/o" + std::to_string(i);
        ASSERT_TRUE(files.MakeDir(outer));
        for (int j = 0; j < 20; ++j) {
            const std::string inner = outer + "/i" + std::to_string(j);
            const std::string contents(100 + j, static_cast<char>('a' + i));
            ASSERT_TRUE(files.MakeDir(inner));
            ASSERT_TRUE(files.MakeFile(inner + "/one", contents));
            ASSERT_TRUE(files.MakeFile(inner + "/two", contents));
        }
    }
    const std::string top = files.Path("top");
    const auto before = Snapshot(top);
    // The close comes after this many status texts.
    for (const char* changes : {"1", "3", "40", "150"}) {
        SCOPED_TRACE(std::string("after status texts: ") + changes);
        ExpectCleanExitWithinASecond(RunAndClose({top, changes}), "closing while scanning\n");
    }
    EXPECT_EQ(Snapshot(top), before);
}

TEST(WindowShutdownTest, ClosingTheWindowMidComparisonEndsTheProgramWithinASecond)
{
    // Comparing the two large identical files takes seconds, so the close
    // always comes while the scan runs.
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    ASSERT_TRUE(testsupport::MakeHugeTwins(files, "top", 8ull << 30, 200));
    const std::string top = files.Path("top");
    const auto before = Snapshot(top);
    ExpectCleanExitWithinASecond(RunAndClose({top, top + "/huge1", top + "/huge2"}),
                                 "closing while scanning\n");
    EXPECT_EQ(Snapshot(top), before);
}

// Root, as which the tests run here, reads everything: the window meets
// unreadable folders and files only when the program runs as nobody.
TEST(WindowShutdownTest, AnUnprivilegedUserScansUnreadablePartsToTheEndAndExitsCleanly)
{
    TempTree files;
    ASSERT_TRUE(files.MakeDir("top"));
    ASSERT_TRUE(testsupport::MakeUnreadableParts(files, "top"));
    const std::string top = files.RealPath("top");
    const auto before = Snapshot(top);
    {
        const testsupport::AsUnprivileged unprivileged(top);
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the program as nobody";
        ExpectCleanExitWithinASecond(RunAndClose({top, "1000000"}, unprivileged.Prefix()),
                                     "closing after the scan\n");
    }
    EXPECT_EQ(Snapshot(top), before);
}

}  // namespace

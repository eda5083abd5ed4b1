// Closing the main window while a scan runs, and while the duplicate search
// compares two large identical files: the program (larkspur-window-driver,
// the real application offscreen) must exit within a second, with status
// 0, and leave every file as it was. Built with the address sanitizer, an
// exit that uses a freed record or leaks one fails here too.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/HostileTree.h"
#include "support/TempTree.h"

extern char** environ;

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

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the driver with arguments, waits for it to close the window and
// times the way from there to its exit.
Closing RunAndClose(std::vector<std::string> arguments)
{
    Closing result;
    const std::string errPath =
        std::string(std::getenv("TMPDIR")) + "/driver." + std::to_string(::getpid()) + ".err";
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return result;
    arguments.insert(arguments.begin(), LARKSPUR_WINDOW_DRIVER);
    std::vector<char*> argv;
    for (std::string& word : arguments) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t child = -1;
    const int failed = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    if (failed != 0) {
        ::close(output[0]);
        return result;
    }
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));

    std::string seen;
    char buffer[256];
    pollfd readable{output[0], POLLIN, 0};
    while (seen.find('\n') == std::string::npos && ::poll(&readable, 1, 60000) == 1) {
        const ssize_t got = ::read(output[0], buffer, sizeof buffer);
        if (got <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    result.closed = seen.rfind("closing ", 0) == 0 && seen.find('\n') != std::string::npos;
    result.scanning = seen.rfind("closing while scanning\n", 0) == 0;
    const auto closedAt = std::chrono::steady_clock::now();
    pollfd exited{pidFd, POLLIN, 0};
    const bool ended = result.closed && pidFd >= 0 && ::poll(&exited, 1, 10000) == 1;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - closedAt);
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (pidFd >= 0) ::close(pidFd);
    ::close(output[0]);
    if (ended) result.milliseconds = static_cast<long>(took.count());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.errors = ReadWhole(errPath);
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

// larkspur-report on trees that try to break a scan: special files, loops,
// unreadable parts, great depths and lengths, odd names, a crowded folder,
// files that change while the scan runs, and Ctrl+C in the middle. Every
// run must end, report what was there and leave every file as it was.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempTree.h"
#include "report/ReportRunner.h"

extern char** environ;

namespace {

using reporttest::ExpectedFolderLines;
using reporttest::LinesStartingWith;
using reporttest::RunReport;
using reporttest::Snapshot;

class ReportHardeningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeDir("top"));
    }
    std::string Top() const { return m_files.Path("top"); }
    // Runs the full report and checks that it ends well, matches the files
    // and changed nothing.
    void ExpectFaithfulReport(const std::vector<std::string>& prefix = {},
                              bool (*visible)(const std::string&) = nullptr)
    {
        const auto before = Snapshot(Top());
        const auto outcome = RunReport({Top()}, {}, prefix);
        ASSERT_FALSE(outcome.timedOut);
        ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"),
                  ExpectedFolderLines(Top(), Top(), visible));
        EXPECT_EQ(Snapshot(Top()), before);
    }

    TempTree m_files;
};

TEST_F(ReportHardeningTest, SpecialFilesAndLinkLoopsAreCountedNeverOpened)
{
    ASSERT_TRUE(m_files.MakeDir("top/a"));
    ASSERT_TRUE(m_files.MakeDir("top/a/b"));
    ASSERT_TRUE(m_files.MakeFifo("top/a/fifo"));
    ASSERT_TRUE(m_files.MakeSocket("top/a/socket"));
    ASSERT_TRUE(m_files.MakeSymlink("top/a/b/loop", "../.."));
    ASSERT_TRUE(m_files.MakeSymlink("top/self", "self"));
    ASSERT_TRUE(m_files.MakeSymlink("top/a/ping", "pong"));
    ASSERT_TRUE(m_files.MakeSymlink("top/a/pong", "ping"));
    ASSERT_TRUE(m_files.MakeFile("top/a/b/data", "some data"));
    ASSERT_TRUE(m_files.MakeFile("top/a/data", "some data"));
    // A device node needs privilege; where it cannot be made the rest runs.
    ::mknod(m_files.Path("top/a/null").c_str(), S_IFCHR | 0666, makedev(1, 3));

    ExpectFaithfulReport();
}

// Whether the report's user may list folder: as root the report runs as
// nobody, who may list what others may read and pass.
bool Listable(const std::string& folder)
{
    if (::geteuid() != 0) return ::access(folder.c_str(), R_OK | X_OK) == 0;
    struct stat status {};
    return ::stat(folder.c_str(), &status) == 0 && (status.st_mode & S_IROTH) != 0 &&
           (status.st_mode & S_IXOTH) != 0;
}

TEST_F(ReportHardeningTest, UnreadableFoldersAndFilesCountAsWhatCanBeSeen)
{
    // Root reads everything: run the report as nobody instead, which needs
    // the scratch folders above the tree to let others pass.
    std::vector<std::string> prefix;
    std::vector<std::pair<std::string, mode_t>> opened;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "no setpriv";
        prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
        for (std::string path = Top(); path.size() > 1; path = path.substr(0, path.rfind('/'))) {
            struct stat status {};
            ASSERT_EQ(::stat(path.c_str(), &status), 0);
            if ((status.st_mode & 0005) != 0005) {
                opened.push_back({path, status.st_mode & 07777});
                ASSERT_EQ(::chmod(path.c_str(), (status.st_mode & 07777) | 0005), 0);
            }
        }
    }
    ASSERT_TRUE(m_files.MakeDir("top/open"));
    ASSERT_TRUE(m_files.MakeDir("top/closed"));
    ASSERT_TRUE(m_files.MakeDir("top/closed/inner"));
    ASSERT_TRUE(m_files.MakeDir("top/passonly"));
    ASSERT_TRUE(m_files.MakeFile("top/closed/hidden", std::string(4000, 'h')));
    ASSERT_TRUE(m_files.MakeFile("top/open/copy", std::string(3000, 'c')));
    ASSERT_TRUE(m_files.MakeFile("top/open/secret copy", std::string(3000, 'c')));
    ASSERT_TRUE(m_files.MakeFile("top/copy", std::string(3000, 'c')));
    ASSERT_TRUE(m_files.MakeFile("top/passonly/f", "xyz"));
    ASSERT_EQ(::chmod(m_files.Path("top/open/secret copy").c_str(), 0), 0);
    ASSERT_EQ(::chmod(m_files.Path("top/closed").c_str(), 0), 0);
    ASSERT_EQ(::chmod(m_files.Path("top/passonly").c_str(), 0711), 0);

    const auto before = Snapshot(Top());
    const auto outcome = RunReport({Top()}, {}, prefix);
    for (auto it = opened.rbegin(); it != opened.rend(); ++it)
        ::chmod(it->first.c_str(), it->second);
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"),
              ExpectedFolderLines(Top(), Top(), Listable));
    // The file nobody may read is no copy of anything.
    EXPECT_EQ(
        LinesStartingWith(outcome.out, "copy\t"),
        (std::vector<std::string>{"copy\t" + Top() + "/copy", "copy\t" + Top() + "/open/copy"}));
    EXPECT_EQ(Snapshot(Top()), before);
}

TEST_F(ReportHardeningTest, DeepTreesAndPathsNearTheLimitAreWalkedToTheBottom)
{
    std::string deep = "top/deep";
    ASSERT_TRUE(m_files.MakeDir(deep));
    for (int level = 0; level < 300; ++level) {
        deep += "/d";
        ASSERT_TRUE(m_files.MakeDir(deep));
    }
    ASSERT_TRUE(m_files.MakeFile(deep + "/bottom", std::string(1234, 'b')));

    // Names of 200 bytes until the full path is a little short of PATH_MAX.
    std::string lengthy = "top/long";
    ASSERT_TRUE(m_files.MakeDir(lengthy));
    const std::string name(200, 'n');
    while (m_files.Path(lengthy).size() + 1 + name.size() + 40 < PATH_MAX) {
        lengthy += "/" + name;
        ASSERT_TRUE(m_files.MakeDir(lengthy));
    }
    const std::string tail(PATH_MAX - 2 - m_files.Path(lengthy).size() - 1, 't');
    ASSERT_TRUE(m_files.MakeFile(lengthy + "/" + tail, "at the limit"));
    ASSERT_TRUE(m_files.MakeFile(lengthy + "/twin", "at the limit"));

    ExpectFaithfulReport();
    const auto outcome = RunReport({Top()});
    EXPECT_EQ(LinesStartingWith(outcome.out, "copy\t").size(), 2u);
}

TEST_F(ReportHardeningTest, AFolderOfManyFilesIsCountedWhole)
{
    ASSERT_TRUE(m_files.MakeDir("top/crowd"));
    for (int i = 0; i < 100000; ++i) {
        ASSERT_TRUE(m_files.MakeFile("top/crowd/f" + std::to_string(i),
                                     i % 1000 == 0 ? std::string(i / 1000 % 7 + 1, 'x') : ""));
    }
    const auto outcome = RunReport({"--size-only", Top()});
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, ""), ExpectedFolderLines(Top(), Top()));
}

// Makes and removes folders and files, and rewrites a file that has a twin
// (same size, same head) so that it changes while it is compared, until
// told to stop.
class Churn {
public:
    explicit Churn(const TempTree& files) : m_files(files)
    {
        m_thread = std::thread([this] { Loop(); });
    }
    ~Churn()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    void Loop()
    {
        const std::string head(8192, 'h');
        for (unsigned round = 0; !m_stop; ++round) {
            const std::string folder = "top/churn/r" + std::to_string(round % 8);
            if (m_files.MakeDir(folder)) {
                m_files.MakeFile(folder + "/f", std::string(round % 5000, 'c'));
            } else {
                ::unlink(m_files.Path(folder + "/f").c_str());
                ::rmdir(m_files.Path(folder).c_str());
            }
            std::string body = head + std::string(1 << 20, static_cast<char>('a' + round % 2));
            m_files.MakeFile("top/churn/rewritten", body);
        }
    }

    const TempTree& m_files;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_F(ReportHardeningTest, FilesChangingDuringTheScanNeitherStopNorFoolIt)
{
    ASSERT_TRUE(m_files.MakeDir("top/stable"));
    ASSERT_TRUE(m_files.MakeDir("top/churn"));
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(m_files.MakeDir("top/stable/s" + std::to_string(i)));
        ASSERT_TRUE(
            m_files.MakeFile("top/stable/s" + std::to_string(i) + "/f", std::string(100 + i, 's')));
    }
    const std::string head(8192, 'h');
    ASSERT_TRUE(m_files.MakeFile("top/churn/twin", head + std::string(1 << 20, 'a')));
    const auto before = Snapshot(m_files.Path("top/stable"));
    reporttest::Outcome outcome;
    {
        Churn churn(m_files);
        outcome = RunReport({Top()});
    }
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const auto expected = ExpectedFolderLines(m_files.Path("top/stable"), Top() + "/stable");
    const auto lines = LinesStartingWith(outcome.out, "folder\t");
    for (const std::string& line : expected) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    EXPECT_EQ(Snapshot(m_files.Path("top/stable")), before);
}

// Starts the report with standard error on a terminal, waits for its first
// status text (the scan is under way), sends SIGINT and answers how many
// milliseconds it took to exit, or -1 when it did not exit in 10 seconds or
// exited otherwise than as interrupted.
long InterruptMidScan(const std::string& folder)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return -1;
    const std::string terminal = ::ptsname(master);
    std::string program = LARKSPUR_REPORT_PROGRAM;
    std::string path = folder;
    char* argv[] = {program.data(), path.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, terminal.c_str(), O_RDWR | O_NOCTTY, 0);
    pid_t child = -1;
    const int failed = ::posix_spawn(&child, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return -1;

    std::string seen;
    char buffer[4096];
    pollfd readable{master, POLLIN, 0};
    while (seen.find("Scanning: ") == std::string::npos && ::poll(&readable, 1, 10000) == 1) {
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(got));
    }
    const auto sent = std::chrono::steady_clock::now();
    ::kill(child, SIGINT);
    const int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
    pollfd exited{pidFd, POLLIN, 0};
    const bool ended = pidFd >= 0 && ::poll(&exited, 1, 10000) == 1;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - sent);
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (pidFd >= 0) ::close(pidFd);
    ::close(master);
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 130) return -1;
    return static_cast<long>(took.count());
}

TEST_F(ReportHardeningTest, CtrlCEndsTheScanWithinASecond)
{
    // Two large identical files: comparing them takes far longer than a
    // second, so the signal comes while the walk or the comparison runs.
    ASSERT_TRUE(m_files.MakeSparseFile("top/huge1", 8ull << 30));
    ASSERT_TRUE(m_files.MakeSparseFile("top/huge2", 8ull << 30));
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(m_files.MakeDir("top/d" + std::to_string(i)));
        ASSERT_TRUE(m_files.MakeFile("top/d" + std::to_string(i) + "/f", "x"));
    }
    const auto before = Snapshot(Top());
    const long milliseconds = InterruptMidScan(Top());
    ASSERT_GE(milliseconds, 0) << "the report did not exit as interrupted";
    EXPECT_LT(milliseconds, 1000);
    EXPECT_EQ(Snapshot(Top()), before);
}

}  // namespace

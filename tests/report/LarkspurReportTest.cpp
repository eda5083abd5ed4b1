// larkspur-report as a user runs it, over one scratch tree that holds every
// shape that tries to break a scan; each run's whole output is compared with
// what the files say it must be (ExpectedReport). Ctrl+C: ReportInterruptTest.
#include <algorithm>
#include <atomic>
#include <climits>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/ReportEscaping.h"
#include "support/TempTree.h"

namespace {

// The whole output for root's subtree as the files stand, shownRoot standing
// for root in the paths, with the duplicate groups unless sizeOnly. What the
// program's user may not read (AsUnprivileged::Listable) is not seen.
std::string ExpectedReport(const std::string& root, const std::string& shownRoot, bool sizeOnly)
{
    using testsupport::ReportEscaped;
    std::vector<testsupport::FoundFile> files;
    const auto shown = [&](const std::string& relative) {
        return relative.empty() ? shownRoot : shownRoot + "/" + relative;
    };
    // Byte order of the printed paths, which is not the map's order of
    // relative paths ('/' sorts before other bytes in a path, not in a name).
    std::map<std::string, std::string> folders;
    for (const auto& [relative, totals] :
         testsupport::FolderTotalsOnDisk(root, testsupport::AsUnprivileged::Listable, &files)) {
        folders[shown(relative)] = "folder\t" + std::to_string(totals.diskSpace) + "\t" +
                                   std::to_string(totals.size) + "\t" +
                                   ReportEscaped(shown(relative)) + "\n";
    }
    std::string out;
    for (const auto& [path, line] : folders) out += line;
    if (sizeOnly) return out;

    // Copies: files of equal bytes, one link of each file (the tree holds no
    // link to a file that has copies, whose other links would each start
    // a group of their own in the order the folders list them).
    std::set<std::pair<dev_t, ino_t>> seen;
    std::erase_if(files, [&](const auto& file) {
        return !seen.insert({file.device, file.inode}).second;
    });
    std::map<long long, int> ofSize;  // only sizes that two files share are read
    for (const testsupport::FoundFile& file : files) ++ofSize[file.size];
    std::map<std::string, std::vector<std::string>> byContents;
    for (const testsupport::FoundFile& file : files) {
        if (ofSize[file.size] < 2) continue;
        const std::string bytes = testsupport::ReadWholeFile(root + "/" + file.relative);
        byContents[bytes].push_back(shown(file.relative));
    }
    // Largest first, then by the first copy's path.
    std::map<std::pair<long long, std::string>, std::vector<std::string>> groups;
    for (auto& [bytes, copies] : byContents) {
        std::sort(copies.begin(), copies.end());
        const auto size = static_cast<long long>(bytes.size());
        if (copies.size() > 1) groups[{-size, copies.front()}] = copies;
    }
    for (const auto& [key, copies] : groups) {
        out += "group\t" + std::to_string(-key.first) + "\t" + std::to_string(copies.size()) + "\n";
        for (const std::string& copy : copies) out += "copy\t" + ReportEscaped(copy) + "\n";
    }
    return out;
}

// text without the lines that hold part.
std::string Without(const std::string& text, const std::string& part)
{
    std::string kept;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(part) == std::string::npos) kept += line + "\n";
    return kept;
}

class LarkspurReportTest : public ::testing::Test {
protected:
    void SetUp() override;
    // Runs the built program as nobody with arguments in workingDir (empty: ours).
    testsupport::ChildOutcome RunReport(const std::vector<std::string>& arguments,
                                        const std::string& workingDir = {}) const
    {
        std::vector<std::string> words = m_nobody.Prefix();
        words.push_back(LARKSPUR_REPORT_PROGRAM);
        words.insert(words.end(), arguments.begin(), arguments.end());
        return testsupport::RunChild(words, workingDir);
    }
    TempTree m_files;
    // Root, as which the tests run here, reads everything: the report runs
    // as nobody.
    const testsupport::AsUnprivileged m_nobody{m_files.Root()};
};

void LarkspurReportTest::SetUp()
{
    if (!m_nobody.Usable()) GTEST_SKIP() << "cannot run the report as nobody";
    const std::string big(20000, 'B');
    std::string nearBig = big;
    nearBig.back() = 'x';  // same size and head, differs at the end
    // Kinds: d folder, f file, z sparse file (of length), h hard link (to),
    // l symbolic link (to), p FIFO, s socket, c device, m mode (octal).
    // Missing folders above an entry are made first.
    const struct {
        char kind;
        std::string path, data = {};
    } entries[] = {
        // clang-format off
        {'d', "top/empty"}, {'d', "top/churn"}, {'d', "top/deep"}, {'d', "top/long"},
        {'f', "top/root.txt", std::string(10, 'r')}, {'f', "top/a/one", std::string(100, '1')},
        {'h', "top/a/link", "top/a/one"}, {'f', "top/b/c/d/three", std::string(70000, '3')},
        {'f', "top/B/.hidden", "hhh"}, {'f', "top/a.x/empty", ""}, {'f', "top/b/empty", ""},
        {'z', "top/b/sparse", "1073741824"}, {'l', "top/b/c/up", ".."}, {'f', "top/b/c/big", big},
        {'f', "top/a/big copy", big}, {'f', "top/B/Big", big}, {'f', "top/b/near", nearBig},
        {'f', "top/small1", "same small contents"}, {'f', "top/b/small2", "same small contents"},
        {'f', "top/-dash/f", "12345"}, {'f', "top/-dash/g", "12345"},
        // Special files and loops, never to be opened.
        {'p', "top/s/fifo"}, {'s', "top/s/socket"}, {'c', "top/s/null"},
        {'l', "top/s/b/loop", "../.."}, {'l', "top/self", "self"}, {'l', "top/s/ping", "pong"},
        {'l', "top/s/pong", "ping"}, {'f', "top/s/data", "some data"},
        {'f', "top/s/b/data", "some data"},
        // Names that are not text.
        {'f', "top/odd\\name\twith\nnewline/copy\n1", "twins"},
        {'f', "top/caf\xe9/\xff\xfe", "twins"}, {'f', "top/\xe9\n\t", "twins"},
        {'f', "top/line\n/\xc3(", std::string(5000, 'x')},
        {'f', "top/\xff\xfe folder/a\\b", std::string(5000, 'x')},
        // Unreadable: a folder, one that only lets pass, one that only lets
        // read its names, a copy.
        {'f', "top/closed/inner/hidden", std::string(4000, 'h')}, {'f', "top/namesonly/f", "xyz"},
        {'m', "top/namesonly", "744"}, {'f', "top/open/copy", std::string(3000, 'c')},
        {'f', "top/copy", std::string(3000, 'c')}, {'f', "top/passonly/f", "xyz"},
        {'f', "top/open/secret copy", std::string(3000, 'c')}, {'m', "top/open/secret copy", "0"},
        {'m', "top/closed", "0"}, {'m', "top/passonly", "711"},
        // clang-format on
    };
    for (const auto& e : entries) {
        for (auto slash = e.path.find('/'); slash != std::string::npos;
             slash = e.path.find('/', slash + 1))
            m_files.MakeDir(e.path.substr(0, slash));
        const std::string path = m_files.Path(e.path);
        // A device node needs privilege; without it the rest runs.
        const bool made = e.kind == 'd'   ? m_files.MakeDir(e.path)
                          : e.kind == 'f' ? m_files.MakeFile(e.path, e.data)
                          : e.kind == 'z' ? m_files.MakeSparseFile(e.path, std::stoull(e.data))
                          : e.kind == 'h' ? m_files.MakeHardLink(e.path, e.data)
                          : e.kind == 'l' ? m_files.MakeSymlink(e.path, e.data)
                          : e.kind == 'p' ? m_files.MakeFifo(e.path)
                          : e.kind == 's' ? m_files.MakeSocket(e.path)
                          : e.kind == 'c'
                              ? (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)), true)
                              : ::chmod(path.c_str(), std::stoi(e.data, nullptr, 8)) == 0;
        ASSERT_TRUE(made) << e.path;
    }
    std::string deep = "top/deep";
    for (int level = 0; level < 300; ++level) ASSERT_TRUE(m_files.MakeDir(deep += "/d"));
    ASSERT_TRUE(m_files.MakeFile(deep + "/bottom", std::string(1234, 'b')));
    // Names of 200 bytes down to a file whose path is one byte short of the
    // limit, and its twin.
    std::string lengthy = "top/long";
    const std::string name(200, 'n');
    while (m_files.Path(lengthy).size() + 1 + name.size() + 40 < PATH_MAX)
        ASSERT_TRUE(m_files.MakeDir(lengthy += "/" + name));
    const std::string tail(PATH_MAX - 2 - m_files.Path(lengthy).size() - 1, 't');
    ASSERT_TRUE(m_files.MakeFile(lengthy + "/" + tail, "at the limit") &&
                m_files.MakeFile(lengthy + "/twin", "at the limit"));
}

TEST_F(LarkspurReportTest, PrintsWhatTheFilesSayForEveryShapeOfTree)
{
    const std::string top = m_files.Path("top");
    const auto before = testsupport::Snapshot(top);
    const struct {
        std::vector<std::string> arguments;
        std::string workingDir, folder, shown;
        bool vanishing;  // folders below top/churn come and go meanwhile
    } runs[] = {
        {{top}, "", top, top, false},
        {{"--size-only", top + "//"}, "", top, top, false},
        {{"--size-only", "top/"}, m_files.Root(), top, "top", false},
        // A path that looks like an option, after the marker.
        {{"--", "-dash"}, top, top + "/-dash", "-dash", false},
        {{top}, "", top, top, true},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.arguments.back() + (run.vanishing ? " with vanishing folders" : ""));
        std::atomic<bool> stop{false};
        std::thread churn([&] {
            const std::string gone = m_files.Path("top/churn/gone");
            while (run.vanishing && !stop) {
                m_files.MakeDir("top/churn/gone");
                m_files.MakeDir("top/churn/gone/inner");
                m_files.MakeFile("top/churn/gone/inner/empty");
                ::unlink((gone + "/inner/empty").c_str());
                ::rmdir((gone + "/inner").c_str());
                ::rmdir(gone.c_str());
            }
        });
        const auto outcome = RunReport(run.arguments, run.workingDir);
        stop = true;
        churn.join();
        ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        const bool sizeOnly = run.arguments.front() == "--size-only";
        // The vanishing folders hold only empty files: no total above them changes.
        EXPECT_EQ(Without(outcome.out, "/churn/"),
                  Without(ExpectedReport(run.folder, run.shown, sizeOnly), "/churn/"));
        if (!run.vanishing) {
            EXPECT_EQ(testsupport::Snapshot(top), before);
        }
    }
}

TEST_F(LarkspurReportTest, AnswersBadArgumentsWithStatusTwoAndOneLineAndHelpWithTheUsage)
{
    const std::string top = m_files.Path("top");
    const std::vector<std::vector<std::string>> bad{
        {},   {"--bogus", top},  {top, top}, {top + "/missing"}, {top + "/root.txt"},
        {""}, {top + "/closed"},
    };
    for (const auto& arguments : bad) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments.back());
        const auto outcome = RunReport(arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_EQ(outcome.out, "");
        EXPECT_TRUE(!outcome.err.empty() && outcome.err.find('\n') == outcome.err.size() - 1)
            << outcome.err;
    }
    const auto help = RunReport({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: larkspur-report [--size-only] [--] PATH\n", 0), 0u);
}

}  // namespace

// larkspur-report as a user runs it: the lines it prints for scratch trees,
// checked against the files, how it answers bad arguments, and trees that
// try to break it (unreadable parts, great depths and path lengths). The
// other hostile trees go through the same scan in the window's hardening
// test; Ctrl+C in the middle: ReportInterruptTest.
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "report/ReportRunner.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

using reporttest::ExpectedFolderLines;
using reporttest::LinesStartingWith;
using reporttest::RunReport;
using testsupport::Snapshot;

class LarkspurReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeDir("top"));
    }
    std::string Top() const { return m_files.Path("top"); }
    bool Dirs(std::initializer_list<const char*> folders) const
    {
        for (const char* folder : folders) {
            if (!m_files.MakeDir(std::string("top/") + folder)) return false;
        }
        return true;
    }
    bool File(const std::string& relative, const std::string& contents) const
    {
        return m_files.MakeFile("top/" + relative, contents);
    }

    TempTree m_files;
};

TEST_F(LarkspurReportTest, PrintsEveryFolderWithItsSubtreeTotalsInByteOrder)
{
    ASSERT_TRUE(Dirs({"a", "B", "b", "b/c", "b/c/d", "empty", "a.x"}));
    ASSERT_TRUE(File("root.txt", std::string(10, 'r')));
    ASSERT_TRUE(File("a/one", std::string(100, '1')));
    ASSERT_TRUE(File("b/c/two", std::string(5000, '2')));
    ASSERT_TRUE(File("b/c/d/three", std::string(70000, '3')));
    ASSERT_TRUE(File("B/.hidden", std::string(3, 'h')));
    ASSERT_TRUE(File("a.x/empty", ""));
    ASSERT_TRUE(m_files.MakeSparseFile("top/b/sparse", 1 << 30));
    ASSERT_TRUE(m_files.MakeHardLink("top/a/link", "top/a/one"));
    ASSERT_TRUE(m_files.MakeSymlink("top/b/c/up", ".."));

    const auto outcome = RunReport({"--size-only", Top()});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(LinesStartingWith(outcome.out, ""), ExpectedFolderLines(Top(), Top()));
    // The expectation above is worked out the same way for every folder;
    // pin the plain sums once by hand.
    const auto lines = LinesStartingWith(outcome.out, "folder\t");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(
        lines.front().find("\t" + std::to_string(10 + 200 + 5000 + 70000 + 3 + (1 << 30) + 2) +
                           "\t" + Top()),
        std::string::npos)
        << lines.front();
}

TEST_F(LarkspurReportTest, PrintsThePathAsGivenWithoutTrailingSeparators)
{
    ASSERT_TRUE(Dirs({"sub"}) && File("sub/f", "abc"));
    ASSERT_TRUE(m_files.MakeDir("-dash") && m_files.MakeFile("-dash/f", "12345"));
    const struct {
        std::vector<std::string> arguments;
        std::string workingDir;
        std::string root;
        std::string shownRoot;
    } cases[] = {
        {{"--size-only", Top() + "//"}, {}, Top(), Top()},
        {{"--size-only", "top/"}, m_files.Root(), Top(), "top"},
        // A path that looks like an option, after the marker.
        {{"--size-only", "--", "-dash"}, m_files.Root(), m_files.Path("-dash"), "-dash"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back());
        const auto outcome = RunReport(c.arguments, c.workingDir);
        ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
        EXPECT_EQ(LinesStartingWith(outcome.out, ""), ExpectedFolderLines(c.root, c.shownRoot));
    }
}

TEST_F(LarkspurReportTest, ListsGroupsOfCopiesLargestFirstWithCopiesInByteOrder)
{
    ASSERT_TRUE(Dirs({"a", "b", "c"}));
    const std::string big(20000, 'B');
    std::string nearBig = big;
    nearBig.back() = 'x';  // same size and head, differs at the end
    ASSERT_TRUE(File("c/big", big));
    ASSERT_TRUE(File("a/big copy", big));
    ASSERT_TRUE(File("b/Big", big));
    ASSERT_TRUE(File("b/near", nearBig));
    ASSERT_TRUE(File("small1", "same small contents"));
    ASSERT_TRUE(File("c/small2", "same small contents"));
    ASSERT_TRUE(File("a/empty1", ""));
    ASSERT_TRUE(File("b/empty2", ""));
    ASSERT_TRUE(File("a/alone", "nothing like it"));
    ASSERT_TRUE(File("a/linked", std::string(300, 'L')));
    ASSERT_TRUE(m_files.MakeHardLink("top/b/linked", "top/a/linked"));

    const auto outcome = RunReport({Top()});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"), ExpectedFolderLines(Top(), Top()));
    const std::string t = Top();
    EXPECT_EQ(LinesStartingWith(outcome.out, "group\t"),
              (std::vector<std::string>{"group\t20000\t3", "group\t19\t2"}));
    EXPECT_EQ(LinesStartingWith(outcome.out, "copy\t"),
              (std::vector<std::string>{"copy\t" + t + "/a/big copy", "copy\t" + t + "/b/Big",
                                        "copy\t" + t + "/c/big", "copy\t" + t + "/c/small2",
                                        "copy\t" + t + "/small1"}));
    // Each group line is followed by its own copies.
    EXPECT_NE(outcome.out.find("group\t19\t2\ncopy\t" + t + "/c/small2\ncopy\t" + t + "/small1\n"),
              std::string::npos);

    const auto sizesOnly = RunReport({"--size-only", Top()});
    ASSERT_EQ(sizesOnly.exitCode, 0);
    EXPECT_EQ(LinesStartingWith(sizesOnly.out, ""), ExpectedFolderLines(Top(), Top()));
}

TEST_F(LarkspurReportTest, EscapesBackslashTabAndNewlineAndKeepsOtherBytesRaw)
{
    const std::string odd = "odd\\name\twith\nnewline";
    const std::string latin1 = "caf\xe9";  // not UTF-8
    ASSERT_TRUE(m_files.MakeDir("top/" + odd));
    ASSERT_TRUE(m_files.MakeDir("top/" + latin1));
    ASSERT_TRUE(File(odd + "/copy\n1", "twins"));
    ASSERT_TRUE(File(latin1 + "/\xff\xfe", "twins"));

    const auto outcome = RunReport({Top()});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    const std::string t = Top();
    EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"), ExpectedFolderLines(t, t));
    EXPECT_NE(outcome.out.find("\t" + t + "/odd\\\\name\\twith\\nnewline\n"), std::string::npos);
    EXPECT_NE(outcome.out.find("\t" + t + "/caf\xe9\n"), std::string::npos);
    EXPECT_EQ(LinesStartingWith(outcome.out, "copy\t"),
              (std::vector<std::string>{"copy\t" + t + "/caf\xe9/\xff\xfe",
                                        "copy\t" + t + "/odd\\\\name\\twith\\nnewline/copy\\n1"}));
}

TEST_F(LarkspurReportTest, AnswersBadArgumentsWithStatusTwoAndOneLineAndHelpWithTheUsage)
{
    ASSERT_TRUE(File("plain", "x"));
    const std::vector<std::vector<std::string>> bad{
        {}, {"--bogus", Top()}, {Top(), Top()}, {Top() + "/missing"}, {Top() + "/plain"}, {""},
    };
    for (const auto& arguments : bad) {
        const auto outcome = RunReport(arguments);
        EXPECT_EQ(outcome.exitCode, 2) << (arguments.empty() ? "" : arguments.front());
        EXPECT_EQ(outcome.out, "");
        ASSERT_FALSE(outcome.err.empty());
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    }

    const auto help = RunReport({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: larkspur-report [--size-only] [--] PATH\n", 0), 0u);
}

// Root, as which the tests run here, reads everything: the report runs as
// nobody over the unreadable parts.
TEST_F(LarkspurReportTest, UnreadableFoldersAndFilesCountAsWhatCanBeSeen)
{
    ASSERT_TRUE(testsupport::MakeUnreadableParts(m_files, "top"));
    const auto before = Snapshot(Top());
    reporttest::Outcome outcome;
    reporttest::Outcome closed;
    {
        const testsupport::AsUnprivileged unprivileged(Top());
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the report as nobody";
        outcome = RunReport({Top()}, {}, unprivileged.Prefix());
        closed = RunReport({Top() + "/closed"}, {}, unprivileged.Prefix());
    }
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"),
              ExpectedFolderLines(Top(), Top(), testsupport::AsUnprivileged::Listable));
    // The file nobody may read is no copy of anything.
    EXPECT_EQ(
        LinesStartingWith(outcome.out, "copy\t"),
        (std::vector<std::string>{"copy\t" + Top() + "/copy", "copy\t" + Top() + "/open/copy"}));
    EXPECT_EQ(Snapshot(Top()), before);
    // A folder it cannot read is refused as an argument.
    EXPECT_EQ(closed.exitCode, 2);
    EXPECT_EQ(closed.out, "");
}

TEST_F(LarkspurReportTest, DeepTreesAndPathsNearTheLimitAreWalkedToTheBottom)
{
    ASSERT_TRUE(testsupport::MakeDeepAndLongPaths(m_files, "top"));
    const auto before = Snapshot(Top());
    const auto outcome = RunReport({Top()});
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, "folder\t"), ExpectedFolderLines(Top(), Top()));
    // The file whose path is one byte short of the limit and its twin.
    EXPECT_EQ(LinesStartingWith(outcome.out, "copy\t").size(), 2u);
    EXPECT_EQ(Snapshot(Top()), before);
}

}  // namespace

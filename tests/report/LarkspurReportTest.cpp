// larkspur-report as a user runs it: the lines it prints for scratch trees,
// checked against the files, and how it answers bad arguments.
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempTree.h"
#include "report/ReportRunner.h"

namespace {

using reporttest::ExpectedFolderLines;
using reporttest::LinesStartingWith;
using reporttest::RunReport;

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
    ASSERT_TRUE(Dirs({"sub"}));
    ASSERT_TRUE(File("sub/f", "abc"));

    const auto slashes = RunReport({"--size-only", Top() + "//"});
    ASSERT_EQ(slashes.exitCode, 0) << slashes.err;
    EXPECT_EQ(LinesStartingWith(slashes.out, ""), ExpectedFolderLines(Top(), Top()));

    const auto relative = RunReport({"--size-only", "top/"}, m_files.Root());
    ASSERT_EQ(relative.exitCode, 0) << relative.err;
    EXPECT_EQ(LinesStartingWith(relative.out, ""), ExpectedFolderLines(Top(), "top"));
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

TEST_F(LarkspurReportTest, AnswersBadArgumentsWithStatusTwoAndOneLine)
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
}

TEST_F(LarkspurReportTest, TakesAPathThatLooksLikeAnOptionAfterTheMarker)
{
    ASSERT_TRUE(m_files.MakeDir("-dash"));
    ASSERT_TRUE(m_files.MakeFile("-dash/f", "12345"));

    const auto outcome = RunReport({"--size-only", "--", "-dash"}, m_files.Root());
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, ""),
              ExpectedFolderLines(m_files.Path("-dash"), "-dash"));
}

TEST_F(LarkspurReportTest, HelpDescribesTheUsage)
{
    const auto outcome = RunReport({"--help"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out.rfind("Usage: larkspur-report [--size-only] [--] PATH\n", 0), 0u);
}

TEST_F(LarkspurReportTest, RefusesAnUnreadableFolder)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    ASSERT_TRUE(Dirs({"closed"}));
    ASSERT_EQ(::chmod(m_files.Path("top/closed").c_str(), 0), 0);
    const auto outcome = RunReport({Top() + "/closed"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_EQ(outcome.out, "");
}

}  // namespace

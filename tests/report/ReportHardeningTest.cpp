// larkspur-report on trees that try to break a scan: special files, loops,
// unreadable parts, great depths and lengths, odd names, a crowded folder,
// files that change while the scan runs. Every run must end, report what
// was there and leave every file as it was. (Ctrl+C in the middle:
// ReportInterruptTest.)
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "report/ReportRunner.h"
#include "support/HostileTree.h"
#include "support/TempTree.h"

namespace {

using reporttest::ExpectedFolderLines;
using reporttest::LinesStartingWith;
using reporttest::RunReport;
using testsupport::Snapshot;

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
    ASSERT_TRUE(testsupport::MakeSpecialFilesAndLoops(m_files, "top"));
    ExpectFaithfulReport();
}

TEST_F(ReportHardeningTest, NamesThatAreNotTextAreWalkedAndKeptAsBytes)
{
    ASSERT_TRUE(testsupport::MakeOddNames(m_files, "top"));
    ExpectFaithfulReport();
}

TEST_F(ReportHardeningTest, UnreadableFoldersAndFilesCountAsWhatCanBeSeen)
{
    ASSERT_TRUE(testsupport::MakeUnreadableParts(m_files, "top"));
    const auto before = Snapshot(Top());
    reporttest::Outcome outcome;
    {
        const testsupport::AsUnprivileged unprivileged(Top());
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the report as nobody";
        outcome = RunReport({Top()}, {}, unprivileged.Prefix());
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
}

TEST_F(ReportHardeningTest, DeepTreesAndPathsNearTheLimitAreWalkedToTheBottom)
{
    ASSERT_TRUE(testsupport::MakeDeepAndLongPaths(m_files, "top"));
    ExpectFaithfulReport();
    const auto outcome = RunReport({Top()});
    EXPECT_EQ(LinesStartingWith(outcome.out, "copy\t").size(), 2u);
}

TEST_F(ReportHardeningTest, AFolderOfManyFilesIsCountedWhole)
{
    ASSERT_TRUE(testsupport::MakeCrowdedFolder(m_files, "top/crowd", 100000));
    const auto outcome = RunReport({"--size-only", Top()});
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(LinesStartingWith(outcome.out, ""), ExpectedFolderLines(Top(), Top()));
}

TEST_F(ReportHardeningTest, FilesChangingDuringTheScanNeitherStopNorFoolIt)
{
    ASSERT_TRUE(m_files.MakeDir("top/stable"));
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(m_files.MakeDir("top/stable/s" + std::to_string(i)));
        ASSERT_TRUE(
            m_files.MakeFile("top/stable/s" + std::to_string(i) + "/f", std::string(100 + i, 's')));
    }
    const auto before = Snapshot(m_files.Path("top/stable"));
    reporttest::Outcome outcome;
    {
        testsupport::Churn churn(m_files, "top");
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

}  // namespace

// The scan without a window: the walk, marks, sibling order, duplicate data
// and folders that vanish under it.
#include "engine/FolderScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/FolderPopulation.h"
#include "engine/ScanTree.h"
#include "engine/TaskManager.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/ScanFakes.h"
#include "support/TempTree.h"

namespace {

using testsupport::FakeDuplicatesPane;
using testsupport::FakeFileList;
using testsupport::FakeMainView;

class FolderScanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TaskManager::Instance().SetNotifyWindow(m_main.Handle());
        m_main.scan = &m_scan;
        m_scan.SetMainView(m_main.Handle());
        m_scan.SetFrame(m_main.Handle());
        m_scan.SetDisplays(&m_dups, &m_list);
        FolderPopulation::BuildTopLevel(m_tree);
        ASSERT_TRUE(m_files.MakeDir("top"));
    }

    // Makes the folders, and the files given as "path=size", then brings top into the tree.
    bool Make(std::initializer_list<std::string> entries)
    {
        for (const std::string& entry : entries) {
            const std::size_t equals = entry.find('=');
            if (!(equals == std::string::npos
                      ? m_files.MakeDir(entry)
                      : m_files.MakeFile(entry.substr(0, equals),
                                         std::string(std::stoul(entry.substr(equals + 1)), 'x'))))
                return false;
        }
        m_top = FolderPopulation::BringPathIntoTree(m_tree, m_files.RealPath("top"));
        return m_top != TreeItem::None;
    }
    // The record of "top/a/b"; null when it is not in the tree.
    FolderRecord* Record(const std::string& relative)
    {
        return testsupport::RecordBelow(m_tree, m_tree.RecordOf(m_top),
                                        relative.size() > 4 ? relative.substr(4) : "");
    }
    // What a plain left click on the folder does.
    void Click(const std::string& relative)
    {
        FolderPopulation::PopulateChildren(m_tree, Record(relative)->item);
        m_scan.ScanFolder(*Record(relative));
    }
    bool ScanTop() { return Click("top"), WaitUntilIdle(); }
    bool WaitUntilIdle()
    {
        return testsupport::PumpUntil([this] {
            return !m_scan.IsScanning() && TaskManager::Instance().PendingCount() == 0 &&
                   !m_main.statusTexts.empty() && m_main.statusTexts.back().empty();
        });
    }
    // The subtree's total is known and equals what lstat finds on disk.
    bool SizedRight(const std::string& relative)
    {
        const FolderRecord* record = Record(relative);
        const auto totals = testsupport::FolderTotalsOnDisk(m_files.Path(relative));
        return record != nullptr && record->Has(FolderRecord::TreeSizeKnown) &&
               record->treeDiskSpace.Bytes() == totals.at("").diskSpace;
    }
    std::vector<FolderRecord*> Subtree()
    {
        std::vector<FolderRecord*> all;
        m_tree.ForEachInSubtree(*Record("top"), [&all](TreeItemRecord& record) {
            all.push_back(static_cast<FolderRecord*>(&record));
        });
        return all;
    }

    FakeMainView m_main;
    FakeFileList m_list;
    FakeDuplicatesPane m_dups;
    TempTree m_files;
    ScanTree m_tree;
    FolderScan& m_scan = m_tree.Scan();
    TreeItem m_top = TreeItem::None;
};

TEST_F(FolderScanTest, ClickMarksTheSubtreeWaitingThenFillsAndUpdatesItsSubtreeSizes)
{
    ASSERT_TRUE(Make({"top/a", "top/b", "top/f=5000", "top/a/g=100"}));
    Click("top");
    for (const char* folder : {"top", "top/a", "top/b"})
        EXPECT_TRUE(Record(folder)->Has(FolderRecord::SizeQueued)) << folder;
    // Comes into the tree with the queued enumeration of a, and a's marks.
    ASSERT_TRUE(m_files.MakeDir("top/a/later") && m_files.MakeFile("top/a/later/h", "h"));

    ASSERT_TRUE(WaitUntilIdle());
    for (const char* folder : {"top", "top/a", "top/a/later", "top/b"})
        EXPECT_TRUE(SizedRight(folder)) << folder;
    EXPECT_TRUE(m_scan.HasScannedSomething());

    // A subfolder that vanished gives its ancestors their new totals at once.
    std::filesystem::remove_all(m_files.Path("top/a/later"));
    FolderPopulation::PopulateChildren(m_tree, Record("top/a")->item);
    EXPECT_TRUE(SizedRight("top") && SizedRight("top/a"));
}

TEST_F(FolderScanTest, EachLevelIsQueuedBeforeAnythingDeeper)
{
    ASSERT_TRUE(Make({"top/a", "top/a/a1", "top/a/a1/a11", "top/b", "top/b/b1", "top/c", "top/c/c1",
                      "top/c/c1/c11", "top/c/c1/c11/c111", "side", "side/s1"}));
    m_scan.SetDuplicateMode(false);
    const std::string prefix = m_files.RealPath("top");
    std::vector<long> depths;
    m_scan.SetQueueHookForTesting([&](const FolderRecord& folder) {
        const std::string path = DirectoryPathOf(folder);
        if (path.rfind(prefix, 0) == 0)
            depths.push_back(std::count(path.begin() + prefix.size(), path.end(), '/') - 1);
        else
            ADD_FAILURE() << "the clicked folder's siblings are not scanned: " << path;
    });
    ASSERT_TRUE(ScanTop());
    EXPECT_EQ(depths, (std::vector<long>{0, 1, 1, 1, 2, 2, 2, 3, 3, 4}));
}

TEST_F(FolderScanTest, StoppingDropsEveryPendingMarkAndKeepsKnownSizes)
{
    ASSERT_TRUE(
        Make({"top/a", "top/b", "top/b/b1", "top/b/b1/b11", "top/b/b1/b11/b111", "top/a/f=3000"}));
    m_main.afterTasks = [&] {
        if (m_scan.IsScanning() && Record("top/a")->Has(FolderRecord::TreeSizeKnown))
            m_scan.StopScanning();
    };
    ASSERT_TRUE(ScanTop());
    EXPECT_TRUE(SizedRight("top/a"));
    for (const FolderRecord* record : Subtree())
        EXPECT_EQ(record->flags & FolderRecord::ClearPendingMask, 0) << record->name;
    EXPECT_EQ(Record("top/b/b1/b11/b111"), nullptr);  // never reached
}

// The listed files go with the own sizes: a deleted file, Clear Folder Data
// (of that subtree only) and Reset.
TEST_F(FolderScanTest, ForgettingOwnSizesFreesTheListedFiles)
{
    ASSERT_TRUE(Make({"top/a", "top/a/a1", "top/b", "top/f=10", "top/a/g=1"}) && ScanTop());
    using Names = std::set<std::string>;
    const auto listed = [this] {
        Names names;
        for (const FolderRecord* record : Subtree())
            if (record->files) names.insert(record->name);
        return names;
    };
    ASSERT_EQ(listed(), (Names{"top", "a", "a1", "b"}));
    Record("top/b")->ForgetOwnSizes();
    m_scan.ClearFolderData(*Record("top/a"));
    EXPECT_EQ(listed(), Names{"top"});
    m_scan.ResetAll();
    EXPECT_EQ(listed(), Names{});
}

TEST_F(FolderScanTest, LargerSubtreesComeFirstAndEqualOnesByNameWithoutRegardToCase)
{
    ASSERT_TRUE(Make({"top/beta", "top/Alpha", "top/gamma", "top/Delta", "top/gamma/big=100000",
                      "top/beta/f=1", "top/Alpha/f=1"}) &&
                ScanTop());
    std::vector<std::string> names;
    for (TreeItemRecord* c = m_tree.FirstChildRecord(*Record("top")); c;
         c = m_tree.NextSiblingRecord(*c))
        names.push_back(c->name);
    EXPECT_EQ(names, (std::vector<std::string>{"gamma", "Alpha", "beta", "Delta"}));
}

TEST_F(FolderScanTest, SwitchingDuplicateSearchOffLetsTheSizeScanFinish)
{
    ASSERT_TRUE(
        Make({"top/a", "top/a/a1", "top/b", "top/a/same=18", "top/a/a1/same=18", "top/b/same=18"}));
    // After the first deliveries, while later duplicate searches are queued.
    m_main.onStatus = [&](const std::string&) {
        if (m_scan.DuplicateMode()) m_scan.SetDuplicateMode(false);
    };
    ASSERT_TRUE(ScanTop());
    EXPECT_TRUE(SizedRight("top"));
    for (const FolderRecord* record : Subtree())
        EXPECT_TRUE((record->flags & FolderRecord::ClearDupsMask) == 0 && !record->duplicates)
            << record->name;
    EXPECT_EQ(m_dups.calls, (std::vector<std::string>{"clear", "disable"}));
    EXPECT_EQ(m_list.refreshes, 1) << "the file list's marks are redrawn";
}

TEST_F(FolderScanTest, DuplicatesAcrossFoldersReachThePaneAndLeaveWithTheirFolders)
{
    ASSERT_TRUE(Make({"top/p", "top/q", "top/r", "top/p/one=20000", "top/q/two=20000",
                      "top/r/three=20000", "top/p/unique=7"}) &&
                ScanTop());
    ASSERT_EQ(m_dups.listed.size(), 1u);
    EXPECT_EQ((*m_dups.listed.begin())->MemberCount(), 3);

    // Folders that vanish take their members out of their groups; a group's
    // last member takes the group with it.
    std::filesystem::remove_all(m_files.Path("top/q"));
    std::filesystem::remove_all(m_files.Path("top/r"));
    FolderPopulation::PopulateChildren(m_tree, m_top);
    EXPECT_EQ(m_dups.calls, (std::vector<std::string>{"refresh", "refresh"}));
    EXPECT_TRUE(m_dups.listed.empty());
    std::filesystem::remove_all(m_files.Path("top/p"));
    FolderPopulation::PopulateChildren(m_tree, m_top);
    EXPECT_EQ(m_dups.calls.size(), 3u);
    EXPECT_EQ(m_dups.calls.back(), "remove");
    EXPECT_EQ(m_list.forgotten.size(), 3u);
    for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket)
        ASSERT_EQ(m_scan.Duplicates().Table().Chain(bucket), nullptr);
    EXPECT_TRUE(SizedRight("top")) << "the totals follow at once";
}

TEST_F(FolderScanTest, FolderOnTheWalksPathVanishingMidScanRestartsTheWalkAtTheScanRoot)
{
    ASSERT_TRUE(Make({"top/left", "top/left/l1", "top/s", "top/s/a", "top/s/a/a1", "top/s/a/a1/a11",
                      "top/s/b", "top/s/b/b1", "top/s/b/b1/b11", "top/s/a/f=10", "top/s/a/a1/f=20",
                      "top/s/b/b1/b11/f=30"}));
    const std::string doomed = m_files.RealPath("top/s/a/a1") + "/";
    bool removed = false;
    std::vector<std::string> order;
    m_scan.SetQueueHookForTesting(
        [&](const FolderRecord& folder) { order.push_back(DirectoryPathOf(folder)); });
    // Once a1, the walk's current folder, is queued, it vanishes from the
    // disk and its parent is enumerated again.
    m_main.onStatus = [&](const std::string&) {
        if (std::ranges::count(order, doomed) && !removed) {
            removed = true;
            std::filesystem::remove_all(doomed);
            FolderPopulation::PopulateChildren(m_tree, Record("top/s/a")->item);
        }
    };
    Click("top/left");  // l1 is left waiting
    Click("top/s");
    ASSERT_TRUE(WaitUntilIdle());

    ASSERT_TRUE(removed);
    EXPECT_EQ(Record("top/s/a/a1"), nullptr);
    EXPECT_TRUE(SizedRight("top/s/a") && SizedRight("top/s") && SizedRight("top/left"));
    // The scan root's subtree is done before the walk widens elsewhere.
    const auto queueOf = [&](const char* folder) {
        return std::find(order.begin(), order.end(), m_files.RealPath(folder) + "/");
    };
    EXPECT_LT(queueOf("top/s/b/b1/b11"), queueOf("top/left/l1"));
}

TEST_F(FolderScanTest, WorkThatCannotBeQueuedStillEndsTheWalk)
{
    ASSERT_TRUE(Make({"top/a"}));
    // A folder outside the file system marked as waiting for its size.
    auto* computer = static_cast<FolderRecord*>(m_tree.RecordOf(m_tree.Tree().FirstChild({})));
    computer->Set(FolderRecord::SizeQueued);
    static_cast<FolderRecord*>(m_tree.RootRecord())->Set(FolderRecord::TreeSizePending);
    ASSERT_TRUE(ScanTop());  // the walk ends and the status line is cleared
    EXPECT_TRUE(SizedRight("top"));
}

}  // namespace

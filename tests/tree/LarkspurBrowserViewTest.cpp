// The sized folder tree on scratch folders: clicks, the walk that schedules
// the worker's tasks, labels and order, and folders that vanish under it.
#include "tree/LarkspurBrowserView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/DupFileList.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "engine/WindowMessages.h"
#include "framework/SizeTextSource.h"
#include "platform/MessageQueue.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "tree/FolderListDisplay.h"

namespace {

// Sizes as plain byte counts, unpadded, so labels are easy to predict.
class PlainSizes : public framework::SizeTextSource {
public:
    QString SizeText(FileSize value) const override
    {
        return QString::fromStdString(value.ToString());
    }
    int SizeTextWidth(FileSize value) const override { return int(SizeText(value).size()); }
    QString PaddedSizeText(FileSize value, FileSize) const override { return SizeText(value); }
};

// Stands in for the main view and the main frame: hands UM_TASK_DONE and
// UM_CLEAR_FOLDER_DUPS to the tree, keeps the status texts, and lets a test
// act at each of these moments.
class FakeMainView : public platform::MessageWindow {
public:
    LarkspurBrowserView* view = nullptr;
    std::vector<std::string> statusTexts;
    int clearRequests = 0;
    std::function<void()> afterTasks;
    std::function<void()> onClear;
    std::function<void(const std::string&)> onStatus;

    platform::MessageResult OnMessage(platform::MessageId message, platform::WParam wParam,
                                      platform::LParam) override
    {
        if (message == UM_TASK_DONE) {
            view->ProcessCompletedTasks();
            if (afterTasks) afterTasks();
        } else if (message == UM_CLEAR_FOLDER_DUPS) {
            ++clearRequests;
            if (onClear) onClear();
            view->ClearFolderDuplicates(*reinterpret_cast<const FolderRecordRef*>(wParam));
        } else if (message == UM_STATUS_TEXT) {
            statusTexts.push_back(*reinterpret_cast<const std::string*>(wParam));
            if (onStatus) onStatus(statusTexts.back());
        }
        return 0;
    }
};

// The file list; the duplicate marks it would show are dropped (window 0).
class FakeFileList : public FolderListDisplay, public DupFileList {
public:
    std::vector<FolderRecord*> shown;
    int refreshes = 0;
    std::set<const FolderRecord*> forgotten;

    void SetFolder(FolderRecord* folder) override { shown.push_back(folder); }
    void Refresh() override { ++refreshes; }
    void UpdateFolderRow(FolderRecord&) override {}
    void ForgetFolder(FolderRecord& folder) override { forgotten.insert(&folder); }
    void SelectFileByName(const std::string&) override {}
    void RefreshMarks() override {}
    platform::WindowHandle DupStateWindow() const override { return 0; }
    void MarkFolderSearched(FolderRecord&) override {}
};

// Lists the groups of two or more, as the duplicates window does.
class FakeDuplicatesWindow : public DuplicatesDisplay {
public:
    std::set<const DupGroup*> listed;
    std::vector<std::string> calls;

    void AddOrUpdateGroup(DupGroup& group) override
    {
        if (group.MemberCount() > 1) listed.insert(&group);
    }
    void RemoveGroup(DupGroup& group) override { listed.erase(&group), calls.push_back("remove"); }
    void RefreshGroup(DupGroup& group) override
    {
        if (group.MemberCount() < 2) listed.erase(&group);
        calls.push_back("refresh");
    }
    void ClearAll() override { listed.clear(), calls.push_back("clear"); }
    void EnableLists(bool on) override { calls.push_back(on ? "enable" : "disable"); }
};

class LarkspurBrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        framework::SizeTextSource::SetInstance(&m_sizes);
        TaskManager::Instance().SetNotifyWindow(m_main.Handle());
        m_main.view = &m_view;
        m_view.SetMainView(m_main.Handle());
        m_view.SetFrame(m_main.Handle());
        m_view.OnInitialUpdate();
        ASSERT_TRUE(m_files.MakeDir("top"));
    }
    void TearDown() override { framework::SizeTextSource::SetInstance(nullptr); }

    bool Dirs(std::initializer_list<const char*> folders)
    {
        return std::all_of(folders.begin(), folders.end(),
                           [this](const char* folder) { return m_files.MakeDir(folder); });
    }
    bool File(const std::string& relative, std::size_t size)
    {
        return m_files.MakeFile(relative, std::string(size, 'x'));
    }
    // Brings top into the tree as expanding down to it would.
    void BringTopIntoTree()
    {
        m_top = FolderPopulation::BringPathIntoTree(m_view, m_files.RealPath("top"));
        ASSERT_NE(m_top, TreeItem::None);
    }
    // The record of "top/a/b"; null when it is not in the tree.
    FolderRecord* Record(const std::string& relative)
    {
        return testsupport::RecordBelow(m_view, m_view.RecordOf(m_top),
                                        relative.size() > 4 ? relative.substr(4) : "");
    }
    QString Label(const std::string& relative)
    {
        return Record(relative) ? m_view.Tree().ItemText(Record(relative)->item) : "(gone)";
    }
    // What a plain left click on the folder does (the base populates first).
    void Click(const std::string& relative)
    {
        m_view.PopulateChildren(Record(relative)->item);
        m_view.OnItemClicked(*Record(relative), false);
    }
    bool WaitUntilIdle()
    {
        return testsupport::PumpUntil([this] {
            return !m_view.IsScanning() && TaskManager::Instance().PendingCount() == 0 &&
                   !m_main.statusTexts.empty() && m_main.statusTexts.back().empty();
        });
    }
    // The label of a folder whose subtree's size is known, worked out from
    // the files.
    QString SizedLabel(const std::string& relative)
    {
        const auto totals = testsupport::FolderTotalsOnDisk(m_files.Path(relative));
        return "[" +
               QString::fromStdString(FileSize::FromBytes(totals.at("").diskSpace).ToString()) +
               "] " + QString::fromStdString(std::filesystem::path(relative).filename());
    }
    // Every folder of top's subtree in the tree.
    std::vector<FolderRecord*> Subtree()
    {
        std::vector<FolderRecord*> all{Record("top")};
        for (std::size_t i = 0; i < all.size(); ++i) {
            for (TreeItemRecord* c = m_view.FirstChildRecord(*all[i]); c;
                 c = m_view.NextSiblingRecord(*c)) {
                all.push_back(static_cast<FolderRecord*>(c));
            }
        }
        return all;
    }

    PlainSizes m_sizes;
    FakeMainView m_main;
    FakeFileList m_list;
    FakeDuplicatesWindow m_dups;
    TempTree m_files;
    LarkspurBrowserView m_view;
    TreeItem m_top = TreeItem::None;
};

TEST_F(LarkspurBrowserViewTest, PlainClickShowsEmptyBracketsThenFillsThemWithSubtreeSizes)
{
    ASSERT_TRUE(Dirs({"top/a", "top/b"}) && File("top/f", 5000) && File("top/a/g", 100));
    BringTopIntoTree();
    std::vector<QString> waiting;  // top's labels while sized but waiting for its subfolders
    m_main.afterTasks = [&] {
        const FolderRecord* top = Record("top");
        if (top->Has(FolderRecord::OwnSizeKnown) && !top->Has(FolderRecord::TreeSizeKnown)) {
            waiting.push_back(Label("top"));
        }
    };

    Click("top");
    EXPECT_EQ(Label("top"), "[ ] top");
    EXPECT_EQ(Label("top/a"), "[ ] a");
    EXPECT_EQ(Label("top/b"), "[ ] b");
    // Comes into the tree with the queued enumeration of a, and a's marks.
    ASSERT_TRUE(Dirs({"top/a/later"}) && File("top/a/later/h", 9000));

    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_FALSE(waiting.empty());
    EXPECT_EQ(waiting, std::vector<QString>(waiting.size(), "[ ] top"));
    EXPECT_EQ(Label("top"), SizedLabel("top"));
    EXPECT_EQ(Label("top/a"), SizedLabel("top/a"));
    EXPECT_EQ(Label("top/a/later"), SizedLabel("top/a/later"));
    EXPECT_EQ(Label("top/b"), "[0] b");
    EXPECT_EQ(Record("top")->treeSize.Bytes(), 14100);
    EXPECT_TRUE(m_view.HasScannedSomething());
    EXPECT_EQ(m_list.shown, std::vector<FolderRecord*>{Record("top")});
}

TEST_F(LarkspurBrowserViewTest, OnlyAPlainLeftClickOnAFolderOnDiskScans)
{
    ASSERT_TRUE(Dirs({"top/a"}));
    BringTopIntoTree();
    m_view.resize(600, 400);  // laid out, not shown: nothing paints
    const QPoint onLabel = testsupport::LabelPoint(m_view, m_top);

    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, Qt::ControlModifier, onLabel);
    QTest::mouseClick(m_view.viewport(), Qt::RightButton, {}, onLabel);
    // Computer lies outside the file system.
    m_view.OnItemClicked(*m_view.RecordOf(m_view.Tree().FirstChild(TreeItem::None)), false);
    EXPECT_FALSE(m_view.IsScanning());
    EXPECT_EQ(TaskManager::Instance().PendingCount(), 0);
    EXPECT_EQ(Label("top"), "top");
    EXPECT_EQ(m_list.shown.size(), 3u);  // every click lists

    QTest::mouseClick(m_view.viewport(), Qt::LeftButton, {}, onLabel);
    EXPECT_TRUE(m_view.IsScanning());
    EXPECT_EQ(Label("top"), "[ ] top");
    ASSERT_TRUE(WaitUntilIdle());
}

TEST_F(LarkspurBrowserViewTest, EachLevelIsQueuedBeforeAnythingDeeper)
{
    ASSERT_TRUE(Dirs({"top/a", "top/a/a1", "top/a/a1/a11", "top/b", "top/b/b1", "top/c", "top/c/c1",
                      "top/c/c1/c11", "top/c/c1/c11/c111", "side", "side/s1"}));
    BringTopIntoTree();
    m_view.SetDuplicateMode(false);
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());

    // Each size scan announces its folder once, as it is queued.
    const std::string prefix = "Scanning: " + m_files.RealPath("top");
    std::vector<long> depths;
    for (const std::string& text : m_main.statusTexts) {
        if (text.rfind(prefix, 0) == 0)
            depths.push_back(std::count(text.begin(), text.end(), '/'));
        else
            EXPECT_EQ(text, "") << "the clicked folder's siblings are not scanned";
    }
    ASSERT_FALSE(depths.empty());
    const long top = depths.front();
    for (long& depth : depths) depth -= top;
    EXPECT_EQ(depths, (std::vector<long>{0, 1, 1, 1, 2, 2, 2, 3, 3, 4}));
    EXPECT_EQ(Label("top/c/c1/c11/c111"), "[0] c111");
}

TEST_F(LarkspurBrowserViewTest, WidensToWorkLeftBehindElsewhereInTheTree)
{
    ASSERT_TRUE(Dirs({"top/x", "top/x/x1", "top/x/x1/x11", "top/y", "top/y/y1"}));
    ASSERT_TRUE(File("top/x/x1/x11/f", 5));
    BringTopIntoTree();
    Click("top/x");
    Click("top/y");  // the walk now covers y only

    ASSERT_TRUE(WaitUntilIdle());
    EXPECT_EQ(Label("top/x"), SizedLabel("top/x"));
    EXPECT_EQ(Label("top/x/x1/x11"), SizedLabel("top/x/x1/x11"));
    EXPECT_EQ(Label("top/y/y1"), "[0] y1");
    EXPECT_EQ(Label("top"), "top");  // never asked for
}

TEST_F(LarkspurBrowserViewTest, EscapeDropsEveryPendingMarkAndKeepsKnownSizes)
{
    ASSERT_TRUE(Dirs({"top/a", "top/b", "top/b/b1", "top/b/b1/b11", "top/b/b1/b11/b111"}));
    ASSERT_TRUE(File("top/a/f", 3000));
    BringTopIntoTree();
    m_main.afterTasks = [&] {
        if (m_view.IsScanning() && Record("top/a")->Has(FolderRecord::TreeSizeKnown)) {
            QTest::keyClick(&m_view, Qt::Key_Escape);
        }
    };
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());

    EXPECT_EQ(Label("top/a"), SizedLabel("top/a"));
    for (const FolderRecord* record : Subtree()) {
        EXPECT_EQ(record->flags & FolderRecord::ClearPendingMask, 0) << record->name;
        EXPECT_FALSE(m_view.Tree().ItemText(record->item).startsWith("[ ]")) << record->name;
    }
    EXPECT_EQ(Record("top/b/b1/b11/b111"), nullptr);  // never reached
}

TEST_F(LarkspurBrowserViewTest, EqualSizesAreOrderedByNameWithoutRegardToCase)
{
    ASSERT_TRUE(Dirs({"top/beta", "top/Alpha", "top/gamma", "top/Delta"}));
    ASSERT_TRUE(File("top/gamma/big", 100000) && File("top/beta/f", 1) && File("top/Alpha/f", 1));
    BringTopIntoTree();
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());
    std::vector<std::string> names;
    for (TreeItemRecord* c = m_view.FirstChildRecord(*Record("top")); c;
         c = m_view.NextSiblingRecord(*c)) {
        names.push_back(c->name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"gamma", "Alpha", "beta", "Delta"}));
}

TEST_F(LarkspurBrowserViewTest, SwitchingDuplicateSearchOffLetsTheSizeScanFinish)
{
    ASSERT_TRUE(Dirs({"top/a", "top/a/a1", "top/b"}));
    ASSERT_TRUE(File("top/a/same", 18) && File("top/a/a1/same", 18) && File("top/b/same", 18));
    BringTopIntoTree();
    m_list.refreshes = 0;
    // While the first duplicate search runs.
    m_main.onClear = [&] {
        if (m_view.DuplicateMode()) m_view.SetDuplicateMode(false);
    };
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());

    EXPECT_EQ(m_main.clearRequests, 1) << "no duplicate search after the switch";
    EXPECT_EQ(Label("top"), SizedLabel("top"));
    for (const FolderRecord* record : Subtree()) {
        EXPECT_EQ(record->flags & FolderRecord::ClearDupsMask, 0) << record->name;
        EXPECT_EQ(record->duplicates, nullptr);
    }
    EXPECT_EQ(m_dups.calls, (std::vector<std::string>{"clear", "disable"}));
    EXPECT_EQ(m_list.refreshes, 1) << "the file list's marks are redrawn";
}

TEST_F(LarkspurBrowserViewTest, DuplicatesAcrossFoldersReachTheWindowAndLeaveWithTheirFolders)
{
    ASSERT_TRUE(Dirs({"top/p", "top/q", "top/r"}));
    ASSERT_TRUE(File("top/p/one", 20000) && File("top/q/two", 20000) &&
                File("top/r/three", 20000) && m_files.MakeFile("top/p/unique", "no copy"));
    BringTopIntoTree();
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());
    ASSERT_EQ(m_dups.listed.size(), 1u);
    EXPECT_EQ((*m_dups.listed.begin())->MemberCount(), 3);

    // Folders that vanish take their members out of their groups; a group's
    // last member takes the group with it.
    std::filesystem::remove_all(m_files.Path("top/q"));
    std::filesystem::remove_all(m_files.Path("top/r"));
    m_view.PopulateChildren(m_top);
    EXPECT_EQ(m_dups.calls, (std::vector<std::string>{"refresh", "refresh"}));
    EXPECT_TRUE(m_dups.listed.empty());
    std::filesystem::remove_all(m_files.Path("top/p"));
    m_view.PopulateChildren(m_top);
    EXPECT_EQ(m_dups.calls.size(), 4u);
    EXPECT_EQ(m_dups.calls.back(), "remove");
    EXPECT_EQ(m_list.forgotten.size(), 3u);
    for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
        ASSERT_EQ(m_view.Duplicates().Chain(bucket), nullptr);
    }
    EXPECT_EQ(Label("top"), SizedLabel("top")) << "the totals follow at once";
}

TEST_F(LarkspurBrowserViewTest, FolderOnTheWalksPathVanishingMidScanRestartsTheWalkAtTheClickedOne)
{
    ASSERT_TRUE(Dirs({"top/left", "top/left/l1", "top/s", "top/s/a", "top/s/a/a1", "top/s/a/a1/a11",
                      "top/s/b", "top/s/b/b1", "top/s/b/b1/b11"}));
    ASSERT_TRUE(File("top/s/a/f", 10) && File("top/s/a/a1/f", 20) && File("top/s/b/b1/b11/f", 30));
    BringTopIntoTree();
    const std::string doomed = m_files.RealPath("top/s/a/a1") + "/";
    bool removed = false;
    // While a1, the walk's current folder, is scanned, it vanishes from the
    // disk and its parent is expanded.
    m_main.onStatus = [&](const std::string& text) {
        if (!removed && text == "Scanning: " + doomed) {
            removed = true;
            std::filesystem::remove_all(doomed);
            m_view.PopulateChildren(Record("top/s/a")->item);
        }
    };
    Click("top/left");  // l1 is left waiting
    Click("top/s");
    ASSERT_TRUE(WaitUntilIdle());

    ASSERT_TRUE(removed);
    EXPECT_EQ(Record("top/s/a/a1"), nullptr);
    EXPECT_EQ(Label("top/s/a"), SizedLabel("top/s/a"));
    EXPECT_EQ(Label("top/s"), SizedLabel("top/s"));
    EXPECT_EQ(Label("top/left"), SizedLabel("top/left"));
    // The clicked folder's subtree is done before the work left elsewhere.
    const auto& texts = m_main.statusTexts;
    const auto scanOf = [&](const char* folder) {
        return std::find(texts.begin(), texts.end(), "Scanning: " + m_files.RealPath(folder) + "/");
    };
    EXPECT_LT(scanOf("top/s/b/b1/b11"), scanOf("top/left/l1"));
}

TEST_F(LarkspurBrowserViewTest, VanishedSubfolderAfterAScanGivesItsAncestorsNewTotalsAtOnce)
{
    ASSERT_TRUE(Dirs({"top/a", "top/a/gone"}) && File("top/a/f", 7000) &&
                File("top/a/gone/g", 30000));
    BringTopIntoTree();
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());
    const QString before = Label("top");

    std::filesystem::remove_all(m_files.Path("top/a/gone"));
    m_view.PopulateChildren(Record("top/a")->item);  // as expanding a does
    EXPECT_NE(Label("top"), before);
    EXPECT_EQ(Label("top"), SizedLabel("top"));
    EXPECT_EQ(Label("top/a"), SizedLabel("top/a"));
    EXPECT_EQ(Record("top")->treeSize.Bytes(), 7000);
}

TEST_F(LarkspurBrowserViewTest, WorkThatCannotBeQueuedStillEndsTheWalk)
{
    ASSERT_TRUE(Dirs({"top/a"}));
    BringTopIntoTree();
    // A folder outside the file system marked as waiting for its size.
    auto* computer = static_cast<FolderRecord*>(m_view.RecordOf(m_view.Tree().FirstChild({})));
    computer->Set(FolderRecord::SizeQueued);
    static_cast<FolderRecord*>(m_view.RootRecord())->Set(FolderRecord::TreeSizePending);
    Click("top");
    ASSERT_TRUE(WaitUntilIdle());  // the walk ends and the status line is cleared
    EXPECT_EQ(Label("top"), SizedLabel("top"));
}

}  // namespace

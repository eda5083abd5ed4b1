// The whole program, offscreen, on trees that try to break a scan: special
// files and link loops, odd names, great depths and path lengths, a folder
// of 100,000 files, unreadable parts, and files changing while the scan
// runs. A click on the
// top folder must scan to the end; every folder's totals must equal the
// files; the file list must show the odd folders' files as they are; and
// nothing on disk may change.

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/FolderRecord.h"
#include "engine/TaskManager.h"
#include "model/ListControl.h"
#include "lists/BrindleDupsListView.h"
#include "lists/FileListItem.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "resources/StringTable.h"
#include "support/AppTestMain.h"
#include "support/ChildProcess.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "tree/LarkspurBrowserView.h"

namespace {

using testsupport::FolderTotals;
using testsupport::Snapshot;

// The lines "folder\tSIZE\tDISK SPACE\tPATH" that larkspur-window-driver
// prints, by PATH unescaped.
std::map<std::string, FolderTotals> ParseSizes(const std::string& out)
{
    std::map<std::string, FolderTotals> sizes;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("folder\t", 0) != 0) continue;
        std::istringstream fields(line.substr(7));
        FolderTotals totals;
        fields >> totals.size >> totals.diskSpace;
        fields.get();
        std::string escaped;
        std::getline(fields, escaped);
        std::string path;
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            if (escaped[i] != '\\' || i + 1 == escaped.size()) {
                path += escaped[i];
                continue;
            }
            const char next = escaped[++i];
            path += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        }
        sizes[path] = totals;
    }
    return sizes;
}

class WindowHardeningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(TheMainView, nullptr);
        ASSERT_TRUE(m_files.IsValid());
        ASSERT_TRUE(m_files.MakeDir("top"));
        // Whatever an earlier test left known is forgotten.
        Tree().ResetAll();
    }
    void TearDown() override
    {
        // The listed folder and the tree's records of this tree stay behind
        // in the one window; nothing of them is shown or scanned again.
        List().SetFolder(nullptr);
        Tree().StopScanning();
        TaskManager::Instance().WaitUntilIdle();
        testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; });
    }

    LarkspurBrowserView& Tree() const { return *TheMainView->Tree(); }
    LarkspurListView& List() const { return *TheMainView->FileList(); }
    CMainFrame& Frame() const { return *CLarkspurApp::Instance()->MainFrame(); }

    // A plain left click on the top folder's label, then the event loop
    // until the scan has ended and the frame shows the idle prompt again.
    void ClickTopAndScanToTheEnd()
    {
        m_top = m_files.RealPath("top");
        const TreeItem item = FolderPopulation::BringPathIntoTree(Tree(), m_top);
        ASSERT_NE(item, TreeItem::None);
        m_topRecord = static_cast<FolderRecord*>(Tree().RecordOf(item));
        QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                          testsupport::LabelPoint(Tree(), item));
        ASSERT_TRUE(Tree().IsScanning());
        ASSERT_TRUE(testsupport::PumpUntil(
            [this] { return !Tree().IsScanning() && TaskManager::Instance().PendingCount() == 0; },
            std::chrono::minutes(3)))
            << "the scan did not end";
        const QString idle = resources::StringTable::Load(resources::IDS_IDLE_PROMPT);
        EXPECT_TRUE(testsupport::PumpUntil([&] { return Frame().MessageText() == idle; },
                                           std::chrono::seconds(10)))
            << Frame().MessageText().toStdString();
    }

    // The record of a folder by its path relative to top ("" is top); null
    // when the tree does not hold it.
    FolderRecord* Record(const std::string& relative) const
    {
        return testsupport::RecordBelow(Tree(), m_topRecord, relative);
    }

    // The totals the tree holds for the folder at relative and every folder
    // below it, by path relative to that folder (itself: ""); a folder whose
    // totals are not known is missing.
    std::map<std::string, FolderTotals> TotalsInTheTree(const std::string& relative = {}) const
    {
        std::map<std::string, FolderTotals> found;
        std::vector<std::pair<const FolderRecord*, std::string>> pending{{Record(relative), ""}};
        while (!pending.empty()) {
            const auto [record, below] = pending.back();
            pending.pop_back();
            if (record == nullptr) continue;
            if (record->Has(FolderRecord::TreeSizeKnown))
                found[below] = {record->treeSize.Bytes(), record->treeDiskSpace.Bytes()};
            for (TreeItemRecord* child = Tree().FirstChildRecord(*record); child != nullptr;
                 child = Tree().NextSiblingRecord(*child)) {
                pending.emplace_back(static_cast<const FolderRecord*>(child),
                                     below.empty() ? child->name : below + "/" + child->name);
            }
        }
        return found;
    }
    // The same, worked out from the files.
    std::map<std::string, FolderTotals> TotalsOnDisk(const std::string& relative = {}) const
    {
        return testsupport::FolderTotalsOnDisk(relative.empty() ? m_top : m_top + "/" + relative);
    }

    // Lists the folder and checks the rows: its subfolders as the tree
    // knows them, then each of its files once, by its raw name, with its
    // length, its name shown as the file system's encoding decodes it.
    void ExpectListShowsTheFiles(const std::string& relative)
    {
        SCOPED_TRACE(testing::PrintToString(relative));
        FolderRecord* folder = Record(relative);
        ASSERT_NE(folder, nullptr);
        List().SetFolder(folder);
        ASSERT_EQ(List().ListedFolder(), folder);
        std::set<std::string> subfolders;
        std::map<std::string, long long> files;
        for (int row = 0; row < List().Control().ItemCount(); ++row) {
            const FileListItem* item = List().ItemAt(row);
            ASSERT_NE(item, nullptr);
            EXPECT_EQ(item->displayName, QFile::decodeName(QByteArray::fromStdString(item->name)));
            EXPECT_EQ(List().Control().ItemText(row, FileListItem::NameColumn), item->displayName);
            if (item->IsFolder()) {
                subfolders.insert(item->folder->name);
            } else {
                EXPECT_TRUE(files.emplace(item->name, item->fileSize.Bytes()).second)
                    << testing::PrintToString(item->name) << " listed twice";
            }
        }
        std::set<std::string> known;
        for (TreeItemRecord* child = Tree().FirstChildRecord(*folder); child != nullptr;
             child = Tree().NextSiblingRecord(*child)) {
            known.insert(child->name);
        }
        EXPECT_EQ(subfolders, known);
        const std::string path = relative.empty() ? m_top : m_top + "/" + relative;
        EXPECT_EQ(files, testsupport::FilesOf(path));
    }

    // The numbers of copies of the duplicate groups the duplicates window
    // lists, in its order.
    std::multiset<QString> GroupCounts() const
    {
        const BrindleDupsListView& groups = TheMainView->DupsPane()->GroupsList();
        std::multiset<QString> counts;
        for (int row = 0; row < groups.Control().ItemCount(); ++row)
            counts.insert(groups.Control().ItemText(row, 2));
        return counts;
    }

    TempTree m_files;
    std::string m_top;
    FolderRecord* m_topRecord = nullptr;
};

TEST_F(WindowHardeningTest, SpecialFilesAndLinkLoopsAreCountedNeverOpened)
{
    ASSERT_TRUE(testsupport::MakeSpecialFilesAndLoops(m_files, "top"));
    const auto before = Snapshot(m_files.Path("top"));
    ClickTopAndScanToTheEnd();
    EXPECT_EQ(TotalsInTheTree(), TotalsOnDisk());
    ExpectListShowsTheFiles("");
    ExpectListShowsTheFiles("a");
    ExpectListShowsTheFiles("a/b");
    // The two files of "some data" are the only copies.
    EXPECT_EQ(GroupCounts(), std::multiset<QString>{"2"});
    EXPECT_EQ(Snapshot(m_files.Path("top")), before);
}

TEST_F(WindowHardeningTest, NamesThatAreNotTextAreScannedAndListedAsTheyAre)
{
    ASSERT_TRUE(testsupport::MakeOddNames(m_files, "top"));
    const auto before = Snapshot(m_files.Path("top"));
    ClickTopAndScanToTheEnd();
    EXPECT_EQ(TotalsInTheTree(), TotalsOnDisk());
    ExpectListShowsTheFiles("");
    for (const std::string& name : testsupport::OddFolderNames()) ExpectListShowsTheFiles(name);
    EXPECT_EQ(GroupCounts(), (std::multiset<QString>{"3", "2"}));
    EXPECT_EQ(Snapshot(m_files.Path("top")), before);
}

// Root, as which the tests run here, reads everything: the unreadable parts
// are scanned by the whole program run as nobody (larkspur-window-driver),
// which prints the totals it found once the scan has ended.
TEST_F(WindowHardeningTest, UnreadablePartsCountAsWhatCanBeSeen)
{
    ASSERT_TRUE(testsupport::MakeUnreadableParts(m_files, "top"));
    const std::string top = m_files.RealPath("top");
    const auto before = Snapshot(top);
    testsupport::ChildOutcome outcome;
    {
        const testsupport::AsUnprivileged unprivileged(top);
        if (!unprivileged.Usable()) GTEST_SKIP() << "cannot run the program as nobody";
        std::vector<std::string> words = unprivileged.Prefix();
        words.insert(words.end(), {LARKSPUR_WINDOW_DRIVER, "sizes", top});
        outcome = testsupport::RunChild(words);
    }
    ASSERT_FALSE(outcome.timedOut);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(ParseSizes(outcome.out),
              testsupport::FolderTotalsOnDisk(top, testsupport::AsUnprivileged::Listable))
        << outcome.out;
    EXPECT_EQ(Snapshot(top), before);
}

TEST_F(WindowHardeningTest, DeepTreesAndPathsNearTheLimitAreScannedToTheBottom)
{
    ASSERT_TRUE(testsupport::MakeDeepAndLongPaths(m_files, "top"));
    const auto before = Snapshot(m_files.Path("top"));
    ClickTopAndScanToTheEnd();
    EXPECT_EQ(TotalsInTheTree(), TotalsOnDisk());
    const std::string deepest = testsupport::DeepestFolder("top");
    const std::string longest = testsupport::LongestFolder(m_files, "top");
    ExpectListShowsTheFiles(deepest.substr(4));
    ExpectListShowsTheFiles(longest.substr(4));
    // The file whose path is one byte short of the limit and its twin.
    EXPECT_EQ(GroupCounts(), std::multiset<QString>{"2"});
    EXPECT_EQ(Snapshot(m_files.Path("top")), before);
}

TEST_F(WindowHardeningTest, AFolderOfManyFilesIsCountedAndListedWhole)
{
    ASSERT_TRUE(testsupport::MakeCrowdedFolder(m_files, "top/crowd", 100000));
    ClickTopAndScanToTheEnd();
    EXPECT_EQ(TotalsInTheTree(), TotalsOnDisk());
    ExpectListShowsTheFiles("crowd");
    EXPECT_EQ(List().Control().ItemCount(), 100000);
}

TEST_F(WindowHardeningTest, FilesChangingDuringTheScanNeitherStopNorFoolIt)
{
    ASSERT_TRUE(m_files.MakeDir("top/stable"));
    for (int i = 0; i < 40; ++i) {
        const std::string folder = "top/stable/s" + std::to_string(i);
        ASSERT_TRUE(m_files.MakeDir(folder));
        ASSERT_TRUE(m_files.MakeFile(folder + "/f", std::string(100 + i, 's')));
    }
    const auto before = Snapshot(m_files.Path("top/stable"));
    {
        testsupport::Churn churn(m_files, "top");
        ClickTopAndScanToTheEnd();
        // The list of the folder that changes most is shown while it changes.
        ASSERT_NE(Record("churn"), nullptr);
        List().SetFolder(Record("churn"));
        EXPECT_GT(churn.Rounds(), 0u);
    }
    EXPECT_EQ(TotalsInTheTree("stable"), TotalsOnDisk("stable"));
    ExpectListShowsTheFiles("stable/s7");
    EXPECT_EQ(Snapshot(m_files.Path("top/stable")), before);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunApplicationTests(argc, argv); }

// The whole program on a scratch corpus: a click on its top folder scans it,
// and its label, the duplicate groups and the road from a copy back to its
// folder and file agree with what is on the disk; Escape stops the scan
// from every pane.

#include <filesystem>
#include <map>
#include <string>

#include <QTest>
#include <gtest/gtest.h>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "engine/FileSize.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/FileListItem.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "support/AppTestMain.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "tree/LarkspurBrowserView.h"

namespace {

namespace fs = std::filesystem;

std::string Bytes(std::size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(seed >> 16);
    }
    return bytes;
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(TheMainView, nullptr);
        const std::string copy = Bytes(300000, 1);
        const std::string note = Bytes(20000, 2);
        std::string nearNote = note;
        nearNote[15000] ^= 1;  // same size, same head, different later
        for (const char* folder : {"top", "top/a", "top/a/b", "top/c", "top/docs"})
            ASSERT_TRUE(m_files.MakeDir(folder));
        ASSERT_TRUE(m_files.MakeFile("top/a/x.bin", copy));
        ASSERT_TRUE(m_files.MakeFile("top/a/b/z.bin", copy));
        ASSERT_TRUE(m_files.MakeFile("top/c/y.bin", copy));
        ASSERT_TRUE(m_files.MakeFile("top/c/big", Bytes(5000000, 3)));
        ASSERT_TRUE(m_files.MakeFile("top/docs/n1", note));
        ASSERT_TRUE(m_files.MakeFile("top/docs/n2", note));
        ASSERT_TRUE(m_files.MakeFile("top/docs/near", nearNote));
        ASSERT_TRUE(m_files.MakeFile("top/docs/empty1"));
        ASSERT_TRUE(m_files.MakeFile("top/empty2"));
        m_top = fs::canonical(m_files.Path("top"));
    }

    LarkspurBrowserView& Tree() { return *TheMainView->Tree(); }

    TempTree m_files;
    fs::path m_top;
};

TEST_F(EndToEndTest, AClickSizesTheTreeFindsTheCopiesAndLeadsBackToThem)
{
    const TreeItem topItem = FolderPopulation::BringPathIntoTree(Tree(), m_top.string());
    ASSERT_NE(topItem, TreeItem::None);
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      testsupport::LabelPoint(Tree(), topItem));
    ASSERT_TRUE(Tree().IsScanning());
    ASSERT_TRUE(testsupport::PumpUntil(
        [this] { return !Tree().IsScanning() && TaskManager::Instance().PendingCount() == 0; }));

    // The top folder's label shows its subtree's disk space (every folder's
    // totals against the disk: the window's hardening test).
    const auto* top = static_cast<FolderRecord*>(Tree().RecordOf(topItem));
    const auto onDisk = testsupport::FolderTotalsOnDisk(m_top.string()).at("");
    EXPECT_EQ(top->treeSize.Bytes(), onDisk.size);
    EXPECT_EQ(top->treeDiskSpace.Bytes(), onDisk.diskSpace);
    EXPECT_TRUE(Tree().Tree().ItemText(topItem).contains(
        QString::fromStdString(FileSize::FromBytes(onDisk.diskSpace).ToString())));

    // Exactly the identical files form groups: not the near copy, not the
    // empty files.
    BrindleDupsListView& groups = TheMainView->DupsPane()->GroupsList();
    std::map<QString, QString> listed;
    for (int row = 0; row < groups.Control().ItemCount(); ++row)
        listed[groups.Control().ItemText(row, 0)] = groups.Control().ItemText(row, 2);
    EXPECT_EQ(listed, (std::map<QString, QString>{{"x.bin, y.bin, z.bin", "3"}, {"n1, n2", "2"}}));

    // Choosing the group lists its copies; a click on a copy takes the tree
    // to its folder and the file list to the file.
    int groupRow = 0;
    while (groups.Control().ItemText(groupRow, 0) != "x.bin, y.bin, z.bin") ++groupRow;
    QTest::mouseClick(groups.viewport(), Qt::LeftButton, {}, groups.ItemRect(groupRow).center());
    BrindleFileListView& copies = TheMainView->DupsPane()->CopiesList();
    ASSERT_EQ(copies.Control().ItemCount(), 3);
    int copyRow = 0;
    while (copies.Control().ItemText(copyRow, 0) != "z.bin") ++copyRow;
    QTest::mouseClick(copies.viewport(), Qt::LeftButton, {}, copies.ItemRect(copyRow).center());

    const TreeItemRecord* selected = Tree().RecordOf(Tree().Tree().Selection());
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(FullPathOf(*selected), (m_top / "a" / "b").string());
    LarkspurListView& files = *TheMainView->FileList();
    EXPECT_EQ(files.ListedFolder(), selected);
    const std::vector<int> chosen = files.Control().SelectedItems();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(files.Control().ItemText(chosen.front(), FileListItem::NameColumn), "z.bin");
}

TEST_F(EndToEndTest, EscapeStopsTheScanFromEveryPane)
{
    const TreeItem topItem = FolderPopulation::BringPathIntoTree(Tree(), m_top.string());
    ASSERT_NE(topItem, TreeItem::None);
    auto* top = static_cast<FolderRecord*>(Tree().RecordOf(topItem));
    LarkspurDupsWnd& dups = *TheMainView->DupsPane();
    for (QWidget* pane :
         std::initializer_list<QWidget*>{TheMainView, &Tree(), TheMainView->FileList(),
                                         &dups.GroupsList(), &dups.CopiesList()}) {
        Tree().ResetAll();
        Tree().OnItemClicked(*top, false);
        ASSERT_TRUE(Tree().IsScanning()) << pane->metaObject()->className();
        QTest::keyClick(pane, Qt::Key_Escape);
        EXPECT_FALSE(Tree().IsScanning()) << pane->metaObject()->className();
        EXPECT_FALSE(top->Has(FolderRecord::SizeQueued));
    }
    TaskManager::Instance().WaitUntilIdle();
    testsupport::PumpUntil([] { return TaskManager::Instance().PendingCount() == 0; });
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunApplicationTests(argc, argv); }

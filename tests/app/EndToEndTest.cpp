// The whole program on a scratch tree: a click scans, a copy in the duplicates
// pane leads back to its file, Escape stops a scan from every pane, and a
// treemap tile leads to its folder.

#include <QTest>
#include <gtest/gtest.h>

#include "app/CLarkspurApp.h"
#include "app/CLarkspurView.h"
#include "app/CMainFrame.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "resources/StringTable.h"
#include "support/HostileTree.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "resources/CommandIds.h"
#include "tree/LarkspurBrowserView.h"
#include "treemap/TreemapView.h"
#include "framework/CommandRouter.h"

namespace {

// One scratch tree: copies of 300 kB in three folders, two notes and a near
// copy, empty files, and c/ the largest folder; scanned by a click on its
// label, to the end and the idle prompt.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string copy(300000, 'c'), note(20000, 'n');
        std::string nearNote = note;
        nearNote[15000] ^= 1;  // same size, same head, different later
        for (const char* folder : {"top", "top/a", "top/a/b", "top/c", "top/docs"})
            ASSERT_TRUE(m_files.MakeDir(folder));
        const std::pair<const char*, std::string> layout[] = {
            {"a/x.bin", copy},   {"a/b/z.bin", copy}, {"c/y.bin", copy},
            {"docs/n1", note},   {"docs/n2", note},   {"docs/near", nearNote},
            {"docs/empty1", ""}, {"empty2", ""},      {"c/big", std::string(5000000, 'b')},
        };
        for (const auto& [name, contents] : layout)
            ASSERT_TRUE(m_files.MakeFile("top/" + std::string(name), contents));
        top = m_files.RealPath("top");
        m_item = FolderPopulation::BringPathIntoTree(tree, top);
        ASSERT_NE(m_item, TreeItem::None);
        tree.ResetAll();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                          testsupport::LabelPoint(tree, m_item));
        const QString idle = resources::StringTable::Load(resources::IDS_IDLE_PROMPT);
        ASSERT_TRUE(testsupport::PumpUntil([&] {
            return !tree.IsScanning() && TaskManager::Instance().PendingCount() == 0 &&
                   CLarkspurApp::Instance()->MainFrame()->MessageText() == idle;
        }));
    }
    TempTree m_files;
    std::string top;
    LarkspurBrowserView& tree = *TheMainView->Tree();
    TreeItem m_item = TreeItem::None;
};

TEST_F(EndToEndTest, AClickSizesTheTreeFindsTheCopiesAndLeadsBackToThem)
{
    auto* record = static_cast<FolderRecord*>(tree.RecordOf(m_item));
    const auto totals = testsupport::FolderTotalsOnDisk(top)[""];
    EXPECT_EQ(record->treeSize.Bytes(), totals.size);
    EXPECT_EQ(record->treeDiskSpace.Bytes(), totals.diskSpace);
    // Neither the near copy nor the empty files make a group.
    const std::map<QString, QString> expected{{"n1, n2", "2"}, {"x.bin, y.bin, z.bin", "3"}};
    LarkspurDupsWnd& dups = *TheMainView->DupsPane();
    BrindleDupsListView& groups = dups.GroupsList();
    std::map<QString, QString> listed;
    for (int row = 0; row < groups.Control().ItemCount(); ++row)
        listed[groups.Control().ItemText(row, 0)] = groups.Control().ItemText(row, 2);
    EXPECT_EQ(listed, expected);

    // Choosing a group lists its copies; a click on a copy takes the tree
    // to its folder and the file list to the file.
    int groupRow = 0;
    while (groups.Control().ItemText(groupRow, 0) != "x.bin, y.bin, z.bin") ++groupRow;
    QTest::mouseClick(groups.viewport(), Qt::LeftButton, {}, groups.ItemRect(groupRow).center());
    BrindleFileListView& copies = dups.CopiesList();
    ASSERT_EQ(copies.Control().ItemCount(), 3);
    int copyRow = 0;
    while (copies.Control().ItemText(copyRow, 0) != "z.bin") ++copyRow;
    QTest::mouseClick(copies.viewport(), Qt::LeftButton, {}, copies.ItemRect(copyRow).center());
    const TreeItemRecord* selected = tree.RecordOf(tree.Tree().Selection());
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(FullPathOf(*selected), top + "/a/b");
    LarkspurListView& list = *TheMainView->FileList();
    EXPECT_EQ(list.ListedFolder(), selected);
    ASSERT_EQ(list.Control().SelectedItems().size(), 1u);
    EXPECT_EQ(list.Control().ItemText(list.Control().SelectedItems()[0], FileListItem::NameColumn),
              "z.bin");

    // Escape stops a new scan from every pane.
    for (QWidget* pane : std::initializer_list<QWidget*>{
             TheMainView, &tree, TheMainView->FileList(), &dups.GroupsList(), &dups.CopiesList()}) {
        SCOPED_TRACE(pane->metaObject()->className());
        tree.ResetAll();
        tree.OnItemClicked(*record, false);
        ASSERT_TRUE(tree.IsScanning());
        QTest::keyClick(pane, Qt::Key_Escape);
        EXPECT_FALSE(tree.IsScanning());
        EXPECT_FALSE(record->Has(FolderRecord::SizeQueued));
    }
}

// The View command shows the treemap of the selected folder and keeps the
// choice; a click on a subfolder's tile (c/, the largest) selects that folder in the tree and
// the file list, a double click or Enter shows it in the treemap.
TEST_F(EndToEndTest, ATreemapTileLeadsToItsFolder)
{
    framework::CommandRouter& router = CLarkspurApp::Instance()->MainFrame()->Router();
    platform::SettingsStore& settings = CLarkspurApp::Instance()->Settings();
    ASSERT_FALSE(TheMainView->TreemapShown());
    ASSERT_TRUE(router.Execute(resources::ID_VIEW_TREEMAP));
    EXPECT_EQ(settings.ReadInt("Options", "Show Treemap", -1), 1);
    TreemapView& map = *TheMainView->Treemap();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return map.width() > 50 && map.height() > 50; }));
    const FolderRecord* shown = map.ShownFolder();
    ASSERT_EQ(shown, tree.RecordOf(m_item));

    QPoint centre;
    for (const TreemapTile& tile : map.Tiles())
        if (tile.kind == TreemapTile::Kind::Folder && FullPathOf(*tile.folder) == top + "/c")
            centre = tile.rect.center().toPoint();
    ASSERT_FALSE(centre.isNull());
    QTest::mouseClick(&map, Qt::LeftButton, {}, centre);
    const TreeItemRecord* selected = tree.RecordOf(tree.Tree().Selection());
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(FullPathOf(*selected), top + "/c");
    EXPECT_EQ(TheMainView->FileList()->ListedFolder(), selected);
    EXPECT_EQ(map.ShownFolder(), shown);
    QTest::mouseDClick(&map, Qt::LeftButton, {}, centre);
    EXPECT_EQ(map.ShownFolder(), selected);
    // Backspace goes up; the first arrow highlights the largest item, which
    // Enter shows.
    QTest::keyClick(&map, Qt::Key_Backspace);
    EXPECT_EQ(map.ShownFolder(), shown);
    QTest::keyClick(&map, Qt::Key_Right);
    QTest::keyClick(&map, Qt::Key_Return);
    EXPECT_EQ(map.ShownFolder(), selected);

    ASSERT_TRUE(router.Execute(resources::ID_VIEW_TREEMAP));
    EXPECT_FALSE(TheMainView->TreemapShown());
    EXPECT_EQ(settings.ReadInt("Options", "Show Treemap", -1), 0);
}

}  // namespace

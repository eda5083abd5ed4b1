// The file list and the duplicates window's lists on a fake tree. m_folder holds the folders
// pending (in the tree) and notintree, and the files huge, three, A.txt, b.txt; gone: tree only.
#include <fcntl.h>
#include <sys/stat.h>

#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

#include "engine/WindowMessages.h"
#include "framework/SizeTextSource.h"
#include "framework/SystemImageList.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/FileLauncher.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "model/SharedImageList.h"
#include "platform/DecodedName.h"
#include "platform/MessageQueue.h"
#include "platform/ShellIcons.h"
#include "resources/CommandIds.h"
#include "support/FakeDeletionHandler.h"
#include "support/FakeTreeActions.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"

namespace {

using Texts = std::vector<QString>;

class ListsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Sizes that differ by more than an int holds, and two equal ones.
        ASSERT_TRUE(m_disk.MakeDir("pending") && m_disk.MakeDir("notintree") &&
                    m_disk.MakeSparseFile("huge", (std::uint64_t{1} << 32) + 2) &&
                    m_disk.MakeFile("three", "abc") && m_disk.MakeFile("b.txt", "1234567890") &&
                    m_disk.MakeFile("A.txt", "0987654321"));
        const char* const byAge[] = {"huge", "pending", "A.txt", "b.txt", "three"};
        for (int i = 0; i < 5; ++i) {  // b.txt as old as A.txt
            const timespec at{1000000000 + 100000000 * (i - (i > 2)), 0}, times[2] = {at, at};
            ASSERT_EQ(::utimensat(AT_FDCWD, m_disk.Path(byAge[i]).c_str(), times, 0), 0);
        }
        ResetSharedImageListForTesting();
        SetSharedImageList(m_tree.Tree(), &m_images);
        m_folder = &m_tree.Add(m_tree.MakeRoot(), m_disk.Root());
        m_folder->clusterSize = 4096;
        m_pending = &m_tree.Add(*m_folder, "pending");
        m_gone = &m_tree.Add(*m_folder, "gone");
        m_list.SetTree(&m_tree);
        m_window.SetDataLock(&m_tree.DataLock());
        m_list.SetActions(&m_actions, &m_deletion);
        m_window.SetActions(&m_actions, &m_deletion);
    }

    // A column's cells; in the copies list's names, each with its folder.
    Texts Cells(const framework::DetailListView& list, int column = 0)
    {
        Texts cells;
        const bool copies = &list == static_cast<framework::DetailListView*>(&Copies());
        for (int row = 0; row < list.Control().ItemCount(); ++row)
            cells.push_back(list.Control().ItemText(row, column) +
                            (copies && column == 0 ? " " + list.Control().ItemText(row, 1) : ""));
        return cells;
    }
    int RowOf(const std::string& name) const
    {
        for (int row = 0; row < m_rows.ItemCount(); ++row)
            if (m_list.ItemAt(row)->name == name) return row;
        return -1;
    }
    int MarkOf(const std::string& name) const { return m_rows.ItemStateImage(RowOf(name)); }
    QString Text(const std::string& name, int c) const { return m_rows.ItemText(RowOf(name), c); }
    void Select(const QString& names)  // separated by spaces
    {
        m_rows.SelectOnly(-1);
        for (const QString& name : names.split(' ', Qt::SkipEmptyParts))
            m_rows.SetItemState(RowOf(name.toStdString()), ListControl::Selected,
                                ListControl::Selected);
    }
    static void Click(framework::DetailListView& l, int c) { Q_EMIT l.header()->sectionClicked(c); }
    // A copy in group, freed by its folder: "/name" in the listed folder, "/a/name" in "/a".
    DupMember& Add(DupGroup& group, const std::string& path)
    {
        const auto slash = path.rfind('/');
        const std::string folder = path.substr(0, slash);
        FolderRecord* record = slash == 0 ? m_folder : m_tree.Child(m_tree.Root(), folder);
        if (record == nullptr) record = &m_tree.Add(m_tree.Root(), folder);
        DupMember* member = DupMember::Make(path.substr(slash + 1));
        member->folder = record;
        member->group = &group;
        record->AddDuplicateMember(member);
        group.InsertMember(member);
        return *member;
    }
    DupGroup& Group(std::uint64_t size, const std::vector<std::string>& names)
    {
        DupGroup& group = *m_groups.emplace_back(std::make_unique<DupGroup>(0, size));
        for (const std::string& name : names) Add(group, name);
        return group;
    }
    BrindleDupsListView& Groups() { return m_window.GroupsList(); }
    BrindleFileListView& Copies() { return m_window.CopiesList(); }

    TempTree m_disk;
    std::vector<std::unique_ptr<DupGroup>> m_groups;  // outlive the members' records
    SystemImageList m_images;
    testsupport::FolderTreeFake m_tree;
    FolderRecord *m_folder = nullptr, *m_pending = nullptr, *m_gone = nullptr;
    LarkspurListView m_list;
    ListControl& m_rows = m_list.Control();
    testsupport::FakeTreeActions m_actions;
    testsupport::FakeDeletionHandler m_deletion{m_tree.DataLock()};
    LarkspurDupsWnd m_window;
};

TEST_F(ListsTest, FileListShowsFoldersThenFilesTotalsAndMarksUntilItsFolderIsForgotten)
{
    const std::string odd = "caf\xe9 \xff.bin";  // not UTF-8
    ASSERT_TRUE(m_disk.MakeFile(odd, "abc"));
    m_folder->clusterSize = 0;  // outside the file system: tree order, unsorted
    m_list.SetFolder(m_folder);
    const Texts names = Cells(m_list);
    ASSERT_EQ(names.size(), 7u);  // no folder that is not in the tree
    EXPECT_EQ(Texts(names.begin(), names.begin() + 2), (Texts{"pending", "gone"}));
    EXPECT_EQ(Text(odd, 0), platform::DecodedName(odd));
    // A folder's size is still unknown; gone's entry cannot be read.
    EXPECT_EQ(Text("three", 2) + "|" + Text("pending", 2) + "|" + Text("gone", 3), "3||");
    EXPECT_TRUE(m_folder->Has(FolderRecord::InFileList) && m_gone->Has(FolderRecord::InFileList));
    // Icons follow the type of the name; a second listing finds them at once.
    m_list.ResolvePendingIcons();
    const int text = m_images.IndexOf(platform::ShellIcons::MimeTypeOfFileName("x.txt"));
    EXPECT_TRUE(m_rows.ItemImage(RowOf("A.txt")) == text && m_rows.ItemImage(RowOf(odd)) != text);

    // A total fills in its row; the rows re-sort once the listed folder is done.
    m_folder->clusterSize = 4096;
    m_list.Refresh();
    EXPECT_EQ(m_list.PendingIconCount(), 0u);
    EXPECT_EQ(m_rows.ItemImage(RowOf("b.txt")), text);
    m_pending->Set(FolderRecord::TreeSizeKnown);
    m_pending->treeSize = FileSize::FromBytes(1234567);
    m_pending->treeDiskSpace = FileSize::FromBytes(1236992);
    m_list.UpdateFolderRow(*m_pending);
    EXPECT_EQ(Text("pending", 2) + " " + Text("pending", 1), "1,234,567 1,236,992");
    EXPECT_EQ(RowOf("pending"), 1);
    m_list.UpdateFolderRow(*m_folder);
    EXPECT_EQ(RowOf("pending"), 2);

    m_list.ForgetFolder(*m_gone);
    EXPECT_EQ(RowOf("gone"), -1);
    m_list.UpdateFolderRow(*m_gone);  // no longer known: nothing happens
    m_list.ForgetFolder(*m_folder);
    EXPECT_EQ(m_rows.ItemCount(), 0);
    EXPECT_TRUE(m_list.ListedFolder() == nullptr && m_list.ShownFolder().folder == nullptr);
    for (const FolderRecord* record : {m_gone, m_pending, m_folder})
        EXPECT_FALSE(record->Has(FolderRecord::InFileList)) << record->name;

    // Marks come from the members by exact name, and from news of the current fill only.
    ASSERT_TRUE(m_disk.MakeFile("notintree/b.txt") && m_disk.MakeFile("notintree/last"));
    Group(4, {"/A.txt"});
    Group(4, {"/b.txt", "/THREE", "/a/b.txt"});  // THREE: another case
    m_pending->Set(FolderRecord::DupsKnown);
    m_list.SetFolder(m_folder);
    using F = FileListItem;
    EXPECT_EQ((std::vector{MarkOf("A.txt"), MarkOf("b.txt"), MarkOf("three"), MarkOf("pending")}),
              (std::vector<int>{F::NoCopy, F::HasCopies, F::NoMark, F::NoCopy}));

    // Duplicate search switched off: the data goes, and so do the marks.
    m_folder->ClearDuplicates(true, nullptr);
    m_pending->Clear(FolderRecord::DupsKnown);
    m_list.RefreshMarks();
    for (const char* name : {"A.txt", "b.txt", "pending"})
        EXPECT_EQ(MarkOf(name), F::NoMark) << name;
    m_pending->Set(FolderRecord::DupsKnown);
    m_list.MarkFolderSearched(*m_pending);
    EXPECT_EQ(MarkOf("pending"), F::NoCopy);

    const auto post = [&](const char* name, std::uint32_t generation, bool single) {
        platform::MessageQueue::Instance().PostText(m_list.DupStateWindow(), UM_FILE_DUP_STATE,
                                                    name, DupStateLParam(generation, single));
    };
    const std::uint32_t stale = m_list.ShownFolder().generation;
    post("A.txt", stale, false);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return MarkOf("A.txt") == F::HasCopies; }));
    // A mark made for the first folder arrives after the list moved on.
    m_list.SetFolder(&m_tree.Add(m_tree.Root(), m_disk.Path("notintree")));
    post("b.txt", stale, true);
    post("last", m_list.ShownFolder().generation, true);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return MarkOf("last") != 0; }));
    EXPECT_EQ(MarkOf("b.txt"), F::NoMark);
}

// Each step clicks a header (-1: none); a group's row names each run of names once.
TEST_F(ListsTest, EachListSortsByTheClickedColumnFirstInItsOwnDirectionWithNamesBreakingTies)
{
    m_list.SetFolder(m_folder);
    for (const auto& [size, names] : std::vector<std::pair<int, std::vector<std::string>>>{
             {100, {"/a/z", "/a/z", "/a/z", "/a/z", "/a/z"}},
             {200, {"/a/b", "/a/B"}},
             {300, {"/a/m", "/a/m", "/a/m", "/a/m", "/a/m", "/a/m"}},
             {200, {"/a/A", "/a/A", "/a/A", "/a/A"}},
             {50, {"/a/single"}},  // no row for fewer than two copies
             {10, {"/b/f", "/a/f", "/b/E"}}})
        m_window.AddOrUpdateGroup(Group(size, names));
    Groups().SelectRowOf(*m_groups.back());

    using F = FileListItem;
    using G = BrindleDupsListView;
    const std::tuple<framework::DetailListView*, int, Texts> steps[] = {
        {&m_list, -1, {"gone", "pending", "huge", "A.txt", "b.txt", "three"}},
        {&m_list, F::FileSizeColumn, {"three", "A.txt", "b.txt", "huge", "gone", "pending"}},
        {&m_list, F::NameColumn, {"gone", "pending", "A.txt", "b.txt", "huge", "three"}},
        {&m_list, F::NameColumn, {"three", "huge", "b.txt", "A.txt", "pending", "gone"}},
        {&m_list, F::ModifiedColumn, {"three", "A.txt", "b.txt", "pending", "huge", "gone"}},
        {&m_list, F::ModifiedColumn, {"gone", "huge", "pending", "A.txt", "b.txt", "three"}},
        {&m_list, F::DiskSpaceColumn, {"gone", "pending", "A.txt", "b.txt", "three", "huge"}},
        {&Groups(), -1, {"m", "A", "B, b", "z", "E, f"}},
        {&Groups(), G::SizeColumn, {"E, f", "z", "A", "B, b", "m"}},
        {&Groups(), G::NameColumn, {"A", "B, b", "E, f", "m", "z"}},
        {&Groups(), G::NameColumn, {"z", "m", "E, f", "B, b", "A"}},
        {&Groups(), G::CountColumn, {"m", "z", "A", "E, f", "B, b"}},
        {&Groups(), G::SizeColumn, {"m", "A", "B, b", "z", "E, f"}},
        {&Copies(), -1, {"E /b", "f /a", "f /b"}},
        {&Copies(), BrindleFileListView::NameColumn, {"f /b", "f /a", "E /b"}},
        {&Copies(), BrindleFileListView::PathColumn, {"f /a", "E /b", "f /b"}},
    };
    for (const auto& [list, click, rows] : steps) {
        SCOPED_TRACE(rows.front().toStdString() + " " + std::to_string(click));
        if (click >= 0) Click(*list, click);
        EXPECT_EQ(Cells(*list), rows);
    }
    struct : framework::SizeTextSource {  // another unit
        QString SizeText(FileSize s) const override { return QString::number(s.Bytes()) + " B"; }
        int SizeTextWidth(FileSize) const override { return 0; }
        QString PaddedSizeText(FileSize size, FileSize) const override { return SizeText(size); }
    } bytes;
    framework::SizeTextSource::SetInstance(&bytes);
    m_window.RefreshSizes();
    framework::SizeTextSource::SetInstance(nullptr);
    EXPECT_EQ(Cells(Groups(), 1).front() + " " + Cells(Groups(), 2).front(), "300 B 6");
}

TEST_F(ListsTest, TheSelectionChoosesTheMenuTheCommandsAndTheDeletionInEitherWindow)
{
    const std::string odd = "\xfe\xff";
    ASSERT_TRUE(m_disk.MakeFile(odd));
    Add(Group(4, {}), "/b.txt");
    std::vector<std::string> launched;
    const auto launch = [&](const std::string& name, const std::string& folder) {
        return launched.push_back(folder + name), 33;
    };
    FileLauncher::SetForTesting(launch, {});
    m_list.SetFolder(m_folder);
    for (const std::string& name : {std::string("A.txt"), odd, std::string("a.txt")}) {
        m_list.SelectFileByName(name);  // its exact bytes
        const int row = RowOf(name);
        EXPECT_EQ(m_rows.SelectedItems(), row < 0 ? std::vector<int>{} : std::vector<int>{row});
        EXPECT_TRUE(row < 0 || m_rows.FocusedItem() == row) << name;
    }

    using Menu = LarkspurListView::ContextMenu;
    std::vector<Menu> menus;
    for (const char* selection : {"", "pending", "A.txt b.txt", "pending gone", "pending three"})
        Select(selection), menus.push_back(m_list.ContextMenuForSelection());
    EXPECT_EQ(menus, (std::vector{Menu::None, Menu::Folder, Menu::File, Menu::Both, Menu::Both}));

    framework::CommandState state;
    ASSERT_TRUE(m_list.OnUpdateCommand(resources::ID_DELETE, state) && state.enabled);
    m_list.OnCommand(resources::ID_OPEN);  // files only
    EXPECT_EQ(launched, std::vector<std::string>{DirectoryPathOf(*m_folder) + "three"});
    m_list.OnCommand(resources::ID_EXPLORE);
    Select("three");
    m_list.OnCommand(resources::ID_CLEAR_FOLDER_DATA);  // a file: nothing
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"Explore pending"});
    FileLauncher::SetForTesting({}, {});

    // One chain, in row order, handed over under the lock.
    Click(m_list, FileListItem::NameColumn);
    Select("b.txt pending A.txt");
    m_list.DeleteSelected();
    EXPECT_TRUE(m_deletion.senderHeldLock);

    m_list.resize(400, 300), m_list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_list));
    QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {},
                       m_list.ItemRect(RowOf("pending")).center());
    EXPECT_EQ(m_actions.calls.back(), "Enter pending");
    EXPECT_EQ(m_list.ListedFolder(), m_pending);

    DupGroup& pair = Group(10, {"/a/p", "/a/q"});
    const DupMember& q = **++pair.Members().begin();
    m_window.AddOrUpdateGroup(Group(99, {"/a/big", "/b/big"}));
    m_window.AddOrUpdateGroup(pair);
    m_window.ShowCopy(q);
    m_window.AddOrUpdateGroup(Group(199, {"/a/top", "/b/top"}));  // the chosen row moves down
    EXPECT_EQ(Groups().Control().FirstSelected(), 2);
    EXPECT_EQ(Copies().Control().ItemData(Copies().Control().FirstSelected()), &q);

    // A new member refills the list; the chosen copy stays chosen.
    Add(pair, "/b/a");
    m_window.AddOrUpdateGroup(pair);
    EXPECT_EQ(Copies().Control().ItemData(Copies().Control().FirstSelected()), &q);
    // Groups down to one copy lose their rows, by either road; the list stays.
    for (const std::string name : {"o", "n"}) {
        DupGroup& group = Group(5, {"/a/" + name, "/b/" + name});
        m_window.AddOrUpdateGroup(group);
        group.RemoveMember(*group.FirstMember());
        name == "o" ? m_window.RefreshGroup(group) : m_window.AddOrUpdateGroup(group);
    }
    EXPECT_EQ(Cells(Groups()), (Texts{"top", "big", "a, p, q"}));
    EXPECT_EQ(Copies().Control().ItemCount(), 3);

    m_window.resize(800, 300), m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    m_window.resize(1000, 400);
    EXPECT_EQ(Groups().width(), BrindleDupsListView::kColumnsWidth + 13);  // as at first

    QTest::keyClick(&Groups(), Qt::Key_Delete);
    Copies().SelectOnly(2);
    Copies().DeleteSelected();
    std::string requests;  // per chain, in order; "+": the request names its copy
    for (const auto& chain : m_deletion.chains) {
        for (const DeletionRequest& r : chain)
            requests +=
                (r.folder == m_folder ? "" : r.folder->name + "/") + r.name +
                (r.copy && r.copy->folder == r.folder && r.copy->Name() == r.name ? "+ " : " ");
        requests += "| ";
    }
    EXPECT_EQ(requests, "pending/ A.txt b.txt+ | /b/a+ /a/p+ /a/q+ | /a/q+ | ");
    EXPECT_TRUE(m_deletion.senderHeldLock);
    m_window.ClearAll();
    EXPECT_TRUE(Groups().Control().ItemCount() == 0 && Copies().ShownGroup() == nullptr);
}

}  // namespace

#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

#include "engine/DupGroup.h"
#include "engine/WindowMessages.h"
#include "framework/SystemImageList.h"
#include "lists/FileLauncher.h"
#include "lists/LarkspurListView.h"
#include "platform/MessageQueue.h"
#include "platform/ShellIcons.h"
#include "resources/CommandIds.h"
#include "support/FakeDeletionHandler.h"
#include "support/FakeTreeActions.h"
#include "support/FolderTreeFake.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/WidgetTestMain.h"
#include "model/SharedImageList.h"

namespace {

using testsupport::FakeDeletionHandler;
using testsupport::FakeTreeActions;

QString Decoded(const std::string& name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

void SetModified(const std::string& path, std::time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

class LarkspurListViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_disk.IsValid());
        ResetSharedImageListForTesting();
        SetSharedImageList(m_tree.Tree(), &m_images);
        m_root = &m_tree.MakeRoot();
        m_folder = &m_tree.Add(*m_root, m_disk.Root());
        m_folder->clusterSize = 4096;
        m_list.SetTree(&m_tree);
    }

    // Rows' names in row order.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int row = 0; row < m_list.Control().ItemCount(); ++row) {
            names.push_back(m_list.ItemAt(row)->name);
        }
        return names;
    }
    int RowOf(const std::string& name) const
    {
        for (int row = 0; row < m_list.Control().ItemCount(); ++row) {
            if (m_list.ItemAt(row)->name == name) return row;
        }
        return -1;
    }
    int MarkOf(const std::string& name) const
    {
        return m_list.Control().ItemStateImage(RowOf(name));
    }
    QString Text(const std::string& name, int column) const
    {
        return m_list.Control().ItemText(RowOf(name), column);
    }
    void Select(const std::vector<std::string>& names)
    {
        ListControl& control = m_list.Control();
        control.SelectOnly(-1);
        for (const std::string& name : names) {
            control.SetItemState(RowOf(name), ListControl::Selected, ListControl::Selected);
        }
    }
    void ClickHeader(int column) { Q_EMIT m_list.header()->sectionClicked(column); }
    DupMember* AddMember(FolderRecord& folder, DupGroup& group, const std::string& name)
    {
        auto* member = new DupMember;
        member->folder = &folder;
        member->name = name;
        member->group = &group;
        folder.AddDuplicateMember(member);
        group.InsertMemberLink(new DupLink{nullptr, member});
        return member;
    }

    TempTree m_disk;
    // Groups outlive the tree, whose records free their members.
    DupGroup m_single{1, 4};
    DupGroup m_pair{2, 4};
    SystemImageList m_images;
    testsupport::FolderTreeFake m_tree;
    FolderRecord* m_root = nullptr;
    FolderRecord* m_folder = nullptr;
    LarkspurListView m_list;
};

TEST_F(LarkspurListViewTest, ListsTreeChildrenInTreeOrderThenEveryFileButNoDirectory)
{
    const std::string odd = "caf\xe9 \xff.bin";  // not UTF-8
    ASSERT_TRUE(m_disk.MakeDir("zeta") && m_disk.MakeDir("alpha") && m_disk.MakeDir("notintree"));
    ASSERT_TRUE(m_disk.MakeFile("small.txt", "12345") && m_disk.MakeFile(".hidden", "x") &&
                m_disk.MakeFile(odd, "abc"));
    FolderRecord& zeta = m_tree.Add(*m_folder, "zeta");
    FolderRecord& alpha = m_tree.Add(*m_folder, "alpha");
    FolderRecord& gone = m_tree.Add(*m_folder, "gone");  // no folder on disk
    zeta.Set(FolderRecord::TreeSizeKnown);
    zeta.treeSize = FileSize::FromBytes(1234567);
    zeta.treeDiskSpace = FileSize::FromBytes(1236992);
    m_folder->clusterSize = 0;  // outside the file system: tree order, unsorted

    m_list.SetFolder(m_folder);

    const std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"zeta", "alpha", "gone"}));
    EXPECT_EQ(RowOf("notintree"), -1);
    EXPECT_EQ(RowOf("."), -1);
    EXPECT_NE(RowOf(".hidden"), -1);
    EXPECT_EQ(m_list.Control().ItemText(RowOf(odd), 0), Decoded(odd));

    EXPECT_EQ(Text("zeta", 2), "1,234,567");
    EXPECT_EQ(Text("zeta", 1), "1,236,992");
    EXPECT_EQ(Text("alpha", 2), "");  // pending
    EXPECT_EQ(m_list.ItemAt(RowOf("alpha"))->fileSize, FileListItem::kPendingSize);
    EXPECT_EQ(Text("small.txt", 2), "5");
    EXPECT_NE(Text("alpha", 3), "");
    EXPECT_EQ(Text("gone", 3), "");  // its entry cannot be read

    for (FolderRecord* record : {m_folder, &zeta, &alpha, &gone}) {
        EXPECT_TRUE(record->Has(FolderRecord::InFileList)) << record->name;
    }
    EXPECT_EQ(m_list.Control().SelectedCount(), 0);
}

TEST_F(LarkspurListViewTest, SortsBySizeLargestFirstWithPendingFoldersOnTopAndNamesBreakingTies)
{
    // Sizes that differ by more than an int can hold, and two equal ones.
    ASSERT_TRUE(m_disk.MakeSparseFile("huge", (std::uint64_t{1} << 32) + 2));
    ASSERT_TRUE(m_disk.MakeFile("three", "abc"));
    ASSERT_TRUE(m_disk.MakeFile("b.txt", "1234567890") && m_disk.MakeFile("A.txt", "0987654321"));
    ASSERT_TRUE(m_disk.MakeDir("pending"));
    m_tree.Add(*m_folder, "pending");

    m_list.SetFolder(m_folder);
    EXPECT_EQ(Names(), (std::vector<std::string>{"pending", "huge", "A.txt", "b.txt", "three"}));

    ClickHeader(FileListItem::FileSizeColumn);  // the sort column: reverses
    EXPECT_TRUE(m_list.SortAscending());
    EXPECT_EQ(Names(), (std::vector<std::string>{"three", "A.txt", "b.txt", "huge", "pending"}));

    ClickHeader(FileListItem::NameColumn);  // first click: ascending
    EXPECT_EQ(Names(), (std::vector<std::string>{"pending", "A.txt", "b.txt", "huge", "three"}));
    ClickHeader(FileListItem::NameColumn);  // files before folders
    EXPECT_EQ(Names(), (std::vector<std::string>{"three", "huge", "b.txt", "A.txt", "pending"}));

    ClickHeader(FileListItem::DiskSpaceColumn);  // first click: descending
    EXPECT_FALSE(m_list.SortAscending());
    EXPECT_EQ(m_list.ItemAt(0)->name, "pending");

    ClickHeader(7);  // no such column
    EXPECT_EQ(m_list.SortColumn(), FileListItem::DiskSpaceColumn);
}

TEST_F(LarkspurListViewTest, ModifiedOrdersByTimeThenByNameInEitherDirection)
{
    for (const char* name : {"old", "b-same", "A-same", "new"}) {
        ASSERT_TRUE(m_disk.MakeFile(name));
    }
    SetModified(m_disk.Path("old"), 1000000000);
    SetModified(m_disk.Path("b-same"), 1500000000);
    SetModified(m_disk.Path("A-same"), 1500000000);
    SetModified(m_disk.Path("new"), 1700000000);
    m_tree.Add(*m_folder, "no-entry");  // no time: earlier than any

    m_list.SetFolder(m_folder);
    ClickHeader(FileListItem::ModifiedColumn);
    EXPECT_EQ(Names(), (std::vector<std::string>{"new", "A-same", "b-same", "old", "no-entry"}));
    ClickHeader(FileListItem::ModifiedColumn);
    EXPECT_EQ(Names(), (std::vector<std::string>{"no-entry", "old", "A-same", "b-same", "new"}));
}

TEST_F(LarkspurListViewTest, FolderTotalsFillInWithoutResortingUntilTheListedFolderIsDone)
{
    ASSERT_TRUE(m_disk.MakeDir("sub") && m_disk.MakeFile("file", "123"));
    FolderRecord& sub = m_tree.Add(*m_folder, "sub");
    m_list.SetFolder(m_folder);
    ASSERT_EQ(Names(), (std::vector<std::string>{"sub", "file"}));

    sub.Set(FolderRecord::TreeSizeKnown);
    sub.treeSize = FileSize::FromBytes(1);
    sub.treeDiskSpace = FileSize::FromBytes(4096);
    m_list.UpdateFolderRow(sub);
    EXPECT_EQ(Text("sub", 2), "1");
    EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "file"}));

    m_list.UpdateFolderRow(*m_folder);
    EXPECT_EQ(Names(), (std::vector<std::string>{"file", "sub"}));
}

TEST_F(LarkspurListViewTest, MarksComeFromTheFolderMembersMatchedByExactName)
{
    ASSERT_TRUE(m_disk.MakeFile("alone", "1") && m_disk.MakeFile("twin", "2") &&
                m_disk.MakeFile("Readme", "3") && m_disk.MakeDir("searched"));
    AddMember(*m_folder, m_single, "alone");
    AddMember(*m_folder, m_pair, "twin");
    FolderRecord& elsewhere = m_tree.Add(*m_root, "/elsewhere");
    AddMember(elsewhere, m_pair, "twin");
    AddMember(*m_folder, m_pair, "README");  // differs in case only
    FolderRecord& searched = m_tree.Add(*m_folder, "searched");
    searched.Set(FolderRecord::DupsKnown);

    m_list.SetFolder(m_folder);
    EXPECT_EQ(MarkOf("alone"), FileListItem::NoCopy);
    EXPECT_EQ(MarkOf("twin"), FileListItem::HasCopies);
    EXPECT_EQ(MarkOf("Readme"), FileListItem::NoMark);
    EXPECT_EQ(MarkOf("searched"), FileListItem::NoCopy);

    // Duplicate search switched off: the data goes, and so do the marks.
    m_folder->ClearDuplicates(true, nullptr);
    searched.Clear(FolderRecord::DupsKnown);
    m_list.RefreshMarks();
    EXPECT_EQ(MarkOf("alone"), FileListItem::NoMark);
    EXPECT_EQ(MarkOf("twin"), FileListItem::NoMark);
    EXPECT_EQ(MarkOf("searched"), FileListItem::NoMark);

    searched.Set(FolderRecord::DupsKnown);
    m_list.MarkFolderSearched(searched);
    EXPECT_EQ(MarkOf("searched"), FileListItem::NoCopy);
}

TEST_F(LarkspurListViewTest, DupStateMarksApplyToTheCurrentFillOnly)
{
    ASSERT_TRUE(m_disk.MakeDir("other") && m_disk.MakeFile("same", "1") &&
                m_disk.MakeFile("other/same", "1") && m_disk.MakeFile("other/last", "1"));
    FolderRecord& other = m_tree.Add(*m_root, m_disk.Path("other"));
    auto& queue = platform::MessageQueue::Instance();

    m_list.SetFolder(m_folder);
    queue.PostText(m_list.DupStateWindow(), UM_FILE_DUP_STATE, "same",
                   DupStateLParam(m_list.ShownFolder().generation, false));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return MarkOf("same") != 0; }));
    EXPECT_EQ(MarkOf("same"), FileListItem::HasCopies);

    // A mark made for the first folder arrives after the list moved on.
    const std::uint32_t stale = m_list.ShownFolder().generation;
    m_list.SetFolder(&other);
    ASSERT_EQ(m_list.ShownFolder().folder, &other);
    queue.PostText(m_list.DupStateWindow(), UM_FILE_DUP_STATE, "same", DupStateLParam(stale, true));
    queue.PostText(m_list.DupStateWindow(), UM_FILE_DUP_STATE, "last",
                   DupStateLParam(m_list.ShownFolder().generation, true));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return MarkOf("last") != 0; }));
    EXPECT_EQ(MarkOf("same"), FileListItem::NoMark);
}

TEST_F(LarkspurListViewTest, SelectsAFileByItsExactBytes)
{
    const std::string odd = "\xfe\xff";
    ASSERT_TRUE(m_disk.MakeFile("notes") && m_disk.MakeFile("Notes") && m_disk.MakeFile(odd));
    m_list.SetFolder(m_folder);

    m_list.SelectFileByName("Notes");
    EXPECT_EQ(m_list.Control().SelectedItems(), std::vector<int>{RowOf("Notes")});
    EXPECT_EQ(m_list.Control().FocusedItem(), RowOf("Notes"));
    m_list.SelectFileByName(odd);
    EXPECT_EQ(m_list.Control().SelectedItems(), std::vector<int>{RowOf(odd)});
    m_list.SelectFileByName("NOTES");
    EXPECT_EQ(m_list.Control().SelectedCount(), 0);
}

TEST_F(LarkspurListViewTest, TheSelectionChoosesTheContextMenu)
{
    using Menu = LarkspurListView::ContextMenu;
    ASSERT_TRUE(m_disk.MakeDir("d1") && m_disk.MakeDir("d2") && m_disk.MakeFile("f1") &&
                m_disk.MakeFile("f2"));
    m_tree.Add(*m_folder, "d1");
    m_tree.Add(*m_folder, "d2");
    m_list.SetFolder(m_folder);

    const struct {
        std::vector<std::string> selection;
        Menu menu;
    } cases[] = {
        {{}, Menu::None},           {{"d1"}, Menu::Folder},     {{"f1", "f2"}, Menu::File},
        {{"d1", "d2"}, Menu::Both}, {{"d1", "f1"}, Menu::Both},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.selection));
        Select(c.selection);
        EXPECT_EQ(m_list.ContextMenuForSelection(), c.menu);
    }
}

TEST_F(LarkspurListViewTest, DeleteHandsOneChainInRowOrderUnderTheLock)
{
    ASSERT_TRUE(m_disk.MakeDir("dir") && m_disk.MakeFile("a", "1") && m_disk.MakeFile("b", "22"));
    FolderRecord& dir = m_tree.Add(*m_folder, "dir");
    DupMember* member = AddMember(*m_folder, m_single, "b");
    m_list.SetFolder(m_folder);
    ClickHeader(FileListItem::NameColumn);
    FakeDeletionHandler handler(m_tree.DataLock());

    Select({"b", "dir", "a"});
    m_list.DeleteSelected();

    ASSERT_EQ(handler.chains.size(), 1u);
    EXPECT_TRUE(handler.senderHeldLock);
    const auto& requests = handler.chains[0];
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].folder, &dir);
    EXPECT_EQ(requests[0].name, "");
    EXPECT_EQ(requests[1].folder, m_folder);
    EXPECT_EQ(requests[1].name, "a");
    EXPECT_EQ(requests[1].copy, nullptr);
    EXPECT_EQ(requests[2].copy, member);

    Select({});
    m_list.DeleteSelected();
    EXPECT_EQ(handler.chains.size(), 1u);  // nothing selected: no chain
}

TEST_F(LarkspurListViewTest, ForgettingRecordsDropsTheirRowsAndTheListedFolder)
{
    ASSERT_TRUE(m_disk.MakeDir("kept") && m_disk.MakeDir("freed") && m_disk.MakeFile("f"));
    FolderRecord& kept = m_tree.Add(*m_folder, "kept");
    FolderRecord& freed = m_tree.Add(*m_folder, "freed");
    m_list.SetFolder(m_folder);

    m_list.ForgetFolder(freed);
    EXPECT_EQ(RowOf("freed"), -1);
    EXPECT_FALSE(freed.Has(FolderRecord::InFileList));
    m_list.UpdateFolderRow(freed);  // no longer known: nothing happens

    m_list.ForgetFolder(*m_folder);
    EXPECT_EQ(m_list.Control().ItemCount(), 0);
    EXPECT_EQ(m_list.ListedFolder(), nullptr);
    EXPECT_EQ(m_list.ShownFolder().folder, nullptr);
    EXPECT_FALSE(kept.Has(FolderRecord::InFileList));
    EXPECT_FALSE(m_folder->Has(FolderRecord::InFileList));
}

TEST_F(LarkspurListViewTest, KeysCommandsAndDoubleClicksReachTheTreeAndTheLauncher)
{
    ASSERT_TRUE(m_disk.MakeDir("sub") && m_disk.MakeFile("doc.txt", "x"));
    FolderRecord& sub = m_tree.Add(*m_folder, "sub");
    FakeTreeActions actions;
    std::vector<std::string> launched;
    FileLauncher::SetForTesting(
        [&](const std::string& name, const std::string&) {
            launched.push_back(name);
            return 33;
        },
        {});
    m_list.SetFolder(m_folder);

    Select({"sub", "doc.txt"});
    framework::CommandState state;
    ASSERT_TRUE(m_list.OnUpdateCommand(resources::ID_DELETE, state));
    EXPECT_TRUE(state.enabled);
    m_list.OnCommand(resources::ID_OPEN);  // files only
    EXPECT_EQ(launched, std::vector<std::string>{"doc.txt"});
    m_list.OnCommand(resources::ID_EXPLORE);
    Select({"doc.txt"});
    m_list.OnCommand(resources::ID_CLEAR_FOLDER_DATA);  // a file: nothing
    EXPECT_EQ(actions.calls, std::vector<std::string>{"Explore sub"});

    m_list.resize(400, 300);
    m_list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_list));
    QTest::mouseDClick(m_list.viewport(), Qt::LeftButton, {},
                       m_list.ItemRect(RowOf("sub")).center());
    EXPECT_EQ(actions.calls.back(), "Enter sub");
    EXPECT_EQ(m_list.ListedFolder(), &sub);
    FileLauncher::SetForTesting({}, {});
}

TEST_F(LarkspurListViewTest, FileIconsFollowTheTypeOfTheName)
{
    ASSERT_TRUE(m_disk.MakeFile("one.txt") && m_disk.MakeFile("two.txt") &&
                m_disk.MakeFile("page.html"));
    m_list.SetFolder(m_folder);
    m_list.ResolvePendingIcons();

    const int text = m_images.IndexOf(platform::ShellIcons::MimeTypeOfFileName("x.txt"));
    const int html = m_images.IndexOf(platform::ShellIcons::MimeTypeOfFileName("x.html"));
    ASSERT_NE(text, html);
    EXPECT_EQ(m_list.Control().ItemImage(RowOf("one.txt")), text);
    EXPECT_EQ(m_list.Control().ItemImage(RowOf("two.txt")), text);
    EXPECT_EQ(m_list.Control().ItemImage(RowOf("page.html")), html);

    // A second listing finds the types it has seen at once.
    m_list.Refresh();
    EXPECT_EQ(m_list.PendingIconCount(), 0u);
    EXPECT_EQ(m_list.Control().ItemImage(RowOf("one.txt")), text);
}

}  // namespace

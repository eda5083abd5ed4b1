// Deletion to the Trash from every pane, and the folder commands (Delete
// Duplicates, Clear Folder Data, the Folder Menu), on a scanned scratch tree
// with the real main view, its panes and the real Trash of the test's
// XDG_DATA_HOME; message boxes are answered by the test.
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/CLarkspurView.h"
#include "engine/DupGroup.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "framework/CommandRouter.h"
#include "framework/ContextHelp.h"
#include "framework/MessageBox.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "platform/FileQueries.h"
#include "platform/MessageQueue.h"
#include "platform/ModalScope.h"
#include "platform/ShellActions.h"
#include "resources/StringTable.h"
#include "support/MessagePump.h"
#include "support/TempTree.h"
#include "support/TreeViewHelpers.h"
#include "support/WidgetTestMain.h"
#include "tree/DeleteDuplicatesDialog.h"
#include "tree/LarkspurBrowserView.h"

using namespace resources;

namespace {

// A name GIO cannot trash: its .trashinfo name would be longer than a name
// may be, so the file stays where it is whoever runs the test.
const std::string kUntrashable(250, 'n');

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }
std::string Contents(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

using Box = std::pair<int, QString>;
Box Message(int id, const QStringList& args) { return {id, StringTable::Format(id, args)}; }

// Holds the worker thread at a hook's nth call until a timer of the UI
// thread has seen it held and run act; then lets it go. Calls on the UI
// thread pass. Each call's note is kept, in order.
class Gate {
public:
    Gate(std::size_t n, std::function<void()> act) : m_n(n)
    {
        m_timer.callOnTimeout([this, act] {
            if (std::lock_guard lock(m_mutex); notes.size() < m_n || released) return;
            act();
            std::lock_guard lock(m_mutex);
            released = true;
            m_go.notify_all();
        });
        m_timer.start(0);
    }
    void Call(std::string note = {})
    {
        std::unique_lock lock(m_mutex);
        notes.push_back(std::move(note));
        if (notes.size() == m_n && std::this_thread::get_id() != m_ui)
            m_go.wait(lock, [this] { return released; });
    }

    std::vector<std::string> notes;
    bool released = false;

private:
    const std::thread::id m_ui = std::this_thread::get_id();
    const std::size_t m_n;
    std::mutex m_mutex;
    std::condition_variable m_go;
    QTimer m_timer;
};

// Groups: x (a, and b inside b), p (both inside b), q (two inside b, two
// outside), w (one inside b, one in the protected directory top/SYS, in
// upper case since protection ignores case). y, z, s, o and only.txt have
// no copy.
class DeletionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder :
             {"top", "top/a", "top/b", "top/b/sub", "top/c", "top/sys", "top/sysold", "top/u"})
            ASSERT_TRUE(m_files.MakeDir(folder));
        const std::pair<std::string, std::vector<std::string>> files[] = {
            {"ex", {"a/x.txt", "b/x2.txt"}},
            {"pe", {"b/p.txt", "b/sub/p2.txt"}},
            {"queue", {"a/q.txt", "c/q.txt", "b/Q.txt", "b/sub/q3.txt"}},
            {"double-u", {"sys/w.txt", "b/w2.txt"}},
            {"alone", {"u/only.txt"}},
            {"only here", {"a/y.txt"}},
            {"stays", {"a/" + kUntrashable}},
            {std::string(5000, 'z'), {"b/sub/z.txt"}},
            {"system", {"sys/s.txt"}},
            {"old", {"sysold/o.txt"}}};
        for (const auto& [contents, paths] : files)
            for (const std::string& path : paths)
                ASSERT_TRUE(m_files.MakeFile("top/" + path, contents));
        m_top = m_files.RealPath("top");
        platform::FileQueries::SetProtectedSystemDirectoryForTesting(m_top + "/SYS");
        framework::MessageBox::SetForTesting(
            [this](int id, const QString& text, QMessageBox::Icon) {
                m_boxes.emplace_back(id, text);
                return m_answer;
            });
        m_view = std::make_unique<CLarkspurView>();
        ASSERT_EQ(m_view->CreatePanes(0, nullptr), 0);
        m_view->OnInitialUpdate();
        m_view->SetProtectSystemFiles(true);
        m_topItem = FolderPopulation::BringPathIntoTree(*Tree(), m_top);
        ASSERT_NE(m_topItem, TreeItem::None);
        Tree()->PopulateChildren(m_topItem);
        Tree()->OnItemClicked(*Record("top"), false);
        ASSERT_TRUE(testsupport::PumpUntil([this] {
            return !Tree()->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        }));
        ASSERT_TRUE(Record("top")->Has(FolderRecord::TreeSizeKnown));
        Tree()->SetDialogRunnerForTesting([this](DeleteDuplicatesDialog& dialog) {
            ++m_dialogs;
            if (m_act) m_act(dialog);
            return dialog.result();
        });
    }
    void TearDown() override
    {
        m_view.reset();
        framework::MessageBox::SetForTesting({});
    }

    LarkspurBrowserView* Tree() const { return m_view->Tree(); }
    LarkspurListView* List() const { return m_view->FileList(); }
    // The record of "top/..."; null when it is not in the tree.
    FolderRecord* Record(const std::string& relative) const
    {
        return testsupport::RecordBelow(*Tree(), Tree()->RecordOf(m_topItem),
                                        relative.size() > 4 ? relative.substr(4) : "");
    }
    std::string Path(const std::string& relative) const { return m_top + relative.substr(3); }
    DupMember* Member(const std::string& folder, const std::string& name) const
    {
        for (DupMember* member = Record(folder)->duplicates; member; member = member->nextInFolder)
            if (member->name == name) return member;
        return nullptr;
    }
    // A request for the folder, or for the file name in it (a copy when it
    // has one).
    std::unique_ptr<DeletionRequest> Request(const std::string& folder,
                                             const std::string& name = {})
    {
        auto request = std::make_unique<DeletionRequest>();
        request->folder = Record(folder);
        request->name = name;
        request->copy = name.empty() ? nullptr : Member(folder, name);
        return request;
    }
    template <typename... More>
    std::unique_ptr<DeletionRequest> Chain(std::unique_ptr<DeletionRequest> first, More... more)
    {
        if constexpr (sizeof...(more) > 0) first->next = Chain(std::move(more)...);
        return first;
    }
    // Lists folder and selects the rows of exactly these names.
    void SelectInList(const std::string& folder, const std::vector<std::string>& names)
    {
        List()->SetFolder(Record(folder));
        ListControl& control = List()->Control();
        control.SelectOnly(-1);
        for (int row = 0; row < control.ItemCount(); ++row)
            for (const std::string& name : names)
                if (control.ItemText(row, 0) == QString::fromStdString(name))
                    control.SetItemState(row, ListControl::Selected, ListControl::Selected);
        ASSERT_EQ(control.SelectedCount(), static_cast<int>(names.size()));
    }
    std::string Trashed(const std::string& name) const
    {
        return Contents(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/" + name);
    }
    // "folder/name" below top of each candidate in candidate order, or of
    // each row in row order.
    std::vector<std::string> Candidates(const DeleteDuplicatesDialog& dialog) const
    {
        std::vector<std::string> names;
        for (const DupMember* member : dialog.Candidates())
            names.push_back(member->FullPath().substr(m_top.size() + 1));
        return names;
    }
    std::vector<std::string> Rows(const DeleteDuplicatesDialog& dialog) const
    {
        std::vector<std::string> rows;
        for (int row = 0; row < dialog.List()->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = dialog.List()->topLevelItem(row);
            rows.push_back(item->text(1).mid(int(m_top.size()) + 1).toStdString() + "/" +
                           item->text(0).toStdString());
        }
        return rows;
    }
    void DeleteDuplicatesOf(const std::string& folder)
    {
        Tree()->DeleteDuplicates(*Record(folder));
    }

    TempTree m_files;
    std::string m_top;
    TreeItem m_topItem = TreeItem::None;
    std::unique_ptr<CLarkspurView> m_view;
    std::vector<Box> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    int m_dialogs = 0;
    std::function<void(DeleteDuplicatesDialog&)> m_act;
};

TEST_F(DeletionTest, EveryPaneAsksTheViewWhoseMessageFitsTheChainAndNoChangesNothing)
{
    m_answer = QMessageBox::No;
    List()->SetFolder(Record("top/a"));
    const int rows = List()->Control().ItemCount();
    const auto flags = Record("top/a")->flags;
    const QString label = Tree()->Tree().ItemText(Record("top/a")->item);
    DupGroup* x = Member("top/a", "x.txt")->group;
    BrindleDupsListView& groups = m_view->DupsPane()->GroupsList();
    BrindleFileListView& copies = m_view->DupsPane()->CopiesList();
    const QString protectedDirectory = QString::fromStdString(m_top + "/SYS");
    // Each step asks for a deletion, then the message it must bring.
    const std::vector<std::pair<std::function<void()>, Box>> steps = {
        {[&] { SelectInList("top/a", {"y.txt"}), List()->DeleteSelected(); },
         Message(IDS_CONFIRM_TRASH_ONE, {QString::fromStdString(Path("top/a/y.txt"))})},
        {[&] { groups.Control().SelectOnly(groups.FindGroupRow(*x)), groups.DeleteSelected(); },
         Message(IDS_CONFIRM_TRASH_GROUP, {"2", "x.txt"})},
        {[&] {
             copies.ShowGroup(*x), copies.SelectRowOf(*Member("top/b", "x2.txt"));
             copies.DeleteSelected();
         },
         Message(IDS_CONFIRM_TRASH_ONE, {QString::fromStdString(Path("top/b/x2.txt"))})},
        {[&] {
             Tree()->SelectItemQuietly(Record("top/b/sub")->item);
             Tree()->DeleteSelectedFolder();
         },
         Message(IDS_CONFIRM_TRASH_ONE, {QString::fromStdString(Path("top/b/sub"))})},
        {[&] {
             m_view->DeleteRequests(Chain(Request("top/a", "x.txt"), Request("top/b", "x2.txt"),
                                          Request("top/a", "y.txt")));
         },
         Message(IDS_CONFIRM_TRASH_GROUPS, {"3", "1"})},
        {[&] {
             m_view->DeleteRequests(Chain(Request("top/a", "y.txt"), Request("top/sys", "s.txt"),
                                          Request("top/sysold", "o.txt")));
         },
         Message(IDS_PROTECTED_DIRECTORY, {protectedDirectory})},
        {[&] {
             Tree()->SelectItemQuietly(Record("top/sys")->item);
             Tree()->DeleteSelectedFolder();
         },
         Message(IDS_PROTECTED_DIRECTORY, {protectedDirectory})},
    };
    for (const auto& [ask, box] : steps) {
        m_boxes.clear();
        ask();
        EXPECT_EQ(m_boxes, std::vector{box}) << box.second.toStdString();
    }
    for (const char* kept : {"top/a/x.txt", "top/a/y.txt", "top/b/x2.txt", "top/b/sub",
                             "top/sys/s.txt", "top/sysold/o.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(Record("top/a")->flags, flags);
    EXPECT_EQ(Tree()->Tree().ItemText(Record("top/a")->item), label);
    EXPECT_EQ(List()->Control().ItemCount(), rows);
    EXPECT_EQ(x->MemberCount(), 2);
}

TEST_F(DeletionTest, FilesOfTheListedFolderGoAtOnceWithEveryTotalAboveThemAndTheirGroup)
{
    DupGroup* x = Member("top/b", "x2.txt")->group;
    LarkspurDupsWnd* dups = m_view->DupsPane();
    List()->SetFolder(Record("top/a"));
    const int rows = List()->Control().ItemCount();
    int resets = 0;
    QObject::connect(&List()->Control(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    List()->Refresh();
    const int perRefresh = std::exchange(resets, 0);
    m_view->DeleteRequests(Chain(Request("top/a", "x.txt"), Request("top/a", "y.txt")));

    EXPECT_EQ(m_boxes, (std::vector{Message(IDS_CONFIRM_TRASH_MANY, {"2"})}));
    EXPECT_FALSE(Exists(Path("top/a/y.txt")));
    EXPECT_EQ(Trashed("y.txt"), "only here");
    EXPECT_EQ(resets, perRefresh);  // the list is refreshed once
    EXPECT_EQ(List()->Control().ItemCount(), rows - 2);
    EXPECT_FALSE(Record("top/a")->Has(FolderRecord::OwnSizeKnown));
    for (TreeItemRecord* up = Record("top/a"); up != nullptr; up = up->parent)
        EXPECT_FALSE(static_cast<FolderRecord*>(up)->Has(FolderRecord::TreeSizeKnown));
    EXPECT_TRUE(Record("top/b")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(Tree()->Tree().ItemText(Record("top/a")->item), "a");
    // The group keeps its one copy and leaves the duplicates window.
    EXPECT_EQ(Member("top/a", "x.txt"), nullptr);
    ASSERT_EQ(x->MemberCount(), 1);
    EXPECT_EQ(x->FirstMember(), Member("top/b", "x2.txt"));
    EXPECT_EQ(dups->GroupsList().FindGroupRow(*x), -1);
}

TEST_F(DeletionTest, TheListedFileWhoseOtherCopyGoesIsMarkedAlone)
{
    List()->SetFolder(Record("top/a"));
    const auto mark = [this] { return List()->Control().ItemStateImage(List()->FileRow("x.txt")); };
    ASSERT_EQ(mark(), FileListItem::HasCopies);
    m_view->DeleteRequests(Request("top/b", "x2.txt"));
    EXPECT_TRUE(testsupport::PumpUntil([&] { return mark() == FileListItem::NoCopy; }));
}

TEST_F(DeletionTest, AFolderLeavesWithItsSubtreeAndItsParentTotalsAtOnceAndLaterRequestsForItsFiles)
{
    const FileSize before = Record("top")->treeDiskSpace - Record("top/b/sub")->treeDiskSpace;
    m_view->DeleteRequests(Request("top/b/sub"));
    EXPECT_FALSE(Exists(Path("top/b/sub")));
    EXPECT_EQ(Trashed("sub/z.txt"), std::string(5000, 'z'));
    EXPECT_EQ(Record("top/b/sub"), nullptr);
    EXPECT_EQ(Record("top/b")->treeDiskSpace, Record("top/b")->ownDiskSpace);
    EXPECT_EQ(Record("top")->treeDiskSpace, before);

    // The folder's records go with it; requests for its files, later in the
    // chain, must not reach them afterwards.
    DupGroup* x = Member("top/a", "x.txt")->group;
    m_view->DeleteRequests(
        Chain(Request("top/b"), Request("top/b", "x2.txt"), Request("top/b", "p.txt")));
    EXPECT_EQ(m_boxes.back(), Message(IDS_CONFIRM_TRASH_MANY, {"3"}));
    EXPECT_FALSE(Exists(Path("top/b")));
    EXPECT_EQ(Record("top/b"), nullptr);
    EXPECT_EQ(x->MemberCount(), 1);
}

TEST_F(DeletionTest, ProtectionCoversTheDirectoryAndBelowOnlyAndOnlyWhileItIsOn)
{
    EXPECT_FALSE(m_view->IsInProtectedDirectory(*Record("top")));
    EXPECT_FALSE(m_view->AnyInProtectedDirectory(nullptr));
    m_view->DeleteRequests(Request("top/sysold", "o.txt"));  // a neighbour
    EXPECT_FALSE(Exists(Path("top/sysold/o.txt")));
    m_view->SetProtectSystemFiles(false);
    m_view->DeleteRequests(Request("top/sys", "s.txt"));
    EXPECT_EQ(m_boxes.back().first, IDS_CONFIRM_TRASH_ONE);
    EXPECT_FALSE(Exists(Path("top/sys/s.txt")));
}

TEST_F(DeletionTest, APathThatCannotBeTrashedStaysAndIsNamedInOneMessage)
{
    m_view->DeleteRequests(Chain(Request("top/a", kUntrashable), Request("top/a", "y.txt")));
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].first, IDS_TRASH_FAILED);
    EXPECT_TRUE(m_boxes[1].second.contains(QString::fromStdString(Path("top/a/" + kUntrashable))));
    EXPECT_FALSE(m_boxes[1].second.contains("y.txt"));
    EXPECT_EQ(Contents(Path("top/a/" + kUntrashable)), "stays");
    EXPECT_FALSE(Exists(Path("top/a/y.txt")));
}

TEST_F(DeletionTest, TheWindowIsServedWhileAMoveRunsAndCancelStopsTheRun)
{
    // While the second move is held, the window is asked for another
    // deletion and for a close (both must wait for the run), and Cancel is
    // clicked; the held move then finds itself cancelled and the third is
    // never tried.
    Gate gate(2, [this] {
        m_view->DeleteRequests(Request("top/b", "x2.txt"));
        EXPECT_FALSE(m_view->close());
        m_view->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
    });
    platform::ShellActions::SetTrashHookForTesting(
        [&](const std::string& path) { gate.Call(path); });
    m_view->DeleteRequests(
        Chain(Request("top/a", "y.txt"), Request("top/a", "x.txt"), Request("top/b/sub", "z.txt")));
    platform::ShellActions::SetTrashHookForTesting({});

    EXPECT_TRUE(gate.released);
    EXPECT_EQ(gate.notes, (std::vector{Path("top/a/y.txt"), Path("top/a/x.txt")}));
    EXPECT_FALSE(Exists(Path("top/a/y.txt")));
    for (const char* kept : {"top/a/x.txt", "top/b/sub/z.txt", "top/b/x2.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_FALSE(Record("top/a")->Has(FolderRecord::OwnSizeKnown));
    EXPECT_NE(Member("top/a", "x.txt"), nullptr);
    EXPECT_TRUE(Record("top/b/sub")->Has(FolderRecord::OwnSizeKnown));
    EXPECT_EQ(m_boxes.size(), 1u);  // the confirmation alone: a cancel is no failure
}

TEST_F(DeletionTest, AnEmptyChainOrOneWithoutPathsAsksNothing)
{
    m_view->DeleteRequests(nullptr);
    // The Desktop's record has no path: it is left out silently.
    auto outside = std::make_unique<DeletionRequest>();
    outside->folder = static_cast<FolderRecord*>(Tree()->RootRecord());
    m_view->DeleteRequests(std::move(outside));
    EXPECT_TRUE(m_boxes.empty());
}

TEST_F(DeletionTest, DeleteDuplicatesListsTheCandidatesOfEitherRuleAndCancelKeepsThem)
{
    // Inside: the folder's copies that have a copy outside, in tree order,
    // rows by path then name. Outside: each outside copy once, never a
    // protected one unless protection is off.
    const std::vector<std::string> inside{"b/Q.txt", "b/w2.txt", "b/x2.txt", "b/sub/q3.txt"};
    m_act = [&](DeleteDuplicatesDialog& dialog) {
        EXPECT_TRUE(dialog.InsideRule());
        EXPECT_EQ(framework::ContextHelp::TopicOf(dialog.List()), 0x20087);
        EXPECT_EQ(dialog.FolderPathText().toStdString(), Path("top/b"));
        std::vector<std::string> expected;
        for (const char* folder : {"top/b", "top/b/sub"})
            for (const DupMember* member = Record(folder)->duplicates; member;
                 member = member->nextInFolder) {
                const std::string name = member->FullPath().substr(m_top.size() + 1);
                if (std::count(inside.begin(), inside.end(), name)) expected.push_back(name);
            }
        EXPECT_EQ(Candidates(dialog), expected);
        EXPECT_EQ(Rows(dialog), inside);
        dialog.SetRule(false);
        std::vector<std::string> outside = Candidates(dialog);
        std::sort(outside.begin(), outside.end());
        EXPECT_EQ(outside, (std::vector<std::string>{"a/q.txt", "a/x.txt", "c/q.txt"}));
        EXPECT_EQ(Rows(dialog), outside);
        dialog.reject();
    };
    DeleteDuplicatesOf("top/b");
    m_view->SetProtectSystemFiles(false);
    m_act = [](DeleteDuplicatesDialog& dialog) {
        EXPECT_EQ(dialog.Candidates().size(), 4u);
        dialog.SetRule(false);
        EXPECT_EQ(dialog.Candidates().size(), 4u);
        dialog.reject();
    };
    DeleteDuplicatesOf("top/b");
    EXPECT_EQ(m_dialogs, 2);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(Exists(Path("top/b/x2.txt")));
}

TEST_F(DeletionTest, DeleteDuplicatesTrashesTheCandidatesAndTheCopiesOutsideStay)
{
    m_act = [](DeleteDuplicatesDialog& dialog) { dialog.OnDelete(); };
    DeleteDuplicatesOf("top/b");
    EXPECT_EQ(m_boxes, (std::vector{Message(IDS_CONFIRM_TRASH_MANY, {"4"})}));
    for (const char* gone : {"top/b/x2.txt", "top/b/Q.txt", "top/b/w2.txt", "top/b/sub/q3.txt"})
        EXPECT_FALSE(Exists(Path(gone))) << gone;
    for (const char* kept : {"top/a/x.txt", "top/a/q.txt", "top/c/q.txt", "top/sys/w.txt",
                             "top/b/p.txt", "top/b/sub/p2.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(Member("top/b", "x2.txt"), nullptr);
    EXPECT_EQ(Member("top/a", "x.txt")->group->MemberCount(), 1);
}

TEST_F(DeletionTest, AFileWhoseOutsideCopyChangedOrWentAfterTheScanIsNeverDeleted)
{
    std::ofstream(Path("top/a/x.txt"), std::ios::binary | std::ios::trunc) << "ey";  // same size
    ASSERT_EQ(::unlink(Path("top/a/q.txt").c_str()), 0);
    ASSERT_EQ(::unlink(Path("top/c/q.txt").c_str()), 0);
    m_act = [](DeleteDuplicatesDialog& dialog) { dialog.OnDelete(); };
    DeleteDuplicatesOf("top/b");

    // One message names the three left out; b/w2.txt still has its copy.
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].first, IDS_LAST_COPIES_LEFT_OUT);
    for (const char* left : {"top/b/x2.txt", "top/b/Q.txt", "top/b/sub/q3.txt"}) {
        EXPECT_TRUE(m_boxes[0].second.contains(QString::fromStdString(Path(left)))) << left;
        EXPECT_TRUE(Exists(Path(left))) << left;
    }
    EXPECT_EQ(m_boxes[1].first, IDS_CONFIRM_TRASH_ONE);
    EXPECT_FALSE(Exists(Path("top/b/w2.txt")));
    EXPECT_EQ(Contents(Path("top/b/x2.txt")), "ex");
}

TEST_F(DeletionTest, NeitherAnotherCandidateNorAHardLinkOfOneCountsAsItsLastCopy)
{
    std::atomic<int> done{0};
    const auto kept = [&](const std::vector<DupMember*>& candidates) {
        return DeleteDuplicatesDialog::LastCopyCheck(
            DeleteDuplicatesDialog::CopyChecks(candidates), [] { return false; }, done);
    };
    std::vector<DupMember*> everyCopy;
    for (const DupLink* link = Member("top/a", "q.txt")->group->members; link; link = link->next)
        everyCopy.push_back(link->member);
    EXPECT_EQ(kept(everyCopy), std::vector<bool>(4, false));

    // The same file under another name, as a folder standing under two
    // records would show it: deleting the candidate would leave no copy.
    ASSERT_TRUE(m_files.MakeHardLink("top/a/link.txt", "top/b/x2.txt"));
    DupMember candidate{nullptr, Record("top/b"), "x2.txt", nullptr, 0, 0};
    DupMember link{nullptr, Record("top/a"), "link.txt", nullptr, 0, 0};
    DupGroup group(0, 2);
    group.InsertMemberLink(new DupLink{nullptr, &candidate});
    group.InsertMemberLink(new DupLink{nullptr, &link});
    candidate.group = link.group = &group;
    EXPECT_EQ(kept({&candidate}), std::vector<bool>{false});
}

TEST_F(DeletionTest, TheLastCopyCheckReadsOffTheUiThreadWithoutTheLockAndCancelKeepsAll)
{
    // The first comparison is held while Cancel is clicked.
    DeleteDuplicatesDialog* open = nullptr;
    Gate gate(1, [&] { open->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click(); });
    std::atomic<bool> lockFree = false;
    DeleteDuplicatesDialog::SetCompareHookForTesting([&] {
        if (Tree()->DataLock().try_lock()) {
            lockFree = true;
            Tree()->DataLock().unlock();
        }
        gate.Call();
    });
    m_act = [&](DeleteDuplicatesDialog& dialog) {
        open = &dialog;
        dialog.OnDelete();
        EXPECT_EQ(dialog.Candidates().size(), 4u);  // back in the dialog
    };
    DeleteDuplicatesOf("top/b");
    DeleteDuplicatesDialog::SetCompareHookForTesting({});

    EXPECT_TRUE(gate.released && lockFree);
    EXPECT_EQ(gate.notes.size(), 1u);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(Exists(Path("top/b/x2.txt")) && Exists(Path("top/b/Q.txt")));
}

TEST_F(DeletionTest, ClearFolderDataForgetsTheSubtreeAndTheAncestorsTotalsOnly)
{
    DeleteDuplicatesOf("top/u");  // a folder without copies
    DupGroup* x = Member("top/a", "x.txt")->group;
    const int groupRows = m_view->DupsPane()->GroupsList().Control().ItemCount();
    Tree()->ClearFolderData(*Record("top/b"));
    for (const char* folder : {"top/b", "top/b/sub"}) {
        EXPECT_EQ(Record(folder)->flags & FolderRecord::ClearAllMask, 0) << folder;
        EXPECT_EQ(Record(folder)->duplicates, nullptr) << folder;
    }
    EXPECT_FALSE(Record("top")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_TRUE(Record("top/a")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(Tree()->Tree().ItemText(Record("top/b")->item), "b");
    EXPECT_EQ(x->MemberCount(), 1);
    // x, p and w lose their last pair; q keeps its two outside copies.
    EXPECT_EQ(m_view->DupsPane()->GroupsList().Control().ItemCount(), groupRows - 3);
    EXPECT_TRUE(Exists(Path("top/b/x2.txt")));
    DeleteDuplicatesOf("top/b");  // no longer searched
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].first, IDS_NO_DUPLICATES_FOUND);
    EXPECT_EQ(m_boxes[1].first, IDS_NOT_SCANNED_FOR_DUPLICATES);
    EXPECT_EQ(m_dialogs, 0);
}

TEST_F(DeletionTest, TheDialogsMembersStayWhileASearchThatWasRunningAsksToClearThem)
{
    // A search of top/b again, held at its clear request: while a modal loop
    // is open the request waits, and the worker with it.
    FolderRecord* b = Record("top/b");
    {
        const platform::ModalScope hold;
        b->Set(FolderRecord::DupsQueued);
        Tree()->Scan().QueueTasksFor(*b);
        // The enumeration's announcement, then the search's clear request.
        ASSERT_TRUE(testsupport::PumpUntil(
            [] { return platform::MessageQueue::Instance().QueuedCount() >= 2; }));
        m_act = [this](DeleteDuplicatesDialog& dialog) {
            EXPECT_EQ(dialog.Candidates().size(), 4u);
            // Whatever the UI thread does meanwhile, the request stays queued.
            QApplication::processEvents();
            platform::MessageQueue::Instance().DispatchPending();
            EXPECT_EQ(dialog.Candidates().size(), 4u);
            for (const DupMember* member : dialog.Candidates())
                EXPECT_EQ(member->FullPath().rfind(Path("top/b/"), 0), 0u);
            dialog.OnDelete();
        };
        DeleteDuplicatesOf("top/b");
    }
    ASSERT_TRUE(testsupport::PumpUntil([] {
        return platform::MessageQueue::Instance().QueuedCount() == 0 &&
               TaskManager::Instance().PendingCount() == 0;
    }));
    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_FALSE(Exists(Path("top/b/x2.txt")));
    EXPECT_EQ(Record("top/b")->duplicates, nullptr);
}

TEST_F(DeletionTest, TheFolderMenuOpensWhereTheTreeSaysAKeyboardMenuGoes)
{
    framework::CommandRouter router(m_view.get());
    Tree()->SetCommandRouter(&router);
    QString title;
    QPoint at;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        title = menu->title();
        at = menu->pos();
        menu->close();
    });
    Tree()->ShowFolderMenu(-1, -1);
    EXPECT_EQ(title, QStringLiteral("Folder Menu"));
    EXPECT_EQ(at, Tree()->ContextMenuPoint(-1, -1));
    Tree()->SetCommandRouter(nullptr);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunWidgetTestsWithMessageQueue(argc, argv); }

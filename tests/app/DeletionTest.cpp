// Deletion to the Trash from every pane and the folder commands, on a scanned
// scratch tree with the real main view and the test's own Trash.

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <mutex>
#include <sstream>

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/CLarkspurView.h"
#include "engine/FolderPopulation.h"
#include "engine/TaskManager.h"
#include "framework/MessageBox.h"
#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "lists/LarkspurListView.h"
#include "platform/FileQueries.h"
#include "platform/ModalScope.h"
#include "resources/StringTable.h"
#include "support/ChildProcess.h"
#include "support/MessagePump.h"
#include "support/ScanFakes.h"
#include "support/TempTree.h"
#include "support/WidgetTestMain.h"
#include "tree/DeleteDuplicatesDialog.h"
#include "tree/LarkspurBrowserView.h"

using namespace resources;

namespace {

// GIO cannot trash this name: its .trashinfo name would be too long.
const std::string kUntrashable(250, 'n');

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

using Box = std::pair<int, QString>;
Box Message(int id, const QStringList& args) { return {id, StringTable::Format(id, args)}; }

// Groups: x (a, and b inside b), p (both inside b), q (two inside b, two
// outside), w (one inside b, one in the protected directory top/SYS, in
// upper case since protection ignores case). y, z, s and o have no copy.
class DeletionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* folder : {"", "/a", "/b", "/b/sub", "/c", "/sys", "/sysold"})
            ASSERT_TRUE(m_files.MakeDir("top" + std::string(folder)));
        const std::pair<const char*, const char*> files[] = {
            {"a/x.txt", "ex"},        {"b/x2.txt", "ex"},        {"b/p.txt", "pe"},
            {"b/sub/p2.txt", "pe"},   {"a/q.txt", "queue"},      {"c/q.txt", "queue"},
            {"b/Q.txt", "queue"},     {"b/sub/q3.txt", "queue"}, {"sys/w.txt", "double-u"},
            {"b/w2.txt", "double-u"}, {"a/y.txt", "only here"},  {"sys/s.txt", "system"},
            {"sysold/o.txt", "old"},
        };
        for (const auto& [path, contents] : files)
            ASSERT_TRUE(m_files.MakeFile("top/" + std::string(path), contents));
        ASSERT_TRUE(m_files.MakeFile("top/a/" + kUntrashable, "stays") &&
                    m_files.MakeFile("top/b/sub/z.txt", std::string(5000, 'z')));
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
        Tree()->OnItemClicked(*Record(""), false);
        ASSERT_TRUE(testsupport::PumpUntil([this] {
            return !Tree()->IsScanning() && TaskManager::Instance().PendingCount() == 0;
        }));
        ASSERT_TRUE(Record("")->Has(FolderRecord::TreeSizeKnown));
        m_uiTimer.callOnTimeout([this] {
            std::function<void()> act;
            if (std::lock_guard lock(m_uiMutex); m_uiAct) act.swap(m_uiAct);
            if (act) act();
        });
        m_uiTimer.start(1);
        Tree()->SetDialogRunnerForTesting([this](DeleteDuplicatesDialog& dialog) {
            ++m_dialogs;
            if (m_act) m_act(dialog);
            return dialog.result();
        });
    }
    void TearDown() override { m_view.reset(), framework::MessageBox::SetForTesting({}); }

    LarkspurBrowserView* Tree() const { return m_view->Tree(); }
    LarkspurListView* List() const { return m_view->FileList(); }
    // The record of a folder below top ("": top); null when it is not in the tree.
    FolderRecord* Record(const std::string& folder) const
    {
        return testsupport::RecordBelow(*Tree(), Tree()->RecordOf(m_topItem), folder);
    }
    std::string Path(const std::string& relative) const { return m_top + "/" + relative; }
    DupMember* Member(const std::string& folder, const std::string& name) const
    {
        return Record(folder)->DuplicateNamed(name);
    }
    // Deletes a chain of files ("a/x.txt", with any copy) and folders ("b/sub/"), by spaces.
    void Delete(const std::string& paths)
    {
        std::unique_ptr<DeletionRequest> first;
        auto* next = &first;
        std::istringstream words(paths);
        for (std::string path; words >> path; next = &(*next)->next) {
            const std::string folder = path.substr(0, path.rfind('/'));
            const std::string name = path.substr(folder.size() + 1);
            *next = std::make_unique<DeletionRequest>(
                Record(folder), name, name.empty() ? nullptr : Member(folder, name));
        }
        m_view->DeleteRequests(std::move(first));
    }
    // Runs act from a UI-thread timer while the worker waits (std primitives: TSan sees them).
    void OnUiThread(const std::function<void()>& act)
    {
        std::promise<void> ran;
        std::unique_lock lock(m_uiMutex);
        m_uiAct = [&] { act(), ran.set_value(); };
        lock.unlock();
        ran.get_future().wait();
    }

    TempTree m_files;
    std::string m_top;
    const std::string m_trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/";
    TreeItem m_topItem = TreeItem::None;
    std::unique_ptr<CLarkspurView> m_view;
    std::vector<Box> m_boxes;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
    int m_dialogs = 0;
    std::function<void(DeleteDuplicatesDialog&)> m_act;
    std::mutex m_uiMutex;
    std::function<void()> m_uiAct;
    QTimer m_uiTimer;
};

TEST_F(DeletionTest, EveryPaneAsksTheViewWhoseMessageFitsTheChainNoChangesNothingNorDoesClearing)
{
    // Nothing is asked for an empty chain, nor for the Desktop, which has no path.
    m_view->DeleteRequests(nullptr);
    auto outside = std::make_unique<DeletionRequest>();
    outside->folder = static_cast<FolderRecord*>(Tree()->RootRecord());
    m_view->DeleteRequests(std::move(outside));
    EXPECT_TRUE(m_boxes.empty());

    m_answer = QMessageBox::No;
    List()->SetFolder(Record("a"));
    DupGroup* x = Member("a", "x.txt")->group;
    BrindleDupsListView& groups = m_view->DupsPane()->GroupsList();
    BrindleFileListView& copies = m_view->DupsPane()->CopiesList();
    const auto one = [this](const char* path) {
        return Message(IDS_CONFIRM_TRASH_ONE, {QString::fromStdString(Path(path))});
    };
    const Box protectedBox =
        Message(IDS_PROTECTED_DIRECTORY, {QString::fromStdString(Path("SYS"))});
    const std::pair<std::function<void()>, Box> steps[] = {
        {[&] { List()->Control().SelectOnly(List()->FileRow("y.txt")), List()->DeleteSelected(); },
         one("a/y.txt")},
        {[&] { groups.Control().SelectOnly(groups.FindGroupRow(*x)), groups.DeleteSelected(); },
         Message(IDS_CONFIRM_TRASH_GROUP, {"2", "x.txt"})},
        {[&] {
             copies.ShowGroup(*x), copies.SelectRowOf(*Member("b", "x2.txt"));
             copies.DeleteSelected();
         },
         one("b/x2.txt")},
        {[&] { Tree()->SelectItemQuietly(Record("b/sub")->item), Tree()->DeleteSelectedFolder(); },
         one("b/sub")},
        {[&] { Delete("a/x.txt b/x2.txt a/y.txt"); },
         Message(IDS_CONFIRM_TRASH_GROUPS, {"3", "1"})},
        {[&] { Delete("a/y.txt sys/s.txt sysold/o.txt"); }, protectedBox},
        {[&] { Delete("sys/"); }, protectedBox},
    };
    for (const auto& [ask, box] : steps) {
        m_boxes.clear();
        ask();
        EXPECT_EQ(m_boxes, std::vector{box}) << box.second.toStdString();
    }
    for (const char* kept : {"a/x.txt", "a/y.txt", "b/x2.txt", "b/sub", "sys/s.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(x->MemberCount(), 2);

    // Clearing a folder's data forgets its subtree and its ancestors' totals only.
    m_boxes.clear();
    Tree()->DeleteDuplicates(*Record("sysold"));  // a folder without copies
    const int groupRows = m_view->DupsPane()->GroupsList().Control().ItemCount();
    Tree()->ClearFolderData(*Record("b"));
    for (const char* folder : {"b", "b/sub"}) {
        EXPECT_EQ(Record(folder)->flags & FolderRecord::ClearAllMask, 0) << folder;
        EXPECT_EQ(Record(folder)->duplicates, nullptr) << folder;
    }
    EXPECT_FALSE(Record("")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_TRUE(Record("a")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(Tree()->Tree().ItemText(Record("b")->item), "b");
    // x, p and w lose their last pair; q keeps its two outside copies.
    EXPECT_EQ(m_view->DupsPane()->GroupsList().Control().ItemCount(), groupRows - 3);
    EXPECT_TRUE(Exists(Path("b/x2.txt")));
    Tree()->DeleteDuplicates(*Record("b"));  // no longer searched
    EXPECT_EQ(m_boxes, (std::vector{Message(IDS_NO_DUPLICATES_FOUND, {}),
                                    Message(IDS_NOT_SCANNED_FOR_DUPLICATES, {})}));
    EXPECT_EQ(m_dialogs, 0);
}

TEST_F(DeletionTest, FilesAndFoldersLeaveWithTheirTotalsAndProtectionHoldsOnlyWhileOn)
{
    // A folder leaves with its subtree, its parent's totals adjusted at once.
    const FileSize before = Record("")->treeDiskSpace - Record("b/sub")->treeDiskSpace;
    Delete("b/sub/");
    EXPECT_EQ(testsupport::ReadWholeFile(m_trash + "sub/z.txt"), std::string(5000, 'z'));
    EXPECT_EQ(Record("b/sub"), nullptr);
    EXPECT_EQ(Record("")->treeDiskSpace, before);

    // Later requests for a deleted folder's files must not reach its freed records.
    List()->SetFolder(Record("a"));
    const auto mark = [this] { return List()->Control().ItemStateImage(List()->FileRow("x.txt")); };
    ASSERT_EQ(mark(), FileListItem::HasCopies);
    Delete("b/ b/x2.txt b/p.txt");
    EXPECT_EQ(m_boxes.back(), Message(IDS_CONFIRM_TRASH_MANY, {"3"}));
    EXPECT_EQ(Record("b"), nullptr);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return mark() == FileListItem::NoCopy; }));

    // Listed files go at once, with every total above; a one-copy group leaves the window.
    DupGroup* q = Member("c", "q.txt")->group;
    const int rows = List()->Control().ItemCount();
    Delete("a/q.txt a/y.txt");
    EXPECT_EQ(testsupport::ReadWholeFile(m_trash + "y.txt"), "only here");
    EXPECT_EQ(List()->Control().ItemCount(), rows - 2);
    EXPECT_FALSE(Record("a")->Has(FolderRecord::OwnSizeKnown));
    for (TreeItemRecord* up = Record("a"); up != nullptr; up = up->parent)
        EXPECT_FALSE(static_cast<FolderRecord*>(up)->Has(FolderRecord::TreeSizeKnown));
    EXPECT_TRUE(Record("c")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(Member("a", "q.txt"), nullptr);
    ASSERT_EQ(q->MemberCount(), 1);
    EXPECT_EQ(q->FirstMember(), Member("c", "q.txt"));
    EXPECT_EQ(m_view->DupsPane()->GroupsList().FindGroupRow(*q), -1);

    EXPECT_FALSE(m_view->IsInProtectedDirectory(*Record("")));
    Delete("sysold/o.txt");  // a neighbour
    EXPECT_FALSE(Exists(Path("sysold/o.txt")));
    m_view->SetProtectSystemFiles(false);
    Delete("sys/s.txt");
    EXPECT_FALSE(Exists(Path("sys/s.txt")));

    // A path that cannot be trashed stays and is named in one message.
    m_boxes.clear();
    Delete("a/" + kUntrashable + " a/x.txt");
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].first, IDS_TRASH_FAILED);
    EXPECT_TRUE(m_boxes[1].second.contains(QString::fromStdString(Path("a/" + kUntrashable))));
    EXPECT_FALSE(m_boxes[1].second.contains("x.txt"));
    EXPECT_EQ(testsupport::ReadWholeFile(Path("a/" + kUntrashable)), "stays");
    EXPECT_FALSE(Exists(Path("a/x.txt")));
}

TEST_F(DeletionTest, TheWindowIsServedWhileAMoveRunsAndCancelStopsTheRun)
{
    // The second move held: a deletion and a close wait; Cancel stops the third move.
    std::vector<std::string> moved;
    platform::ShellActions::SetTrashHookForTesting([&](const std::string& path) {
        moved.push_back(path);
        if (moved.size() != 2) return;
        OnUiThread([this] {
            Delete("b/x2.txt");
            EXPECT_FALSE(m_view->close());
            m_view->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
        });
    });
    Delete("a/y.txt a/x.txt b/sub/z.txt");
    platform::ShellActions::SetTrashHookForTesting({});

    EXPECT_EQ(moved, (std::vector{Path("a/y.txt"), Path("a/x.txt")}));
    for (const char* kept : {"a/x.txt", "b/sub/z.txt", "b/x2.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_FALSE(Record("a")->Has(FolderRecord::OwnSizeKnown));
    EXPECT_NE(Member("a", "x.txt"), nullptr);
    EXPECT_TRUE(Record("b/sub")->Has(FolderRecord::OwnSizeKnown));
    EXPECT_EQ(m_boxes.size(), 1u);  // the confirmation alone: a cancel is no failure
}

TEST_F(DeletionTest, DeleteDuplicatesListsEitherRulesCandidatesChecksOffTheLockAndKeepsLastCopies)
{
    // Rows by folder path, then name, without regard to case. Outside: each
    // copy once, a protected one only when protection is off.
    const auto rows = [this](const DeleteDuplicatesDialog& dialog) {
        QStringList rows;
        for (int row = 0; const QTreeWidgetItem* item = dialog.List()->topLevelItem(row); ++row)
            rows << item->text(1) + "/" + item->text(0);
        return rows.join(' ').remove(QString::fromStdString(m_top + "/"));
    };
    m_act = [&](DeleteDuplicatesDialog& dialog) {
        EXPECT_TRUE(dialog.InsideRule());
        EXPECT_EQ(dialog.FolderPathText().toStdString(), Path("b"));
        EXPECT_EQ(rows(dialog), "b/Q.txt b/w2.txt b/x2.txt b/sub/q3.txt");
        dialog.SetRule(false);
        EXPECT_EQ(rows(dialog), m_view->ProtectSystemFiles() ? "a/q.txt a/x.txt c/q.txt"
                                                             : "a/q.txt a/x.txt c/q.txt sys/w.txt");
        dialog.reject();
    };
    Tree()->DeleteDuplicates(*Record("b"));
    m_view->SetProtectSystemFiles(false);
    Tree()->DeleteDuplicates(*Record("b"));
    EXPECT_EQ(m_dialogs, 2);

    std::atomic<int> done{0};
    std::vector<DupMember*> everyCopy;
    for (DupMember* member : Member("a", "q.txt")->group->Members()) everyCopy.push_back(member);
    EXPECT_EQ(DeleteDuplicatesDialog::LastCopyCheck(
                  DeleteDuplicatesDialog::CopyChecks(everyCopy), [] { return false; }, done),
              std::vector<bool>(4, false));

    // The same file under another name, as a folder under two records shows it.
    ASSERT_TRUE(m_files.MakeHardLink("top/a/link.txt", "top/b/x2.txt"));
    EXPECT_EQ(DeleteDuplicatesDialog::LastCopyCheck(
                  {{Path("b/x2.txt"), 0, 0, {Path("a/link.txt")}}}, [] { return false; }, done),
              std::vector<bool>{false});

    // The check reads off the UI thread without the lock; Cancel keeps all.
    DeleteDuplicatesDialog* open = nullptr;  // Cancel is clicked on the first comparison
    std::atomic<int> comparisons = 0;
    std::atomic<bool> lockFree = false;
    DeleteDuplicatesDialog::SetCompareHookForTesting([&] {
        if (Tree()->DataLock().try_lock()) lockFree = true, Tree()->DataLock().unlock();
        if (++comparisons == 1)
            OnUiThread(
                [&] { open->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click(); });
    });
    m_act = [&](DeleteDuplicatesDialog& dialog) {
        open = &dialog;
        dialog.OnDelete();
        EXPECT_EQ(dialog.Candidates().size(), 4u);  // back in the dialog
    };
    Tree()->DeleteDuplicates(*Record("b"));
    DeleteDuplicatesDialog::SetCompareHookForTesting({});

    EXPECT_TRUE(lockFree);
    EXPECT_EQ(comparisons, 1);

    // Changed (same size) or gone outside copies keep their files; nothing above asked a thing.
    m_view->SetProtectSystemFiles(true);
    std::ofstream(Path("a/x.txt"), std::ios::binary | std::ios::trunc) << "ey";
    for (const char* gone : {"a/q.txt", "c/q.txt"}) ASSERT_EQ(::unlink(Path(gone).c_str()), 0);
    m_act = [](DeleteDuplicatesDialog& dialog) { dialog.OnDelete(); };
    Tree()->DeleteDuplicates(*Record("b"));
    // One message names the three left out, then b/w2.txt, which still has its copy, is asked for.
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].first, IDS_LAST_COPIES_LEFT_OUT);
    for (const char* left : {"b/x2.txt", "b/Q.txt", "b/sub/q3.txt"}) {
        EXPECT_TRUE(m_boxes[0].second.contains(QString::fromStdString(Path(left)))) << left;
        EXPECT_TRUE(Exists(Path(left))) << left;
    }
    EXPECT_FALSE(Exists(Path("b/w2.txt")));
    for (const char* kept : {"sys/w.txt", "b/p.txt", "b/sub/p2.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(Member("sys", "w.txt")->group->MemberCount(), 1);
}

TEST_F(DeletionTest, TheDialogsMembersStayWhileASearchThatWasRunningAsksToClearThem)
{
    // A new search of b waits at its clear request while a modal loop is open; all then go.
    {
        const platform::ModalScope hold;
        Record("b")->Set(FolderRecord::DupsQueued);
        Tree()->Scan().QueueTasksFor(*Record("b"));
        // The enumeration's announcement, then the search's clear request.
        ASSERT_TRUE(testsupport::PumpUntil(
            [] { return platform::MessageQueue::Instance().QueuedCount() >= 2; }));
        m_act = [this](DeleteDuplicatesDialog& dialog) {
            QApplication::processEvents();
            platform::MessageQueue::Instance().DispatchPending();
            dialog.OnDelete();
        };
        Tree()->DeleteDuplicates(*Record("b"));
    }
    ASSERT_TRUE(testsupport::PumpUntil([] {
        return platform::MessageQueue::Instance().QueuedCount() == 0 &&
               TaskManager::Instance().PendingCount() == 0;
    }));
    EXPECT_EQ(m_boxes, (std::vector{Message(IDS_CONFIRM_TRASH_MANY, {"4"})}));
    for (const char* gone : {"b/x2.txt", "b/Q.txt", "b/w2.txt", "b/sub/q3.txt"})
        EXPECT_FALSE(Exists(Path(gone))) << gone;
    EXPECT_EQ(Record("b")->duplicates, nullptr);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunWidgetTestsWithMessageQueue(argc, argv); }

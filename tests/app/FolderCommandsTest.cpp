// The folder commands and the Delete Duplicate Files dialog on a scanned
// scratch tree with the real main view: both rules, the protection filter,
// the row order, Delete and Cancel, the last-copy check against files
// changed or removed after the scan, Delete Duplicates' two messages, Clear
// Folder Data, the Folder Menu, and a duplicate search that is still
// running while the dialog is open.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "engine/WindowMessages.h"
#include "framework/CommandRouter.h"
#include "framework/ContextHelp.h"
#include "lists/BrindleDupsListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "platform/MessageQueue.h"
#include "platform/ModalScope.h"
#include "resources/StringTable.h"
#include "support/ScannedMainView.h"
#include "support/WidgetTestMain.h"
#include "tree/DeleteDuplicatesDialog.h"

using namespace resources;
using testsupport::Contents;
using testsupport::Exists;

namespace {

// The selected folder is top/b. Groups: x (one copy inside, one outside),
// p (both inside), q (two inside, two outside), w (one inside, one in the
// protected directory), and a folder u with a file without copy.
class FolderCommandsTest : public testsupport::ScannedMainViewTest {
protected:
    void SetUp() override
    {
        Start({"top", "top/a", "top/b", "top/b/sub", "top/c", "top/sys", "top/u"},
              {{"top/a/x.txt", "ex"},
               {"top/b/x2.txt", "ex"},
               {"top/b/p.txt", "pe"},
               {"top/b/sub/p2.txt", "pe"},
               {"top/a/q.txt", "queue"},
               {"top/c/q.txt", "queue"},
               {"top/b/Q.txt", "queue"},
               {"top/b/sub/q3.txt", "queue"},
               {"top/sys/w.txt", "double-u"},
               {"top/b/w2.txt", "double-u"},
               {"top/u/only.txt", "alone"}});
        Tree()->SetDialogRunnerForTesting([this](DeleteDuplicatesDialog& dialog) {
            ++m_dialogs;
            if (m_act) m_act(dialog);
            return dialog.result();
        });
    }

    // "folder/name" of each candidate, in candidate order.
    std::vector<std::string> Names(const DeleteDuplicatesDialog& dialog) const
    {
        std::vector<std::string> names;
        for (const DupMember* member : dialog.Candidates())
            names.push_back(member->FullPath().substr(m_top.size() + 1));
        return names;
    }
    // The rows as "path-below-top/name".
    std::vector<std::string> Rows(const DeleteDuplicatesDialog& dialog) const
    {
        std::vector<std::string> rows;
        QTreeWidget* list = dialog.List();
        for (int row = 0; row < list->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = list->topLevelItem(row);
            rows.push_back(item->text(1).mid(int(m_top.size()) + 1).toStdString() + "/" +
                           item->text(0).toStdString());
        }
        return rows;
    }
    // The candidates the inside rule must find, in tree order: the folder's
    // members in their list order, then those of its subfolder.
    std::vector<std::string> Expected(const std::set<std::string>& wanted) const
    {
        std::vector<std::string> names;
        for (const char* folder : {"top/b", "top/b/sub"})
            for (const DupMember* member = Record(folder)->duplicates; member;
                 member = member->nextInFolder) {
                const std::string name = member->FullPath().substr(m_top.size() + 1);
                if (wanted.count(name)) names.push_back(name);
            }
        return names;
    }
    void DeleteDuplicatesOf(const std::string& folder)
    {
        Tree()->DeleteDuplicates(*Record(folder));
    }

    static std::vector<bool> Kept(const std::vector<DupMember*>& candidates)
    {
        std::atomic<int> done{0};
        return DeleteDuplicatesDialog::LastCopyCheck(
            DeleteDuplicatesDialog::CopyChecks(candidates), [] { return false; }, done);
    }

    int m_dialogs = 0;
    std::function<void(DeleteDuplicatesDialog&)> m_act;
};

TEST_F(FolderCommandsTest, TheInsideRuleListsInsideCopiesWithACopyOutsideOrderedByPathThenName)
{
    m_act = [this](DeleteDuplicatesDialog& dialog) {
        EXPECT_TRUE(dialog.InsideRule());
        EXPECT_EQ(framework::ContextHelp::TopicOf(dialog.List()), 0x20087);
        EXPECT_EQ(dialog.FolderPathText().toStdString(), Path("top/b"));
        EXPECT_EQ(Names(dialog), Expected({"b/x2.txt", "b/Q.txt", "b/w2.txt", "b/sub/q3.txt"}));
        EXPECT_EQ(Rows(dialog),
                  (std::vector<std::string>{"b/Q.txt", "b/w2.txt", "b/x2.txt", "b/sub/q3.txt"}));
        dialog.reject();
    };
    DeleteDuplicatesOf("top/b");
    EXPECT_EQ(m_dialogs, 1);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(Exists(Path("top/b/x2.txt")));  // Cancel deletes nothing
}

TEST_F(FolderCommandsTest, TheOutsideRuleListsEachOutsideCopyOnceAndNeverAProtectedOne)
{
    m_act = [this](DeleteDuplicatesDialog& dialog) {
        dialog.SetRule(false);
        std::vector<std::string> names = Names(dialog);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"a/q.txt", "a/x.txt", "c/q.txt"}));
        EXPECT_EQ(Rows(dialog), (std::vector<std::string>{"a/q.txt", "a/x.txt", "c/q.txt"}));
        dialog.reject();
    };
    DeleteDuplicatesOf("top/b");

    m_view->SetProtectSystemFiles(false);
    m_act = [this](DeleteDuplicatesDialog& dialog) {
        dialog.SetRule(false);
        EXPECT_EQ(dialog.Candidates().size(), 4u);
        dialog.SetRule(true);
        EXPECT_EQ(dialog.Candidates().size(), 4u);
        dialog.reject();
    };
    DeleteDuplicatesOf("top/b");
    EXPECT_EQ(m_dialogs, 2);
}

TEST_F(FolderCommandsTest, DeleteTrashesTheCandidatesAndTheCopiesOutsideStay)
{
    m_act = [](DeleteDuplicatesDialog& dialog) { dialog.OnDelete(); };
    DeleteDuplicatesOf("top/b");

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Move these 4 items to the Trash?");
    for (const char* gone : {"top/b/x2.txt", "top/b/Q.txt", "top/b/w2.txt", "top/b/sub/q3.txt"})
        EXPECT_FALSE(Exists(Path(gone))) << gone;
    for (const char* kept : {"top/a/x.txt", "top/a/q.txt", "top/c/q.txt", "top/sys/w.txt",
                             "top/b/p.txt", "top/b/sub/p2.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(Member("top/b", "x2.txt"), nullptr);
    EXPECT_EQ(Member("top/a", "x.txt")->group->MemberCount(), 1);
}

TEST_F(FolderCommandsTest, AFileWhoseOutsideCopyChangedOrWentAfterTheScanIsNeverDeleted)
{
    std::ofstream(Path("top/a/x.txt"), std::ios::binary | std::ios::trunc) << "ey";  // same size
    ASSERT_EQ(::unlink(Path("top/a/q.txt").c_str()), 0);
    ASSERT_EQ(::unlink(Path("top/c/q.txt").c_str()), 0);
    m_act = [](DeleteDuplicatesDialog& dialog) { dialog.OnDelete(); };
    DeleteDuplicatesOf("top/b");

    // One message names the three left out; b/w2.txt still has its copy.
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[0].id, IDS_LAST_COPIES_LEFT_OUT);
    for (const char* left : {"top/b/x2.txt", "top/b/Q.txt", "top/b/sub/q3.txt"}) {
        EXPECT_TRUE(m_boxes[0].text.contains(QString::fromStdString(Path(left)))) << left;
        EXPECT_TRUE(Exists(Path(left))) << left;
    }
    EXPECT_EQ(m_boxes[1].id, IDS_CONFIRM_TRASH_ONE);
    EXPECT_FALSE(Exists(Path("top/b/w2.txt")));
    EXPECT_EQ(Contents(Path("top/b/x2.txt")), "ex");
}

TEST_F(FolderCommandsTest, NeitherAnotherCandidateNorAHardLinkOfOneCountsAsItsLastCopy)
{
    // A candidate set that holds every copy of a group keeps nothing.
    std::vector<DupMember*> everyCopy;
    for (const DupLink* link = Member("top/a", "q.txt")->group->members; link; link = link->next)
        everyCopy.push_back(link->member);
    EXPECT_EQ(Kept(everyCopy), std::vector<bool>(4, false));

    // The same file under another name, as a folder standing under two
    // records would show it: deleting the candidate would leave no copy.
    ASSERT_TRUE(m_files.MakeHardLink("top/a/link.txt", "top/b/x2.txt"));
    DupMember candidate{nullptr, Record("top/b"), "x2.txt", nullptr, 0, 0};
    DupMember link{nullptr, Record("top/a"), "link.txt", nullptr, 0, 0};
    DupGroup group(0, 2);
    group.InsertMemberLink(new DupLink{nullptr, &candidate});
    group.InsertMemberLink(new DupLink{nullptr, &link});
    candidate.group = link.group = &group;
    EXPECT_EQ(Kept({&candidate}), std::vector<bool>{false});
}

TEST_F(FolderCommandsTest, TheLastCopyCheckReadsOffTheUiThreadWithoutTheLockAndCancelKeepsAll)
{
    // The first comparison waits, off the UI thread, for a timer of the UI
    // thread, which cancels and then lets it go.
    const auto ui = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable go;
    int compared = 0;
    bool released = false;
    bool lockFree = false;
    DeleteDuplicatesDialog* open = nullptr;
    DeleteDuplicatesDialog::SetCompareHookForTesting([&] {
        std::unique_lock lock(mutex);
        if (++compared > 1 || std::this_thread::get_id() == ui) return;
        lockFree = Tree()->DataLock().try_lock();
        if (lockFree) Tree()->DataLock().unlock();
        go.wait(lock, [&] { return released; });
    });
    QTimer timer;
    timer.callOnTimeout([&] {
        if (std::lock_guard lock(mutex); compared != 1 || released) return;
        open->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
        std::lock_guard lock(mutex);
        released = true;
        go.notify_all();
    });
    timer.start(0);
    m_act = [&](DeleteDuplicatesDialog& dialog) {
        open = &dialog;
        dialog.OnDelete();
        EXPECT_EQ(dialog.Candidates().size(), 4u);  // back in the dialog
    };
    DeleteDuplicatesOf("top/b");
    DeleteDuplicatesDialog::SetCompareHookForTesting({});

    EXPECT_TRUE(released && lockFree);
    EXPECT_EQ(compared, 1);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(Exists(Path("top/b/x2.txt")) && Exists(Path("top/b/Q.txt")));
}

TEST_F(FolderCommandsTest, DeleteDuplicatesReportsAnUnsearchedFolderAndOneWithoutCopies)
{
    DeleteDuplicatesOf("top/u");
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_NO_DUPLICATES_FOUND);

    Tree()->ClearFolderData(*Record("top/b"));
    DeleteDuplicatesOf("top/b");
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].id, IDS_NOT_SCANNED_FOR_DUPLICATES);
    EXPECT_EQ(m_dialogs, 0);
}

TEST_F(FolderCommandsTest, ClearFolderDataForgetsTheSubtreeAndTheAncestorsTotalsOnly)
{
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
}

TEST_F(FolderCommandsTest, TheDialogsMembersStayWhileASearchThatWasRunningAsksToClearThem)
{
    // A search of top/b again, held at its clear request: while a modal loop
    // is open the request waits, and the worker with it.
    FolderRecord* b = Record("top/b");
    {
        const platform::ModalScope hold;
        b->Set(FolderRecord::DupsQueued);
        Tree()->Scan().QueueTasksFor(*b);
        // The enumeration's announcement, then the search's clear request:
        // the search is running and waits.
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

TEST_F(FolderCommandsTest, TheFolderMenuOpensWhereTheTreeSaysAKeyboardMenuGoes)
{
    // Its entries and their routing are the command router's tests; where
    // the point lies, the tree view's.
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

// Deletion to the Trash from every pane, on a scanned scratch tree with the
// real main view, its panes and the real Trash of the test's XDG_DATA_HOME:
// the confirmation, the protection refusal, what stays, and how records,
// totals, tree, file list and duplicate data follow what has gone.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include "lists/BrindleDupsListView.h"
#include "lists/BrindleFileListView.h"
#include "lists/LarkspurDupsWnd.h"
#include "platform/ShellActions.h"
#include "resources/StringTable.h"
#include "support/ScannedMainView.h"
#include "support/WidgetTestMain.h"

using namespace resources;

namespace {

// A name GIO cannot trash: its .trashinfo name would be longer than a name
// may be, so the file stays where it is whoever runs the test.
const std::string kUntrashable(250, 'n');

class DeletionTest : public testsupport::ScannedMainViewTest {
protected:
    void SetUp() override
    {
        Start({"top", "top/a", "top/b", "top/b/sub", "top/sys", "top/sysold"},
              {{"top/a/x.txt", "same words in two places"},
               {"top/a/y.txt", "only here"},
               {"top/a/" + kUntrashable, "stays"},
               {"top/b/x2.txt", "same words in two places"},
               {"top/b/sub/z.txt", std::string(5000, 'z')},
               {"top/sys/s.txt", "system"},
               {"top/sysold/o.txt", "old"}});
    }
};

using testsupport::Contents;
using testsupport::Exists;

TEST_F(DeletionTest, AFileOfTheFileListGoesAndEveryTotalAboveItIsUnknown)
{
    SelectInList("top/a", {"y.txt"});
    List()->DeleteSelected();

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_CONFIRM_TRASH_ONE);
    EXPECT_EQ(m_boxes[0].text,
              "Move '" + QString::fromStdString(Path("top/a/y.txt")) + "' to the Trash?");
    EXPECT_FALSE(Exists(Path("top/a/y.txt")));
    EXPECT_EQ(Contents(TrashDir() + "/files/y.txt"), "only here");

    // The folder's own size and every tree size up to the root are unknown.
    EXPECT_FALSE(Record("top/a")->Has(FolderRecord::OwnSizeKnown));
    for (TreeItemRecord* up = Record("top/a"); up != nullptr; up = up->parent)
        EXPECT_FALSE(static_cast<FolderRecord*>(up)->Has(FolderRecord::TreeSizeKnown));
    EXPECT_TRUE(Record("top/b")->Has(FolderRecord::TreeSizeKnown));
    EXPECT_EQ(Tree()->Tree().ItemText(Record("top/a")->item), "a");
}

TEST_F(DeletionTest, TwoFilesOfTheListedFolderRefreshTheListOnceAndACopyLeavesItsGroup)
{
    DupGroup* group = Member("top/b", "x2.txt")->group;
    ASSERT_EQ(group->MemberCount(), 2);
    LarkspurDupsWnd* dups = m_view->DupsPane();
    ASSERT_GE(dups->GroupsList().FindGroupRow(*group), 0);
    const std::vector<std::string> selected{"x.txt", "y.txt"};
    SelectInList("top/a", selected);
    const int rows = List()->Control().ItemCount();
    int resets = 0;
    QObject::connect(&List()->Control(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    List()->Refresh();
    const int perRefresh = std::exchange(resets, 0);
    SelectInList("top/a", selected);
    List()->DeleteSelected();

    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(resets, perRefresh);  // one refresh
    EXPECT_EQ(List()->Control().ItemCount(), rows - 2);
    EXPECT_EQ(Member("top/a", "x.txt"), nullptr);
    // The group keeps its one copy and leaves the duplicates window.
    ASSERT_EQ(group->MemberCount(), 1);
    EXPECT_EQ(group->FirstMember(), Member("top/b", "x2.txt"));
    EXPECT_EQ(dups->GroupsList().FindGroupRow(*group), -1);
}

TEST_F(DeletionTest, TheListedFileWhoseOtherCopyGoesIsMarkedAlone)
{
    List()->SetFolder(Record("top/a"));
    const auto mark = [this] { return List()->Control().ItemStateImage(List()->FileRow("x.txt")); };
    ASSERT_EQ(mark(), FileListItem::HasCopies);
    m_view->DeleteRequests(Request("top/b", "x2.txt", Member("top/b", "x2.txt")));
    EXPECT_TRUE(testsupport::PumpUntil([&] { return mark() == FileListItem::NoCopy; }));
}

TEST_F(DeletionTest, AWholeGroupFromTheGroupsListSaysThatEveryCopyGoes)
{
    DupGroup* group = Member("top/b", "x2.txt")->group;
    BrindleDupsListView& groups = m_view->DupsPane()->GroupsList();
    groups.Control().SelectOnly(groups.FindGroupRow(*group));
    groups.DeleteSelected();

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_CONFIRM_TRASH_GROUP);
    EXPECT_TRUE(m_boxes[0].text.startsWith("Move all 2 copies of 'x"));
    EXPECT_FALSE(Exists(Path("top/a/x.txt")) || Exists(Path("top/b/x2.txt")));
    EXPECT_EQ(Member("top/a", "x.txt"), nullptr);
    EXPECT_EQ(Member("top/b", "x2.txt"), nullptr);
    EXPECT_EQ(groups.Control().ItemCount(), 0);
}

TEST_F(DeletionTest, DecliningAChainThatHoldsEveryCopyOfAFileChangesNothing)
{
    m_answer = QMessageBox::No;
    List()->SetFolder(Record("top/a"));
    const int rows = List()->Control().ItemCount();
    const auto flags = Record("top/a")->flags;
    const QString label = Tree()->Tree().ItemText(Record("top/a")->item);
    DupGroup* group = Member("top/a", "x.txt")->group;
    auto chain = Request("top/a", "x.txt", Member("top/a", "x.txt"));
    chain->next = Request("top/b", "x2.txt", Member("top/b", "x2.txt"));
    chain->next->next = Request("top/a", "y.txt");
    m_view->DeleteRequests(std::move(chain));

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_CONFIRM_TRASH_GROUPS);
    EXPECT_TRUE(
        m_boxes[0].text.startsWith("Move these 3 items to the Trash?  They hold every "
                                   "copy of 1 duplicated files"));
    for (const char* kept : {"top/a/x.txt", "top/b/x2.txt", "top/a/y.txt"})
        EXPECT_TRUE(Exists(Path(kept))) << kept;
    EXPECT_EQ(Record("top/a")->flags, flags);
    EXPECT_EQ(Tree()->Tree().ItemText(Record("top/a")->item), label);
    EXPECT_EQ(List()->Control().ItemCount(), rows);
    EXPECT_EQ(group->MemberCount(), 2);
}

TEST_F(DeletionTest, ACopyFromTheCopiesListLeavesItsGroup)
{
    DupGroup* group = Member("top/b", "x2.txt")->group;
    BrindleFileListView& copies = m_view->DupsPane()->CopiesList();
    copies.ShowGroup(*group);
    copies.SelectRowOf(*Member("top/b", "x2.txt"));
    copies.DeleteSelected();

    EXPECT_EQ(m_boxes.size(), 1u);
    EXPECT_FALSE(Exists(Path("top/b/x2.txt")));
    EXPECT_TRUE(Exists(Path("top/a/x.txt")));
    EXPECT_EQ(group->MemberCount(), 1);
    EXPECT_EQ(copies.Control().ItemCount(), 0);  // a group of one is no longer shown
}

TEST_F(DeletionTest, AFolderFromTheTreeLeavesWithItsSubtreeAndItsParentTotalsAtOnce)
{
    const FileSize subtree = Record("top/b/sub")->treeDiskSpace;
    const FileSize before = Record("top")->treeDiskSpace;
    Tree()->SelectItemQuietly(Record("top/b/sub")->item);
    Tree()->DeleteSelectedFolder();

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_FALSE(Exists(Path("top/b/sub")));
    EXPECT_EQ(Contents(TrashDir() + "/files/sub/z.txt"), std::string(5000, 'z'));
    EXPECT_EQ(Record("top/b/sub"), nullptr);
    EXPECT_EQ(Record("top/b")->treeDiskSpace, Record("top/b")->ownDiskSpace);
    EXPECT_EQ(Record("top")->treeDiskSpace, before - subtree);
}

TEST_F(DeletionTest, AFolderAndFilesInsideItGoInOneChain)
{
    // The folder's records go with it; requests for its files, later in the
    // chain, must not reach them afterwards.
    auto chain = Request("top/b");
    chain->next = Request("top/b", "x2.txt", Member("top/b", "x2.txt"));
    chain->next->next = Request("top/b/sub", "z.txt");
    DupGroup* group = Member("top/a", "x.txt")->group;
    m_view->DeleteRequests(std::move(chain));

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].text, "Move these 3 items to the Trash?");
    EXPECT_FALSE(Exists(Path("top/b")));
    EXPECT_EQ(Record("top/b"), nullptr);
    EXPECT_EQ(group->MemberCount(), 1);
}

TEST_F(DeletionTest, AProtectedRequestRefusesTheWholeChainWithOneMessage)
{
    auto chain = Request("top/a", "y.txt");
    chain->next = Request("top/sys", "s.txt");
    chain->next->next = Request("top/sysold", "o.txt");
    const auto flags = Record("top/a")->flags;
    m_view->DeleteRequests(std::move(chain));

    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_PROTECTED_DIRECTORY);
    EXPECT_EQ(m_boxes[0].text,
              "One or more of the files you have selected is in the protected directory '" +
                  QString::fromStdString(m_top) +
                  "/SYS'.  You can only delete files from this directory if you turn off the "
                  "option to protect system files (from the View/Options menu).  Do not do this "
                  "unless you are certain that you know what you are doing.");
    EXPECT_TRUE(Exists(Path("top/a/y.txt")) && Exists(Path("top/sys/s.txt")) &&
                Exists(Path("top/sysold/o.txt")));
    EXPECT_EQ(Record("top/a")->flags, flags);

    // The protected folder itself, from the tree, is refused too.
    m_boxes.clear();
    Tree()->SelectItemQuietly(Record("top/sys")->item);
    Tree()->DeleteSelectedFolder();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_PROTECTED_DIRECTORY);
    EXPECT_TRUE(Exists(Path("top/sys")));
}

TEST_F(DeletionTest, ProtectionCoversTheDirectoryAndBelowInAnyCaseButNotItsNeighbourOrAncestor)
{
    EXPECT_TRUE(m_view->IsInProtectedDirectory(*Record("top/sys")));
    EXPECT_FALSE(m_view->IsInProtectedDirectory(*Record("top/sysold")));
    EXPECT_FALSE(m_view->IsInProtectedDirectory(*Record("top")));
    EXPECT_FALSE(m_view->AnyInProtectedDirectory(nullptr));

    // Neighbour and ancestor go to the Trash.
    m_view->DeleteRequests(Request("top/sysold", "o.txt"));
    EXPECT_FALSE(Exists(Path("top/sysold/o.txt")));

    // With protection off the protected folder goes like any other.
    m_view->SetProtectSystemFiles(false);
    m_boxes.clear();
    m_view->DeleteRequests(Request("top/sys", "s.txt"));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].id, IDS_CONFIRM_TRASH_ONE);
    EXPECT_FALSE(Exists(Path("top/sys/s.txt")));
}

TEST_F(DeletionTest, APathThatCannotBeTrashedStaysAndIsNamedInOneMessage)
{
    auto chain = Request("top/a", kUntrashable);
    chain->next = Request("top/a", "y.txt");
    m_view->DeleteRequests(std::move(chain));

    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1].id, IDS_TRASH_FAILED);
    EXPECT_TRUE(m_boxes[1].text.contains(QString::fromStdString(Path("top/a/" + kUntrashable))));
    EXPECT_FALSE(m_boxes[1].text.contains("y.txt"));
    EXPECT_EQ(Contents(Path("top/a/" + kUntrashable)), "stays");
    EXPECT_FALSE(Exists(Path("top/a/y.txt")));
}

TEST_F(DeletionTest, TheWindowIsServedWhileAMoveRunsAndCancelStopsTheRun)
{
    // The second move waits, off the UI thread, for a timer of the UI
    // thread; the timer asks for another deletion and for a close (both must
    // wait for the run), cancels, and then lets the move go, which finds
    // itself cancelled. The third is never tried.
    const auto ui = std::this_thread::get_id();
    std::mutex mutex;
    std::condition_variable go;
    std::vector<std::string> moves;
    bool released = false;
    platform::ShellActions::SetTrashHookForTesting([&](const std::string& path) {
        std::unique_lock lock(mutex);
        moves.push_back(path);
        if (moves.size() == 2 && std::this_thread::get_id() != ui)
            go.wait(lock, [&] { return released; });
    });
    QTimer timer;
    timer.callOnTimeout([&] {
        if (std::lock_guard lock(mutex); moves.size() < 2 || released) return;
        m_view->DeleteRequests(Request("top/b", "x2.txt"));
        EXPECT_FALSE(m_view->close());
        m_view->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();
        std::lock_guard lock(mutex);
        released = true;
        go.notify_all();
    });
    timer.start(0);
    auto chain = Request("top/a", "y.txt");
    chain->next = Request("top/a", "x.txt", Member("top/a", "x.txt"));
    chain->next->next = Request("top/b/sub", "z.txt");
    m_view->DeleteRequests(std::move(chain));
    platform::ShellActions::SetTrashHookForTesting({});

    EXPECT_TRUE(released);
    EXPECT_EQ(moves, (std::vector<std::string>{Path("top/a/y.txt"), Path("top/a/x.txt")}));
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
    EXPECT_NE(Tree()->RootRecord(), nullptr);
}

}  // namespace

int main(int argc, char** argv) { return testsupport::RunWidgetTestsWithMessageQueue(argc, argv); }

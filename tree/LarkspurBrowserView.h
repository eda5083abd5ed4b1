#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "engine/DupGroupOwner.h"
#include "engine/DupTable.h"
#include "engine/FolderRecord.h"
#include "engine/TrackedReferences.h"
#include "framework/ScanControl.h"
#include "framework/SizeDisplay.h"
#include "platform/MessageWindow.h"
#include "platform/ProcessInstance.h"
#include "tree/FileBrowserView.h"
#include "tree/FolderTreeActions.h"

class QTimer;

namespace framework {
class CommandRouter;
}

// The folder tree the user sees: every record is a FolderRecord, each label
// shows the disk space of the folder's whole subtree in brackets before the
// name ("[ ] " while it is being worked out), siblings are ordered largest
// first, and a plain left click on a folder on disk scans its subtree.
//
// Scheduling: the tasks of one folder at a time (subfolders, size, and the
// duplicate search while it is on) go to the TaskManager's worker. Only when
// the queue has run empty, and so the folder's new child items are in the
// tree, is the next folder chosen, by an iterative-deepening walk below the
// clicked folder (the scan root): a pass with depth limit n visits, in tree
// order, the folders down to depth n that lie on paths into subtrees with
// work pending, so every folder at depth n is queued before anything deeper
// and the upper levels get their sizes first. When the scan root's subtree
// has nothing pending but other parts of the tree do (an earlier scan that
// was left behind), the walk widens to the whole tree. The walk has no
// depth limit of its own: it ends after a pass that did not reach its depth
// limit, as a deeper one would find nothing new.
//
// Records on the walk's path may be destroyed while it runs (a folder
// vanished from disk and its parent was enumerated again): the walk then
// starts over from its scan root (from the root record when the scan root
// itself went) and never reads the destroyed record.
// When vanished folders leave the tree, the folders that held them have
// their totals and pending marks worked out again, so an ancestor shows its
// new total at once and no empty brackets stay behind.
//
// The view owns the duplicate table and the tracked references of folder
// records and duplicate groups. Locks: the tree-data lock (DataLock) guards
// the records, the items and all duplicate data; the reference lock of
// References() guards the reference lists and is taken after the tree-data
// lock, never before it (it is a leaf).
//
// Wiring, done by the main view once the panes exist:
//  - the task queue's notify window receives UM_TASK_DONE and calls
//    ProcessCompletedTasks();
//  - SetMainView(handle): the window that receives UM_CLEAR_FOLDER_DUPS
//    (sent by the duplicate search; its handler passes the FolderRecordRef
//    in wParam to ClearFolderDuplicates);
//  - SetFrame(handle): the main frame, which receives the "Scanning: PATH"
//    texts (UM_STATUS_TEXT) and an empty text when the walk ends;
//  - the file list (FolderListDisplay, also a DupFileList) and the
//    duplicates window (DuplicatesDisplay) are reached through their
//    process-wide instances; either may be missing;
//  - as a SizeDisplay it redraws its labels after the size format changed.
//
// UI thread only; the worker reaches the view only through messages and the
// duplicate data under the tree-data lock. The first view
// constructed is TheBrowserView() until it is destroyed.
class LarkspurBrowserView : public FileBrowserView,
                            public ProcessInstance<LarkspurBrowserView>,
                            public FolderTreeActions,
                            public DupGroupOwner,
                            public framework::ScanControl,
                            public framework::SizeDisplay {
    Q_OBJECT

public:
    using ProcessInstance<LarkspurBrowserView>::Instance;
    using FileBrowserView::ClearFolderData;
    using FileBrowserView::ExploreFolder;
    using FileBrowserView::PopulateAndSelect;

    explicit LarkspurBrowserView(QWidget* parent = nullptr);
    // Tears the tree down first (cancelling every task and waiting for the
    // worker), then frees the duplicate table. Never inside a modal loop.
    ~LarkspurBrowserView() override;

    // The window that receives UM_CLEAR_FOLDER_DUPS; required before a
    // duplicate search runs (without it a folder searched twice is not
    // searched again). 0: none.
    void SetMainView(platform::WindowHandle mainView) { m_mainView = mainView; }
    // The main frame, which receives the status texts; 0: none.
    void SetFrame(platform::WindowHandle frame) { m_frame = frame; }
    // Serves the Folder Menu's commands; null: no context menu. Not owned.
    void SetCommandRouter(framework::CommandRouter* router) { m_router = router; }

    TrackedReferences& References() { return m_references; }
    DupTable& Duplicates() { return m_dupTable; }
    [[nodiscard]] bool DuplicateMode() const { return m_duplicateMode; }

    // On UM_TASK_DONE: delivers and destroys every finished task; then, while
    // the queue is empty, queues the tasks of the next folder the walk
    // finds. When the walk is idle and the queue empty, an empty status text
    // goes to the frame. Deliveries that take longer than a few milliseconds
    // in all leave the rest to a call of its own at the next turn of the
    // event loop.
    void ProcessCompletedTasks();

    // --- ScanControl (the frame's commands) and FolderTreeActions -------
    // Ends the walk, clears every queued and pending mark (known sizes stay)
    // and cancels every task that has not finished: finished ones are still
    // delivered, by the drain their UM_TASK_DONE brings.
    void StopScanning() override;
    // StopScanning, then forgets all sizes and duplicates, finished tasks'
    // results included.
    void ResetAll() override;
    // Off: cancels the duplicate searches only (finished ones undelivered),
    // drops all duplicate data and marks (the file list is refreshed) and
    // lets the size walk go on. On: StopScanning. Either way the duplicates window is enabled or
    // greyed to match.
    void SetDuplicateMode(bool findDuplicates) override;
    [[nodiscard]] bool IsScanning() const override { return m_scanRoot != nullptr; }
    [[nodiscard]] bool HasScannedSomething() const override { return m_scannedSomething; }

    // Under the tree-data lock: selects the copy's folder without
    // enumerating it, shows the folder in the file list and selects the copy.
    void GoToCopy(DupMember& copy) override;
    void PopulateAndSelect(FolderRecord& folder) override;
    void ExploreFolder(FolderRecord& folder) override;
    void ClearFolderData(FolderRecord& folder) override;

    // --- Folder commands ------------------------------------------------
    // Under the tree-data lock (DeleteSelectedFolder's): hands one request
    // for the folder itself to the main view's deletion.
    void DeleteFolder(TreeItemRecord& record) override;
    // Stops the scan; under the tree-data lock, reports 40003 when nothing
    // of the subtree was searched for duplicates, 40002 when it holds no
    // copy of a group of two or more, and otherwise runs the Delete
    // Duplicate Files dialog for the folder, holding the lock throughout
    // but while the dialog reads files.
    void DeleteDuplicates(TreeItemRecord& record) override;
    // Forgets everything known about the folder's subtree: stops the scan
    // and drops the results of finished tasks;
    // then, holding the tree-data lock and after it the reference lock, the
    // subtree's flags (all but InFileList) and duplicate members go, and the
    // ancestors lose their known tree sizes up to the first that had none.
    // Redraws the tree and refreshes the file list.
    void ClearFolderData(TreeItemRecord& record) override;
    // The "Folder Menu" at the screen point (x, y), or for (-1, -1) at
    // ContextMenuPoint; its commands go to this tree first.
    void ShowFolderMenu(int x, int y) override;
    // The dialog the Delete Duplicates command runs, for tests: it is given
    // the dialog set up for the folder and returns its result. Empty: the
    // dialog runs modally.
    using DialogRunner = std::function<int(class DeleteDuplicatesDialog& dialog)>;
    void SetDialogRunnerForTesting(DialogRunner runner) { m_dialogRunner = std::move(runner); }

    // After the file of member was deleted (under the tree-data lock):
    // unlinks member from folder, takes it out of its group and frees it.
    void RemoveFileFromFolder(FolderRecord& folder, DupMember& member);

    // --- DupGroupOwner ------------------------------------------------------
    void ClearFolderDuplicates(const FolderRecordRef& folder) override;
    // Also, when the member's file or the copy it leaves alone is listed,
    // has the file list's marks read again once the event loop turns.
    void RemoveDupMember(DupMember& member) override;
    void DropGroup(DupGroup& group) override;

    // --- Scan marks and the walk (public for the folder commands and tests)
    // Marks record and every descendant in the tree that lacks its own size
    // for a size scan (SizeQueued), and their ancestors with TreeSizePending.
    void MarkForSizeScan(FolderRecord& record);
    // The same for the duplicate search (DupsKnown, DupsQueued,
    // TreeDupsPending).
    void MarkForDuplicateScan(FolderRecord& record);
    // Clears mask from the flags of record's whole subtree (sizes stay) and
    // sorts every folder's children again. Iterative.
    void ClearStateBits(FolderRecord& record, std::uint16_t mask);
    // Queues the tasks of one folder: subfolders always, then the size scan
    // when SizeQueued, then the duplicate search when DupsQueued. Nothing
    // for a folder without a directory path.
    void QueueTasksFor(FolderRecord& record);
    // Frees every duplicate member and group (no per-group bookkeeping);
    // every DupGroupRef becomes null.
    void ClearAllFolderData();
    // The walk becomes idle.
    void ResetTraversal();
    // Redraws every label (after a change of the size format).
    void RedrawAll();
    void RefreshSizes() override { RedrawAll(); }

    // --- Hooks ----------------------------------------------------------
    QString GetItemText(const TreeItemRecord& record) override;
    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item) override;
    void InitItemRecord(TreeItemRecord& record) override;
    void OnDeleteItemRecord(TreeItemRecord& record, bool destroying) override;
    // Labels are asked for anew together, a few times a second.
    void RefreshItemLabel(TreeItemRecord& record) override;
    void NotifyListIfShown(TreeItemRecord& record) override;
    void OnItemClicked(TreeItemRecord& record, bool ctrlHeld) override;
    void OnTreeKeyDown(int key) override;
    void OnTreeDestroy() override;
    // Folders on disk: larger treeDiskSpace first, equal ones by name
    // without regard to case. Other folders keep their order.
    void SortChildren(TreeItemRecord& record) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Answers whether there is a next folder to queue; when yes it is
    // m_pathStack[m_depth].
    bool FindNextFolderToScan();
    // Starts a walk at start: depth 0, depth limit 1.
    void StartWalk(FolderRecord& start);
    FolderRecord* Root() const;
    FolderRecord* FirstChild(const FolderRecord& record) const;
    FolderRecord* NextSibling(const FolderRecord& record) const;
    // Marks record's subtree with queued and, on the ancestors, pending.
    void Mark(FolderRecord& record, FolderRecord::Flag known, FolderRecord::Flag queued,
              FolderRecord::Flag pending);
    // Works out the totals and pending marks again of the folders that lost
    // children since the last call.
    void SettleAfterRemovals();
    void FlushLabels();
    // The file list's marks again, from the event loop: the duplicate data
    // of a listed file changed.
    void RefreshListMarksLater();
    // An empty status text to the frame when the walk is idle and nothing
    // is queued.
    void ClearStatusIfIdle();

    bool m_duplicateMode = true;
    FolderRecord* m_scanRoot = nullptr;
    int m_depthLimit = 0;
    int m_depth = -1;
    bool m_scannedSomething = false;
    // Slot 0 holds m_scanRoot, slot i a child of slot i-1, slot m_depth the
    // current record; grows with the tree.
    std::vector<FolderRecord*> m_pathStack;
    // The greatest depth the current pass has reached so far.
    int m_passDeepest = 0;
    platform::WindowHandle m_frame = 0;
    platform::WindowHandle m_mainView = 0;
    framework::CommandRouter* m_router = nullptr;
    DialogRunner m_dialogRunner;
    DupTable m_dupTable;
    TrackedReferences m_references;

    // Items whose children were removed (None: the root record's).
    std::vector<TreeItem> m_removedFrom;
    bool m_settling = false;
    // Items whose labels changed since the last flush.
    std::unordered_set<TreeItem> m_dirtyLabels;
    QTimer* m_labelTimer = nullptr;
    bool m_listMarksStale = false;
    // A call of ProcessCompletedTasks is queued for the deliveries left over.
    bool m_deliveryOwed = false;
};

// The one sized folder tree; null while there is none.
[[nodiscard]] inline LarkspurBrowserView* TheBrowserView()
{
    return LarkspurBrowserView::Instance();
}

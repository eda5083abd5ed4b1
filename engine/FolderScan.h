#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include <QElapsedTimer>
#include <QObject>

#include "engine/DupStore.h"
#include "engine/FolderRecord.h"
#include "platform/MessageWindow.h"

class DuplicatesDisplay;
class FolderListDisplay;
class TreeAccess;

// The scan of a folder tree of FolderRecords: the marks of what is to be
// worked out, the walk that chooses the next folder, the delivery of
// finished tasks, and the tree's duplicate data (a DupStore).
//
// Scheduling: each folder's tasks (subfolders, size, and the duplicate
// search while it is on) go to the TaskManager's worker, in the order of an
// iterative-deepening walk below the scanned folder (the scan root): a pass
// with depth limit n visits, in tree order, the folders down to depth n
// that lie on paths into subtrees with work pending, so every folder at
// depth n is queued before anything deeper and the upper levels get their
// sizes first. The walk queues ahead of the deliveries, a few dozen tasks,
// so that the worker never waits for the UI thread; a folder whose tasks
// are queued is not queued again until the queue has run empty. A pass ends
// only once the queue has run empty, and so the children of every folder it
// queued are in the tree; a pass that queued folders above its depth limit
// (whose children it could not see yet) is run again. When the scan root's subtree
// has nothing pending but other parts of the tree do (an earlier scan that
// was left behind), the walk widens to the whole tree. The walk has no
// depth limit of its own: it ends after a pass that did not reach its depth
// limit, as a deeper one would find nothing new.
//
// Records on the walk's path may be destroyed while it runs (a folder
// vanished from disk and its parent was enumerated again): the walk then
// starts over from its scan root (from the root record when the scan root
// itself went) and never reads the destroyed record. When vanished folders
// leave the tree, the folders that held them have their totals and pending
// marks worked out again, so an ancestor shows its new total at once and no
// empty brackets stay behind.
//
// The tree forwards its record hooks (CreateItemRecord, InitItemRecord,
// OnDeleteItemRecord, SortChildren, NotifyListIfShown, OnTreeDestroy) here
// and is told of changed labels through its RefreshItemLabel and
// RefreshAllLabels. Wiring, before the first scan:
//  - the task queue's notify window calls ProcessCompletedTasks() on
//    UM_TASK_DONE;
//  - SetMainView(handle): the window that receives UM_CLEAR_FOLDER_DUPS
//    (sent by the duplicate search; its handler calls the DupStore's
//    ClearFolderDuplicates with the FolderRecordRef in wParam);
//  - SetFrame(handle): the window that receives "Scanning: PATH" (sent,
//    UM_STATUS_TEXT) once per turn of deliveries, naming the folder last
//    delivered, and an empty text (posted) when the walk ends;
//  - SetDisplays: the duplicates pane and the file list (either may be
//    null).
//
// UI thread only; the worker reaches the scan only through messages and the
// duplicate data under the tree-data lock. The tree outlives the scan.
class FolderScan {
public:
    explicit FolderScan(TreeAccess& tree);
    FolderScan(const FolderScan&) = delete;
    FolderScan& operator=(const FolderScan&) = delete;
    ~FolderScan();

    void SetMainView(platform::WindowHandle mainView) { m_mainView = mainView; }
    void SetFrame(platform::WindowHandle frame) { m_frame = frame; }
    void SetDisplays(DuplicatesDisplay* duplicates, FolderListDisplay* fileList);
    [[nodiscard]] FolderListDisplay* FileList() const { return m_fileList; }

    DupStore& Duplicates() { return m_dups; }
    [[nodiscard]] bool DuplicateMode() const { return m_duplicateMode; }
    [[nodiscard]] bool IsScanning() const { return m_scanRoot != nullptr; }
    [[nodiscard]] bool HasScannedSomething() const { return m_scannedSomething; }

    // What a plain left click on a folder on disk does: marks its subtree
    // for the size scan (and the duplicate search while it is on), starts
    // the walk there and queues the folder's own tasks. Nothing for a
    // folder outside the file system.
    void ScanFolder(FolderRecord& folder);

    // On UM_TASK_DONE: delivers and destroys every finished task; then tops
    // the queue up with the tasks of the folders the walk finds next, up to
    // the window ahead. When the walk is idle and the queue empty, an empty
    // status text goes to the frame. Deliveries that take longer than a few
    // milliseconds in all leave the rest to a call of its own a millisecond
    // later; a call that comes within a millisecond of the last one's end
    // delivers nothing and is made again when the millisecond is over, so
    // that one wake-up announces the tasks of a millisecond.
    void ProcessCompletedTasks();

    // Ends the walk, clears every queued and pending mark (known sizes stay)
    // and cancels every task that has not finished: finished ones are still
    // delivered, by the drain their UM_TASK_DONE brings.
    void StopScanning();
    // StopScanning, then forgets all sizes and duplicates, finished tasks'
    // results included.
    void ResetAll();
    // Off: cancels the duplicate searches only (finished ones undelivered),
    // drops all duplicate data and marks (the file list is refreshed) and
    // lets the size walk go on. On: StopScanning. Either way the duplicates
    // pane is enabled or greyed to match.
    void SetDuplicateMode(bool findDuplicates);
    // Forgets everything known about the folder's subtree: stops the scan
    // and drops the results of finished tasks; then, holding the tree-data
    // lock and after it the reference lock, the subtree's flags (all but
    // InFileList) and duplicate members go, and the ancestors lose their
    // known tree sizes up to the first that had none. Redraws the labels and
    // refreshes the file list.
    void ClearFolderData(FolderRecord& folder);

    // Marks record and every descendant in the tree that lacks its own size
    // for a size scan (SizeQueued), and their ancestors with TreeSizePending.
    void MarkForSizeScan(FolderRecord& record);
    // The same for the duplicate search (DupsKnown, DupsQueued,
    // TreeDupsPending).
    void MarkForDuplicateScan(FolderRecord& record);
    // Clears mask from the flags of record's whole subtree (sizes stay; the
    // listed files go when mask has OwnSizeKnown) and sorts every folder's
    // children again. Under the tree-data lock.
    void ClearStateBits(FolderRecord& record, std::uint16_t mask);
    // Queues the tasks of one folder: subfolders always, then the size scan
    // when SizeQueued, then the duplicate search when DupsQueued. Nothing
    // for a folder without a directory path: answers whether it queued.
    bool QueueTasksFor(FolderRecord& record);
    // For tests: called with each folder whose tasks are queued, in the
    // walk's order.
    void SetQueueHookForTesting(std::function<void(const FolderRecord&)> hook)
    {
        m_queueHook = std::move(hook);
    }
    // The walk becomes idle.
    void ResetTraversal();

    // --- Record hooks, forwarded by the tree --------------------------------
    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item);
    void InitItemRecord(TreeItemRecord& record);
    void OnDeleteItemRecord(TreeItemRecord& record, bool destroying);
    void NotifyListIfShown(TreeItemRecord& record);
    void OnTreeDestroy();
    // Folders on disk: larger treeDiskSpace first, equal ones by name
    // without regard to case. Other folders keep their order.
    void SortChildren(TreeItemRecord& record);

private:
    // Answers whether there is a next folder to queue; when yes it is
    // m_pathStack[m_depth].
    bool FindNextFolderToScan();
    // Starts a walk at start: depth 0, depth limit 1.
    void StartWalk(FolderRecord& start);
    FolderRecord* Root() const;
    // Marks record's subtree with queued and, on the ancestors, pending.
    void Mark(FolderRecord& record, FolderRecord::Flag known, FolderRecord::Flag queued,
              FolderRecord::Flag pending);
    // Works out the totals and pending marks again of the folders that lost
    // children since the last call.
    void SettleAfterRemovals();
    // "Scanning: FOLDER" to the frame; nothing for an empty folder path.
    void ShowScanning(const std::string& folder) const;
    // Calls ProcessCompletedTasks a millisecond later unless a call is due
    // already.
    void OweTurn();
    // An empty status text to the frame when the walk is idle and nothing
    // is queued.
    void ClearStatusIfIdle();
    void RefreshFileList();
    // Clears mask from the whole tree's flags and drops every duplicate
    // group and member, in the duplicates pane too.
    void ForgetTree(std::uint16_t mask);

    TreeAccess& m_tree;
    // Receives the calls left for the event loop.
    QObject m_context;
    DupStore m_dups;
    FolderListDisplay* m_fileList = nullptr;
    platform::WindowHandle m_frame = 0;
    platform::WindowHandle m_mainView = 0;

    bool m_duplicateMode = true;
    bool m_scannedSomething = false;
    FolderRecord* m_scanRoot = nullptr;
    int m_depthLimit = 0;
    int m_depth = -1;
    // Slot 0 holds m_scanRoot, slot i a child of slot i-1, slot m_depth the
    // current record; grows with the tree.
    std::vector<FolderRecord*> m_pathStack;
    // The greatest depth the current pass has reached so far.
    int m_passDeepest = 0;
    // The pass is over but waits for the queue to run empty.
    bool m_passEnded = false;
    // The pass queued a folder above its depth limit or met one whose tasks
    // were still queued: it runs again before the walk goes deeper.
    bool m_passIncomplete = false;
    // The folders whose tasks were queued since the queue last ran empty.
    std::unordered_set<const FolderRecord*> m_inFlight;

    // Items whose children were removed (None: the root record's).
    std::vector<TreeItem> m_removedFrom;
    bool m_settling = false;
    // A call of ProcessCompletedTasks is due (OweTurn) for the deliveries
    // left over or held back.
    bool m_deliveryOwed = false;
    // Started when the last turn of deliveries ended; invalid before one.
    QElapsedTimer m_lastTurn;
    std::function<void(const FolderRecord&)> m_queueHook;
};

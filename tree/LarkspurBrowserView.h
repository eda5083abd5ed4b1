#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "engine/DupGroupOwner.h"
#include "engine/FolderScan.h"
#include "framework/ScanControl.h"
#include "framework/SizeDisplay.h"
#include "platform/MessageWindow.h"
#include "platform/ProcessInstance.h"
#include "tree/FileBrowserView.h"
#include "tree/FolderTreeActions.h"

class DeletionHandler;
class QTimer;

namespace framework {
class CommandRouter;
class PaintPacer;
}  // namespace framework

// The folder tree the user sees: every record is a FolderRecord, each label
// shows the disk space of the folder's whole subtree in brackets before the
// name ("[ ] " while it is being worked out), siblings are ordered largest
// first, and a plain left click on a folder on disk scans its subtree.
//
// The scan itself (marks, walk, delivery of finished tasks, duplicate data)
// is a FolderScan that the view owns and hands its record hooks to; the
// view draws the labels, takes the clicks and keys, and runs the folder
// commands. Locks: the tree-data lock (DataLock) guards the records, the
// items and all duplicate data; the reference lock of References() is taken
// after it, never before it.
//
// Wiring, done by the main view once the panes exist:
//  - the task queue's notify window receives UM_TASK_DONE and calls
//    ProcessCompletedTasks();
//  - SetMainView(handle): the window that receives UM_CLEAR_FOLDER_DUPS
//    (its handler passes the FolderRecordRef in wParam to
//    ClearFolderDuplicates);
//  - SetFrame(handle): the main frame, which receives the "Scanning: PATH"
//    texts (UM_STATUS_TEXT) and an empty text when the walk ends;
//  - SetPanes: the file list and the duplicates pane (either may be null);
//  - SetDeletionHandler: the main view, where the folder commands' and the
//    Delete Duplicates dialog's deletions go;
//  - as a SizeDisplay it redraws its labels after the size format changed.
//
// UI thread only. The first view constructed is TheBrowserView() until it
// is destroyed.
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
    // worker), then the scan frees the duplicate data. Never inside a modal
    // loop.
    ~LarkspurBrowserView() override;

    // The window that receives UM_CLEAR_FOLDER_DUPS; required before a
    // duplicate search runs (without it a folder searched twice is not
    // searched again). 0: none.
    void SetMainView(platform::WindowHandle mainView) { m_scan.SetMainView(mainView); }
    // The main frame, which receives the status texts; 0: none.
    void SetFrame(platform::WindowHandle frame) { m_scan.SetFrame(frame); }
    // The file list and the duplicates pane; they must outlive the view or
    // be handed in again as null.
    void SetPanes(FolderListDisplay* fileList, DuplicatesDisplay* duplicates)
    {
        m_scan.SetDisplays(duplicates, fileList);
    }
    // Where deletions go (the main view); null: nothing is deleted. Not
    // owned.
    void SetDeletionHandler(DeletionHandler* deletion) { m_deletion = deletion; }
    // Serves the Folder Menu's commands; null: no context menu. Not owned.
    void SetCommandRouter(framework::CommandRouter* router) { m_router = router; }

    FolderScan& Scan() { return m_scan; }
    TrackedReferences& References() { return m_scan.Duplicates().References(); }
    DupTable& Duplicates() { return m_scan.Duplicates().Table(); }
    [[nodiscard]] bool DuplicateMode() const { return m_scan.DuplicateMode(); }

    // See FolderScan. The tree is then painted at a steady pace until the
    // walk ends and nothing is queued.
    void ProcessCompletedTasks();

    // --- ScanControl (the frame's commands) and FolderTreeActions -------
    void StopScanning() override { m_scan.StopScanning(); }
    void ResetAll() override { m_scan.ResetAll(); }
    void SetDuplicateMode(bool findDuplicates) override { m_scan.SetDuplicateMode(findDuplicates); }
    [[nodiscard]] bool IsScanning() const override { return m_scan.IsScanning(); }
    [[nodiscard]] bool HasScannedSomething() const override { return m_scan.HasScannedSomething(); }

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
    // FolderScan::ClearFolderData, with a wait cursor.
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
    void RemoveFileFromFolder(FolderRecord& folder, DupMember& member)
    {
        m_scan.Duplicates().RemoveFileFromFolder(folder, member);
    }

    // --- DupGroupOwner ------------------------------------------------------
    void ClearFolderDuplicates(const FolderRecordRef& folder) override
    {
        m_scan.Duplicates().ClearFolderDuplicates(folder);
    }
    void RemoveDupMember(DupMember& member) override
    {
        m_scan.Duplicates().RemoveDupMember(member);
    }
    void DropGroup(DupGroup& group) override { m_scan.Duplicates().DropGroup(group); }

    // Redraws every label (after a change of the size format).
    void RedrawAll() { RefreshAllLabels(); }
    void RefreshSizes() override { RedrawAll(); }

    // --- Hooks: the record hooks go to the scan --------------------------
    QString GetItemText(const TreeItemRecord& record) override;
    std::unique_ptr<TreeItemRecord> CreateItemRecord(TreeItem item) override
    {
        return m_scan.CreateItemRecord(item);
    }
    void InitItemRecord(TreeItemRecord& record) override { m_scan.InitItemRecord(record); }
    void OnDeleteItemRecord(TreeItemRecord& record, bool destroying) override
    {
        m_scan.OnDeleteItemRecord(record, destroying);
    }
    // Labels are asked for anew together, a few times a second.
    void RefreshItemLabel(TreeItemRecord& record) override;
    void RefreshAllLabels() override;
    void NotifyListIfShown(TreeItemRecord& record) override { m_scan.NotifyListIfShown(record); }
    void OnItemClicked(TreeItemRecord& record, bool ctrlHeld) override;
    void OnTreeKeyDown(int key) override;
    void OnTreeDestroy() override { m_scan.OnTreeDestroy(); }
    void SortChildren(TreeItemRecord& record) override { m_scan.SortChildren(record); }

Q_SIGNALS:
    // Labels were asked for anew: records changed (at most every
    // kLabelRefreshMs while a scan delivers, or all at once).
    void LabelsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FlushLabels();

    FolderScan m_scan{*this};
    framework::CommandRouter* m_router = nullptr;
    DeletionHandler* m_deletion = nullptr;
    DialogRunner m_dialogRunner;
    // Items whose labels changed since the last flush.
    std::unordered_set<TreeItem> m_dirtyLabels;
    QTimer* m_labelTimer = nullptr;
    framework::PaintPacer* m_paintPacer = nullptr;
};

// The one sized folder tree; null while there is none.
[[nodiscard]] inline LarkspurBrowserView* TheBrowserView()
{
    return LarkspurBrowserView::Instance();
}

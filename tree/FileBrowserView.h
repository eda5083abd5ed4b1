#pragma once

#include <functional>
#include <string>

#include <QItemSelectionModel>
#include <QPoint>
#include <QString>
#include <QTreeView>

#include "framework/CommandTarget.h"
#include "model/TreeControl.h"
#include "model/TreeAccess.h"

class QTimer;

// The folder tree pane: the shell namespace as a tree whose invisible root is
// the Desktop. The top level shows the Desktop's children (Computer, Home,
// the desktop's folders); below a volume each item is a folder on disk.
//
// Children are never listed in advance: an item's subfolders are enumerated
// afresh, at once and on the UI thread, each time the item is expanded,
// clicked (on its icon or label) or right-clicked, so what the user touches
// is as fresh as the disk. Vanished folders leave with their records, new
// ones come, and the children are sorted again (SortChildren).
//
// Labels are never stored: the tree control asks GetItemText (TreeAccess)
// whenever it shows an item, so a derived view can show more than the name.
//
// The class is a set of hooks. The plain behaviour here is the shell tree,
// the name order and Explore; the hooks for scanning, deletion, duplicates
// and the context menu do nothing and are filled by the sized tree. The
// record hooks (GetItemText, CreateItemRecord, InitItemRecord,
// OnDeleteItemRecord, RefreshItemLabel, NotifyListIfShown) are TreeAccess's.
//
// The QTreeView and the tree control keep one selection and one expansion
// state: a change on either side is mirrored on the other. The control's
// ItemExpanding, raised before an expansion by the user or by a selection,
// is where an item is populated.
//
// UI thread only. Teardown: the view's destruction (DestroyTree) cancels
// every queued task, waits until no cancelled task still runs, and only then
// frees the records. A derived view whose hooks must see the teardown calls
// DestroyTree() first thing in its own destructor.
class FileBrowserView : public QTreeView, public TreeAccess, public framework::CommandTarget {
    Q_OBJECT

public:
    // Opens a folder (absolute path, raw bytes; empty for an item outside the
    // file system) in the file manager; returns a launch result
    // (platform::ShellActions). Tests replace it so that nothing is launched.
    using ExploreLauncher = std::function<int(const std::string& folder)>;

    explicit FileBrowserView(QWidget* parent = nullptr);
    ~FileBrowserView() override;

    // Builds the tree once, while it has no root record: the Desktop's root
    // record, its children as the top-level items (unsorted), and the first
    // of them (Computer) expanded and populated. Later calls do nothing.
    void OnInitialUpdate();

    // Enumerates the subfolders of item now (directory form when its record
    // has a file-system path, shell form otherwise), then SortChildren. Takes
    // no lock itself; the delivery into the tree does. Never queued.
    void PopulateChildren(TreeItem item);
    // Selects item, expanding its collapsed ancestors without populating them.
    void SelectItemQuietly(TreeItem item);
    // PopulateChildren (item), then SelectItemQuietly (item): enters a folder.
    void PopulateAndSelect(TreeItem item);
    // Under the tree-data lock: DeleteFolder of the selected item's record;
    // nothing without a selection.
    void DeleteSelectedFolder();

    // Cancels every queued task, waits until no cancelled task still runs
    // (handling the messages such a task sends meanwhile), then, under the
    // tree-data lock, OnTreeDestroy and DeleteItemTree (..., true) for every
    // top-level item. Runs once; later calls do nothing. Never call it inside
    // a modal loop (platform::ModalScope).
    void DestroyTree();

    // The screen point a context menu opens at for ShowFolderMenu's (x, y):
    // the point itself, or for (-1, -1) (from the keyboard) 5 pixels right
    // of and below the top-left corner of the tree's area inside its frame.
    [[nodiscard]] QPoint ContextMenuPoint(int x, int y) const;

    void SetExploreLauncher(ExploreLauncher launcher);

    // CommandTarget: Delete (32789), Delete Duplicates (32788), Clear Folder
    // Data (32792) and Explore (32794), always enabled while the tree has the
    // focus; without a selected item they do nothing.
    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

    // --- Hooks ----------------------------------------------------------
    // A left click (ctrlHeld: with Ctrl) or a right click (ctrlHeld: true)
    // on an item's icon or label, after the item was populated. Plain:
    // nothing.
    virtual void OnItemClicked(TreeItemRecord& record, bool ctrlHeld);
    // Delete the folder; called under the tree-data lock. Plain: nothing.
    virtual void DeleteFolder(TreeItemRecord& record);
    // A key pressed in the tree (a Qt::Key), before the tree's own handling
    // of it. Plain: Delete calls DeleteSelectedFolder; other keys nothing.
    virtual void OnTreeKeyDown(int key);
    // Show the context menu at the screen point (x, y); (-1, -1) when the
    // Menu key or Shift+F10 asked for it (see ContextMenuPoint). Plain:
    // nothing.
    virtual void ShowFolderMenu(int x, int y);
    virtual void DeleteDuplicates(TreeItemRecord& record);  // plain: nothing
    virtual void ClearFolderData(TreeItemRecord& record);   // plain: nothing
    // Plain: opens FullPathOf (record) in the file manager (an empty path
    // when it has none); a failure is not reported.
    virtual void ExploreFolder(TreeItemRecord& record);
    // During DestroyTree, under the tree-data lock, before any record goes.
    // Plain: nothing.
    virtual void OnTreeDestroy();
    // Plain: the children of record's item by display name, case-insensitive
    // (Unicode case folding), ascending; equal names keep their order.
    void SortChildren(TreeItemRecord& record) override;

protected:
    // The item whose icon or label is at pos (viewport coordinates); None on
    // the expand button, the indentation, the empty space right of a label
    // or below the last item.
    [[nodiscard]] TreeItem ItemAtIconOrLabel(const QPoint& pos) const;

    // The label column is as wide as the widest label in view, so that long
    // labels scroll sideways. Measuring labels is dear and a scan changes
    // them many times a second: only the labels in view are measured, and
    // only while the view is shown, at once when it is shown and then at
    // most a few times a second after the items changed or the view
    // scrolled (and before a click, which must find labels at their full
    // width).
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    [[nodiscard]] QItemSelectionModel::SelectionFlags selectionCommand(
        const QModelIndex& index, const QEvent* event = nullptr) const override;

private:
    void LeaveLabelsUnmeasured();
    void FitLabelColumn();
    void FitLabelColumnSoon();
    void OnItemExpanding(TreeItem item, ExpandAction action);
    void OnViewExpansion(const QModelIndex& index, bool expanded);
    void ShowExpansion(TreeItem item, bool expanded);
    void ShowSelection();

    // True only while SelectItemQuietly runs: expansions do not populate.
    bool m_quietSelection = false;
    // The view is being brought in line with the control: do not echo.
    bool m_syncingSelection = false;
    // Rows are leaving the control: the current index the view moves to
    // meanwhile is not a selection by the user.
    int m_removingRows = 0;
    bool m_destroyed = false;
    ExploreLauncher m_explore;
    // Runs FitLabelColumn; active while a fit is owed.
    QTimer* m_fitTimer = nullptr;
};

#pragma once

#include <mutex>

#include "framework/DetailListView.h"

class TreeDataLock;

// What the two lists of the duplicates window share: single selection, the
// pane's help topic, the keys (Delete deletes the selection, Escape stops
// the scan, Enter opens the selection), the Open and Delete commands while
// a row is selected, and the "File Menu" context menu.
//
// The rows point at duplicate groups or members, which the duplicate search
// changes on the worker thread under the tree-data lock: every read of them
// holds that lock (LockData). The lock belongs to the folder tree that owns
// the duplicate data and is handed in by the duplicates window.
//
// UI thread only.
class DeletionChain;
class DeletionHandler;
class FolderTreeActions;

class DupListView : public framework::DetailListView {
    Q_OBJECT

public:
    DupListView(int helpTopic, QWidget* parent);
    ~DupListView() override;

    // The tree-data lock of the tree that owns the duplicate data (not
    // owned; it must outlive this list or be replaced). Null only while no
    // tree exists: reads then go unlocked, as no worker can change the data.
    void SetDataLock(TreeDataLock* lock) { m_dataLock = lock; }
    // The tree that Escape and a click on a copy act on, and where deletions
    // go; either may be null (then nothing happens). Not owned.
    void SetActions(FolderTreeActions* tree, DeletionHandler* deletion)
    {
        m_treeActions = tree;
        m_deletion = deletion;
    }

    // Hands a chain of deletion requests for the selected rows to the
    // deletion handler, holding the tree-data lock until it returns. Nothing
    // without a selection.
    void DeleteSelected();
    // Opens the selected rows' files with their default applications,
    // holding the tree-data lock. Nothing without a selection.
    virtual void OpenSelected() = 0;

    // Open and Delete, enabled exactly while a row is selected.
    bool OnUpdateCommand(int command, framework::CommandState& state) override;
    void OnCommand(int command) override;

protected:
    // Appends a request for every copy the selected rows stand for, in row
    // order; called with the tree-data lock held.
    virtual void AppendSelectedCopies(DeletionChain& chain) = 0;

    // Holds the tree-data lock for as long as it lives (nothing without one).
    [[nodiscard]] std::unique_lock<TreeDataLock> LockData() const;

    // The busy cursor for as long as it lives.
    class BusyCursor {
    public:
        BusyCursor();
        ~BusyCursor();
        BusyCursor(const BusyCursor&) = delete;
        BusyCursor& operator=(const BusyCursor&) = delete;
    };

    void OnOpen() override;
    void OnDeleteKey() override;
    void OnEscapeKey() override;
    // The "File Menu" popup, at the mouse or (from the keyboard) 5 pixels
    // into the list; its command goes to this list first. Nothing without a
    // selection, or outside a window that routes commands.
    void OnContextMenu(const QPoint& globalPos, bool fromKeyboard) override;

    FolderTreeActions* m_treeActions = nullptr;
    DeletionHandler* m_deletion = nullptr;

private:
    TreeDataLock* m_dataLock = nullptr;
};

#pragma once

#include "engine/DupGroupOwner.h"
#include "engine/DupTable.h"
#include "engine/TrackedReferences.h"

class DuplicatesDisplay;
class FolderListDisplay;
class FolderRecord;
class QObject;
class TreeAccess;

// The duplicate data of one folder tree: the candidate table, the tracked
// references to folder records and groups, and the work of the groups'
// owner (dropping a group, removing a member, forgetting a folder's
// members). The duplicate search files members and groups on the worker;
// everything here runs on the UI thread.
//
// Locks: the tree's data lock guards the records, the table and every
// group and member; the reference lock (References()) guards the reference
// lists and is taken after the data lock, never before it.
//
// The duplicates pane and the file list are handed in (either may be null)
// and must outlive the store or be handed in again as null. The tree must
// outlive the store. context receives the calls left for the event loop.
class DupStore : public DupGroupOwner {
public:
    DupStore(TreeAccess& tree, QObject& context);
    DupStore(const DupStore&) = delete;
    DupStore& operator=(const DupStore&) = delete;
    ~DupStore();

    void SetDisplays(DuplicatesDisplay* duplicates, FolderListDisplay* fileList);
    [[nodiscard]] DuplicatesDisplay* Display() const { return m_display; }

    DupTable& Table() { return m_table; }
    TrackedReferences& References() { return m_references; }

    // Under the data lock: unlinks member from folder, takes it out of its
    // group and frees it (after its file went to the Trash).
    void RemoveFileFromFolder(FolderRecord& folder, DupMember& member);
    // Frees every member of the tree's records and every group (no
    // per-group bookkeeping); every DupGroupRef becomes null. The panes are
    // not told.
    void ClearAll();
    // Takes the members of folder's whole subtree out of their groups;
    // called under the data lock and the reference lock.
    void ClearSubtree(FolderRecord& folder);
    // Whether any folder of the subtree was searched for duplicates, and
    // whether any holds a copy of a group of two or more (data lock held).
    [[nodiscard]] bool SubtreeSearched(FolderRecord& folder) const;
    [[nodiscard]] bool SubtreeHasCopies(FolderRecord& folder) const;

    // --- DupGroupOwner ------------------------------------------------------
    void ClearFolderDuplicates(const FolderRecordRef& folder) override;
    // Also, when the member's file or the copy it leaves alone is listed,
    // has the file list's marks read again once the event loop turns.
    void RemoveDupMember(DupMember& member) override;
    void DropGroup(DupGroup& group) override;

private:
    void RefreshListMarksLater();

    TreeAccess& m_tree;
    QObject& m_context;
    DuplicatesDisplay* m_display = nullptr;
    FolderListDisplay* m_fileList = nullptr;
    DupTable m_table;
    TrackedReferences m_references;
    bool m_listMarksStale = false;
};

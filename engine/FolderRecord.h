#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/DupMember.h"
#include "engine/FileSize.h"
#include "engine/FolderFiles.h"
#include "engine/TrackedReferences.h"
#include "model/TreeItemRecord.h"

class TreeAccess;

// Everything known about one folder of the sized folder tree: the space of
// its own files, the totals of its whole subtree, whether those are known or
// still being worked out, the allocation unit of its volume and the duplicate
// files found in it. The record of its tree item (made by the sized tree's
// CreateItemRecord), destroyed with the item.
//
// Sizes and flags are written and read on the UI thread only. The duplicate
// list is also changed by the duplicate search on the worker thread; every
// reader and writer of it holds the tree's tree-data lock.
//
// The record reaches its parent through the parent field and its children
// only through the tree (TreeAccess), which must be the one holding it; every
// record of that tree is a FolderRecord.
class FolderRecord : public TreeItemRecord {
public:
    enum Flag : std::uint16_t {
        OwnSizeKnown = 0x01,
        TreeSizeKnown = 0x02,
        DupsKnown = 0x04,
        SizeQueued = 0x08,
        DupsQueued = 0x10,
        TreeSizePending = 0x20,
        TreeDupsPending = 0x40,
        InFileList = 0x80,
    };
    // Cleared from whole folder trees by the scan (FolderScan).
    static constexpr std::uint16_t ClearAllMask = 0x7F;      // all but InFileList
    static constexpr std::uint16_t ClearPendingMask = 0x78;  // queued and pending bits
    static constexpr std::uint16_t ClearDupsMask = 0x54;  // DupsKnown, DupsQueued, TreeDupsPending

    explicit FolderRecord(TreeItem treeItem = TreeItem::None) : TreeItemRecord(treeItem) {}
    // Frees the duplicate members still listed (as when the tree is destroyed).
    ~FolderRecord() override;

    FileSize ownSize;        // files directly in the folder
    FileSize ownDiskSpace;   // the disk space those files occupy
    FileSize treeSize;       // ownSize plus the treeSize of every child
    FileSize treeDiskSpace;  // ownDiskSpace plus the treeDiskSpace of every child
    // The largest treeDiskSpace among this folder and its siblings, as last
    // worked out for the parent; labels pad sizes to its width.
    FileSize siblingMaxDiskSpace;
    // Allocation unit of the folder's volume in bytes: 0 not yet determined
    // (or not a file-system folder), 1 not found (no rounding).
    std::uint32_t clusterSize = 0;
    std::uint16_t flags = 0;
    // Head of the members of this folder's files, linked by nextInFolder;
    // owned. Guarded by the tree-data lock.
    DupMember* duplicates = nullptr;
    // The files of the folder as its last size scan listed them; null until
    // one was delivered, and again after Clear Folder Data or Reset. Owned;
    // UI thread, under the tree-data lock.
    std::unique_ptr<FolderFiles> files;

    [[nodiscard]] bool Has(Flag flag) const { return (flags & flag) != 0; }
    void Set(Flag flag) { flags |= flag; }
    void Clear(Flag flag) { flags &= static_cast<std::uint16_t>(~flag); }
    // A plain mask operation: no size changes.
    void ClearMask(std::uint16_t mask) { flags &= static_cast<std::uint16_t>(~mask); }
    // Work is queued for this folder / pending somewhere below it.
    [[nodiscard]] bool IsQueued() const { return (flags & (SizeQueued | DupsQueued)) != 0; }
    [[nodiscard]] bool IsPendingBelow() const
    {
        return (flags & (TreeSizePending | TreeDupsPending)) != 0;
    }

    // Stores both own sizes and sets OwnSizeKnown.
    void SetOwnSizes(FileSize size, FileSize diskSpace);
    // A file of the folder was deleted: OwnSizeKnown goes, the own sizes
    // become 0 and the listed files are freed, so a new scan is needed
    // before the totals are trusted.
    void ForgetOwnSizes();
    // Something below changed: TreeSizeKnown goes and the totals become 0.
    void ForgetTreeSizes();

    // Recomputes this folder's subtree totals and carries the change up to
    // the root; relabels and re-sorts through tree. Iterative. UI thread.
    void UpdateTotals(TreeAccess& tree);
    // Clears TreeDupsPending from here upward as far as nothing remains
    // queued below. UI thread.
    void UpdateDupsPending(TreeAccess& tree);

    // Duplicate members (under the tree-data lock).
    void AddDuplicateMember(DupMember* member);
    // Unlinks member from the list; it is not freed. Nothing if absent.
    void RemoveDuplicateMember(DupMember* member);
    // The first member in list order whose name is exactly name (bytes, case
    // counts); null when there is none.
    [[nodiscard]] DupMember* DuplicateNamed(std::string_view name) const;
    // Frees every member, in list order. Unless destroying (the whole tree
    // goes), each is first taken out of its group through groups (may be
    // null when there are no groups).
    void ClearDuplicates(bool destroying, DupMemberRemover* groups);
};

// The record of an item of a sized folder tree, every one of which is a
// FolderRecord (null stays null).
inline FolderRecord& AsFolder(TreeItemRecord& record) { return static_cast<FolderRecord&>(record); }
inline const FolderRecord& AsFolder(const TreeItemRecord& record)
{
    return static_cast<const FolderRecord&>(record);
}
inline FolderRecord* AsFolder(TreeItemRecord* record) { return static_cast<FolderRecord*>(record); }

// A tracked reference to a folder record, held by scan tasks.
using FolderRecordRef = TrackedRef<FolderRecord>;

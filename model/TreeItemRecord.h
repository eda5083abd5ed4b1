#pragma once

#include <memory>
#include <string>

#include "model/TreeControl.h"
#include "platform/ItemIdList.h"
#include "platform/ShellFolder.h"

// The record behind one item of the folder tree: which shell item or
// file-system folder the item stands for. One per item, plus the root record
// of the Desktop, which has no item. The order of siblings and the lists of
// children live in the tree control alone; a record knows only its parent.
//
// Owned by the tree (TreeAccess), which makes records through its
// CreateItemRecord hook (a derived tree may make a larger record) and frees
// them in DeleteItemTree, after their items have left the tree control.
// Used on the UI thread, and read under the tree-data lock by the worker.
class TreeItemRecord {
public:
    explicit TreeItemRecord(TreeItem treeItem = TreeItem::None) : item(treeItem) {}
    virtual ~TreeItemRecord() = default;
    TreeItemRecord(const TreeItemRecord&) = delete;
    TreeItemRecord& operator=(const TreeItemRecord&) = delete;

    // The item that shows this record; None for the root record.
    TreeItem item;
    // The item's shell folder: set for the root and for records made by a
    // shell-namespace enumeration; null for folders found in a directory.
    std::shared_ptr<platform::ShellFolder> shellFolder;
    // The item's identifier relative to its parent's shell folder; none for
    // folders found in a directory, empty for the root.
    platform::ItemIdList itemId;
    // Raw bytes. A folder found in a directory: its own name. A shell item
    // with a file-system path: that whole path (a volume: its mount point).
    // Otherwise empty.
    std::string name;
    // The parent's record; null for the root record.
    TreeItemRecord* parent = nullptr;
};

// The name shown for the record (raw bytes; decode for display only): for a
// shell item, its display name in the parent's shell folder; otherwise name.
std::string DisplayNameOf(const TreeItemRecord& record);
// The file-system path of the record, or empty when it has none: the
// parent's directory path followed by name, or name alone when the parent
// has no path. Iterative: any depth.
std::string FullPathOf(const TreeItemRecord& record);
// FullPathOf with a separator at the end; empty when there is no path.
std::string DirectoryPathOf(const TreeItemRecord& record);
// A non-empty path not ending with the separator ("/" here) gets one; an
// empty path stays empty.
std::string AppendBackslash(const std::string& path);
// The record's identifier from the Desktop down: the concatenation of the
// identifiers of its ancestors and its own.
platform::ItemIdList FullItemIdListOf(const TreeItemRecord& record);

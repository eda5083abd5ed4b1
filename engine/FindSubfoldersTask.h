#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/FolderListing.h"
#include "engine/Task.h"
#include "model/TreeControl.h"
#include "platform/ItemIdList.h"
#include "platform/ShellFolder.h"

class TreeAccess;
class TreeItemRecord;

// One child folder as the enumeration sees it: either a child item that the
// tree showed when the task was made (tree item set), or a subfolder new to
// the tree.
struct SubfolderEntry {
    bool found = false;  // seen by this enumeration
    TreeItem treeItem = TreeItem::None;
    // Shell form, new entries: the subfolder's own folder and its identifier
    // relative to the parent, and the parent's folder.
    std::shared_ptr<platform::ShellFolder> shellFolder;
    platform::ItemIdList itemId;
    std::shared_ptr<platform::ShellFolder> parentShellFolder;
    std::string parentPath;  // directory form, new entries: the folder path
    // Raw bytes: the directory entry's name, the shell display name, or for
    // a snapshot entry the existing item's name.
    std::string name;
    bool hasChildren = false;  // true for new entries: they get an expand button
    // Icon keys (ImageList), worked out without touching the disk; turned
    // into indexes on the UI thread in Deliver().
    std::string iconKey;
    std::string openIconKey;
};

// Brings the child items of one folder item up to date with the disk or the
// shell namespace.
//
// Construction (UI thread) takes a snapshot of the parent's child items.
// Run() lists the subfolders and matches them with the snapshot by name,
// byte for byte; it touches only the task's own entries and the disk. It
// does not look at the task's state. Deliver() (UI thread, under the tree's
// tree-data lock) deletes the items of the snapshot entries not found, with
// their subtrees, inserts items for new subfolders after the last child (one
// model insertion for all of them), and sets the parent's expand button.
//
// Used two ways: queued through TaskManager, or directly: construct, Run(),
// Deliver() and destroy at once on the UI thread (an expansion or click).
// Queued with a FolderListing shared with the other tasks of its folder,
// Run() reads the subfolders from that listing (filling it first if no task
// before did); otherwise it lists the folder itself, types only.
//
// Safe against a tree that changed between construction and delivery:
//  - the parent is held by its item handle (handles are never reused); when
//    that item has gone, Deliver() does nothing at all;
//  - a snapshot item that is no longer a child of the parent is not touched;
//  - a new subfolder whose name is already the name of a current child (a
//    direct enumeration inserted it meanwhile) is not inserted again.
// The tree (TreeAccess) must outlive the task's delivery.
class FindSubfoldersTask : public Task {
public:
    // Directory form: folderPath ends with a separator.
    FindSubfoldersTask(TreeAccess& tree, TreeItemRecord& parent, std::string folderPath,
                       std::shared_ptr<FolderListing> listing = nullptr);
    // Shell form, with the parent's absolute identifier. A parent that has a
    // file-system path is enumerated in the directory form after all.
    FindSubfoldersTask(TreeAccess& tree, TreeItemRecord& parent,
                       const platform::ItemIdList& parentAbsoluteId);

    void Run() override;
    void Deliver() override;
    const char* GetName() const override { return "FindSubfoldersTask"; }

    const std::vector<SubfolderEntry>& Entries() const { return m_entries; }

private:
    void TakeSnapshot();
    void EnumerateDirectory();
    void EnumerateListing();
    void EnumerateShell();
    // A subfolder seen by the enumeration: marks its entry found, or
    // appends a new one.
    void Found(std::string_view name);
    // The first entry with exactly this name; null when none.
    SubfolderEntry* Lookup(std::string_view name);
    void Append(SubfolderEntry entry);
    [[nodiscard]] bool ParentStillInTree() const;
    void InsertItem(const SubfolderEntry& entry);

    TreeAccess& m_tree;
    TreeItemRecord* m_parent;
    TreeItem m_parentItem;
    std::shared_ptr<platform::ShellFolder> m_shellFolder;  // shell form only
    platform::ItemIdList m_parentId;                       // shell form only
    std::string m_folderPath;                              // directory form only
    std::shared_ptr<FolderListing> m_listing;              // directory form only
    std::vector<SubfolderEntry> m_entries;
    // Looked up by std::string_view without making a string.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const
        {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> m_byName;
};

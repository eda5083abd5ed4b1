#include "engine/FindSubfoldersTask.h"

#include <mutex>
#include <unordered_set>

#include "platform/DirectorySearch.h"
#include "platform/ImageList.h"
#include "platform/ShellIcons.h"
#include "model/SharedImageList.h"
#include "model/TreeAccess.h"

FindSubfoldersTask::FindSubfoldersTask(TreeAccess& tree, TreeItemRecord& parent,
                                       std::string folderPath,
                                       std::shared_ptr<FolderListing> listing)
    : m_tree(tree),
      m_parent(&parent),
      m_parentItem(parent.item),
      m_folderPath(std::move(folderPath)),
      m_listing(std::move(listing))
{
    TakeSnapshot();
}

FindSubfoldersTask::FindSubfoldersTask(TreeAccess& tree, TreeItemRecord& parent,
                                       const platform::ItemIdList& parentAbsoluteId)
    : m_tree(tree), m_parent(&parent), m_parentItem(parent.item)
{
    m_folderPath = DirectoryPathOf(parent);
    if (m_folderPath.empty()) {
        m_shellFolder = parent.shellFolder;
        m_parentId = parentAbsoluteId;
    }
    TakeSnapshot();
}

void FindSubfoldersTask::TakeSnapshot()
{
    const TreeControl& control = m_tree.Tree();
    for (TreeItem child = control.FirstChild(m_parentItem); child != TreeItem::None;
         child = control.NextSibling(child)) {
        SubfolderEntry entry;
        entry.treeItem = child;
        if (const TreeItemRecord* record = m_tree.RecordOf(child)) {
            entry.name = DisplayNameOf(*record);
        }
        Append(std::move(entry));
    }
}

void FindSubfoldersTask::Append(SubfolderEntry entry)
{
    m_byName.emplace(entry.name, m_entries.size());
    m_entries.push_back(std::move(entry));
}

SubfolderEntry* FindSubfoldersTask::Lookup(std::string_view name)
{
    auto found = m_byName.find(name);
    return found == m_byName.end() ? nullptr : &m_entries[found->second];
}

void FindSubfoldersTask::Run()
{
    if (m_shellFolder) {
        EnumerateShell();
    } else if (m_listing) {
        EnumerateListing();
    } else {
        EnumerateDirectory();
    }
}

void FindSubfoldersTask::Found(std::string_view name)
{
    if (SubfolderEntry* existing = Lookup(name)) {
        existing->found = true;
        return;
    }
    SubfolderEntry entry;
    entry.found = true;
    entry.parentPath = m_folderPath;
    entry.name = name;
    entry.hasChildren = true;
    entry.iconKey = platform::ShellIcons::kFolder;
    entry.openIconKey = platform::ShellIcons::kOpenFolder;
    Append(std::move(entry));
}

void FindSubfoldersTask::EnumerateListing()
{
    if (!m_listing->Fill(*this)) {
        return;
    }
    for (const FolderListing::Entry& found : m_listing->Entries()) {
        if (!found.IsDirectory()) {
            continue;
        }
        const std::string_view name = m_listing->NameOf(found);
        if (name != "." && name != "..") {
            Found(name);
        }
    }
}

void FindSubfoldersTask::EnumerateDirectory()
{
    // A record with neither path nor shell folder gets no children (an empty
    // pattern would name the current directory).
    if (m_folderPath.empty()) {
        return;
    }
    platform::DirectorySearch search;
    platform::FindData found;
    if (!search.Start(m_folderPath + "*", found, platform::SearchDetail::TypeOnly)) {
        return;
    }
    do {
        if (found.IsDirectory() && found.name != "." && found.name != "..") {
            Found(found.name);
        }
    } while (!IsCancelling() && search.Next(found));
    search.Close();
}

void FindSubfoldersTask::EnumerateShell()
{
    std::vector<platform::ItemIdList> children;
    if (!m_shellFolder->EnumFolders(children)) {
        return;
    }
    for (platform::ItemIdList& child : children) {
        const std::string name = m_shellFolder->DisplayNameOf(child);
        if (SubfolderEntry* existing = Lookup(name)) {
            existing->found = true;
            continue;
        }
        SubfolderEntry entry;
        entry.shellFolder = m_shellFolder->BindToFolder(child);
        if (!entry.shellFolder) {
            continue;  // not something that opens as a folder
        }
        const platform::ShellFolder::IconKeys icons = platform::ShellFolder::IconKeysOf(child);
        entry.found = true;
        entry.parentShellFolder = m_shellFolder;
        entry.itemId = std::move(child);
        entry.name = name;
        entry.hasChildren = true;
        entry.iconKey = icons.closed;
        entry.openIconKey = icons.open;
        Append(std::move(entry));
    }
}

bool FindSubfoldersTask::ParentStillInTree() const
{
    // Compare pointers only: the parent record may have been freed.
    if (m_parentItem == TreeItem::None) {
        return m_tree.RootRecord() == m_parent;
    }
    return m_tree.Tree().Contains(m_parentItem) && m_tree.RecordOf(m_parentItem) == m_parent;
}

void FindSubfoldersTask::Deliver()
{
    std::lock_guard lock(m_tree.DataLock());
    if (!ParentStillInTree()) {
        return;
    }
    TreeControl& control = m_tree.Tree();

    bool anyNew = false;
    for (const SubfolderEntry& entry : m_entries) {
        anyNew = anyNew || (entry.found && entry.treeItem == TreeItem::None);
    }
    // The names of the children the parent has now: a subfolder inserted
    // since the snapshot (by a direct enumeration) must not get a twin.
    std::unordered_set<std::string> currentNames;
    if (anyNew) {
        for (TreeItem child = control.FirstChild(m_parentItem); child != TreeItem::None;
             child = control.NextSibling(child)) {
            if (const TreeItemRecord* record = m_tree.RecordOf(child)) {
                currentNames.insert(DisplayNameOf(*record));
            }
        }
    }

    control.BeginInsertBatch(m_parentItem);
    for (const SubfolderEntry& entry : m_entries) {
        if (!entry.found && entry.treeItem != TreeItem::None) {
            // Gone from the disk; unless someone removed the item already.
            if (control.Contains(entry.treeItem) &&
                control.Parent(entry.treeItem) == m_parentItem) {
                m_tree.DeleteItemTree(entry.treeItem, false);
            }
        } else if (entry.found && entry.treeItem == TreeItem::None) {
            if (currentNames.insert(entry.name).second) {
                InsertItem(entry);
            }
        }
    }
    control.EndInsertBatch();

    if (m_parentItem != TreeItem::None) {
        control.SetHasChildren(m_parentItem, control.FirstChild(m_parentItem) != TreeItem::None);
    }
}

void FindSubfoldersTask::InsertItem(const SubfolderEntry& entry)
{
    TreeControl& control = m_tree.Tree();
    // The placeholder text is never shown: the item enters the model at the
    // end of the batch, when its text comes from the view.
    const TreeItem item = control.InsertItem(m_parentItem, QStringLiteral("XYZZY"));
    if (item == TreeItem::None) {
        return;
    }
    if (platform::ImageList* list = platform::ImageList::System()) {
        SetSharedImageList(control, list);
        control.SetImages(item, list->IndexOf(entry.iconKey), list->IndexOf(entry.openIconKey));
    }
    control.SetHasChildren(item, entry.hasChildren);

    std::unique_ptr<TreeItemRecord> record = m_tree.CreateItemRecord(item);
    if (!record) {
        control.DeleteItem(item);
        return;
    }
    if (entry.shellFolder) {
        record->shellFolder = entry.shellFolder;
        record->itemId = entry.itemId;
        const std::string path = platform::ShellFolder::PathFromIdList(
            platform::ItemIdList::Concatenate(m_parentId, entry.itemId));
        if (!path.empty()) {
            record->name = path;
        }
    } else {
        record->name = entry.name;
    }
    record->parent = m_parent;
    TreeItemRecord* raw = record.release();
    control.SetItemData(item, raw);
    control.SetTextCallback(item);
    m_tree.InitItemRecord(*raw);
}

#include "engine/FolderPopulation.h"

#include <mutex>
#include <vector>

#include "engine/FindSubfoldersTask.h"
#include "engine/TaskManager.h"
#include "platform/ShellFolder.h"
#include "model/TreeAccess.h"

namespace {

// The part of path below folder ("" for the folder itself), or nothing when
// folder does not hold path; whole components only.
bool Below(const std::string& path, const std::string& folder, std::string& rest)
{
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    if (path.size() == folder.size()) {
        rest.clear();
        return true;
    }
    if (folder.back() == '/') {
        rest = path.substr(folder.size());
        return true;
    }
    if (path[folder.size()] != '/') {
        return false;
    }
    rest = path.substr(folder.size() + 1);
    return true;
}

bool IsComputer(const TreeItemRecord& record)
{
    return record.itemId.Last().kind == platform::ShellItemKind::Computer;
}

}  // namespace

void FolderPopulation::BuildTopLevel(TreeAccess& tree)
{
    if (tree.RootRecord() != nullptr) {
        return;
    }
    std::unique_ptr<TreeItemRecord> root = tree.CreateItemRecord(TreeItem::None);
    if (!root) {
        return;
    }
    root->shellFolder = platform::ShellFolder::Desktop();
    root->itemId = platform::ItemIdList::Empty();
    TreeItemRecord& rootRecord = *root;
    tree.SetRootRecord(std::move(root));
    {
        FindSubfoldersTask task(tree, rootRecord, platform::ItemIdList::Empty());
        task.Run();
        task.Deliver();
    }
    const TreeItem first = tree.Tree().FirstChild(TreeItem::None);
    if (first != TreeItem::None) {
        tree.Tree().Expand(first, ExpandAction::Expand);
        PopulateChildren(tree, first);
    }
}

void FolderPopulation::PopulateChildren(TreeAccess& tree, TreeItem item)
{
    TreeItemRecord* record = tree.RecordOf(item);
    if (record == nullptr) {
        return;
    }
    const std::string directory = DirectoryPathOf(*record);
    if (!directory.empty()) {
        FindSubfoldersTask task(tree, *record, directory);
        task.Run();
        task.Deliver();
    } else {
        FindSubfoldersTask task(tree, *record, FullItemIdListOf(*record));
        task.Run();
        task.Deliver();
    }
    // The enumeration may have removed nothing above; the record is still there.
    tree.SortChildren(*record);
}

TreeItem FolderPopulation::BringPathIntoTree(TreeAccess& tree, const std::string& path)
{
    std::string target = path;
    while (target.size() > 1 && target.back() == '/') {
        target.pop_back();
    }
    if (target.empty() || target[0] != '/') {
        return TreeItem::None;
    }
    BuildTopLevel(tree);
    TreeItemRecord* root = tree.RootRecord();
    if (root == nullptr) {
        return TreeItem::None;
    }

    // Where to start: the volume that holds the path, or else a top-level
    // folder (Home, a desktop folder) that does; the longest match wins.
    std::vector<TreeItemRecord*> starts;
    for (TreeItemRecord* top = tree.FirstChildRecord(*root); top != nullptr;
         top = tree.NextSiblingRecord(*top)) {
        if (IsComputer(*top)) {
            PopulateChildren(tree, top->item);
            for (TreeItemRecord* volume = tree.FirstChildRecord(*top); volume != nullptr;
                 volume = tree.NextSiblingRecord(*volume)) {
                starts.push_back(volume);
            }
        }
    }
    for (TreeItemRecord* top = tree.FirstChildRecord(*root); top != nullptr;
         top = tree.NextSiblingRecord(*top)) {
        starts.push_back(top);
    }
    TreeItemRecord* start = nullptr;
    std::string rest;
    std::size_t bestLength = 0;
    for (TreeItemRecord* candidate : starts) {
        const std::string folder = FullPathOf(*candidate);
        std::string below;
        if (Below(target, folder, below) && (start == nullptr || folder.size() > bestLength)) {
            start = candidate;
            rest = below;
            bestLength = folder.size();
        }
    }
    if (start == nullptr) {
        return TreeItem::None;
    }

    TreeItem current = start->item;
    PopulateChildren(tree, current);
    std::size_t position = 0;
    while (position < rest.size()) {
        std::size_t slash = rest.find('/', position);
        if (slash == std::string::npos) {
            slash = rest.size();
        }
        const std::string component = rest.substr(position, slash - position);
        position = slash + 1;
        if (component.empty()) {
            continue;
        }
        TreeItemRecord* next = nullptr;
        for (TreeItemRecord* child = tree.FirstChildRecord(*tree.RecordOf(current));
             child != nullptr; child = tree.NextSiblingRecord(*child)) {
            if (child->name == component) {
                next = child;
                break;
            }
        }
        if (next == nullptr) {
            return TreeItem::None;
        }
        current = next->item;
        PopulateChildren(tree, current);
    }
    return current;
}

void FolderPopulation::TearDown(TreeAccess& tree, const std::function<void()>& beforeFree)
{
    TaskManager& tasks = TaskManager::Instance();
    tasks.CancelAll(TaskManager::FinishedTasks::Discard);
    // A cancelled task may still be running and about to take the tree-data
    // lock or read a record: wait for it without holding the lock, and free
    // nothing before.
    tasks.WaitUntilIdle();

    std::lock_guard lock(tree.DataLock());
    beforeFree();
    std::vector<TreeItem> topLevel;
    for (TreeItem item = tree.Tree().FirstChild(TreeItem::None); item != TreeItem::None;
         item = tree.Tree().NextSibling(item)) {
        topLevel.push_back(item);
    }
    for (TreeItem item : topLevel) {
        tree.DeleteItemTree(item, true);
    }
}

#include "tree/TreeItemRecord.h"

#include <vector>

std::string DisplayNameOf(const TreeItemRecord& record)
{
    if (record.parent != nullptr && record.shellFolder && record.parent->shellFolder) {
        return record.parent->shellFolder->DisplayNameOf(record.itemId);
    }
    return record.name;
}

std::string AppendBackslash(const std::string& path)
{
    if (path.empty() || path.back() == '/') {
        return path;
    }
    return path + '/';
}

std::string FullPathOf(const TreeItemRecord& record)
{
    if (record.name.empty()) {
        return {};
    }
    // The records whose names make up the path: this one and the ancestors
    // up to the first one without a path.
    std::vector<const TreeItemRecord*> chain{&record};
    for (const TreeItemRecord* up = record.parent; up != nullptr && !up->name.empty();
         up = up->parent) {
        chain.push_back(up);
    }
    std::string path = chain.back()->name;
    for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
        path = AppendBackslash(path) + (*it)->name;
    }
    return path;
}

std::string DirectoryPathOf(const TreeItemRecord& record)
{
    return AppendBackslash(FullPathOf(record));
}

platform::ItemIdList FullItemIdListOf(const TreeItemRecord& record)
{
    std::vector<const TreeItemRecord*> chain;
    for (const TreeItemRecord* up = &record; up != nullptr; up = up->parent) {
        chain.push_back(up);
    }
    platform::ItemIdList full;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        full = platform::ItemIdList::Concatenate(full, (*it)->itemId);
    }
    return full;
}

#include "model/TreeItemRecord.h"

#include <iterator>
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

namespace {

// The names of record and its ancestors up to the first one without a path,
// joined by separators, in one buffer; a separator at the end too when
// asDirectory. Empty when record has no path.
std::string JoinedPath(const TreeItemRecord& record, bool asDirectory)
{
    if (record.name.empty()) {
        return {};
    }
    const TreeItemRecord* chain[64];
    std::vector<const TreeItemRecord*> deepChain;  // only past 64 levels
    std::size_t count = 0;
    std::size_t length = 1;
    for (const TreeItemRecord* up = &record; up != nullptr && !up->name.empty(); up = up->parent) {
        if (count < std::size(chain)) {
            chain[count] = up;
        } else {
            if (deepChain.empty()) deepChain.assign(chain, chain + count);
            deepChain.push_back(up);
        }
        ++count;
        length += up->name.size() + 1;
    }
    const TreeItemRecord* const* links = deepChain.empty() ? chain : deepChain.data();
    std::string path;
    path.reserve(length);
    for (std::size_t i = count; i-- > 0;) {
        if (!path.empty() && path.back() != '/') {
            path += '/';
        }
        path += links[i]->name;
    }
    if (asDirectory && path.back() != '/') {
        path += '/';
    }
    return path;
}

}  // namespace

std::string FullPathOf(const TreeItemRecord& record) { return JoinedPath(record, false); }

std::string DirectoryPathOf(const TreeItemRecord& record) { return JoinedPath(record, true); }

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

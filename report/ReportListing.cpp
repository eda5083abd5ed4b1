#include "report/ReportListing.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>

#include "engine/DupGroup.h"
#include "engine/DupTable.h"
#include "engine/FolderRecord.h"
#include "engine/ScanTree.h"

namespace {

// Whether a name joined to directory needs a separator between them.
bool NeedsSeparator(std::string_view directory)
{
    return directory.empty() || directory.back() != '/';
}

// The bytes of directory joined to name, as AddChildPath joins them.
std::size_t ChildPathLength(std::string_view directory, std::string_view name)
{
    return directory.size() + (NeedsSeparator(directory) ? 1 : 0) + name.size();
}

}  // namespace

ReportListing::Path ReportListing::AddChildPath(std::string& buffer, std::string_view directory,
                                                std::string_view name)
{
    const Path added{buffer.size(), ChildPathLength(directory, name)};
    buffer.append(directory);
    if (NeedsSeparator(directory)) buffer += '/';
    buffer.append(name);
    return added;
}

void ReportListing::Collect(ScanTree& tree, TreeItem top, const std::string& shownPath)
{
    m_folderPaths.clear();
    m_copyPaths.clear();
    m_folders.clear();
    m_copies.clear();
    m_groups.clear();
    auto* topRecord = static_cast<FolderRecord*>(tree.RecordOf(top));
    if (topRecord == nullptr) return;

    std::lock_guard lock(tree.DataLock());
    // One walk of the tree gathers the folders, parents before children,
    // each with its parent's place among them. The folders from top down to
    // the parent of the one visited are on the stack, with an upper bound
    // of their paths' bytes (a separator counted for each name).
    struct Visited {
        const FolderRecord* record;
        std::size_t parent;  // index in visited; 0 for the top itself
    };
    std::vector<Visited> visited;
    std::vector<std::pair<std::size_t, std::size_t>> ancestors;  // index, bound
    std::size_t folderBytes = 0;
    tree.ForEachInSubtree(*topRecord, [&](TreeItemRecord& item) {
        const auto& record = static_cast<const FolderRecord&>(item);
        std::size_t parent = 0;
        std::size_t bound = shownPath.size();
        if (&record != topRecord) {
            while (visited[ancestors.back().first].record != record.parent) ancestors.pop_back();
            parent = ancestors.back().first;
            bound = ancestors.back().second + 1 + record.name.size();
        }
        ancestors.emplace_back(visited.size(), bound);
        visited.push_back({&record, parent});
        folderBytes += bound;
    });

    // The listing is made at the program's peak, so every buffer and array
    // is sized before it is filled: grown by doubling, it would hold the
    // blocks it left behind as well. Each folder's path is its parent's and
    // its name, written within the reserved room, so the parent's bytes stay.
    m_folderPaths.reserve(folderBytes);
    m_folders.reserve(visited.size());
    std::vector<std::pair<const FolderRecord*, Path>> pathOf;
    pathOf.reserve(visited.size());
    for (std::size_t i = 0; i < visited.size(); ++i) {
        const FolderRecord& record = *visited[i].record;
        Path path{0, shownPath.size()};
        if (i == 0) {
            m_folderPaths.append(shownPath);
        } else {
            path = AddChildPath(m_folderPaths, FolderPathOf(m_folders[visited[i].parent].path),
                                record.name);
        }
        pathOf.emplace_back(&record, path);
        m_folders.push_back({path, record.treeDiskSpace.Bytes(), record.treeSize.Bytes()});
    }
    std::vector<Visited>().swap(visited);
    const auto byRecord = [](const auto& entry, const FolderRecord* folder) {
        return std::less<const FolderRecord*>()(entry.first, folder);
    };
    std::sort(pathOf.begin(), pathOf.end(),
              [&](const auto& a, const auto& b) { return byRecord(a, b.first); });

    // Every copy of every group of two or more, with its folder's path when
    // the folder lies in the listing (else empty: its own full path is used).
    const DupTable& table = tree.Scan().Duplicates().Table();
    const auto forEachCopy = [&](auto&& visit) {
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
            for (const DupGroup* group = table.Chain(bucket); group != nullptr;
                 group = group->next) {
                if (group->MemberCount() < 2) continue;
                for (const DupMember* member : group->Members()) {
                    const auto found =
                        std::lower_bound(pathOf.begin(), pathOf.end(), member->folder, byRecord);
                    const bool listed = found != pathOf.end() && found->first == member->folder;
                    visit(*group, *member, listed ? &found->second : nullptr);
                }
            }
        }
    };
    std::size_t copyCount = 0;
    std::size_t copyBytes = 0;
    std::size_t groupCount = 0;
    const DupGroup* lastGroup = nullptr;
    forEachCopy([&](const DupGroup& group, const DupMember& member, const Path* folder) {
        ++copyCount;
        groupCount += &group != lastGroup ? 1 : 0;
        lastGroup = &group;
        copyBytes += folder != nullptr ? ChildPathLength(FolderPathOf(*folder), member.Name())
                                       : member.FullPath().size();
    });
    m_copyPaths.reserve(copyBytes);
    m_copies.reserve(copyCount);
    m_groups.reserve(groupCount);

    lastGroup = nullptr;
    const auto closeGroup = [&] {
        if (lastGroup == nullptr) return;
        const std::size_t first =
            m_groups.empty() ? 0 : m_groups.back().firstCopy + m_groups.back().copyCount;
        const auto copies = m_copies.begin() + static_cast<std::ptrdiff_t>(first);
        std::sort(copies, m_copies.end(),
                  [this](Path a, Path b) { return CopyPathOf(a) < CopyPathOf(b); });
        m_groups.push_back(
            {static_cast<std::int64_t>(lastGroup->size), first, m_copies.size() - first});
    };
    forEachCopy([&](const DupGroup& group, const DupMember& member, const Path* folder) {
        if (&group != lastGroup) closeGroup();
        lastGroup = &group;
        if (folder != nullptr) {
            m_copies.push_back(AddChildPath(m_copyPaths, FolderPathOf(*folder), member.Name()));
        } else {
            const std::string path = member.FullPath();
            m_copies.push_back({m_copyPaths.size(), path.size()});
            m_copyPaths.append(path);
        }
    });
    closeGroup();

    std::sort(m_folders.begin(), m_folders.end(), [this](const Folder& a, const Folder& b) {
        return FolderPathOf(a.path) < FolderPathOf(b.path);
    });
    std::sort(m_groups.begin(), m_groups.end(), [this](const Group& a, const Group& b) {
        if (a.size != b.size) return a.size > b.size;
        return CopyPathOf(m_copies[a.firstCopy]) < CopyPathOf(m_copies[b.firstCopy]);
    });
}

bool ReportListing::Write(std::FILE* out) const
{
    for (const Folder& folder : m_folders) {
        std::fprintf(out, "folder\t%lld\t%lld\t%s\n", static_cast<long long>(folder.diskSpace),
                     static_cast<long long>(folder.size),
                     EscapeForLine(FolderPathOf(folder.path)).c_str());
    }
    for (const Group& group : m_groups) {
        std::fprintf(out, "group\t%lld\t%zu\n", static_cast<long long>(group.size),
                     group.copyCount);
        for (std::size_t i = 0; i < group.copyCount; ++i) {
            std::fprintf(out, "copy\t%s\n",
                         EscapeForLine(CopyPathOf(m_copies[group.firstCopy + i])).c_str());
        }
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

std::string EscapeForLine(std::string_view path)
{
    std::string escaped;
    escaped.reserve(path.size());
    for (const char c : path) {
        switch (c) {
            case '\\':
                escaped += "\\\\";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\n':
                escaped += "\\n";
                break;
            default:
                escaped += c;
                break;
        }
    }
    return escaped;
}

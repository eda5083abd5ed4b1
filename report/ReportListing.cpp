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

ReportListing::Path ReportListing::AddPath(std::string_view path)
{
    const Path added{m_paths.size(), path.size()};
    m_paths.append(path);
    return added;
}

ReportListing::Path ReportListing::AddChildPath(Path directory, std::string_view name)
{
    const bool separator =
        directory.length == 0 || m_paths[directory.offset + directory.length - 1] != '/';
    const Path added{m_paths.size(), directory.length + (separator ? 1 : 0) + name.size()};
    // The directory lies in the buffer: make room first, so that appending
    // it does not read from a buffer that was moved.
    m_paths.reserve(m_paths.size() + added.length);
    m_paths.append(m_paths.data() + directory.offset, directory.length);
    if (separator) m_paths += '/';
    m_paths.append(name);
    return added;
}

void ReportListing::Collect(ScanTree& tree, TreeItem top, const std::string& shownPath)
{
    m_paths.clear();
    m_folders.clear();
    m_copies.clear();
    m_groups.clear();
    auto* topRecord = static_cast<FolderRecord*>(tree.RecordOf(top));
    if (topRecord == nullptr) return;

    std::lock_guard lock(tree.DataLock());
    // Parents come before their children, so the folders from top down to
    // the parent of the one visited are on the stack: each folder's path is
    // its parent's and its name.
    std::vector<std::pair<const FolderRecord*, Path>> ancestors;
    std::vector<std::pair<const FolderRecord*, Path>> pathOf;
    tree.ForEachInSubtree(*topRecord, [&](TreeItemRecord& item) {
        const auto& record = static_cast<const FolderRecord&>(item);
        Path path;
        if (&record == topRecord) {
            path = AddPath(shownPath);
        } else {
            while (ancestors.back().first != record.parent) ancestors.pop_back();
            path = AddChildPath(ancestors.back().second, record.name);
        }
        ancestors.emplace_back(&record, path);
        pathOf.emplace_back(&record, path);
        m_folders.push_back({path, record.treeDiskSpace.Bytes(), record.treeSize.Bytes()});
    });
    const auto byRecord = [](const auto& entry, const FolderRecord* folder) {
        return std::less<const FolderRecord*>()(entry.first, folder);
    };
    std::sort(pathOf.begin(), pathOf.end(),
              [&](const auto& a, const auto& b) { return byRecord(a, b.first); });

    const DupTable& table = tree.Scan().Duplicates().Table();
    for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
        for (const DupGroup* group = table.Chain(bucket); group != nullptr; group = group->next) {
            if (group->MemberCount() < 2) continue;
            const std::size_t first = m_copies.size();
            for (const DupLink* link = group->members; link != nullptr; link = link->next) {
                const DupMember& member = *link->member;
                const auto found =
                    std::lower_bound(pathOf.begin(), pathOf.end(), member.folder, byRecord);
                m_copies.push_back(found != pathOf.end() && found->first == member.folder
                                       ? AddChildPath(found->second, member.Name())
                                       : AddPath(member.FullPath()));
            }
            const auto copies = m_copies.begin() + static_cast<std::ptrdiff_t>(first);
            std::sort(copies, m_copies.end(),
                      [this](Path a, Path b) { return PathOf(a) < PathOf(b); });
            m_groups.push_back(
                {static_cast<std::int64_t>(group->size), first, m_copies.size() - first});
        }
    }

    std::sort(m_folders.begin(), m_folders.end(),
              [this](const Folder& a, const Folder& b) { return PathOf(a.path) < PathOf(b.path); });
    std::sort(m_groups.begin(), m_groups.end(), [this](const Group& a, const Group& b) {
        if (a.size != b.size) return a.size > b.size;
        return PathOf(m_copies[a.firstCopy]) < PathOf(m_copies[b.firstCopy]);
    });
}

bool ReportListing::Write(std::FILE* out) const
{
    for (const Folder& folder : m_folders) {
        std::fprintf(out, "folder\t%lld\t%lld\t%s\n", static_cast<long long>(folder.diskSpace),
                     static_cast<long long>(folder.size),
                     EscapeForLine(PathOf(folder.path)).c_str());
    }
    for (const Group& group : m_groups) {
        std::fprintf(out, "group\t%lld\t%zu\n", static_cast<long long>(group.size),
                     group.copyCount);
        for (std::size_t i = 0; i < group.copyCount; ++i) {
            std::fprintf(out, "copy\t%s\n",
                         EscapeForLine(PathOf(m_copies[group.firstCopy + i])).c_str());
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

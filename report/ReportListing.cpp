#include "report/ReportListing.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "engine/DupGroup.h"
#include "engine/DupTable.h"
#include "engine/FolderRecord.h"
#include "engine/ScanTree.h"

namespace {

std::string ChildPath(const std::string& parent, const std::string& name)
{
    if (!parent.empty() && parent.back() == '/') return parent + name;
    return parent + '/' + name;
}

}  // namespace

void ReportListing::Collect(ScanTree& tree, TreeItem top, const std::string& shownPath)
{
    m_folders.clear();
    m_groups.clear();
    auto* topRecord = static_cast<FolderRecord*>(tree.RecordOf(top));
    if (topRecord == nullptr) return;

    std::lock_guard lock(tree.DataLock());
    // Parents come before their children: each folder's path is its
    // parent's and its name. The shown paths are kept for the copies.
    std::unordered_map<const FolderRecord*, std::size_t> indexOf;
    tree.ForEachInSubtree(*topRecord, [&](TreeItemRecord& item) {
        const auto& record = static_cast<const FolderRecord&>(item);
        std::string path =
            &record == topRecord
                ? shownPath
                : ChildPath(
                      m_folders[indexOf.at(static_cast<const FolderRecord*>(record.parent))].path,
                      record.name);
        indexOf.emplace(&record, m_folders.size());
        m_folders.push_back(
            {std::move(path), record.treeDiskSpace.Bytes(), record.treeSize.Bytes()});
    });

    const DupTable& table = tree.Scan().Duplicates().Table();
    for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
        for (const DupGroup* group = table.Chain(bucket); group != nullptr; group = group->next) {
            if (group->MemberCount() < 2) continue;
            Group shown{static_cast<std::int64_t>(group->size), {}};
            for (const DupLink* link = group->members; link != nullptr; link = link->next) {
                const DupMember& member = *link->member;
                const auto found = indexOf.find(member.folder);
                shown.copies.push_back(
                    found != indexOf.end()
                        ? ChildPath(m_folders[found->second].path, std::string(member.Name()))
                        : member.FullPath());
            }
            std::sort(shown.copies.begin(), shown.copies.end());
            m_groups.push_back(std::move(shown));
        }
    }

    std::sort(m_folders.begin(), m_folders.end(),
              [](const Folder& a, const Folder& b) { return a.path < b.path; });
    std::sort(m_groups.begin(), m_groups.end(), [](const Group& a, const Group& b) {
        if (a.size != b.size) return a.size > b.size;
        return a.copies.front() < b.copies.front();
    });
}

bool ReportListing::Write(std::FILE* out) const
{
    for (const Folder& folder : m_folders) {
        std::fprintf(out, "folder\t%lld\t%lld\t%s\n", static_cast<long long>(folder.diskSpace),
                     static_cast<long long>(folder.size), EscapeForLine(folder.path).c_str());
    }
    for (const Group& group : m_groups) {
        std::fprintf(out, "group\t%lld\t%zu\n", static_cast<long long>(group.size),
                     group.copies.size());
        for (const std::string& copy : group.copies) {
            std::fprintf(out, "copy\t%s\n", EscapeForLine(copy).c_str());
        }
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}

std::string EscapeForLine(const std::string& path)
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

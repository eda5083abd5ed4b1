#include "report/ReportListing.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <mutex>
#include <utility>

#include "engine/DupGroup.h"
#include "engine/DupTable.h"
#include "engine/FolderRecord.h"
#include "engine/ScanTree.h"

namespace {

// Joins name to path, with a separator unless path ends with one.
void AppendName(std::string& path, std::string_view name)
{
    if (path.empty() || path.back() != '/') path += '/';
    path.append(name);
}

// Appends path to text escaped as EscapeForLine escapes it.
void AppendEscaped(std::string& text, std::string_view path)
{
    for (const char c : path) {
        switch (c) {
            case '\\':
                text += "\\\\";
                break;
            case '\t':
                text += "\\t";
                break;
            case '\n':
                text += "\\n";
                break;
            default:
                text += c;
                break;
        }
    }
}

void AppendNumber(std::string& text, std::int64_t number)
{
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

// Writes the line of a folder, made in line (a buffer kept from one line to
// the next): the folder lines are most of the output.
void WriteFolderLine(std::FILE* out, const FolderRecord& folder, std::string_view path,
                     std::string& line)
{
    line.assign("folder\t");
    AppendNumber(line, folder.treeDiskSpace.Bytes());
    line += '\t';
    AppendNumber(line, folder.treeSize.Bytes());
    line += '\t';
    AppendEscaped(line, path);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out);
}

// One child of a folder in the walk that writes the folders: either the
// child's own line (its path, keyed by its name) or the lines of the
// folders below it (all starting with its path and a separator, keyed by
// its name and "/"). In byte order of these keys the children's lines and
// blocks come out in byte order of the full paths: "a", "a.x", "a/b".
struct Step {
    const FolderRecord* folder;
    bool below;
};

// The byte of a step's key at index, or -1 past its end.
int KeyByte(const Step& step, std::size_t index)
{
    const std::string& name = step.folder->name;
    if (index < name.size()) return static_cast<unsigned char>(name[index]);
    return index == name.size() && step.below ? '/' : -1;
}

bool KeyLess(const Step& first, const Step& second)
{
    for (std::size_t index = 0;; ++index) {
        const int a = KeyByte(first, index);
        const int b = KeyByte(second, index);
        if (a != b || a < 0) return a < b;
    }
}

}  // namespace

void ReportListing::Collect(ScanTree& tree, TreeItem top, const std::string& shownPath)
{
    m_copyPaths.clear();
    m_copies.clear();
    m_groups.clear();
    m_tree = &tree;
    m_top = static_cast<const FolderRecord*>(tree.RecordOf(top));
    m_shownPath = shownPath;
    if (m_top == nullptr) return;

    std::lock_guard lock(tree.DataLock());
    // Every copy of every group of two or more, group by group.
    const DupTable& table = tree.Scan().Duplicates().Table();
    const auto forEachCopy = [&](auto&& visit) {
        for (std::size_t bucket = 0; bucket < DupTable::kBucketCount; ++bucket) {
            for (const DupGroup* group = table.Chain(bucket); group != nullptr;
                 group = group->next) {
                if (group->MemberCount() < 2) continue;
                for (const DupMember* member : group->Members()) visit(*group, *member);
            }
        }
    };
    // A copy's path: its folder's shown path (from the folder up to top)
    // and its name; a copy outside top's subtree has its full path.
    std::vector<const TreeItemRecord*> below;
    std::string path;
    const auto copyPath = [&](const DupMember& member) -> const std::string& {
        below.clear();
        const TreeItemRecord* record = member.folder;
        for (; record != nullptr && record != m_top; record = record->parent) {
            below.push_back(record);
        }
        if (record == nullptr) return path = member.FullPath();
        path = m_shownPath;
        for (auto it = below.rbegin(); it != below.rend(); ++it) AppendName(path, (*it)->name);
        AppendName(path, member.Name());
        return path;
    };

    // Sized before they are filled: grown by doubling, the buffers would
    // hold the blocks they left behind as well, at the program's peak.
    std::size_t copyCount = 0;
    std::size_t copyBytes = 0;
    std::size_t groupCount = 0;
    const DupGroup* lastGroup = nullptr;
    forEachCopy([&](const DupGroup& group, const DupMember& member) {
        ++copyCount;
        copyBytes += copyPath(member).size();
        groupCount += &group != lastGroup ? 1 : 0;
        lastGroup = &group;
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
    forEachCopy([&](const DupGroup& group, const DupMember& member) {
        if (&group != lastGroup) closeGroup();
        lastGroup = &group;
        const std::string& copy = copyPath(member);
        m_copies.push_back({m_copyPaths.size(), copy.size()});
        m_copyPaths.append(copy);
    });
    closeGroup();

    std::sort(m_groups.begin(), m_groups.end(), [this](const Group& a, const Group& b) {
        if (a.size != b.size) return a.size > b.size;
        return CopyPathOf(m_copies[a.firstCopy]) < CopyPathOf(m_copies[b.firstCopy]);
    });
}

void ReportListing::WriteFolders(std::FILE* out) const
{
    // A walk of the tree with a stack of the folders entered, each with its
    // children's steps in key order and the length of its path, which
    // stands at the start of path.
    struct Entered {
        std::vector<Step> steps;
        std::size_t next = 0;
        std::size_t pathLength = 0;
    };
    std::vector<Entered> stack;
    std::vector<TreeItemRecord*> children;
    std::string path = m_shownPath;
    std::string line;
    WriteFolderLine(out, *m_top, path, line);
    const auto enter = [&](const FolderRecord& folder) {
        m_tree->ChildRecords(folder, children);
        Entered entered;
        entered.steps.reserve(children.size() * 2);
        for (const TreeItemRecord* child : children) {
            const auto* record = static_cast<const FolderRecord*>(child);
            entered.steps.push_back({record, false});
            if (m_tree->FirstChildRecord(*record) != nullptr) {
                entered.steps.push_back({record, true});
            }
        }
        std::sort(entered.steps.begin(), entered.steps.end(), KeyLess);
        entered.pathLength = path.size();
        stack.push_back(std::move(entered));
    };
    enter(*m_top);
    while (!stack.empty()) {
        Entered& current = stack.back();
        if (current.next == current.steps.size()) {
            stack.pop_back();
            continue;
        }
        const Step step = current.steps[current.next++];
        path.resize(current.pathLength);
        AppendName(path, step.folder->name);
        if (step.below) {
            enter(*step.folder);
        } else {
            WriteFolderLine(out, *step.folder, path, line);
        }
    }
}

bool ReportListing::Write(std::FILE* out) const
{
    if (m_top != nullptr) {
        std::lock_guard lock(m_tree->DataLock());
        WriteFolders(out);
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
    AppendEscaped(escaped, path);
    return escaped;
}

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "model/TreeControl.h"

class FolderRecord;
class ScanTree;

// What larkspur-report prints once the walk is over: the folders of the
// subtree under the scanned folder with their subtree totals, and the
// duplicate groups of two or more copies found there. Paths are raw bytes
// that start with the scanned folder's path as the user gave it.
//
// UI thread. Collect gathers the groups from the tree's duplicate table;
// Write then reads the folders from the tree itself, so the tree must stay,
// unchanged, until Write returns. Both take the tree-data lock.
class ReportListing {
public:
    // Reads the groups of top's subtree; shownPath is what stands for top's
    // own path. Groups come out by size, largest first, then by their first
    // copy's path.
    void Collect(ScanTree& tree, TreeItem top, const std::string& shownPath);

    // Writes the folder lines, in byte order of their paths, then the group
    // and copy lines. Answers false when the stream failed (a closed pipe, a
    // full disk).
    bool Write(std::FILE* out) const;

private:
    // A path in m_copyPaths.
    struct Path {
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    struct Group {
        std::int64_t size = 0;
        std::size_t firstCopy = 0;  // into m_copies, in byte order
        std::size_t copyCount = 0;
    };

    [[nodiscard]] std::string_view CopyPathOf(Path path) const
    {
        return std::string_view(m_copyPaths).substr(path.offset, path.length);
    }
    // Writes the line of top and of every folder below it; the tree-data
    // lock held.
    void WriteFolders(std::FILE* out) const;

    // The listing is written while the scanned tree is still in memory, at
    // the peak of the program's use: the folders are written from the
    // records as they are walked, and only the copies, few beside the
    // folders, are gathered, their paths end to end in one buffer.
    ScanTree* m_tree = nullptr;
    const FolderRecord* m_top = nullptr;
    std::string m_shownPath;
    std::string m_copyPaths;
    std::vector<Path> m_copies;
    std::vector<Group> m_groups;
};

// A path for one line of output: "\" becomes "\\", a tab "\t" and a newline
// "\n"; every other byte stays as it is.
[[nodiscard]] std::string EscapeForLine(std::string_view path);

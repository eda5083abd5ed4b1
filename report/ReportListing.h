#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/TreeControl.h"

class ScanTree;

// What larkspur-report prints once the walk is over: the folders of the
// subtree under the scanned folder with their subtree totals, and the
// duplicate groups of two or more copies found there. Paths are raw bytes
// that start with the scanned folder's path as the user gave it.
//
// UI thread; Collect reads the tree's records and, under its tree-data
// lock, its duplicate table. The listing holds no pointer into the tree.
class ReportListing {
public:
    struct Folder {
        std::string path;
        std::int64_t diskSpace = 0;
        std::int64_t size = 0;
    };
    struct Group {
        std::int64_t size = 0;
        std::vector<std::string> copies;  // in byte order
    };

    // Reads top's subtree; shownPath is what stands for top's own path.
    // Folders come out in byte order of their paths; groups by size,
    // largest first, then by their first copy's path.
    void Collect(ScanTree& tree, TreeItem top, const std::string& shownPath);

    [[nodiscard]] const std::vector<Folder>& Folders() const { return m_folders; }
    [[nodiscard]] const std::vector<Group>& Groups() const { return m_groups; }

    // Writes the folder lines, then the group and copy lines. Answers false
    // when the stream failed (a closed pipe, a full disk).
    bool Write(std::FILE* out) const;

private:
    std::vector<Folder> m_folders;
    std::vector<Group> m_groups;
};

// A path for one line of output: "\" becomes "\\", a tab "\t" and a newline
// "\n"; every other byte stays as it is.
[[nodiscard]] std::string EscapeForLine(const std::string& path);

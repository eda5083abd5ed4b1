#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
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
    // Reads top's subtree; shownPath is what stands for top's own path.
    // Folders come out in byte order of their paths; groups by size,
    // largest first, then by their first copy's path.
    void Collect(ScanTree& tree, TreeItem top, const std::string& shownPath);

    // Writes the folder lines, then the group and copy lines. Answers false
    // when the stream failed (a closed pipe, a full disk).
    bool Write(std::FILE* out) const;

private:
    // A path in m_folderPaths or m_copyPaths.
    struct Path {
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    struct Folder {
        Path path;
        std::int64_t diskSpace = 0;
        std::int64_t size = 0;
    };
    struct Group {
        std::int64_t size = 0;
        std::size_t firstCopy = 0;  // into m_copies, in byte order
        std::size_t copyCount = 0;
    };

    [[nodiscard]] std::string_view FolderPathOf(Path path) const
    {
        return std::string_view(m_folderPaths).substr(path.offset, path.length);
    }
    [[nodiscard]] std::string_view CopyPathOf(Path path) const
    {
        return std::string_view(m_copyPaths).substr(path.offset, path.length);
    }
    // Appends directory and name, joined by a separator unless directory
    // ends with one, to buffer as one more path. directory must not lie in
    // buffer unless buffer has room reserved for the whole path.
    static Path AddChildPath(std::string& buffer, std::string_view directory,
                             std::string_view name);

    // The listing is made while the scanned tree is still in memory, at the
    // peak of the program's use: the paths of the folders, and those of the
    // copies, lie end to end in one buffer each rather than in a string of
    // their own.
    std::string m_folderPaths;
    std::string m_copyPaths;
    std::vector<Folder> m_folders;
    std::vector<Path> m_copies;
    std::vector<Group> m_groups;
};

// A path for one line of output: "\" becomes "\\", a tab "\t" and a newline
// "\n"; every other byte stays as it is.
[[nodiscard]] std::string EscapeForLine(std::string_view path);

#pragma once

#include <cstdint>
#include <string>

#include "engine/ScanPool.h"

class DupGroup;
class FolderRecord;

// One file of a folder that the duplicate search has recorded: the folder's
// record owns it (FolderRecord::duplicates, linked by nextInFolder); its
// group points at it through a link of its own (DupLink).
//
// Made by the duplicate search on the worker thread; read, unlinked and
// freed on the UI thread. Every access holds the tree-data lock.
struct DupMember {
    DupMember* nextInFolder = nullptr;
    FolderRecord* folder = nullptr;
    std::string name;  // the file's name in the folder, raw bytes
    DupGroup* group = nullptr;
    // Identity of the file that was read: two members with the same device
    // and inode are links to one file, never copies of each other.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    LARKSPUR_SCAN_POOLED(DupMember)

    // The file-system path of the folder, without a separator at the end;
    // empty when the folder has none.
    [[nodiscard]] std::string FolderPath() const;
    // The folder's directory path followed by the name; empty when the
    // folder has no file-system path.
    [[nodiscard]] std::string FullPath() const;

    // Orderings for the copies list's column sorts: -1, 0 or 1; the
    // descending order is the ascending one negated.
    // Names without regard to case, then folder paths the same way.
    [[nodiscard]] static int CompareByName(const DupMember& first, const DupMember& second,
                                           bool ascending);
    // Folder paths without regard to case, then names the same way.
    [[nodiscard]] static int CompareByPath(const DupMember& first, const DupMember& second,
                                           bool ascending);
};

// Takes a member out of its duplicate group (the group loses its link; an
// emptied group leaves the table and the duplicates window). The DupStore,
// which owns the duplicate table, implements it (see DupGroupOwner).
// Called under the tree-data lock.
class DupMemberRemover {
public:
    virtual void RemoveDupMember(DupMember& member) = 0;

protected:
    ~DupMemberRemover() = default;
};

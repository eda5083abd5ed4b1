#pragma once

#include <cstdint>

#include "engine/DupMember.h"
#include "engine/ScanPool.h"
#include "engine/TrackedReferences.h"

class FolderRecord;

// One link of a group's member list. The group owns its links; the member
// belongs to its folder's record.
struct DupLink {
    DupLink* next = nullptr;
    DupMember* member = nullptr;

    LARKSPUR_SCAN_POOLED(DupLink)
};

// A set of files with the same size and the same hash of their first 8192
// bytes whose contents were found equal: a group of two or more members is
// a set of identical files, a group of one a file with no known copy.
// Several groups may share one (headHash, size) pair when their contents
// differ further on; they then lie in the same chain of the DupTable.
//
// A group may be pending: it holds the one file of its size seen so far,
// whose head was not read because no other file could be its copy yet. Its
// headHash means nothing until the duplicate search reads the head, when a
// second file of the same size turns up, and makes it an ordinary group.
//
// Owned by the DupTable (a DupStore's). Made and linked by the
// duplicate search on the worker thread; every read and change, on either
// thread, holds the tree-data lock.
class DupGroup {
public:
    DupGroup(std::uint32_t hash, std::uint64_t fileSize) : headHash(hash), size(fileSize) {}
    // Frees the links (not the members).
    ~DupGroup() { FreeLinks(); }
    DupGroup(const DupGroup&) = delete;
    DupGroup& operator=(const DupGroup&) = delete;
    LARKSPUR_SCAN_POOLED(DupGroup)

    DupGroup* next = nullptr;    // next group in the same bucket chain
    std::uint32_t headHash;      // hash of the files' first 8192 bytes
    bool pending = false;        // head not read yet (see above); in the padding
    std::uint64_t size;          // the files' size in bytes, all 64 bits
    DupLink* members = nullptr;  // sorted by name without regard to case

    [[nodiscard]] int MemberCount() const;
    [[nodiscard]] bool IsSingle() const { return members != nullptr && members->next == nullptr; }
    // The first member in name order; null when there are no links.
    [[nodiscard]] DupMember* FirstMember() const
    {
        return members != nullptr ? members->member : nullptr;
    }
    // True when some member's folder is neither folder nor one of its
    // descendants (found by following the members' folders' parents).
    [[nodiscard]] bool HasMemberOutside(const FolderRecord& folder) const;
    // True when some member is the file with this device and inode.
    [[nodiscard]] bool HoldsFile(std::uint64_t device, std::uint64_t inode) const;

    // Takes ownership of link: it goes before the first member whose name
    // is equal to or after its own (without regard to case), else last.
    void InsertMemberLink(DupLink* link);
    // Unlinks and frees the link to member; false when there is none.
    bool RemoveMemberLink(const DupMember& member);
    // Frees all links, not the members.
    void FreeLinks();

    // Orderings for the groups list's column sorts: -1, 0 or 1; the
    // descending order is the ascending one negated, except where noted.
    // First members' names, without regard to case.
    [[nodiscard]] static int CompareByName(const DupGroup& first, const DupGroup& second,
                                           bool ascending);
    // Sizes, smaller first; equal sizes by first member's name ascending,
    // whatever the flag.
    [[nodiscard]] static int CompareBySize(const DupGroup& first, const DupGroup& second,
                                           bool ascending);
    // Member counts.
    [[nodiscard]] static int CompareByCount(const DupGroup& first, const DupGroup& second,
                                            bool ascending);
};

// There is a group per file recorded: it stays small.
static_assert(sizeof(void*) != 8 || sizeof(DupGroup) == 32);

// A tracked reference to a group (see TrackedRef): the DupStore sets
// it to null when it destroys the group. Held by the duplicate search across
// the release of the tree-data lock and until its delivery.
using DupGroupRef = TrackedRef<DupGroup>;

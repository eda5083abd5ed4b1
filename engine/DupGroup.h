#pragma once

#include <cstdint>

#include "engine/DupMember.h"
#include "engine/ScanPool.h"
#include "engine/TrackedReferences.h"

class FolderRecord;

// One link of the member list of a group of two or more. The group owns its
// links; the member belongs to its folder's record.
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

    // The members in order, as DupMember*: for (DupMember* member : group.Members()).
    class MemberIterator {
    public:
        DupMember* operator*() const { return m_lone != nullptr ? m_lone : m_link->member; }
        MemberIterator& operator++()
        {
            if (m_lone != nullptr) {
                m_lone = nullptr;
            } else {
                m_link = m_link->next;
            }
            return *this;
        }
        bool operator==(const MemberIterator&) const = default;

    private:
        friend class DupGroup;
        MemberIterator(const DupLink* link, DupMember* lone) : m_link(link), m_lone(lone) {}
        const DupLink* m_link;
        DupMember* m_lone;
    };
    struct MemberRange {
        MemberIterator first;
        [[nodiscard]] MemberIterator begin() const { return first; }
        [[nodiscard]] MemberIterator end() const { return {nullptr, nullptr}; }
    };

    DupGroup* next = nullptr;  // next group in the same bucket chain
    std::uint32_t headHash;    // hash of the files' first 8192 bytes

private:
    // Most files end in a group of one, so such a group holds its member
    // itself (m_member), without a link; a group that gains a second member
    // turns to a list of links (m_links) and stays one. Declared here to
    // lie in the padding after headHash.
    bool m_single = true;

public:
    std::uint64_t size;  // the files' size in bytes, all 64 bits

    // Sorted by name without regard to case.
    [[nodiscard]] MemberRange Members() const
    {
        return {m_single ? MemberIterator(nullptr, m_member) : MemberIterator(m_links, nullptr)};
    }
    [[nodiscard]] bool IsEmpty() const
    {
        return m_single ? m_member == nullptr : m_links == nullptr;
    }
    [[nodiscard]] int MemberCount() const;
    [[nodiscard]] bool IsSingle() const
    {
        return m_single ? m_member != nullptr : m_links != nullptr && m_links->next == nullptr;
    }
    // The first member in name order; null when there is none.
    [[nodiscard]] DupMember* FirstMember() const
    {
        return m_single ? m_member : m_links != nullptr ? m_links->member : nullptr;
    }
    // True when some member's folder is neither folder nor one of its
    // descendants (found by following the members' folders' parents).
    [[nodiscard]] bool HasMemberOutside(const FolderRecord& folder) const;
    // True when some member is the file with this device and inode.
    [[nodiscard]] bool HoldsFile(std::uint64_t device, std::uint64_t inode) const;

    // Adds member before the first member whose name is equal to or after
    // its own (without regard to case), else last.
    void InsertMember(DupMember* member);
    // Takes member out of the group; false when it is not a member.
    bool RemoveMember(const DupMember& member);
    // Frees all links, not the members; the group is then empty.
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

private:
    union {
        DupMember* m_member = nullptr;  // m_single: the only member, or none
        DupLink* m_links;               // otherwise: the first link
    };
};

// There is a group per file recorded: it stays small.
static_assert(sizeof(void*) != 8 || sizeof(DupGroup) == 32);

// A tracked reference to a group (see TrackedRef): the DupStore sets
// it to null when it destroys the group. Held by the duplicate search across
// the release of the tree-data lock and until its delivery.
using DupGroupRef = TrackedRef<DupGroup>;

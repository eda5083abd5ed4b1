#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/DupGroup.h"

// The candidate groups of the duplicate search: 65536 buckets, each the
// head of a singly linked chain of groups (null when empty). A group lies in
// the bucket of its head hash and size.
//
// Pending members (DupMember::IsPending, the one file of its size seen so
// far, not read) lie apart, in a second array of 65536 buckets keyed by the
// low 16 bits of the size, linked by their waiting.next; there is at most
// one of each size. The table links them but does not own them: their
// folders' records do.
//
// Beside the buckets the table keeps one bit per size class: set when an
// ordinary group of such a size is linked in, cleared only by Clear(). A
// clear bit proves that no group of that size is in the table, so a file of
// that size can wait pending without being read.
//
// Owned by a DupStore, made empty with it and freed with it. The
// duplicate search links groups and pending members in on the worker
// thread; the store unlinks them, and frees the groups, on the UI thread.
// Every access holds the tree-data lock.
class DupTable {
public:
    static constexpr std::size_t kBucketCount = 65536;
    static constexpr std::size_t kSizeBitCount = std::size_t{1} << 20;

    DupTable();
    // Frees every group with its links (not the members, pending or not).
    ~DupTable();
    DupTable(const DupTable&) = delete;
    DupTable& operator=(const DupTable&) = delete;

    // (headHash XOR size) AND 0xFFFF: only the low 16 bits of the size take
    // part, so the whole 64-bit size leaves the bucket unchanged.
    [[nodiscard]] static std::size_t BucketOf(std::uint32_t headHash, std::uint64_t size)
    {
        return (headHash ^ static_cast<std::uint32_t>(size)) & 0xFFFF;
    }
    // The bucket of a pending member: size AND 0xFFFF.
    [[nodiscard]] static std::size_t PendingBucketOf(std::uint64_t size) { return size & 0xFFFF; }
    // The bit of a size: sizes below 2^20 have one each, larger ones share.
    [[nodiscard]] static std::size_t SizeBitOf(std::uint64_t size)
    {
        return (size ^ (size >> 20) ^ (size >> 40)) & (kSizeBitCount - 1);
    }

    // The first group of a bucket's chain; null when the bucket is empty.
    [[nodiscard]] DupGroup* Chain(std::size_t bucket) const { return m_buckets[bucket]; }
    // The first pending member of a pending bucket; null when it is empty.
    [[nodiscard]] DupMember* PendingChain(std::size_t bucket) const { return m_pending[bucket]; }
    // The pending member for files of exactly this size; null when none.
    [[nodiscard]] DupMember* PendingOfSize(std::uint64_t size) const;
    // False only when no group of this size has been linked in since the
    // table was made or last cleared.
    [[nodiscard]] bool MayHoldSize(std::uint64_t size) const
    {
        const std::size_t bit = SizeBitOf(size);
        return (m_sizeBits[bit / 64] >> (bit % 64) & 1) != 0;
    }

    // Takes ownership of group and links it in its bucket, as the chain
    // when the bucket is empty, else after the chain's last group, and sets
    // the bit of its size.
    void Append(DupGroup* group);
    // Unlinks group without freeing it (the caller then owns it); false
    // when it is not in the table.
    bool Unlink(DupGroup* group);
    // Links a pending member (DupMember::Wait) in its pending bucket; the
    // table must hold no pending member of its size yet.
    void AppendPending(DupMember* member);
    // Unlinks a pending member, which stays pending; false when it is not
    // in the table.
    bool UnlinkPending(DupMember* member);
    // Frees every group and forgets every pending member; every bucket
    // becomes empty and every size bit clear.
    void Clear();

private:
    std::unique_ptr<DupGroup*[]> m_buckets;
    std::unique_ptr<DupMember*[]> m_pending;
    std::unique_ptr<std::uint64_t[]> m_sizeBits;
};

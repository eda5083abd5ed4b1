#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/DupGroup.h"

// The candidate groups of the duplicate search: 65536 buckets, each the
// head of a singly linked chain of groups (null when empty). A group lies in
// the bucket of its head hash and size.
//
// Pending groups (DupGroup::pending, one file whose head was not read) lie
// apart, in a second array of 65536 buckets keyed by the low 16 bits of the
// size; there is at most one of each size. Chain() never shows them.
//
// Beside the buckets the table keeps one bit per size class: set when an
// ordinary group of such a size is linked in, cleared only by Clear(). A
// clear bit proves that no ordinary group of that size is in the table, so
// a file of that size can wait as a pending group without being read.
//
// Owned by a DupStore, made empty with it and freed with it. The
// duplicate search links groups in on the worker thread; the store unlinks
// and frees them on the UI thread. Every access holds the tree-data lock.
class DupTable {
public:
    static constexpr std::size_t kBucketCount = 65536;
    static constexpr std::size_t kSizeBitCount = std::size_t{1} << 20;

    DupTable();
    // Frees every group with its links (not the members).
    ~DupTable();
    DupTable(const DupTable&) = delete;
    DupTable& operator=(const DupTable&) = delete;

    // (headHash XOR size) AND 0xFFFF: only the low 16 bits of the size take
    // part, so the whole 64-bit size leaves the bucket unchanged.
    [[nodiscard]] static std::size_t BucketOf(std::uint32_t headHash, std::uint64_t size)
    {
        return (headHash ^ static_cast<std::uint32_t>(size)) & 0xFFFF;
    }
    // The bucket of a pending group: size AND 0xFFFF.
    [[nodiscard]] static std::size_t PendingBucketOf(std::uint64_t size) { return size & 0xFFFF; }
    // The bit of a size: sizes below 2^20 have one each, larger ones share.
    [[nodiscard]] static std::size_t SizeBitOf(std::uint64_t size)
    {
        return (size ^ (size >> 20) ^ (size >> 40)) & (kSizeBitCount - 1);
    }

    // The first group of a bucket's chain; null when the bucket is empty.
    [[nodiscard]] DupGroup* Chain(std::size_t bucket) const { return m_buckets[bucket]; }
    // The first pending group of a pending bucket; null when it is empty.
    [[nodiscard]] DupGroup* PendingChain(std::size_t bucket) const { return m_pending[bucket]; }
    // The pending group of files of exactly this size; null when none.
    [[nodiscard]] DupGroup* PendingOfSize(std::uint64_t size) const;
    // False only when no ordinary group of this size has been linked in
    // since the table was made or last cleared.
    [[nodiscard]] bool MayHoldSize(std::uint64_t size) const
    {
        const std::size_t bit = SizeBitOf(size);
        return (m_sizeBits[bit / 64] >> (bit % 64) & 1) != 0;
    }

    // Takes ownership of group and links it in. An ordinary group goes in
    // its bucket, as the chain when the bucket is empty, else after the
    // chain's last group, and sets the bit of its size. A pending group goes
    // in its pending bucket; the table must hold no pending group of its
    // size yet.
    void Append(DupGroup* group);
    // A pending group in the table becomes an ordinary one with this head
    // hash: out of its pending bucket, into its bucket as by Append.
    void Promote(DupGroup* group, std::uint32_t headHash);
    // Unlinks group, pending or not, without freeing it (the caller then
    // owns it); false when it is not in the table.
    bool Unlink(DupGroup* group);
    // Frees every group; every bucket becomes empty and every size bit clear.
    void Clear();

private:
    std::unique_ptr<DupGroup*[]> m_buckets;
    std::unique_ptr<DupGroup*[]> m_pending;
    std::unique_ptr<std::uint64_t[]> m_sizeBits;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/DupGroup.h"

// The candidate groups of the duplicate search: 65536 buckets, each the
// head of a singly linked chain of groups (null when empty). A group lies in
// the bucket of its head hash and size.
//
// Owned by the sized tree view, made empty with it and freed with it. The
// duplicate search links groups in on the worker thread; the view unlinks
// and frees them on the UI thread. Every access holds the tree-data lock.
class DupTable {
public:
    static constexpr std::size_t kBucketCount = 65536;

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

    // The first group of a bucket's chain; null when the bucket is empty.
    [[nodiscard]] DupGroup* Chain(std::size_t bucket) const { return m_buckets[bucket]; }
    // Takes ownership of group and links it in its bucket: as the chain when
    // the bucket is empty, else after the chain's last group.
    void Append(DupGroup* group);
    // Unlinks group from its chain without freeing it (the caller then owns
    // it); false when it is not in the table.
    bool Unlink(DupGroup* group);
    // Frees every group; every bucket becomes empty.
    void Clear();

private:
    std::unique_ptr<DupGroup*[]> m_buckets;
};

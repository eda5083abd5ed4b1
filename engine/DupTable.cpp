#include "engine/DupTable.h"

#include <algorithm>

namespace {

void FreeChains(DupGroup** buckets, std::size_t count)
{
    for (std::size_t bucket = 0; bucket < count; ++bucket) {
        DupGroup* group = buckets[bucket];
        buckets[bucket] = nullptr;
        while (group != nullptr) {
            DupGroup* next = group->next;
            delete group;
            group = next;
        }
    }
}

}  // namespace

DupTable::DupTable()
    : m_buckets(new DupGroup*[kBucketCount]()),
      m_pending(new DupGroup*[kBucketCount]()),
      m_sizeBits(new std::uint64_t[kSizeBitCount / 64]())
{
}

DupTable::~DupTable() { Clear(); }

DupGroup* DupTable::PendingOfSize(std::uint64_t size) const
{
    for (DupGroup* group = m_pending[PendingBucketOf(size)]; group != nullptr;
         group = group->next) {
        if (group->size == size) {
            return group;
        }
    }
    return nullptr;
}

void DupTable::Append(DupGroup* group)
{
    group->next = nullptr;
    if (group->pending) {
        // Order does not matter among groups of different sizes.
        DupGroup*& head = m_pending[PendingBucketOf(group->size)];
        group->next = head;
        head = group;
        return;
    }
    DupGroup** place = &m_buckets[BucketOf(group->headHash, group->size)];
    while (*place != nullptr) {
        place = &(*place)->next;
    }
    *place = group;
    const std::size_t bit = SizeBitOf(group->size);
    m_sizeBits[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

void DupTable::Promote(DupGroup* group, std::uint32_t headHash)
{
    Unlink(group);
    group->pending = false;
    group->headHash = headHash;
    Append(group);
}

bool DupTable::Unlink(DupGroup* group)
{
    DupGroup** head = group->pending ? &m_pending[PendingBucketOf(group->size)]
                                     : &m_buckets[BucketOf(group->headHash, group->size)];
    for (DupGroup** place = head; *place != nullptr; place = &(*place)->next) {
        if (*place == group) {
            *place = group->next;
            group->next = nullptr;
            return true;
        }
    }
    return false;
}

void DupTable::Clear()
{
    FreeChains(m_buckets.get(), kBucketCount);
    FreeChains(m_pending.get(), kBucketCount);
    std::fill_n(m_sizeBits.get(), kSizeBitCount / 64, 0);
}

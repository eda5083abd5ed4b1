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
      m_pending(new DupMember*[kBucketCount]()),
      m_sizeBits(new std::uint64_t[kSizeBitCount / 64]())
{
}

DupTable::~DupTable() { Clear(); }

DupMember* DupTable::PendingOfSize(std::uint64_t size) const
{
    for (DupMember* member = m_pending[PendingBucketOf(size)]; member != nullptr;
         member = member->waiting.next) {
        if (member->waiting.size == size) {
            return member;
        }
    }
    return nullptr;
}

void DupTable::Append(DupGroup* group)
{
    group->next = nullptr;
    DupGroup** place = &m_buckets[BucketOf(group->headHash, group->size)];
    while (*place != nullptr) {
        place = &(*place)->next;
    }
    *place = group;
    const std::size_t bit = SizeBitOf(group->size);
    m_sizeBits[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

bool DupTable::Unlink(DupGroup* group)
{
    DupGroup** head = &m_buckets[BucketOf(group->headHash, group->size)];
    for (DupGroup** place = head; *place != nullptr; place = &(*place)->next) {
        if (*place == group) {
            *place = group->next;
            group->next = nullptr;
            return true;
        }
    }
    return false;
}

void DupTable::AppendPending(DupMember* member)
{
    // Order does not matter among members of different sizes.
    DupMember*& head = m_pending[PendingBucketOf(member->waiting.size)];
    member->waiting.next = head;
    head = member;
}

bool DupTable::UnlinkPending(DupMember* member)
{
    for (DupMember** place = &m_pending[PendingBucketOf(member->waiting.size)]; *place != nullptr;
         place = &(*place)->waiting.next) {
        if (*place == member) {
            *place = member->waiting.next;
            member->waiting.next = nullptr;
            return true;
        }
    }
    return false;
}

void DupTable::Clear()
{
    FreeChains(m_buckets.get(), kBucketCount);
    std::fill_n(m_pending.get(), kBucketCount, nullptr);
    std::fill_n(m_sizeBits.get(), kSizeBitCount / 64, 0);
}

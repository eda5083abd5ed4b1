#include "engine/DupTable.h"

DupTable::DupTable() : m_buckets(new DupGroup*[kBucketCount]()) {}

DupTable::~DupTable() { Clear(); }

void DupTable::Append(DupGroup* group)
{
    group->next = nullptr;
    DupGroup** place = &m_buckets[BucketOf(group->headHash, group->size)];
    while (*place != nullptr) {
        place = &(*place)->next;
    }
    *place = group;
}

bool DupTable::Unlink(DupGroup* group)
{
    for (DupGroup** place = &m_buckets[BucketOf(group->headHash, group->size)]; *place != nullptr;
         place = &(*place)->next) {
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
    for (std::size_t bucket = 0; bucket < kBucketCount; ++bucket) {
        DupGroup* group = m_buckets[bucket];
        m_buckets[bucket] = nullptr;
        while (group != nullptr) {
            DupGroup* next = group->next;
            delete group;
            group = next;
        }
    }
}

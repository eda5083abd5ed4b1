#include "engine/TrackedReferences.h"

#include <algorithm>

TrackedRefBase::TrackedRefBase(TrackedReferences& references, std::type_index kind, void* target)
    : m_references(&references), m_kind(kind), m_target(target)
{
    references.Add(this);
}

TrackedRefBase::~TrackedRefBase()
{
    if (TrackedReferences* references = m_references.load(std::memory_order_acquire)) {
        references->Remove(this);
    }
}

TrackedReferences::~TrackedReferences()
{
    std::lock_guard guard(m_lock);
    for (auto& [kind, list] : m_lists) {
        for (TrackedRefBase* reference : list) {
            reference->m_target.store(nullptr, std::memory_order_release);
            reference->m_references.store(nullptr, std::memory_order_release);
        }
    }
}

void TrackedReferences::Add(TrackedRefBase* reference)
{
    std::lock_guard guard(m_lock);
    m_lists[reference->m_kind].push_back(reference);
}

void TrackedReferences::Remove(TrackedRefBase* reference)
{
    std::lock_guard guard(m_lock);
    auto found = m_lists.find(reference->m_kind);
    if (found != m_lists.end()) {
        auto& list = found->second;
        list.erase(std::remove(list.begin(), list.end(), reference), list.end());
    }
}

void TrackedReferences::ForgetMatching(std::type_index kind, const void* target)
{
    std::lock_guard guard(m_lock);
    auto found = m_lists.find(kind);
    if (found == m_lists.end()) {
        return;
    }
    auto& list = found->second;
    auto matches = [target](TrackedRefBase* reference) {
        return target == nullptr || reference->Target() == target;
    };
    for (TrackedRefBase* reference : list) {
        if (matches(reference)) {
            reference->m_target.store(nullptr, std::memory_order_release);
            // Out of the list, it no longer has to take itself out.
            reference->m_references.store(nullptr, std::memory_order_release);
        }
    }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](TrackedRefBase* reference) {
                                  return reference->m_references.load() == nullptr;
                              }),
               list.end());
}

void TrackedReferences::NullEverything()
{
    std::lock_guard guard(m_lock);
    for (auto& [kind, list] : m_lists) {
        for (TrackedRefBase* reference : list) {
            reference->m_target.store(nullptr, std::memory_order_release);
        }
    }
}

#pragma once

#include <atomic>
#include <mutex>
#include <typeindex>
#include <unordered_map>
#include <vector>

class TrackedReferences;

// The common part of TrackedRef: one pointer that its list sets to null.
class TrackedRefBase {
public:
    TrackedRefBase(const TrackedRefBase&) = delete;
    TrackedRefBase& operator=(const TrackedRefBase&) = delete;

protected:
    TrackedRefBase(TrackedReferences& references, std::type_index kind, void* target);
    ~TrackedRefBase();
    void* Target() const { return m_target.load(std::memory_order_acquire); }

private:
    friend class TrackedReferences;
    std::atomic<TrackedReferences*> m_references;
    std::type_index m_kind;
    std::atomic<void*> m_target;
};

// A reference to an object that the tree may destroy while a task still
// holds the reference (a folder record, a duplicate group). Making one enters
// it in the TrackedReferences of the tree; destroying one takes it out; when
// the tree destroys the object, it sets every reference to it to null. A
// holder that finds Get() null skips the work that would touch the object.
//
// Made and destroyed on any thread (each takes the reference lock); Get() may
// be read on any thread.
template <typename T>
class TrackedRef : public TrackedRefBase {
public:
    TrackedRef(TrackedReferences& references, T* target)
        : TrackedRefBase(references, std::type_index(typeid(T)), target)
    {
    }
    [[nodiscard]] T* Get() const { return static_cast<T*>(Target()); }
    [[nodiscard]] bool IsNull() const { return Target() == nullptr; }
};

// The lists of tracked references of one tree, one list per kind of
// referent, and the reference lock that guards them. The lock is re-entrant.
// When the tree-data lock is needed too, it is taken before this one.
//
// The owner (a DupStore) outlives every reference it hands out, or
// makes sure no other thread still uses them when it goes: its destructor
// detaches the references still listed (they read null from then on).
class TrackedReferences {
public:
    TrackedReferences() = default;
    ~TrackedReferences();
    TrackedReferences(const TrackedReferences&) = delete;
    TrackedReferences& operator=(const TrackedReferences&) = delete;

    // The reference lock; BasicLockable.
    void lock() { m_lock.lock(); }
    void unlock() { m_lock.unlock(); }

    // target is being destroyed: every reference to it becomes null and
    // leaves its list.
    template <typename T>
    void Forget(const T* target)
    {
        ForgetMatching(std::type_index(typeid(T)), target);
    }
    // Every reference of kind T becomes null and the list is emptied.
    template <typename T>
    void ForgetAll()
    {
        ForgetMatching(std::type_index(typeid(T)), nullptr);
    }
    // Every reference of every kind becomes null; the lists keep their
    // entries (the tree is being destroyed).
    void NullEverything();

private:
    friend class TrackedRefBase;
    void Add(TrackedRefBase* reference);
    void Remove(TrackedRefBase* reference);
    // A null target matches every reference of the kind.
    void ForgetMatching(std::type_index kind, const void* target);

    std::recursive_mutex m_lock;
    std::unordered_map<std::type_index, std::vector<TrackedRefBase*>> m_lists;
};

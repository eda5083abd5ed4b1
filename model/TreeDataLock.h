#pragma once

#include <mutex>

// The tree-data lock of one folder tree: guards its items, its records and
// the duplicate data hung on the records. Re-entrant: the thread that holds
// it may take it again. Taken by the UI thread for every change of the tree
// and by the duplicate search on the worker thread. When the reference lock
// of the tracked references is needed too, this one is taken first.
//
// BasicLockable, so std::lock_guard and std::scoped_lock take it.
class TreeDataLock {
public:
    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    [[nodiscard]] bool try_lock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

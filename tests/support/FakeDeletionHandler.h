#pragma once

#include <future>
#include <memory>
#include <vector>

#include "model/TreeDataLock.h"
#include "tree/DeletionHandler.h"
#include "tree/DeletionRequest.h"

namespace testsupport {

// Stands in for the main view's deletion: keeps each chain it is handed as a
// list of requests, and whether the sender held the tree's data lock then.
class FakeDeletionHandler : public DeletionHandler {
public:
    explicit FakeDeletionHandler(TreeDataLock& lock) : m_lock(lock) {}
    bool ProtectSystemFiles() const override { return false; }
    bool IsInProtectedDirectory(const FolderRecord&) const override { return false; }
    void DeleteRequests(std::unique_ptr<DeletionRequest> chain) override
    {
        // Another thread cannot take the lock while the sender holds it.
        senderHeldLock = !std::async(std::launch::async, [this] {
                              const bool taken = m_lock.try_lock();
                              if (taken) m_lock.unlock();
                              return taken;
                          }).get();
        auto& requests = chains.emplace_back();
        for (const DeletionRequest* r = chain.get(); r != nullptr; r = r->next.get())
            requests.push_back({r->folder, r->name, r->copy, nullptr});
    }

    std::vector<std::vector<DeletionRequest>> chains;
    bool senderHeldLock = false;

private:
    TreeDataLock& m_lock;
};

}  // namespace testsupport

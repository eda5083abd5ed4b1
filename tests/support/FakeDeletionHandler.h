#pragma once

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "tree/DeletionHandler.h"
#include "model/TreeDataLock.h"

namespace testsupport {

// Stands in for the main view's deletion: keeps each chain it is handed, as
// a list of requests, and whether the sender held the tree's data lock
// while handing it over (it must, so the worker cannot change the records
// the requests point at). Protects nothing.
class FakeDeletionHandler : public DeletionHandler {
public:
    struct Request {
        FolderRecord* folder;
        std::string name;
        DupMember* copy;
    };

    explicit FakeDeletionHandler(TreeDataLock& lock) : m_lock(lock) {}
    bool ProtectSystemFiles() const override { return false; }
    bool IsInProtectedDirectory(const FolderRecord&) const override { return false; }

    std::vector<std::vector<Request>> chains;
    bool senderHeldLock = false;

    void DeleteRequests(std::unique_ptr<DeletionRequest> chain) override
    {
        // Another thread cannot take the lock while the sender holds it.
        senderHeldLock = !std::async(std::launch::async, [this] {
                              const bool taken = m_lock.try_lock();
                              if (taken) m_lock.unlock();
                              return taken;
                          }).get();
        std::vector<Request> requests;
        for (const DeletionRequest* request = chain.get(); request != nullptr;
             request = request->next.get()) {
            requests.push_back({request->folder, request->name, request->copy});
        }
        chains.push_back(std::move(requests));
    }

private:
    TreeDataLock& m_lock;
};

}  // namespace testsupport

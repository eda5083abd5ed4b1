#pragma once

#include <memory>

#include "tree/DeletionRequest.h"

// Where every deletion of the program ends: the main view stops the scan,
// applies the system-file protection, moves what the chain names to the
// Trash and brings records, tree, lists and duplicate data up to date for
// what has really gone. The main view derives from it; the first one
// constructed is the process-wide instance. UI thread only.
class DeletionHandler {
public:
    static DeletionHandler* Instance() { return s_instance; }

    // Takes the chain (null: nothing to delete) and frees every request.
    virtual void DeleteRequests(std::unique_ptr<DeletionRequest> chain) = 0;

protected:
    DeletionHandler()
    {
        if (s_instance == nullptr) {
            s_instance = this;
        }
    }
    ~DeletionHandler()
    {
        if (s_instance == this) {
            s_instance = nullptr;
        }
    }
    DeletionHandler(const DeletionHandler&) = delete;
    DeletionHandler& operator=(const DeletionHandler&) = delete;

private:
    inline static DeletionHandler* s_instance = nullptr;
};

#pragma once

#include <memory>

#include "tree/DeletionRequest.h"

class FolderRecord;

// Where every deletion of the program ends: the main view stops the scan,
// applies the system-file protection, moves what the chain names to the
// Trash and brings records, tree, lists and duplicate data up to date for
// what has really gone. The main view derives from it and hands it to the
// panes. UI thread only.
class DeletionHandler {
public:
    // Takes the chain (null: nothing to delete) and frees every request.
    virtual void DeleteRequests(std::unique_ptr<DeletionRequest> chain) = 0;
    // Whether deletions in the protected directory are refused.
    [[nodiscard]] virtual bool ProtectSystemFiles() const = 0;
    // Whether folder is the protected directory or lies below it, whatever
    // the flag says. Folders outside the file system never are.
    [[nodiscard]] virtual bool IsInProtectedDirectory(const FolderRecord& folder) const = 0;

protected:
    ~DeletionHandler() = default;
};

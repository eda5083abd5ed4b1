#pragma once

#include <memory>
#include <string>

class FolderRecord;
struct DupMember;

// One thing to delete; requests are chained, and whoever holds the head
// owns the chain.
struct DeletionRequest {
    // For a file, the folder that holds it; for a folder, the folder itself.
    FolderRecord* folder = nullptr;
    // The file's name within folder (raw bytes); empty for the whole folder.
    std::string name;
    // The file's duplicate-search record when the caller knows one; it leaves
    // the duplicate data once the file is gone.
    DupMember* copy = nullptr;
    std::unique_ptr<DeletionRequest> next;
};

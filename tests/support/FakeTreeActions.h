#pragma once

#include <string>
#include <vector>

#include "engine/DupGroup.h"
#include "engine/FolderRecord.h"
#include "tree/FolderTreeActions.h"

namespace testsupport {

// Stands in for the sized folder tree the lists call back: notes each call
// with the name it is about ("Enter sub", "GoToCopy v").
class FakeTreeActions : public FolderTreeActions {
public:
    std::vector<std::string> calls;

    void GoToCopy(DupMember& copy) override
    {
        calls.push_back("GoToCopy " + std::string(copy.Name()));
    }
    void StopScanning() override { calls.push_back("StopScanning"); }
    void PopulateAndSelect(FolderRecord& folder) override
    {
        calls.push_back("Enter " + folder.name);
    }
    void ExploreFolder(FolderRecord& folder) override { calls.push_back("Explore " + folder.name); }
    void ClearFolderData(FolderRecord& folder) override { calls.push_back("Clear " + folder.name); }
};

}  // namespace testsupport

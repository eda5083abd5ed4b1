#pragma once

class FolderRecord;
struct DupMember;

// What the lists ask of the sized folder tree, which derives from it; the
// main view hands it to the lists. UI thread only.
class FolderTreeActions {
public:
    // Select the copy's folder in the tree without enumerating it again, show
    // that folder in the file list and select the copy's row there.
    virtual void GoToCopy(DupMember& copy) = 0;
    // Cancel every task and every pending mark (Escape, Stop Scanning).
    virtual void StopScanning() = 0;
    // Enter folder in the tree: populate its item and select it.
    virtual void PopulateAndSelect(FolderRecord& folder) = 0;
    // Show folder in the file manager.
    virtual void ExploreFolder(FolderRecord& folder) = 0;
    // Forget folder's sizes and duplicates, and those of its subtree.
    virtual void ClearFolderData(FolderRecord& folder) = 0;

protected:
    ~FolderTreeActions() = default;
};

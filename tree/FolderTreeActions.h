#pragma once

class FolderRecord;
struct DupMember;

// What the lists ask of the sized folder tree. The sized tree derives from
// it; the first one constructed is the process-wide instance. UI thread only.
class FolderTreeActions {
public:
    static FolderTreeActions* Instance() { return s_instance; }

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
    FolderTreeActions()
    {
        if (s_instance == nullptr) {
            s_instance = this;
        }
    }
    ~FolderTreeActions()
    {
        if (s_instance == this) {
            s_instance = nullptr;
        }
    }
    FolderTreeActions(const FolderTreeActions&) = delete;
    FolderTreeActions& operator=(const FolderTreeActions&) = delete;

private:
    inline static FolderTreeActions* s_instance = nullptr;
};

#pragma once

#include "platform/ProcessInstance.h"

#include <string>

class FolderRecord;

// The file list as the folder tree drives it: which folder it shows, and
// what changed about the folders it lists. The file list derives from it;
// the first one constructed is the process-wide instance until it is
// destroyed. UI thread only.
class FolderListDisplay : public ProcessInstance<FolderListDisplay> {
public:
    // Show folder (null: nothing); nothing happens when it is shown already.
    virtual void SetFolder(FolderRecord* folder) = 0;
    // Read the shown folder again and rebuild every row.
    virtual void Refresh() = 0;
    // The totals of folder, shown as a row or as the listed folder, are now
    // complete.
    virtual void UpdateFolderRow(FolderRecord& folder) = 0;
    // folder's record is about to be freed: no row or state may keep it.
    virtual void ForgetFolder(FolderRecord& folder) = 0;
    // Make the row of the file with exactly that name (raw bytes) the only
    // selected, focused row, scrolled into view.
    virtual void SelectFileByName(const std::string& name) = 0;
    // The duplicate data of listed files changed: every row's mark again.
    virtual void RefreshMarks() = 0;

protected:
    ~FolderListDisplay() = default;
};

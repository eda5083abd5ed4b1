#pragma once

#include "engine/DupMember.h"
#include "engine/FolderRecord.h"

class DupGroup;

// The owner of the duplicate table and of the tracked references (the sized
// tree view), as the duplicate data needs it. UI thread only.
//
// RemoveDupMember (member), under the tree-data lock: a pending member
// leaves the table's pending buckets; any other leaves its group
// (DupGroup::RemoveMember); nothing when the group does not hold it.
// When the group has no member left, DropGroup (group); otherwise the
// duplicates display's RefreshGroup (group). The member itself is not freed.
class DupGroupOwner : public DupMemberRemover {
public:
    // On UM_CLEAR_FOLDER_DUPS, which the main view hands on with the
    // message's FolderRecordRef: takes the tree-data lock and, when the
    // reference is not null, clears the folder's duplicates (ClearDuplicates
    // not destroying, with this as the remover).
    virtual void ClearFolderDuplicates(const FolderRecordRef& folder) = 0;
    // Under the tree-data lock: every DupGroupRef to group becomes null
    // (under the reference lock, taken after the tree-data lock), the
    // duplicates display's RemoveGroup (group), the group leaves the
    // DupTable (Unlink) and is destroyed.
    virtual void DropGroup(DupGroup& group) = 0;

protected:
    ~DupGroupOwner() = default;
};

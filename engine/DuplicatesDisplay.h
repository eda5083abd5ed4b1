#pragma once

#include "platform/ProcessInstance.h"

class DupGroup;

// The duplicates window as the duplicate data tells it what changed. It
// lists the groups of two or more members and the copies of the selected
// group; it only points at the groups, which belong to the DupTable.
//
// UI thread, under the tree-data lock, in every case.
class DuplicatesDisplay : public ProcessInstance<DuplicatesDisplay> {
public:
    // The duplicate search's delivery, for each group that gained a member
    // and still exists: a group not yet listed is added, a listed one
    // refreshed.
    virtual void AddOrUpdateGroup(DupGroup& group) = 0;
    // The sized tree, before it destroys a group that lost its last member.
    virtual void RemoveGroup(DupGroup& group) = 0;
    // The sized tree, after a member left a group that still has members.
    virtual void RefreshGroup(DupGroup& group) = 0;

    // Every group is about to be dropped: forget all rows.
    virtual void ClearAll() = 0;
    // Duplicate search switched on or off: the lists are usable or greyed.
    virtual void EnableLists(bool enable) = 0;

protected:
    ~DuplicatesDisplay() = default;
};

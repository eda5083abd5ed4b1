#include "engine/FolderRecord.h"

#include <algorithm>
#include <vector>

#include "model/TreeAccess.h"

namespace {

using Children = std::vector<TreeItemRecord*>;

FolderRecord& Child(TreeItemRecord* record) { return *static_cast<FolderRecord*>(record); }

// One step of the upward propagation; true when the totals or the pending
// state of record changed, so that the parent must be looked at again.
// children is scratch space: the child list is read once per step, since a
// folder with thousands of subfolders is stepped through once per child.
bool RecomputeTotals(TreeAccess& tree, FolderRecord& record, Children& children)
{
    tree.ChildRecords(record, children);
    FileSize max;
    bool changed = false;
    if (record.Has(FolderRecord::OwnSizeKnown)) {
        record.treeSize = record.ownSize;
        record.treeDiskSpace = record.ownDiskSpace;
        bool complete = true;
        for (TreeItemRecord* item : children) {
            const FolderRecord& child = Child(item);
            if (child.Has(FolderRecord::TreeSizeKnown)) {
                record.treeSize += child.treeSize;
                record.treeDiskSpace += child.treeDiskSpace;
                if (max < child.treeDiskSpace) {
                    max = child.treeDiskSpace;
                }
            } else {
                complete = false;
            }
        }
        if (complete) {
            record.Set(FolderRecord::TreeSizeKnown);
            record.Clear(FolderRecord::TreeSizePending);
            tree.RefreshItemLabel(record);
            if (record.Has(FolderRecord::InFileList)) {
                tree.NotifyListIfShown(record);
            }
            changed = true;
        }
    }
    if (!changed && !record.Has(FolderRecord::SizeQueued)) {
        // Nothing remains to be counted below, though a total may be missing
        // (a scan was stopped).
        const bool waiting =
            std::any_of(children.begin(), children.end(), [](TreeItemRecord* item) {
                return Child(item).Has(FolderRecord::SizeQueued) ||
                       Child(item).Has(FolderRecord::TreeSizePending);
            });
        if (!waiting) {
            record.Clear(FolderRecord::TreeSizePending);
            changed = true;
        }
    }
    if (!changed) {
        return false;
    }
    for (TreeItemRecord* item : children) {
        Child(item).siblingMaxDiskSpace = max;
        tree.RefreshItemLabel(Child(item));
    }
    return true;
}

}  // namespace

FolderRecord::~FolderRecord() { ClearDuplicates(true, nullptr); }

void FolderRecord::SetOwnSizes(FileSize size, FileSize diskSpace)
{
    ownSize = size;
    ownDiskSpace = diskSpace;
    Set(OwnSizeKnown);
}

void FolderRecord::ForgetOwnSizes()
{
    Clear(OwnSizeKnown);
    ownSize = FileSize();
    ownDiskSpace = FileSize();
    files.reset();
}

void FolderRecord::ForgetTreeSizes()
{
    Clear(TreeSizeKnown);
    treeSize = FileSize();
    treeDiskSpace = FileSize();
}

void FolderRecord::UpdateTotals(TreeAccess& tree)
{
    // Walk up while each step changes something. The children of every
    // changed folder that has a parent are re-sorted afterwards, from the
    // top down, as the changes have then reached the root.
    std::vector<FolderRecord*> toSort;
    Children children;
    for (FolderRecord* record = this; record != nullptr;
         record = static_cast<FolderRecord*>(record->parent)) {
        if (!RecomputeTotals(tree, *record, children) || record->parent == nullptr) {
            break;
        }
        toSort.push_back(record);
    }
    for (auto it = toSort.rbegin(); it != toSort.rend(); ++it) {
        tree.SortChildren(**it);
    }
}

void FolderRecord::UpdateDupsPending(TreeAccess& tree)
{
    Children children;
    for (FolderRecord* record = this; record != nullptr;
         record = static_cast<FolderRecord*>(record->parent)) {
        if (record->Has(DupsQueued)) {
            return;
        }
        tree.ChildRecords(*record, children);
        for (TreeItemRecord* child : children) {
            if (Child(child).Has(DupsQueued) || Child(child).Has(TreeDupsPending)) {
                return;
            }
        }
        record->Clear(TreeDupsPending);
    }
}

void FolderRecord::AddDuplicateMember(DupMember* member)
{
    member->nextInFolder = duplicates;
    duplicates = member;
}

void FolderRecord::RemoveDuplicateMember(DupMember* member)
{
    for (DupMember** link = &duplicates; *link != nullptr; link = &(*link)->nextInFolder) {
        if (*link == member) {
            *link = member->nextInFolder;
            member->nextInFolder = nullptr;
            return;
        }
    }
}

DupMember* FolderRecord::DuplicateNamed(std::string_view name) const
{
    DupMember* member = duplicates;
    while (member != nullptr && member->Name() != name) {
        member = member->nextInFolder;
    }
    return member;
}

void FolderRecord::ClearDuplicates(bool destroying, DupMemberRemover* groups)
{
    DupMember* member = duplicates;
    duplicates = nullptr;
    while (member != nullptr) {
        DupMember* next = member->nextInFolder;
        if (!destroying && groups != nullptr) {
            groups->RemoveDupMember(*member);
        }
        delete member;
        member = next;
    }
}

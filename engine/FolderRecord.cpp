#include "engine/FolderRecord.h"

#include <vector>

#include "tree/TreeAccess.h"

namespace {

FolderRecord* FirstChild(TreeAccess& tree, const FolderRecord& record)
{
    return static_cast<FolderRecord*>(tree.FirstChildRecord(record));
}

FolderRecord* NextSibling(TreeAccess& tree, const FolderRecord& record)
{
    return static_cast<FolderRecord*>(tree.NextSiblingRecord(record));
}

// One step of the upward propagation; true when the totals or the pending
// state of record changed, so that the parent must be looked at again.
bool RecomputeTotals(TreeAccess& tree, FolderRecord& record)
{
    FileSize max;
    bool changed = false;
    if (record.Has(FolderRecord::OwnSizeKnown)) {
        record.treeSize = record.ownSize;
        record.treeDiskSpace = record.ownDiskSpace;
        bool complete = true;
        for (FolderRecord* child = FirstChild(tree, record); child != nullptr;
             child = NextSibling(tree, *child)) {
            if (child->Has(FolderRecord::TreeSizeKnown)) {
                record.treeSize += child->treeSize;
                record.treeDiskSpace += child->treeDiskSpace;
                if (max < child->treeDiskSpace) {
                    max = child->treeDiskSpace;
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
        bool waiting = false;
        for (FolderRecord* child = FirstChild(tree, record); child != nullptr && !waiting;
             child = NextSibling(tree, *child)) {
            waiting =
                child->Has(FolderRecord::SizeQueued) || child->Has(FolderRecord::TreeSizePending);
        }
        if (!waiting) {
            record.Clear(FolderRecord::TreeSizePending);
            changed = true;
        }
    }
    if (!changed) {
        return false;
    }
    for (FolderRecord* child = FirstChild(tree, record); child != nullptr;
         child = NextSibling(tree, *child)) {
        child->siblingMaxDiskSpace = max;
        tree.RefreshItemLabel(*child);
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
    for (FolderRecord* record = this; record != nullptr;
         record = static_cast<FolderRecord*>(record->parent)) {
        if (!RecomputeTotals(tree, *record) || record->parent == nullptr) {
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
    for (FolderRecord* record = this; record != nullptr;
         record = static_cast<FolderRecord*>(record->parent)) {
        if (record->Has(DupsQueued)) {
            return;
        }
        for (FolderRecord* child = FirstChild(tree, *record); child != nullptr;
             child = NextSibling(tree, *child)) {
            if (child->Has(DupsQueued) || child->Has(TreeDupsPending)) {
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

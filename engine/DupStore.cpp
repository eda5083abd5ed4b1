#include "engine/DupStore.h"

#include <mutex>

#include <QObject>
#include <QTimer>

#include "engine/DupGroup.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/FolderListDisplay.h"
#include "engine/FolderRecord.h"
#include "model/TreeAccess.h"

DupStore::DupStore(TreeAccess& tree, QObject& context) : m_tree(tree), m_context(context) {}

DupStore::~DupStore() = default;

void DupStore::SetDisplays(DuplicatesDisplay* duplicates, FolderListDisplay* fileList)
{
    m_display = duplicates;
    m_fileList = fileList;
}

void DupStore::RemoveFileFromFolder(FolderRecord& folder, DupMember& member)
{
    std::lock_guard lock(m_tree.DataLock());
    folder.RemoveDuplicateMember(&member);
    RemoveDupMember(member);
    delete &member;
}

void DupStore::ClearFolderDuplicates(const FolderRecordRef& folder)
{
    std::lock_guard lock(m_tree.DataLock());
    if (FolderRecord* record = folder.Get()) {
        record->ClearDuplicates(false, this);
    }
}

void DupStore::RemoveDupMember(DupMember& member)
{
    std::lock_guard lock(m_tree.DataLock());
    // A listed file may have lost its mark's meaning: the leaving one, or
    // the copy now left alone.
    const auto listed = [](const DupMember* file) {
        return file != nullptr && file->folder != nullptr &&
               file->folder->Has(FolderRecord::InFileList);
    };
    if (member.IsPending()) {
        if (m_table.UnlinkPending(&member)) {
            member.SetIdentity(0, 0);
            if (listed(&member)) {
                RefreshListMarksLater();
            }
        }
        return;
    }
    DupGroup* group = member.group;
    if (group == nullptr || !group->RemoveMember(member)) {
        return;
    }
    member.group = nullptr;
    if (listed(&member) || (group->IsSingle() && listed(group->FirstMember()))) {
        RefreshListMarksLater();
    }
    if (group->IsEmpty()) {
        DropGroup(*group);
    } else if (m_display != nullptr) {
        m_display->RefreshGroup(*group);
    }
}

void DupStore::RefreshListMarksLater()
{
    if (m_listMarksStale) {
        return;
    }
    m_listMarksStale = true;
    // Once per turn of the event loop, however many members left.
    QTimer::singleShot(0, &m_context, [this] {
        m_listMarksStale = false;
        if (m_fileList != nullptr) {
            m_fileList->RefreshMarks();
        }
    });
}

void DupStore::DropGroup(DupGroup& group)
{
    std::lock_guard lock(m_tree.DataLock());
    {
        std::lock_guard references(m_references);
        m_references.Forget(&group);
    }
    if (m_display != nullptr) {
        m_display->RemoveGroup(group);
    }
    // Every group with a member lies in the table; one that does not is not
    // this table's to free.
    if (m_table.Unlink(&group)) {
        delete &group;
    }
}

void DupStore::ClearAll()
{
    std::lock_guard lock(m_tree.DataLock());
    if (TreeItemRecord* root = m_tree.RootRecord()) {
        m_tree.ForEachInSubtree(*root, [](TreeItemRecord& record) {
            static_cast<FolderRecord&>(record).ClearDuplicates(true, nullptr);
        });
    }
    {
        std::lock_guard references(m_references);
        m_references.ForgetAll<DupGroup>();
    }
    m_table.Clear();
}

void DupStore::ClearSubtree(FolderRecord& folder)
{
    m_tree.ForEachInSubtree(folder, [this](TreeItemRecord& record) {
        static_cast<FolderRecord&>(record).ClearDuplicates(false, this);
    });
}

bool DupStore::SubtreeSearched(FolderRecord& folder) const
{
    bool searched = false;
    m_tree.ForEachInSubtree(folder, [&searched](TreeItemRecord& record) {
        searched = searched || static_cast<FolderRecord&>(record).Has(FolderRecord::DupsKnown);
    });
    return searched;
}

bool DupStore::SubtreeHasCopies(FolderRecord& folder) const
{
    bool found = false;
    m_tree.ForEachInSubtree(folder, [&found](TreeItemRecord& record) {
        for (const DupMember* member = static_cast<FolderRecord&>(record).duplicates;
             member != nullptr && !found; member = member->nextInFolder) {
            found = member->group != nullptr && member->group->MemberCount() > 1;
        }
    });
    return found;
}

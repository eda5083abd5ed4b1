#include "engine/FindDupFileTask.h"

#include <memory>
#include <mutex>

#include <QFile>

#include "engine/DupFileList.h"
#include "engine/DupTable.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/WindowMessages.h"
#include "platform/DirectorySearch.h"
#include "platform/MessageQueue.h"
#include "resources/StringTable.h"
#include "tree/TreeAccess.h"

FindDupFileTask::FindDupFileTask(const DupSearchContext& context, FolderRecord& folder,
                                 std::string folderPath)
    : m_context(context), m_folder(context.references, &folder), m_folderPath(std::move(folderPath))
{
}

void FindDupFileTask::PostStatus() const
{
    if (m_context.statusWindow == 0) {
        return;
    }
    const QString text = resources::StringTable::Format(
        resources::IDS_SCANNING, {QFile::decodeName(QByteArray::fromStdString(m_folderPath))});
    platform::MessageQueue::Instance().PostText(m_context.statusWindow, UM_STATUS_TEXT,
                                                QFile::encodeName(text).toStdString(), 0);
}

void FindDupFileTask::Run()
{
    PostStatus();
    // Sent, not posted, and with no lock held: the UI thread clears the
    // folder's earlier members under the tree-data lock before any new one
    // is added.
    platform::MessageQueue::Instance().Send(m_context.clearWindow, UM_CLEAR_FOLDER_DUPS,
                                            reinterpret_cast<platform::WParam>(&m_folder), 0);
    {
        std::lock_guard lock(m_context.tree.DataLock());
        const FolderRecord* folder = m_folder.Get();
        // Members left from an earlier search would meet the same files
        // again, each file then its own copy.
        if (folder == nullptr || folder->duplicates != nullptr) {
            return;
        }
    }
    // Without a path there is nothing to list (an empty pattern would name
    // the current directory).
    platform::DirectorySearch search;
    platform::FindData entry;
    if (m_folderPath.empty() || IsCancelling() || !search.Start(m_folderPath + "*", entry)) {
        return;
    }
    do {
        // The listing's own entry tells the type and size, so nothing else
        // is opened and an empty file is not read at all.
        if (entry.isRegularFile && entry.Size() != 0) {
            ProcessFile(entry);
        }
    } while (!IsCancelling() && !m_folder.IsNull() && search.Next(entry));
    search.Close();
}

void FindDupFileTask::ProcessFile(const platform::FindData& entry)
{
    const std::string path = m_folderPath + entry.name;
    // Size and identity come from the same open as the hash, so they
    // describe the bytes that were hashed.
    const std::optional<FileHead> head = HeadHash(path);
    if (!head || head->size == 0) {
        return;
    }

    std::unique_lock lock(m_context.tree.DataLock());
    DupTable& table = m_context.table;
    auto newGroup = [&] {
        auto group = std::make_unique<DupGroup>(head->hash, head->size);
        if (AddMember(*group, entry.name, *head)) {
            // The bucket is read again here: it may have changed while the
            // lock was released for a comparison.
            table.Append(group.release());
        }
    };

    // Declared after the lock, so destroyed while it is still held.
    std::list<DupGroupRef> candidates;
    for (DupGroup* group = table.Chain(DupTable::BucketOf(head->hash, head->size));
         group != nullptr; group = group->next) {
        if (group->headHash == head->hash && group->size == head->size) {
            candidates.emplace_back(m_context.references, group);
        }
    }
    const auto stop = [this] {
        if (m_comparisonHook) {
            m_comparisonHook();
        }
        return IsCancelling();
    };
    for (DupGroupRef& candidate : candidates) {
        DupGroup* group = candidate.Get();
        // A link to a file already in the group is that file, not a copy.
        if (group == nullptr || group->FirstMember() == nullptr ||
            group->HoldsFile(head->device, head->inode)) {
            continue;
        }
        const std::string otherPath = group->FirstMember()->FullPath();
        lock.unlock();
        const bool same = SameContents(path, otherPath, stop);
        lock.lock();
        group = candidate.Get();
        if (same && group != nullptr) {
            if (AddMember(*group, entry.name, *head)) {
                Touch(*group);
            }
            return;
        }
    }
    newGroup();
}

bool FindDupFileTask::AddMember(DupGroup& group, const std::string& name, const FileHead& head)
{
    FolderRecord* folder = m_folder.Get();
    if (folder == nullptr) {
        return false;
    }
    DupMember* earlier = group.IsSingle() ? group.FirstMember() : nullptr;
    auto* member = new DupMember;
    member->folder = folder;
    member->name = name;
    member->group = &group;
    member->device = head.device;
    member->inode = head.inode;
    folder->AddDuplicateMember(member);
    group.InsertMemberLink(new DupLink{nullptr, member});

    ReportState(*member, group.IsSingle());
    if (earlier != nullptr) {
        ReportState(*earlier, false);
    }
    return true;
}

void FindDupFileTask::ReportState(const DupMember& member, bool single) const
{
    DupFileList* list = m_context.fileList;
    if (list == nullptr) {
        return;
    }
    const DupFileList::Shown shown = list->ShownFolder();
    if (shown.folder == nullptr || shown.folder != member.folder) {
        return;
    }
    platform::MessageQueue::Instance().PostText(list->DupStateWindow(), UM_FILE_DUP_STATE,
                                                member.name,
                                                DupStateLParam(shown.generation, single));
}

void FindDupFileTask::Touch(DupGroup& group)
{
    for (const DupGroupRef& reference : m_touched) {
        if (reference.Get() == &group) {
            return;
        }
    }
    m_touched.emplace_back(m_context.references, &group);
}

void FindDupFileTask::Deliver()
{
    std::lock_guard lock(m_context.tree.DataLock());
    FolderRecord* folder = m_folder.Get();
    if (folder != nullptr) {
        folder->Set(FolderRecord::DupsKnown);
        folder->Clear(FolderRecord::DupsQueued);
        folder->UpdateDupsPending(m_context.tree);
    }
    for (const DupGroupRef& reference : m_touched) {
        if (DupGroup* group = reference.Get(); group != nullptr && m_context.display != nullptr) {
            m_context.display->AddOrUpdateGroup(*group);
        }
    }
    m_touched.clear();
    if (folder != nullptr && m_context.fileList != nullptr) {
        m_context.fileList->MarkFolderSearched(*folder);
    }
}

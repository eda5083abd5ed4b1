#include "engine/FindDupFileTask.h"

#include <memory>
#include <mutex>
#include <utility>

#include "engine/DupFileList.h"
#include "engine/DupTable.h"
#include "engine/DuplicatesDisplay.h"
#include "engine/WindowMessages.h"
#include "platform/FolderHandle.h"
#include "platform/MessageQueue.h"
#include "model/TreeAccess.h"

namespace {

bool HasFilesToRead(const FolderListing& listing)
{
    for (const FolderListing::Entry& entry : listing.Entries()) {
        if (entry.isRegularFile && entry.size != 0) {
            return true;
        }
    }
    return false;
}

// Whether folder is the folder that listing listed, by the identity of its
// "." entry.
bool IsListedFolder(const FolderListing& listing, const platform::FolderHandle& folder)
{
    for (const FolderListing::Entry& entry : listing.Entries()) {
        if (listing.NameOf(entry) == ".") {
            return entry.device == folder.Device() && entry.inode == folder.Inode();
        }
    }
    return false;
}

}  // namespace

FindDupFileTask::FindDupFileTask(const DupSearchContext& context, FolderRecord& folder,
                                 std::string folderPath, std::shared_ptr<FolderListing> listing)
    : m_context(context),
      m_folder(context.references, &folder),
      m_folderPath(std::move(folderPath)),
      m_listing(std::move(listing))
{
}

void FindDupFileTask::Run()
{
    // Only this task adds members to its folder, so a folder without any
    // now has none to clear, and the worker need not wait for the UI thread.
    bool clear = false;
    {
        std::lock_guard lock(m_context.tree.DataLock());
        const FolderRecord* folder = m_folder.Get();
        if (folder == nullptr) {
            return;
        }
        clear = folder->duplicates != nullptr;
    }
    if (clear) {
        // Sent, not posted, and with no lock held: the UI thread clears the
        // folder's earlier members under the tree-data lock before any new
        // one is added.
        platform::MessageQueue::Instance().Send(m_context.clearWindow, UM_CLEAR_FOLDER_DUPS,
                                                reinterpret_cast<platform::WParam>(&m_folder), 0);
    }
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
    if (m_folderPath.empty() || IsCancelling()) {
        return;
    }
    // A type-only listing lacks the sizes and identities.
    std::shared_ptr<FolderListing> listing = m_listing;
    if (!listing || listing->Detail() != platform::SearchDetail::Full) {
        listing = std::make_shared<FolderListing>(m_folderPath, platform::SearchDetail::Full);
    }
    if (!listing->Fill(*this) || !HasFilesToRead(*listing)) {
        return;
    }
    // The files are opened by name in the folder that was listed: a folder
    // put in its place since is listed again.
    platform::FolderHandle folder;
    if (!folder.Open(m_folderPath) || !IsListedFolder(*listing, folder)) {
        listing = std::make_shared<FolderListing>(m_folderPath, platform::SearchDetail::Full);
        if (!listing->Fill(*this) || !folder.Open(m_folderPath) ||
            !IsListedFolder(*listing, folder)) {
            return;
        }
    }
    SearchListing(*listing, folder.Descriptor());
}

void FindDupFileTask::SearchListing(const FolderListing& listing, int folder)
{
    // The next files of the listing wait in a small window. Each is opened
    // as it enters it, and one that cannot be opened is skipped there: even
    // a file whose head waits unread is only recorded once it could be
    // opened. For those whose heads will be read the kernel is asked to
    // fetch the heads at once, so that on a cold cache the reads of several
    // files overlap; the files are then filed in listing order.
    const std::vector<FolderListing::Entry>& entries = listing.Entries();
    std::array<Upcoming, kReadAhead> window;
    std::size_t first = 0;
    std::size_t count = 0;
    std::size_t listed = 0;  // the first entry not yet taken
    std::string name;        // reused, for its terminating NUL
    while (!IsCancelling() && !m_folder.IsNull()) {
        for (; listed < entries.size() && count < window.size(); ++listed) {
            // The listing's own entry tells the type and size, so what is
            // no regular file, or is empty, is not even opened.
            const FolderListing::Entry& entry = entries[listed];
            if (!entry.isRegularFile || entry.size == 0) {
                continue;
            }
            Upcoming& next = window[(first + count) % window.size()];
            name.assign(listing.NameOf(entry));
            if (!next.reader.Open(folder, name.c_str())) {
                continue;
            }
            next.entry = &entry;
            if (WillBeRead(entry.size, window, first, count)) {
                next.reader.AdviseWillNeed(kHeadHashBytes);
            }
            ++count;
        }
        if (count == 0) {
            break;
        }
        Upcoming& current = window[first];
        name.assign(listing.NameOf(*current.entry));
        ProcessFile(*current.entry, name, current.reader);
        current.reader.Close();
        first = (first + 1) % window.size();
        --count;
    }
    // The files still open in the window are closed with it.
}

bool FindDupFileTask::WillBeRead(std::uint64_t size, const std::array<Upcoming, kReadAhead>& window,
                                 std::size_t first, std::size_t count) const
{
    for (std::size_t i = 0; i < count; ++i) {
        if (window[(first + i) % window.size()].entry->size == size) {
            return true;
        }
    }
    std::lock_guard lock(m_context.tree.DataLock());
    return m_context.table.PendingOfSize(size) != nullptr || m_context.table.MayHoldSize(size);
}

void FindDupFileTask::ProcessFile(const FolderListing::Entry& entry, const std::string& name,
                                  platform::FileReader& opened)
{
    const std::uint64_t size = entry.size;
    std::unique_lock lock(m_context.tree.DataLock());
    DupTable& table = m_context.table;
    DupMember* pending = table.PendingOfSize(size);
    if (pending == nullptr && !table.MayHoldSize(size)) {
        // The first file of its size has nothing to be a copy of yet: it
        // waits pending, unread, until a second file of its size turns up.
        AddMember(nullptr, name, FileHead{0, size, 0, 0});
        return;
    }

    // A file filed by its hash could be a copy of the pending file of its
    // size: that one is read now and filed in a group of its own first.
    std::string pendingPath;
    if (pending != nullptr) {
        pendingPath = pending->FullPath();
    }
    lock.unlock();
    const std::string path = m_folderPath + name;
    const std::optional<FileHead> head = ReadHead(path, &opened);
    std::optional<FileHead> pendingHead;
    if (platform::FileReader pendingFile; pending != nullptr && pendingFile.Open(pendingPath)) {
        // A link to this file, as the opens find them (the listing's inode
        // of a file since removed may have been given to another), is read
        // once.
        const bool thisFile =
            head && pendingFile.Device() == head->device && pendingFile.Inode() == head->inode;
        pendingHead = thisFile ? head : ReadHead(pendingPath, &pendingFile);
    }
    lock.lock();
    // Unless the pending member left meanwhile (its folder was cleared, its
    // file deleted). Only this task makes members, so the member pending
    // for this size now is that one or none, never a new one in its place.
    if (pending != nullptr && table.PendingOfSize(size) == pending) {
        table.UnlinkPending(pending);
        if (pendingHead) {
            auto* group = new DupGroup(pendingHead->hash, size);
            pending->FileIn(*group, pendingHead->device, pendingHead->inode);
            table.Append(group);
        } else {
            DropUnread(*pending);
        }
    }
    // A size from the open other than the listing's: the file changed while
    // it was being searched, and is left out.
    if (!head || head->size != size) {
        return;
    }
    FileByHash(name, path, *head, lock);
}

void FindDupFileTask::FileByHash(const std::string& name, const std::string& path,
                                 const FileHead& head, std::unique_lock<TreeDataLock>& lock)
{
    DupTable& table = m_context.table;
    auto newGroup = [&] {
        auto group = std::make_unique<DupGroup>(head.hash, head.size);
        if (AddMember(group.get(), name, head)) {
            // The bucket is read again here: it may have changed while the
            // lock was released for a comparison.
            table.Append(group.release());
        }
    };

    // Destroyed on return, while the lock is held.
    std::list<DupGroupRef> candidates;
    for (DupGroup* group = table.Chain(DupTable::BucketOf(head.hash, head.size)); group != nullptr;
         group = group->next) {
        if (group->headHash == head.hash && group->size == head.size) {
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
            group->HoldsFile(head.device, head.inode)) {
            continue;
        }
        const std::string otherPath = group->FirstMember()->FullPath();
        lock.unlock();
        const bool same = SameContents(path, otherPath, stop);
        lock.lock();
        group = candidate.Get();
        if (same && group != nullptr) {
            if (AddMember(group, name, head)) {
                Touch(*group);
            }
            return;
        }
    }
    newGroup();
}

void FindDupFileTask::DropUnread(DupMember& member)
{
    member.folder->RemoveDuplicateMember(&member);
    delete &member;
}

bool FindDupFileTask::AddMember(DupGroup* group, const std::string& name, const FileHead& head)
{
    // Cancelled first, then emptied under this lock by a reset or by the
    // search being switched off: a cancel seen here files nothing, and one
    // that comes after is followed by the emptying.
    FolderRecord* folder = m_folder.Get();
    if (folder == nullptr || IsCancelling()) {
        return false;
    }
    DupMember* member = DupMember::Make(name);
    member->folder = folder;
    folder->AddDuplicateMember(member);
    if (group == nullptr) {
        member->Wait(head.size);
        m_context.table.AppendPending(member);
        ReportState(*member, true);
        return true;
    }
    DupMember* earlier = group->IsSingle() ? group->FirstMember() : nullptr;
    member->FileIn(*group, head.device, head.inode);

    ReportState(*member, group->IsSingle());
    if (earlier != nullptr) {
        ReportState(*earlier, false);
    }
    return true;
}

std::optional<FileHead> FindDupFileTask::ReadHead(const std::string& path,
                                                  platform::FileReader* opened) const
{
    if (m_headReadHook) {
        m_headReadHook(path);
    }
    return opened != nullptr && opened->IsOpen() ? HeadHash(*opened) : HeadHash(path);
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
                                                std::string(member.Name()),
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

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "engine/DupGroup.h"
#include "engine/FileComparison.h"
#include "engine/FolderListing.h"
#include "engine/FolderRecord.h"
#include "engine/Task.h"
#include "platform/FileReader.h"
#include "platform/MessageWindow.h"
#include "model/TreeDataLock.h"

class DupFileList;
class DupTable;
class DuplicatesDisplay;
class TreeAccess;
class TrackedReferences;

// What a duplicate search works with, all belonging to the scanned tree
// and the main windows. Every object named here outlives the tasks made with
// it: their owner cancels all tasks and waits for the worker to be idle
// (TaskManager::WaitUntilIdle) before it frees any of them.
struct DupSearchContext {
    TreeAccess& tree;               // its DataLock() guards all duplicate data
    TrackedReferences& references;  // of folders and groups
    DupTable& table;
    // Receives UM_CLEAR_FOLDER_DUPS (the main view); required.
    platform::WindowHandle clearWindow = 0;
    DupFileList* fileList = nullptr;       // null: no marks, no end notice
    DuplicatesDisplay* display = nullptr;  // null: groups are not shown
};

// Files every file of one folder into the DupTable: files of equal size
// whose first 8192 bytes hash alike are compared in full with the first
// member of each such group, and join the first group whose contents match;
// a file that matches none starts a group of its own. A file is read only
// once a second file of its size is known: the first one of a size waits
// unread (though opened once), a pending member in no group
// (DupMember::IsPending), until then. Empty files are left out; only regular files are read; two
// links to one file (same device and inode) never share a group.
//
// UI thread: construct, hand to TaskManager::Add. Worker, Run():
//  1. when the folder has members of an earlier search, sends
//     UM_CLEAR_FOLDER_DUPS with its FolderRecordRef to clearWindow and waits:
//     they leave their groups. If they are still there afterwards (the
//     window is gone or the program is shutting down), the run ends;
//  2. reads the folder's listing (see below) and files each regular,
//     non-empty file that can be opened, in listing order, under the
//     tree-data lock except around the reads. The next files are opened
//     ahead, at most kReadAhead held open, all closed when the run ends;
//     the heads of those that will be read are asked of the kernel then. A
//     file whose size changes while it is searched is left out, and so is a
//     pending file that cannot be read when a second file of its size turns
//     up. When a file of the folder
//     that the file list shows joins a group, UM_FILE_DUP_STATE is posted
//     for it (and for the group's earlier member when it gains its second).
// The listing is the one shared with the other tasks of the folder when it
// was given one made with SearchDetail::Full (filled here unless a task
// before did), else the task's own; its entries are opened by name in the
// folder, opened once per run. Should the folder at the path no longer be
// the one listed (its device and inode differ from those of the listing's
// "."), the task lists it again itself.
// It stops between files once cancelled, and a comparison under way then
// answers "different" at its next block. Members added before stay; once
// cancelled it files nothing more and posts no mark (the cancel is looked at
// under the tree-data lock with each filing, so that what a reset or the
// switching off of the search empties after cancelling stays empty).
// UI thread, Deliver(), under the tree-data lock: the folder gets DupsKnown
// and loses DupsQueued (UpdateDupsPending), each group that gained a member
// through a confirmed match and still exists goes to the display's
// AddOrUpdateGroup, and the file list's MarkFolderSearched (folder). Nothing
// of the folder when its record was destroyed meanwhile.
// The destructor takes no lock but the reference lock.
class FindDupFileTask : public Task {
public:
    // folderPath ends with a separator; listing, when given, is of that
    // folder and shared with the folder's other tasks (see FolderListing).
    FindDupFileTask(const DupSearchContext& context, FolderRecord& folder, std::string folderPath,
                    std::shared_ptr<FolderListing> listing = nullptr);

    void Run() override;
    void Deliver() override;
    const char* GetName() const override { return "FindDupFileTask"; }
    std::string_view StatusFolder() const override { return m_folderPath; }

    // For tests: called on the worker each time a content comparison asks
    // whether to go on (before its first block and after each block).
    void SetComparisonHookForTesting(std::function<void()> hook)
    {
        m_comparisonHook = std::move(hook);
    }
    // For tests: called on the worker with the path of each file whose
    // head is about to be read.
    void SetHeadReadHookForTesting(std::function<void(const std::string&)> hook)
    {
        m_headReadHook = std::move(hook);
    }

private:
    // A file of the folder's listing waiting for its turn, open in reader.
    struct Upcoming {
        const FolderListing::Entry* entry = nullptr;
        platform::FileReader reader;
    };
    static constexpr std::size_t kReadAhead = 16;

    // Whether a file of this size will have its head read when its turn
    // comes: a file of its size is in the table or waits before it in the
    // window (count entries from first). Takes the tree-data lock.
    [[nodiscard]] bool WillBeRead(std::uint64_t size,
                                  const std::array<Upcoming, kReadAhead>& window, std::size_t first,
                                  std::size_t count) const;
    // Files the entries of listing, in the folder open as folder.
    void SearchListing(const FolderListing& listing, int folder);
    // Takes the tree-data lock, and releases it around the reads. opened is
    // the file named name, opened ahead.
    void ProcessFile(const FolderListing::Entry& entry, const std::string& name,
                     platform::FileReader& opened);
    // Holding lock (the tree-data lock), except around the content
    // comparisons: files the file at path, whose head was read, by its hash
    // and size.
    void FileByHash(const std::string& name, const std::string& path, const FileHead& head,
                    std::unique_lock<TreeDataLock>& lock);
    // Without the tree-data lock. Reads from opened when it is not null and
    // holds the file open, else opens path.
    [[nodiscard]] std::optional<FileHead> ReadHead(const std::string& path,
                                                   platform::FileReader* opened) const;
    // Under the tree-data lock: a pending member, out of the table, whose
    // file could not be read when a second file of its size came, leaves
    // its folder and is freed: it was never searched. The file list keeps
    // the mark it was given when it was filed until it fills again.
    void DropUnread(DupMember& member);
    // Under the tree-data lock: a new member of the task's folder in group,
    // or pending for a file of head.size when group is null; false (nothing
    // made) when the folder's record is gone or the task is cancelled.
    bool AddMember(DupGroup* group, const std::string& name, const FileHead& head);
    void ReportState(const DupMember& member, bool single) const;
    // Under the tree-data lock: notes group for the delivery, once.
    void Touch(DupGroup& group);

    DupSearchContext m_context;
    FolderRecordRef m_folder;
    std::string m_folderPath;
    std::shared_ptr<FolderListing> m_listing;  // null: none shared
    // Groups that gained a member by a confirmed match, in order, each once.
    std::list<DupGroupRef> m_touched;
    std::function<void()> m_comparisonHook;
    std::function<void(const std::string&)> m_headReadHook;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DirectorySearch.h"

class Task;

// One directory search of a folder, kept so that the tasks queued together
// for that folder (its subfolders, its size, its duplicate search) read the
// folder once between them instead of once each.
//
// Threads and ownership: made on the UI thread by whoever queues the batch
// and handed, as a std::shared_ptr, to each task of the batch before the
// tasks are added to the TaskManager; after that the UI thread does not
// touch it. On the worker, the first task to run calls Fill(), which lists
// the folder; the later tasks call Fill() too, which then returns at once,
// and read the entries. The worker runs the tasks one after the other and
// the queue lock orders the hand-over from one task to the next, so the
// listing has no lock of its own. It is freed with the last task that holds
// it, on the UI thread (after delivery, or by a cancel).
//
// Contents: every entry the search returns, "." and ".." included, in the
// file system's order, with the fields of platform::FindData that the
// chosen detail fills (SearchDetail::TypeOnly: names and the directory
// attribute only). Names are raw bytes, kept end to end in one buffer.
class FolderListing {
public:
    struct Entry {
        std::uint32_t nameOffset = 0;  // into the name buffer; see NameOf
        std::uint32_t nameLength = 0;
        std::uint32_t attributes = 0;  // platform::kAttribute...
        bool isRegularFile = false;
        std::uint64_t size = 0;           // bytes
        std::uint64_t occupiedBytes = 0;  // a whole number of the volume's blocks
        std::int64_t lastWriteTime = 0;   // nanoseconds since 1970-01-01 UTC
        std::uint64_t device = 0;
        std::uint64_t inode = 0;

        bool IsDirectory() const { return (attributes & platform::kAttributeDirectory) != 0; }
    };

    // folderPath ends with a separator; detail is what the readers need:
    // Full when any of them reads more than names and types.
    FolderListing(std::string folderPath, platform::SearchDetail detail);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;

    const std::string& FolderPath() const { return m_folderPath; }
    platform::SearchDetail Detail() const { return m_detail; }
    // After Fill() answered true: the allocation unit of the folder's volume
    // as the search found it (DirectorySearch::AllocationUnit); 0: unknown.
    [[nodiscard]] std::uint32_t AllocationUnit() const { return m_allocationUnit; }

    // Worker: lists the folder unless that was done already, and answers
    // whether the folder could be listed. reader's IsCancelling() is polled
    // between entries; a listing it stopped counts as not done, so that the
    // next reader lists again.
    [[nodiscard]] bool Fill(const Task& reader);
    // Fill() has completed (the folder was listed, or could not be).
    [[nodiscard]] bool IsFilled() const { return m_state != State::Unlisted; }

    // Valid after Fill() answered true.
    std::size_t Count() const { return m_entries.size(); }
    const std::vector<Entry>& Entries() const { return m_entries; }
    // Valid until the listing is filled again or destroyed.
    std::string_view NameOf(const Entry& entry) const
    {
        return std::string_view(m_names).substr(entry.nameOffset, entry.nameLength);
    }

private:
    enum class State { Unlisted, Listed, Unreadable };

    std::string m_folderPath;
    platform::SearchDetail m_detail;
    State m_state = State::Unlisted;
    std::uint32_t m_allocationUnit = 0;
    std::vector<Entry> m_entries;
    std::string m_names;
};

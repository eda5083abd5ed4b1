#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileSize.h"
#include "engine/FolderListing.h"
#include "engine/FolderRecord.h"
#include "engine/Task.h"
#include "platform/DirectorySearch.h"
#include "platform/MessageWindow.h"
#include "platform/MountTable.h"

class TreeAccess;

// The disk space of one file as a directory search describes it. A file
// that occupies fewer bytes than its size (the compressed attribute: sparse
// or compressed) counts what it occupies, which is already a whole number of
// the volume's blocks and is not rounded again. Any other file counts its
// size rounded up to whole allocation units; a cluster size of 0 or 1 means
// no rounding. Thread-safe; makes no query.
FileSize AllocatedSize(const platform::FindData& entry, std::uint32_t clusterSize);
// The same from the entry's attributes, size and occupied bytes.
FileSize AllocatedSize(std::uint32_t attributes, std::uint64_t size, std::uint64_t occupiedBytes,
                       std::uint32_t clusterSize);

// The allocation unit of the volume that holds path, in bytes; 0 when it
// cannot be found. A volume served over the network or by a user-space
// daemon is not asked from the UI thread (its server may be gone): 0, which
// the caller stores as 1, and the size scan learns the unit on the worker
// (ScanAllocationUnit).
std::uint32_t GetClusterSize(const std::string& path);
// The same against a given mount table.
std::uint32_t GetClusterSize(const std::string& path,
                             const std::vector<platform::MountEntry>& mountTable);
// The unit a size scan rounds by: the folder record's (recordUnit, from
// GetClusterSize) when it is known (above 1); otherwise the unit that the
// worker's listing of the folder found (listedUnit; 0: none), and failing
// that recordUnit.
std::uint32_t ScanAllocationUnit(std::uint32_t recordUnit, std::uint32_t listedUnit);

// Measures one folder: the sum of the sizes of the files directly in it and
// the sum of the disk space they occupy, and the list of those files with
// each one's size, disk space and family (FolderFiles).
//
// UI thread: construct (the folder's clusterSize is copied now), hand to
// TaskManager::Add. Worker: Run() sums the directory entries. UI thread:
// Deliver() takes the tree-data lock, stores the sums in the record
// (OwnSizeKnown) and moves the list of files into it (replacing an earlier
// one), clears SizeQueued and propagates the totals (which relabels and
// re-sorts the tree); nothing when the record has been
// destroyed meanwhile (its reference is null). tree and references must
// outlive the task's delivery.
//
// Given a FolderListing shared with the other tasks of its folder (made with
// SearchDetail::Full), Run() sums that listing's entries, filling it first
// if no task before did; without one it lists the folder itself.
class FindSizeTask : public Task {
public:
    // folderPath ends with a separator.
    FindSizeTask(TreeAccess& tree, TrackedReferences& references, FolderRecord& folder,
                 std::string folderPath, std::shared_ptr<FolderListing> listing = nullptr);

    void Run() override;
    void Deliver() override;
    const char* GetName() const override { return "FindSizeTask"; }
    std::string_view StatusFolder() const override { return m_folderPath; }

    FileSize Size() const { return m_size; }
    FileSize DiskSpace() const { return m_diskSpace; }

private:
    void SumOwnListing(FolderFiles::Builder& builder);
    void SumSharedListing(FolderFiles::Builder& builder);
    // Counts one file (not a directory) in the sums and the list.
    void AddFile(FolderFiles::Builder& builder, std::string_view name, FileSize size,
                 FileSize diskSpace);

    TreeAccess& m_tree;
    FolderRecordRef m_folder;
    std::string m_folderPath;
    std::uint32_t m_clusterSize;
    std::shared_ptr<FolderListing> m_listing;
    FileSize m_size;
    FileSize m_diskSpace;
    std::unique_ptr<FolderFiles> m_files;
};

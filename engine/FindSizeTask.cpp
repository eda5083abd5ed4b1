#include "engine/FindSizeTask.h"

#include <mutex>

#include "platform/FileQueries.h"
#include "platform/MountTable.h"
#include "model/TreeAccess.h"

FileSize AllocatedSize(const platform::FindData& entry, std::uint32_t clusterSize)
{
    return AllocatedSize(entry.attributes, entry.Size(), entry.occupiedBytes, clusterSize);
}

FileSize AllocatedSize(std::uint32_t attributes, std::uint64_t size, std::uint64_t occupiedBytes,
                       std::uint32_t clusterSize)
{
    if ((attributes & platform::kAttributeCompressed) != 0) {
        return FileSize::FromUnsigned(occupiedBytes);
    }
    FileSize result = FileSize::FromUnsigned(size);
    if (clusterSize > 1) {
        const std::uint64_t unit = clusterSize;
        const std::uint64_t bytes = static_cast<std::uint64_t>(result.Bytes());
        const std::uint64_t units = bytes / unit + (bytes % unit != 0 ? 1 : 0);
        // The product can only leave the signed range for sizes near 2^63;
        // FromUnsigned then saturates.
        result =
            units > UINT64_MAX / unit ? FileSize::Largest() : FileSize::FromUnsigned(units * unit);
    }
    return result;
}

std::uint32_t GetClusterSize(const std::string& path)
{
    return GetClusterSize(path, platform::MountTable::ReadCurrent());
}

std::uint32_t GetClusterSize(const std::string& path,
                             const std::vector<platform::MountEntry>& mountTable)
{
    const platform::MountEntry* mount = platform::MountTable::Containing(mountTable, path);
    if (mount != nullptr && platform::MountTable::IsRemote(*mount)) {
        return 0;
    }
    return platform::FileQueries::AllocationUnit(path);
}

std::uint32_t ScanAllocationUnit(std::uint32_t recordUnit, std::uint32_t listedUnit)
{
    return recordUnit > 1 || listedUnit == 0 ? recordUnit : listedUnit;
}

FindSizeTask::FindSizeTask(TreeAccess& tree, TrackedReferences& references, FolderRecord& folder,
                           std::string folderPath, std::shared_ptr<FolderListing> listing)
    : m_tree(tree),
      m_folder(references, &folder),
      m_folderPath(std::move(folderPath)),
      m_clusterSize(folder.clusterSize),
      m_listing(std::move(listing))
{
}

void FindSizeTask::Run()
{
    // The files are gathered in buffers that serve every folder this thread
    // measures, then packed into a block of the folder's exact size.
    thread_local FolderFiles::Builder builder;
    // A type-only listing lacks the sizes.
    if (m_listing && m_listing->Detail() == platform::SearchDetail::Full) {
        SumSharedListing(builder);
    } else {
        SumOwnListing(builder);
    }
    // A folder that cannot be listed gets an empty array, as its sizes are 0.
    m_files = builder.Build();
}

void FindSizeTask::SumSharedListing(FolderFiles::Builder& builder)
{
    if (!m_listing->Fill(*this)) {
        return;
    }
    const std::uint32_t unit = ScanAllocationUnit(m_clusterSize, m_listing->AllocationUnit());
    std::size_t count = 0;
    std::size_t nameBytes = 0;
    for (const FolderListing::Entry& entry : m_listing->Entries()) {
        if (!entry.IsDirectory()) {
            ++count;
            nameBytes += entry.nameLength;
        }
    }
    builder.Reserve(count, nameBytes);
    for (const FolderListing::Entry& entry : m_listing->Entries()) {
        if (!entry.IsDirectory()) {
            AddFile(builder, m_listing->NameOf(entry), FileSize::FromUnsigned(entry.size),
                    AllocatedSize(entry.attributes, entry.size, entry.occupiedBytes, unit));
        }
    }
}

void FindSizeTask::SumOwnListing(FolderFiles::Builder& builder)
{
    // Without a path there is nothing to list (an empty pattern would name
    // the current directory).
    platform::DirectorySearch search;
    platform::FindData entry;
    if (m_folderPath.empty() || !search.Start(m_folderPath + "*", entry)) {
        return;
    }
    const std::uint32_t unit = ScanAllocationUnit(m_clusterSize, search.AllocationUnit());
    do {
        if (!entry.IsDirectory()) {
            AddFile(builder, entry.name, FileSize::FromUnsigned(entry.Size()),
                    AllocatedSize(entry, unit));
        }
    } while (!IsCancelling() && search.Next(entry));
    search.Close();
}

void FindSizeTask::AddFile(FolderFiles::Builder& builder, std::string_view name, FileSize size,
                           FileSize diskSpace)
{
    m_size += size;
    m_diskSpace += diskSpace;
    builder.Add(name, size, diskSpace);
}

void FindSizeTask::Deliver()
{
    // The totals' propagation relabels and re-sorts the tree: every change
    // of its records and items happens under its lock.
    std::lock_guard lock(m_tree.DataLock());
    FolderRecord* folder = m_folder.Get();
    if (folder == nullptr) {
        return;
    }
    folder->SetOwnSizes(m_size, m_diskSpace);
    folder->files = std::move(m_files);
    folder->Clear(FolderRecord::SizeQueued);
    folder->UpdateTotals(m_tree);
}

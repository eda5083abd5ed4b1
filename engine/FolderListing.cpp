#include "engine/FolderListing.h"

#include <limits>

#include "engine/Task.h"

FolderListing::FolderListing(std::string folderPath, platform::SearchDetail detail)
    : m_folderPath(std::move(folderPath)), m_detail(detail)
{
}

bool FolderListing::Fill(const Task& reader)
{
    if (m_state != State::Unlisted) {
        return m_state == State::Listed;
    }
    // Room for a usual folder at once, rather than growing entry by entry.
    constexpr std::size_t kUsualEntries = 32;
    constexpr std::size_t kUsualNameBytes = 32 * kUsualEntries;
    m_entries.clear();
    m_names.clear();
    m_entries.reserve(kUsualEntries);
    m_names.reserve(kUsualNameBytes);
    // Without a path there is nothing to list (an empty pattern would name
    // the current directory).
    platform::DirectorySearch search;
    platform::FindData found;
    if (m_folderPath.empty() || !search.Start(m_folderPath + "*", found, m_detail)) {
        m_state = State::Unreadable;
        return false;
    }
    do {
        // Names are shorter than PATH_MAX; the buffer of one folder stays far
        // below 4 GiB, but a folder that would pass it keeps what fits.
        if (m_names.size() + found.name.size() > std::numeric_limits<std::uint32_t>::max()) {
            break;
        }
        Entry& entry = m_entries.emplace_back();
        entry.nameOffset = static_cast<std::uint32_t>(m_names.size());
        entry.nameLength = static_cast<std::uint32_t>(found.name.size());
        m_names.append(found.name);
        entry.attributes = found.attributes;
        entry.isRegularFile = found.isRegularFile;
        entry.size = found.Size();
        entry.occupiedBytes = found.occupiedBytes;
        entry.lastWriteTime = found.lastWriteTime;
        entry.device = found.device;
        entry.inode = found.inode;
    } while (!reader.IsCancelling() && search.Next(found));
    m_allocationUnit = search.AllocationUnit();
    search.Close();
    if (reader.IsCancelling()) {
        m_entries.clear();
        m_names.clear();
        return false;  // still Unlisted: a later reader lists the folder itself
    }
    m_state = State::Listed;
    return true;
}

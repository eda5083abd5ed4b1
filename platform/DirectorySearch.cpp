#include "platform/DirectorySearch.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/FileQueries.h"

namespace platform {

namespace {

// lstat semantics; an automount point is reported as it is, not mounted.
constexpr int kExamineFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Room for a few hundred entries per read: most folders take one read and
// the call that finds the end.
constexpr std::size_t kListingBufferBytes = 64 * 1024;

// The thread's spare listing buffer: a search takes it when it starts and
// gives it back when it closes, so that a walk allocates one buffer, not
// one per folder. A second search open at the same time on the thread
// makes its own.
thread_local std::unique_ptr<char[]> t_spareBuffer;

std::unique_ptr<char[]> TakeListingBuffer()
{
    if (t_spareBuffer) {
        return std::move(t_spareBuffer);
    }
    return std::make_unique_for_overwrite<char[]>(kListingBufferBytes);
}

void GiveBackListingBuffer(std::unique_ptr<char[]> buffer)
{
    if (buffer && !t_spareBuffer) {
        t_spareBuffer = std::move(buffer);
    }
}

std::int64_t Nanoseconds(const struct timespec& time)
{
    constexpr std::int64_t kPerSecond = 1000000000;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    // Times beyond the years 1677 to 2262 do not fit: they saturate.
    if (time.tv_sec >= kMax / kPerSecond) {
        return kMax;
    }
    if (time.tv_sec <= kMin / kPerSecond) {
        return kMin;
    }
    return std::int64_t{time.tv_sec} * kPerSecond + time.tv_nsec;
}

void FillFromStatus(const struct stat& status, std::uint32_t allocationUnit, FindData& entry)
{
    const auto size = static_cast<std::uint64_t>(status.st_size > 0 ? status.st_size : 0);
    const auto occupied = static_cast<std::uint64_t>(status.st_blocks) * 512;
    entry.attributes = 0;
    if (S_ISDIR(status.st_mode)) {
        entry.attributes |= kAttributeDirectory;
    } else if (FileQueries::IsCompressed(size, occupied, allocationUnit)) {
        entry.attributes |= kAttributeCompressed;
    }
    entry.sizeLow = static_cast<std::uint32_t>(size);
    entry.sizeHigh = static_cast<std::uint32_t>(size >> 32);
    entry.lastWriteTime = Nanoseconds(status.st_mtim);
    entry.occupiedBytes = occupied;
    entry.device = status.st_dev;
    entry.inode = status.st_ino;
    entry.isRegularFile = S_ISREG(status.st_mode);
}

void FillTypeOnly(bool isDirectory, FindData& entry)
{
    std::string name = std::move(entry.name);
    entry = FindData{};
    entry.name = std::move(name);
    entry.attributes = isDirectory ? kAttributeDirectory : 0;
}

std::uint32_t VolumeAllocationUnit(int folder, dev_t device)
{
    // A walk lists many folders of one volume in a row: the thread keeps
    // the unit of the last volume it asked about, for a second. A device
    // number names another volume only once the first is unmounted and
    // another mounted in its place, which takes longer than that.
    constexpr auto kKept = std::chrono::seconds(1);
    thread_local dev_t lastDevice = 0;
    thread_local std::uint32_t lastUnit = 0;
    thread_local std::chrono::steady_clock::time_point askedAt;
    const auto now = std::chrono::steady_clock::now();
    if (lastUnit != 0 && lastDevice == device && now - askedAt < kKept) {
        return lastUnit;
    }
    struct statvfs volume {};
    if (::fstatvfs(folder, &volume) != 0) {
        return 0;
    }
    const unsigned long unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    lastDevice = device;
    lastUnit = unit > std::numeric_limits<std::uint32_t>::max()
                   ? std::numeric_limits<std::uint32_t>::max()
                   : static_cast<std::uint32_t>(unit);
    askedAt = now;
    return lastUnit;
}

}  // namespace

DirectorySearch::~DirectorySearch() { Close(); }

bool DirectorySearch::Start(const std::string& pattern, FindData& entry, SearchDetail detail)
{
    Close();
    m_detail = detail;
    m_error = 0;
    m_skipError = 0;

    const bool listing = pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, "/*") == 0;
    if (!listing) {
        return StartSingle(pattern, entry);
    }

    m_folder.assign(pattern, 0, pattern.size() - 1);
    m_folderDescriptor = ::open(m_folder.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_DIRECTORY);
    if (m_folderDescriptor < 0) {
        m_error = errno;
        m_folder.clear();
        return false;
    }
    // Examining "." by name, unlike fstat, fails for a folder whose names
    // can be read but whose entries cannot be examined: such a folder
    // cannot be listed.
    if (::fstatat(m_folderDescriptor, ".", &m_folderStatus, kExamineFlags) != 0) {
        m_error = errno;
        Close();
        return false;
    }
    m_allocationUnit = detail == SearchDetail::Full
                           ? VolumeAllocationUnit(m_folderDescriptor, m_folderStatus.st_dev)
                           : 0;
    m_buffer = TakeListingBuffer();
    m_next = 0;
    m_end = 0;

    if (!Next(entry)) {
        // Not even "." came: the folder went away or could not be read.
        if (m_error == 0) {
            m_error = m_skipError != 0 ? m_skipError : ENOENT;
        }
        Close();
        return false;
    }
    return true;
}

int DirectorySearch::FolderDescriptor() const { return m_folderDescriptor; }

bool DirectorySearch::StartSingle(const std::string& pattern, FindData& entry)
{
    // Trailing slashes would make the system follow a link to a directory.
    std::string path = pattern;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (path.empty()) {
        m_error = ENOENT;
        return false;
    }
    struct stat status {};
    if (::fstatat(AT_FDCWD, path.c_str(), &status, kExamineFlags) != 0) {
        m_error = errno;
        return false;
    }

    const std::size_t slash = path.rfind('/');
    if (path == "/") {
        entry.name = path;
    } else {
        entry.name.assign(path, slash == std::string::npos ? 0 : slash + 1);
    }
    if (m_detail == SearchDetail::TypeOnly) {
        FillTypeOnly(S_ISDIR(status.st_mode), entry);
    } else {
        std::uint32_t allocationUnit = 0;
        if (!S_ISDIR(status.st_mode)) {
            const std::string parent = slash == std::string::npos ? std::string(".")
                                       : slash == 0               ? std::string("/")
                                                                  : path.substr(0, slash);
            allocationUnit = FileQueries::AllocationUnit(parent);
        }
        FillFromStatus(status, allocationUnit, entry);
    }
    return true;
}

bool DirectorySearch::ReadBlock()
{
    const ssize_t read = ::getdents64(m_folderDescriptor, m_buffer.get(), kListingBufferBytes);
    if (read <= 0) {
        m_error = read < 0 ? errno : 0;
        return false;
    }
    m_next = 0;
    m_end = static_cast<std::size_t>(read);
    return true;
}

bool DirectorySearch::Next(FindData& entry)
{
    if (m_folderDescriptor < 0) {
        return false;
    }
    m_error = 0;
    for (;;) {
        if (m_next == m_end && !ReadBlock()) {
            return false;
        }
        // The system aligns each record for its type.
        const auto* found = reinterpret_cast<const dirent64*>(m_buffer.get() + m_next);
        m_next += found->d_reclen;
        if (Fill(found->d_name, found->d_type, entry)) {
            return true;
        }
    }
}

bool DirectorySearch::Fill(const char* name, unsigned char type, FindData& entry)
{
    const std::size_t length = std::strlen(name);
    if (m_folder.size() + length >= PATH_MAX) {
        m_skipError = ENAMETOOLONG;
        return false;
    }
    entry.name.assign(name, length);

    if (m_detail == SearchDetail::TypeOnly && type != DT_DIR && type != DT_UNKNOWN) {
        FillTypeOnly(false, entry);
        return true;
    }
    if (IsDotEntry(name)) {
        if (name[1] == '.' || m_detail == SearchDetail::TypeOnly) {
            FillTypeOnly(true, entry);
        } else {
            FillFromStatus(m_folderStatus, m_allocationUnit, entry);
        }
        return true;
    }
    struct stat status {};
    if (::fstatat(m_folderDescriptor, name, &status, kExamineFlags) != 0) {
        m_skipError = errno;
        return false;
    }
    if (S_ISDIR(status.st_mode) && status.st_dev != m_folderStatus.st_dev) {
        return false;
    }
    if (m_detail == SearchDetail::TypeOnly) {
        FillTypeOnly(S_ISDIR(status.st_mode), entry);
    } else {
        FillFromStatus(status, m_allocationUnit, entry);
    }
    return true;
}

void DirectorySearch::Close()
{
    if (m_folderDescriptor >= 0) {
        ::close(m_folderDescriptor);
        m_folderDescriptor = -1;
    }
    GiveBackListingBuffer(std::move(m_buffer));
    m_folder.clear();
}

}  // namespace platform

#include "platform/FileReader.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::atomic<bool> s_useNoAccessTime{true};

int OpenForReading(int directory, const char* path, int flags)
{
    int fd;
    do {
        fd = ::openat(directory, path, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path) { return OpenAt(AT_FDCWD, path.c_str(), true); }

bool FileReader::Open(int folder, const char* name)
{
    if (folder < 0) {
        Close();
        return false;
    }
    return OpenAt(folder, name, false);
}

bool FileReader::OpenAt(int directory, const char* path, bool look)
{
    Close();
    // Opening a device can have effects of its own (a tape rewinds), and a
    // FIFO is no file to compare: look before opening.
    struct stat before {};
    if (look && (::fstatat(directory, path, &before, AT_SYMLINK_NOFOLLOW) != 0 ||
                 !S_ISREG(before.st_mode))) {
        return false;
    }

    // O_NONBLOCK keeps a FIFO put in the file's place meanwhile from blocking
    // the open; the check after opening then refuses it.
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    bool noAccessTime = s_useNoAccessTime.load(std::memory_order_relaxed);
    int fd = -1;
    if (noAccessTime) {
        fd = OpenForReading(directory, path, flags | O_NOATIME);
        if (fd < 0 && errno == EPERM) {
            noAccessTime = false;  // only the owner may ask for O_NOATIME
        }
    }
    if (!noAccessTime) {
        fd = OpenForReading(directory, path, flags);
    }
    if (fd < 0) {
        return false;
    }

    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    const int statusFlags = ::fcntl(fd, F_GETFL);
    if (statusFlags != -1) {
        ::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK);
    }

    m_fd = fd;
    // Setting the times, like O_NOATIME, is allowed to the file's owner and
    // to root only; for anyone else it would fail.
    m_restoreAccessTime = !noAccessTime && (status.st_uid == ::geteuid() || ::geteuid() == 0);
    m_accessSeconds = status.st_atim.tv_sec;
    m_accessNanoseconds = status.st_atim.tv_nsec;
    m_device = status.st_dev;
    m_inode = status.st_ino;
    m_size = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::int64_t FileReader::Read(void* buffer, std::size_t count)
{
    if (m_fd < 0) {
        return -1;
    }
    // The kernel transfers at most this much in one read.
    constexpr std::size_t kMaxChunk = 0x7ffff000;
    auto* bytes = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got = ::read(m_fd, bytes + total, std::min(count - total, kMaxChunk));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(total);
}

void FileReader::AdviseWillNeed(std::size_t count)
{
    if (m_fd >= 0) {
        ::posix_fadvise(m_fd, 0, static_cast<off_t>(count), POSIX_FADV_WILLNEED);
    }
}

void FileReader::Close()
{
    if (m_fd < 0) {
        return;
    }
    if (m_restoreAccessTime) {
        // Setting a time changes the file's status-change time, so only when
        // the reads did move the access time.
        struct stat status {};
        if (::fstat(m_fd, &status) == 0 && (status.st_atim.tv_sec != m_accessSeconds ||
                                            status.st_atim.tv_nsec != m_accessNanoseconds)) {
            struct timespec times[2] = {};
            times[0].tv_sec = static_cast<time_t>(m_accessSeconds);
            times[0].tv_nsec = static_cast<long>(m_accessNanoseconds);
            times[1].tv_nsec = UTIME_OMIT;
            ::futimens(m_fd, times);
        }
    }
    ::close(m_fd);
    m_fd = -1;
    m_restoreAccessTime = false;
    m_accessSeconds = 0;
    m_accessNanoseconds = 0;
    m_device = 0;
    m_inode = 0;
    m_size = 0;
}

void FileReader::UseNoAccessTimeFlagForTesting(bool use)
{
    s_useNoAccessTime.store(use, std::memory_order_relaxed);
}

}  // namespace platform

#include "platform/FileQueries.h"

#include <cerrno>
#include <limits>
#include <mutex>

#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/DirectorySearch.h"

namespace platform {

namespace {

std::mutex& ProtectedDirectoryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& ProtectedDirectory()
{
    static std::string directory = "/usr";
    return directory;
}

}  // namespace

std::optional<std::uint64_t> FileQueries::CompressedFileSize(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_blocks) * 512;
}

std::uint32_t FileQueries::AllocationUnit(const std::string& path)
{
    struct statvfs volume {};
    if (::statvfs(path.c_str(), &volume) != 0) {
        return 0;
    }
    const unsigned long unit = volume.f_frsize != 0 ? volume.f_frsize : volume.f_bsize;
    if (unit > std::numeric_limits<std::uint32_t>::max()) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(unit);
}

AttributesResult FileQueries::Attributes(const std::string& path)
{
    AttributesResult result;
    DirectorySearch search;
    FindData entry;
    if (search.Start(path, entry)) {
        result.attributes = entry.attributes;
    } else if (search.LastError() == ENOENT) {
        result.error = kErrorFileNotFound;
    } else {
        result.error = search.LastError() != 0 ? search.LastError() : EIO;
    }
    return result;
}

std::optional<FileStamp> FileQueries::Stamp(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return FileStamp{static_cast<std::uint64_t>(status.st_dev),
                     static_cast<std::uint64_t>(status.st_ino),
                     static_cast<std::uint64_t>(status.st_size), nanoseconds(status.st_mtim),
                     nanoseconds(status.st_ctim)};
}

bool FileQueries::IsCompressed(std::uint64_t size, std::uint64_t occupiedBytes,
                               std::uint32_t allocationUnit)
{
    if (allocationUnit == 0 || size == 0) {
        return occupiedBytes < size;
    }
    const std::uint64_t units = (size - 1) / allocationUnit + 1;
    if (units > std::numeric_limits<std::uint64_t>::max() / allocationUnit) {
        return true;  // the rounded size exceeds anything that can be occupied
    }
    return occupiedBytes < units * allocationUnit;
}

std::string FileQueries::ProtectedSystemDirectory()
{
    std::lock_guard lock(ProtectedDirectoryMutex());
    return ProtectedDirectory();
}

void FileQueries::SetProtectedSystemDirectoryForTesting(const std::string& path)
{
    std::lock_guard lock(ProtectedDirectoryMutex());
    ProtectedDirectory() = path;
}

}  // namespace platform

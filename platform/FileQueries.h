#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

inline constexpr int kErrorFileNotFound = 2;

struct AttributesResult {
    std::uint32_t attributes = 0;  // kAttributeDirectory, kAttributeCompressed
    // 0 on success; kErrorFileNotFound when the path does not exist (ENOENT
    // only); otherwise the errno of the failure.
    int error = 0;
    bool Exists() const { return error == 0; }
};

// What tells one state of a file from another: which file the path names
// (device, inode), its size, and its modification and status-change times
// in nanoseconds (any write or rename of it changes the latter).
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};

// Queries of single paths. Thread-safe. None but AllocationUnit follows a
// final symbolic link.
class FileQueries {
public:
    // What the file occupies on disk (st_blocks * 512); nothing on failure.
    static std::optional<std::uint64_t> CompressedFileSize(const std::string& path);
    // Allocation unit of the volume holding path (statvfs f_frsize, f_bsize
    // when that is 0); 0 on failure. A symbolic link is followed: the answer
    // is for the volume that holds the files reached through the path.
    static std::uint32_t AllocationUnit(const std::string& path);
    // The attributes of the path's own entry, as a directory search on that
    // path reports them.
    static AttributesResult Attributes(const std::string& path);
    // The stamp of the path's own entry; nothing when it cannot be had.
    static std::optional<FileStamp> Stamp(const std::string& path);
    // True when a file of size bytes that occupies occupiedBytes on disk
    // takes less than its size rounded up to whole allocation units: it is
    // sparse or compressed. An allocation unit of 0 (unknown) rounds nothing.
    static bool IsCompressed(std::uint64_t size, std::uint64_t occupiedBytes,
                             std::uint32_t allocationUnit);
    // The system directory that deletions are kept out of while protection
    // is on: "/usr". Tests put a scratch folder in its place.
    static std::string ProtectedSystemDirectory();
    static void SetProtectedSystemDirectoryForTesting(const std::string& path);
};

}  // namespace platform

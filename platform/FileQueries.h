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

// Queries of single paths. Thread-safe; none follows a final symbolic link.
class FileQueries {
public:
    // What the file occupies on disk (st_blocks * 512); nothing on failure.
    static std::optional<std::uint64_t> CompressedFileSize(const std::string& path);
    // Allocation unit of the volume holding path (statvfs f_frsize, f_bsize
    // when that is 0); 0 on failure.
    static std::uint32_t AllocationUnit(const std::string& path);
    static AttributesResult Attributes(const std::string& path);
    // The system directory that deletions are kept out of while protection
    // is on: "/usr". Tests put a scratch folder in its place.
    static std::string ProtectedSystemDirectory();
    static void SetProtectedSystemDirectoryForTesting(const std::string& path);
};

}  // namespace platform

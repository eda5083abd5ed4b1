#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <sys/stat.h>

namespace platform {

// File attributes as the scan understands them.
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
// The file occupies fewer bytes than its size rounded up to the allocation
// unit: a sparse or compressed file, whose disk space is its occupied size.
inline constexpr std::uint32_t kAttributeCompressed = 0x800;

// One entry of a directory search. Names are raw bytes, exactly as the file
// system holds them (not necessarily UTF-8, may contain newlines).
struct FindData {
    std::string name;
    std::uint32_t attributes = 0;
    std::uint32_t sizeLow = 0;       // low 32 bits of the size in bytes
    std::uint32_t sizeHigh = 0;      // high 32 bits
    std::int64_t lastWriteTime = 0;  // nanoseconds since 1970-01-01 UTC
    // What the file occupies on disk (st_blocks * 512), already a whole
    // number of the volume's blocks: never round it up again.
    std::uint64_t occupiedBytes = 0;
    // Identity of the file: two entries with the same device and inode are
    // hard links to one file.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool isRegularFile = false;  // false for directories, links, FIFOs, sockets, devices

    std::uint64_t Size() const { return (std::uint64_t{sizeHigh} << 32) | sizeLow; }
    bool IsDirectory() const { return (attributes & kAttributeDirectory) != 0; }
};

// How much a search learns about each entry.
enum class SearchDetail {
    // Every field of FindData, from one lstat-like call per entry.
    Full,
    // Only name and the directory attribute; every other field is zero.
    // Where readdir reports the entry type no call per file is made;
    // directories are still examined once to leave out those on another
    // device.
    TypeOnly,
};

// A directory search over one folder, in the file system's order.
//
// Pattern "FOLDER/*" lists FOLDER: every entry once, "." and ".." included.
// Any other pattern is a literal path (names may hold '*', '?', '[') and
// yields that path's own entry, named by its last component ("/" for the
// root); trailing slashes are ignored. A literal path that ends in "/*" is
// taken as a listing.
//
// Symbolic links are never followed: a link is reported as a non-directory
// entry of the link itself (FOLDER itself may be reached through a link).
// A subdirectory that lies on another device than the folder (a mount
// point) is left out; "." and ".." never are. Entries that vanish between
// listing and examination, that cannot be examined, or whose path would
// reach PATH_MAX, are skipped. A folder that cannot be read yields nothing
// (Start fails). "." is the folder as examined when the search starts; ".."
// is reported as a directory with every other field zero, as no reader
// wants more of it and examining it would cost a call per folder.
//
// A listing reads the folder's entries straight into a large buffer that
// the thread keeps from one search to the next, and examines each entry by
// name relative to the open folder: a few calls per folder beside one per
// entry, and no allocation.
//
// Not thread-safe; one search per object. Used on the worker thread and on
// the UI thread alike.
class DirectorySearch {
public:
    DirectorySearch() = default;
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    // Starts the search and fills the first entry. False when the pattern
    // names nothing that can be read; LastError() then tells why (an errno).
    [[nodiscard]] bool Start(const std::string& pattern, FindData& entry,
                             SearchDetail detail = SearchDetail::Full);
    // Fills the next entry; false at the end (LastError() 0) or when the
    // folder cannot be read further (LastError() tells why).
    [[nodiscard]] bool Next(FindData& entry);
    // Ends the search; also done by the destructor.
    void Close();

    int LastError() const { return m_error; }
    // The descriptor of the folder being listed, for opening its entries by
    // name (FileReader); -1 when no listing is open. Owned by the search.
    [[nodiscard]] int FolderDescriptor() const;
    // The allocation unit of the listed folder's volume (fstatvfs of the open
    // folder: f_frsize, else f_bsize); 0 when unknown or for a
    // SearchDetail::TypeOnly listing.
    [[nodiscard]] std::uint32_t AllocationUnit() const { return m_allocationUnit; }

private:
    bool StartSingle(const std::string& path, FindData& entry);
    // Fills entry from the folder's entry name; false when it is left out.
    bool Fill(const char* name, unsigned char type, FindData& entry);
    // Reads the next block of entries into the buffer; false at the end or
    // on an error (m_error).
    bool ReadBlock();

    int m_folderDescriptor = -1;
    std::string m_folder;  // with a trailing '/'
    struct stat m_folderStatus {};
    // Entries as the system returns them; m_next and m_end delimit those
    // not yet reported.
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_next = 0;
    std::size_t m_end = 0;
    std::uint32_t m_allocationUnit = 0;
    SearchDetail m_detail = SearchDetail::Full;
    int m_error = 0;
    int m_skipError = 0;  // why the last skipped entry could not be examined
};

}  // namespace platform

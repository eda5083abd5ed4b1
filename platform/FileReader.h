#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// Reads the contents of one regular file, for the duplicate search.
//
// Open succeeds only for regular files: a FIFO, socket, device or symbolic
// link is refused without being opened (and, should the path change into
// one meanwhile, without blocking). Reading leaves the last-access time of
// the process's own files as it was: O_NOATIME where the kernel permits it,
// otherwise the time is remembered at Open and restored at Close on the open
// descriptor, only if the reads changed it. Both are for the file's owner
// and for root (CAP_FOWNER) alone: reading another user's file may move its
// access time (as relatime allows), and no restoring is tried. The
// destructor closes.
//
// Not thread-safe; one file per object at a time.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Closes any file open before.
    [[nodiscard]] bool Open(const std::string& path);
    // The same for the entry name (one component) of the folder open as the
    // descriptor folder (DirectorySearch::FolderDescriptor, FolderHandle);
    // the folder's path is not looked up again. False when folder is -1.
    //
    // For an entry that a listing of the folder has reported as a regular
    // file, the look before opening is that report's: nothing is examined
    // again before the open. What the open finds is still checked as by
    // Open, so only a regular file stays open.
    [[nodiscard]] bool Open(int folder, const char* name);
    // Reads up to count bytes; fewer only at the end of the file. Short reads
    // of the kernel are looped over. Returns -1 on an error or when no file
    // is open.
    std::int64_t Read(void* buffer, std::size_t count);
    void Close();
    // Asks the kernel to start reading the first count bytes into its cache
    // now, so that a later Read of them need not wait; returns at once.
    // Nothing when no file is open.
    void AdviseWillNeed(std::size_t count);

    bool IsOpen() const { return m_fd >= 0; }
    // Identity and size of the open file, from fstat at Open.
    std::uint64_t Device() const { return m_device; }
    std::uint64_t Inode() const { return m_inode; }
    std::uint64_t Size() const { return m_size; }

    // With false, later Opens do without O_NOATIME, as where the kernel
    // refuses it, so that tests reach the restoring of the access time.
    static void UseNoAccessTimeFlagForTesting(bool use);

private:
    // path relative to the directory descriptor, or AT_FDCWD; look: examine
    // it before opening.
    bool OpenAt(int directory, const char* path, bool look);

    int m_fd = -1;
    bool m_restoreAccessTime = false;
    std::int64_t m_accessSeconds = 0;
    std::int64_t m_accessNanoseconds = 0;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
    std::uint64_t m_size = 0;
};

}  // namespace platform

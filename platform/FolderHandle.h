#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An open folder, for opening its entries by name (FileReader::Open) without
// looking its path up again for each of them. The path is resolved once, at
// Open, links included; the descriptor is close-on-exec. The destructor
// closes.
//
// Not thread-safe; one folder per object at a time.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Closes any folder open before; false when path names no folder that
    // can be opened.
    [[nodiscard]] bool Open(const std::string& path);
    void Close();

    // -1 when no folder is open. Owned by the handle.
    [[nodiscard]] int Descriptor() const { return m_fd; }
    // Identity of the open folder, from fstat at Open.
    [[nodiscard]] std::uint64_t Device() const { return m_device; }
    [[nodiscard]] std::uint64_t Inode() const { return m_inode; }

private:
    int m_fd = -1;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
};

}  // namespace platform

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/FileReader.h"

// Reading files for the duplicate search. Only regular files are opened
// (platform::FileReader), and reading leaves their last-access times as
// they were, where the process may set them (its own files; all for root).
// Thread-safe; used on the worker thread.

// What one open of a file tells: the hash of its first bytes and, from the
// same open descriptor, its size and identity.
struct FileHead {
    std::uint32_t hash = 0;
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Block sizes of the two reads.
inline constexpr std::size_t kHeadHashBytes = 8192;
inline constexpr std::size_t kCompareBlockBytes = 32768;

// The hash of a run of bytes, going on from hash: for each byte b, taken as
// unsigned, hash = hash ^ b ^ (hash << 11) ^ (hash >> 17), in unsigned
// 32-bit arithmetic.
[[nodiscard]] std::uint32_t HashBytes(std::uint32_t hash, const unsigned char* bytes,
                                      std::size_t count);

// Opens path, hashes up to its first kHeadHashBytes bytes from 0 and closes
// it again. Nothing when it is not a regular file, cannot be opened, the
// read fails or the file changes between the open and the read (below).
[[nodiscard]] std::optional<FileHead> HeadHash(const std::string& path);
// The same for a file already open in reader and not read from yet; closes
// it. Nothing when reader has no file open, or when the read ends short of
// kHeadHashBytes at another size than the file had when it was opened (it
// changed meanwhile).
[[nodiscard]] std::optional<FileHead> HeadHash(platform::FileReader& reader);

// Whether the two files have the same contents, compared block by block.
// stop() is asked before the first block and after each block compared; when
// it answers true the files count as different, and both are closed at once.
// A file that cannot be opened or read counts as different, and so do two
// links to one file (the same device and inode, as opened).
[[nodiscard]] bool SameContents(const std::string& first, const std::string& second,
                                const std::function<bool()>& stop);

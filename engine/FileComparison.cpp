#include "engine/FileComparison.h"

#include <cstring>
#include <memory>

#include "platform/FileReader.h"

std::uint32_t HashBytes(std::uint32_t hash, const unsigned char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        hash = hash ^ bytes[i] ^ (hash << 11) ^ (hash >> 17);
    }
    return hash;
}

std::optional<FileHead> HeadHash(const std::string& path)
{
    platform::FileReader reader;
    if (!reader.Open(path)) {
        return std::nullopt;
    }
    unsigned char buffer[kHeadHashBytes];
    const std::int64_t count = reader.Read(buffer, sizeof buffer);
    if (count < 0) {
        return std::nullopt;
    }
    FileHead head;
    head.hash = HashBytes(0, buffer, static_cast<std::size_t>(count));
    head.size = reader.Size();
    head.device = reader.Device();
    head.inode = reader.Inode();
    return head;
}

bool SameContents(const std::string& first, const std::string& second,
                  const std::function<bool()>& stop)
{
    // Destroyed in reverse order: the second file is closed first.
    platform::FileReader a;
    if (!a.Open(first)) {
        return false;
    }
    platform::FileReader b;
    if (!b.Open(second)) {
        return false;
    }
    const auto buffers = std::make_unique<char[]>(2 * kCompareBlockBytes);
    char* const bufferA = buffers.get();
    char* const bufferB = buffers.get() + kCompareBlockBytes;
    while (!stop()) {
        const std::int64_t countA = a.Read(bufferA, kCompareBlockBytes);
        const std::int64_t countB = b.Read(bufferB, kCompareBlockBytes);
        if (countA < 0 || countB < 0 || countA != countB ||
            std::memcmp(bufferA, bufferB, static_cast<std::size_t>(countA)) != 0) {
            return false;
        }
        if (static_cast<std::size_t>(countA) < kCompareBlockBytes) {
            return true;
        }
    }
    return false;
}

#include "engine/FileComparison.h"

#include <bit>
#include <cstring>
#include <memory>

#include "platform/FileReader.h"

namespace {

// One step of the hash without its byte: h -> h ^ (h << 11) ^ (h >> 17).
// The step is linear over the bits, so sixteen steps with their bytes are
// A^16 h ^ A^15 b0 ^ A^14 b1 ^ ... ^ b15, where A is this map. The tables
// below hold A^k applied to every byte value in every place, so that a block
// of sixteen bytes costs twenty lookups, of which only the four for the hash
// itself wait for the block before.
constexpr std::uint32_t Step(std::uint32_t hash) { return hash ^ (hash << 11) ^ (hash >> 17); }

constexpr std::size_t kBlock = 16;

struct BlockTables {
    // byteTerm[j][v]: A^(kBlock-1-j) v, what byte j of a block adds.
    std::uint32_t byteTerm[kBlock][256];
    // hashTerm[i][v]: A^kBlock (v << 8i), what byte i of the hash before the
    // block becomes.
    std::uint32_t hashTerm[4][256];
};

constexpr BlockTables MakeBlockTables()
{
    BlockTables tables{};
    for (std::uint32_t value = 0; value < 256; ++value) {
        std::uint32_t term = value;
        for (std::size_t j = kBlock; j-- > 0;) {
            tables.byteTerm[j][value] = term;
            term = Step(term);
        }
        for (std::size_t i = 0; i < 4; ++i) {
            std::uint32_t hash = value << (8 * i);
            for (std::size_t k = 0; k < kBlock; ++k) {
                hash = Step(hash);
            }
            tables.hashTerm[i][value] = hash;
        }
    }
    return tables;
}

constexpr BlockTables kTables = MakeBlockTables();

}  // namespace

std::uint32_t HashBytes(std::uint32_t hash, const unsigned char* bytes, std::size_t count)
{
    const auto& byteTerm = kTables.byteTerm;
    const auto& hashTerm = kTables.hashTerm;
    std::size_t i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        // One load for each eight bytes, taken apart in registers.
        std::uint64_t low;
        std::uint64_t high;
        std::memcpy(&low, bytes + i, sizeof low);
        std::memcpy(&high, bytes + i + 8, sizeof high);
        if constexpr (std::endian::native == std::endian::big) {
            low = __builtin_bswap64(low);
            high = __builtin_bswap64(high);
        }
        const auto term = [&byteTerm](std::size_t j, std::uint64_t word) {
            return byteTerm[j][(word >> (8 * (j % 8))) & 0xFF];
        };
        const std::uint32_t lowData = term(0, low) ^ term(1, low) ^ term(2, low) ^ term(3, low) ^
                                      term(4, low) ^ term(5, low) ^ term(6, low) ^ term(7, low);
        const std::uint32_t highData = term(8, high) ^ term(9, high) ^ term(10, high) ^
                                       term(11, high) ^ term(12, high) ^ term(13, high) ^
                                       term(14, high) ^ term(15, high);
        hash = hashTerm[0][hash & 0xFF] ^ hashTerm[1][(hash >> 8) & 0xFF] ^
               hashTerm[2][(hash >> 16) & 0xFF] ^ hashTerm[3][hash >> 24] ^ lowData ^ highData;
    }
    for (; i < count; ++i) {
        hash = Step(hash) ^ bytes[i];
    }
    return hash;
}

std::optional<FileHead> HeadHash(const std::string& path)
{
    platform::FileReader reader;
    if (!reader.Open(path)) {
        return std::nullopt;
    }
    return HeadHash(reader);
}

std::optional<FileHead> HeadHash(platform::FileReader& reader)
{
    unsigned char buffer[kHeadHashBytes];
    const std::int64_t count = reader.Read(buffer, sizeof buffer);
    // A read that ends short of the buffer but not at the size the file had
    // when it was opened means the file changed meanwhile.
    if (count < 0 || (static_cast<std::size_t>(count) < sizeof buffer &&
                      static_cast<std::uint64_t>(count) != reader.Size())) {
        reader.Close();
        return std::nullopt;
    }
    FileHead head;
    head.hash = HashBytes(0, buffer, static_cast<std::size_t>(count));
    head.size = reader.Size();
    head.device = reader.Device();
    head.inode = reader.Inode();
    reader.Close();
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
    // Two links to one file, as the two opens found them (either path may
    // have changed since it was filed), are one file, not two copies.
    if (a.Device() == b.Device() && a.Inode() == b.Inode()) {
        return false;
    }
    // Not zeroed: every byte compared was read first.
    const auto buffers = std::make_unique_for_overwrite<char[]>(2 * kCompareBlockBytes);
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

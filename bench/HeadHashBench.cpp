// The hash of a file's first 8192 bytes that the duplicate search computes
// for every file whose size another file shares, beside a byte-at-a-time
// loop of the same hash as the floor it replaced.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/FileComparison.h"

namespace {

std::vector<unsigned char> Head()
{
    std::vector<unsigned char> bytes(kHeadHashBytes);
    std::mt19937 random(7);
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    return bytes;
}

void ByteAtATime(benchmark::State& state)
{
    const std::vector<unsigned char> bytes = Head();
    for (auto _ : state) {
        std::uint32_t hash = 0;
        for (const unsigned char byte : bytes) {
            hash = hash ^ byte ^ (hash << 11) ^ (hash >> 17);
        }
        benchmark::DoNotOptimize(hash);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ByteAtATime);

void HashBytesOfAHead(benchmark::State& state)
{
    const std::vector<unsigned char> bytes = Head();
    for (auto _ : state) {
        benchmark::DoNotOptimize(HashBytes(0, bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(HashBytesOfAHead);

}  // namespace

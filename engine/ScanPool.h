#pragma once

#include <cstddef>

// Where the duplicate data's small objects (groups, members, the links
// between them) come from: a scan makes one of each per file, hundreds of
// thousands in all, and a pool serves them without a heap block header
// each. Any thread: the pool locks inside. Memory given back is kept for
// the next objects of its size, not returned to the system.
class ScanPool {
public:
    static void* Allocate(std::size_t size, std::size_t alignment);
    static void Free(void* block, std::size_t size, std::size_t alignment);
};

// Declares class-wide operator new and delete that use ScanPool.
#define LARKSPUR_SCAN_POOLED(Type)                             \
    static void* operator new(std::size_t size)                \
    {                                                          \
        return ScanPool::Allocate(size, alignof(Type));        \
    }                                                          \
    static void operator delete(void* block, std::size_t size) \
    {                                                          \
        ScanPool::Free(block, size, alignof(Type));            \
    }

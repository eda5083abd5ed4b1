#include "engine/ScanPool.h"

#include <memory_resource>

namespace {

std::pmr::synchronized_pool_resource& Pool()
{
    // Never destroyed: objects may be freed by destructors that run at exit,
    // after function-local statics are gone.
    static auto* pool = new std::pmr::synchronized_pool_resource();
    return *pool;
}

}  // namespace

void* ScanPool::Allocate(std::size_t size, std::size_t alignment)
{
    return Pool().allocate(size, alignment);
}

void ScanPool::Free(void* block, std::size_t size, std::size_t alignment)
{
    Pool().deallocate(block, size, alignment);
}

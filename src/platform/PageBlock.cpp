#include "platform/PageBlock.h"

#include <cstdint>
#include <cstdlib>

#ifdef _WIN32
void* AllocatePages(size_t bytes) { return malloc(bytes); }

void FreePages(void* block, size_t) { free(block); }
#else
#include <sys/mman.h>

namespace {
size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) / unit * unit; }
} // namespace

void* AllocatePages(size_t bytes)
{
    // From the heap, one huge page more than needed: a block freed is taken
    // again by the next of its size, where aligned_alloc's split leftovers
    // kept the heap growing from one description to the next. The block
    // starts at the first huge-page boundary past the heap's pointer, which
    // is kept just before it.
    if (bytes > SIZE_MAX - 2 * kPageBlockUnit)
        return nullptr;
    size_t size = RoundUp(bytes, kPageBlockUnit);
    char* raw = static_cast<char*>(malloc(size + kPageBlockUnit));
    if (!raw)
        return nullptr;
    char* block = reinterpret_cast<char*>(RoundUp(reinterpret_cast<uintptr_t>(raw) + sizeof(void*), kPageBlockUnit));
    reinterpret_cast<void**>(block)[-1] = raw;
    madvise(block, size, MADV_HUGEPAGE); // advice only: the block works without it
    return block;
}

void FreePages(void* block, size_t)
{
    if (block)
        free(static_cast<void**>(block)[-1]);
}
#endif

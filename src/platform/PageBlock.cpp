#include "platform/PageBlock.h"

#include <cstdlib>

#ifdef _WIN32
void* AllocatePages(size_t bytes) { return malloc(bytes); }

void FreePages(void* block, size_t) { free(block); }
#else
#include <sys/mman.h>

void* AllocatePages(size_t bytes)
{
    // From the heap, so that a block freed is reused as the heap reuses
    // any; aligned and advised so that the system backs it in huge pages.
    size_t size = (bytes + kPageBlockUnit - 1) / kPageBlockUnit * kPageBlockUnit;
    void* block = aligned_alloc(kPageBlockUnit, size);
    if (block)
        madvise(block, size, MADV_HUGEPAGE); // advice only: the block works without it
    return block;
}

void FreePages(void* block, size_t) { free(block); }
#endif

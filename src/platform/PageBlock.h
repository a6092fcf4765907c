// Memory for the big arenas of a description (its items and texts, the
// model's member list, the format's text). On Linux such a block is aligned
// to 2 MB and advised for huge pages: first touching a 4 KB page costs about
// 1.5 us on a virtual machine, so the 40 MB of a 100 000-member description
// cost a fifth of its time in page faults alone. Windows gives such blocks
// from the heap in ordinary pages (large pages need a privilege no setup run
// has).
#pragma once
#include <cstddef>
#include <new>
#include <string>

// Returns a block of at least bytes (not cleared), or nullptr when there is
// no memory for it. FreePages takes the same size back.
void* AllocatePages(size_t bytes);
void FreePages(void* block, size_t bytes);

// The huge page size; AllocatePages rounds a block up to a multiple of it.
const size_t kPageBlockUnit = 2u << 20;
// Below this, an ordinary heap block serves better.
const size_t kPageBlockMinimum = kPageBlockUnit / 2;

// A standard allocator that takes big blocks from AllocatePages and the
// rest from the heap; which one served a block follows from its size alone.
template <class T>
class PageBlockAllocator {
public:
    using value_type = T;
    PageBlockAllocator() noexcept = default;
    template <class U>
    PageBlockAllocator(const PageBlockAllocator<U>&) noexcept
    {
    }

    T* allocate(size_t n)
    {
        size_t bytes = n * sizeof(T);
        if (bytes < kPageBlockMinimum)
            return static_cast<T*>(::operator new(bytes));
        void* block = AllocatePages(bytes);
        if (!block)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* p, size_t n) noexcept
    {
        size_t bytes = n * sizeof(T);
        if (bytes < kPageBlockMinimum)
            ::operator delete(p);
        else
            FreePages(p, bytes);
    }

    template <class U>
    bool operator==(const PageBlockAllocator<U>&) const noexcept
    {
        return true;
    }
    template <class U>
    bool operator!=(const PageBlockAllocator<U>&) const noexcept
    {
        return false;
    }
};

// A text that may be big (a whole format file), kept in such blocks.
using PageString = std::basic_string<char, std::char_traits<char>, PageBlockAllocator<char>>;

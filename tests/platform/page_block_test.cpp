// The page blocks behind the big arenas: a list that grows from heap blocks
// into page blocks and back keeps its contents; a block is whole and, where
// huge pages are asked for, aligned to them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/PageBlock.h"

TEST(PageBlock, ListsGrowAndShrinkAcrossTheKindsOfBlockWithTheirContents)
{
    std::vector<uint32_t, PageBlockAllocator<uint32_t>> list;
    const uint32_t count = 3 * kPageBlockUnit / sizeof(uint32_t) + 17; // past a few page blocks, one by one
    for (uint32_t i = 0; i < count; ++i)
        list.push_back(i * 2654435761u);
    for (uint32_t i = 0; i < count; i += 4099)
        ASSERT_EQ(list[i], i * 2654435761u) << i;
    EXPECT_EQ(list.back(), (count - 1) * 2654435761u);
    list.resize(1000);
    list.shrink_to_fit(); // back into a heap block
    for (uint32_t i = 0; i < 1000; ++i)
        ASSERT_EQ(list[i], i * 2654435761u) << i;

    PageString text(5u << 20, 'x');
    text += "*/";
    EXPECT_EQ(text.find("*/"), 5u << 20);

    for (size_t bytes : {kPageBlockMinimum, 5 * kPageBlockUnit + 123}) {
        char* block = static_cast<char*>(AllocatePages(bytes));
        ASSERT_NE(block, nullptr);
        block[0] = 1;
        block[bytes - 1] = 2;
#ifndef _WIN32
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % kPageBlockUnit, 0u);
#endif
        FreePages(block, bytes);
    }
}

#include <algorithm>
#include <utility>

#include <gtest/gtest.h>

#include "HeapBlock.h"

TEST(HeapBlock, ZeroFilledOwnedOnceAndFailingOnlyWhereInjected)
{
    CHeapBlock block(5000);
    ASSERT_EQ(block.Size(), 5000u);
    EXPECT_TRUE(std::all_of(block.Data(), block.Data() + 5000, [](uint8_t b) { return b == 0; }));
    uint8_t* data = block.Data();
    CHeapBlock other(16);
    other = std::move(block);
    EXPECT_EQ(other.Data(), data);
    EXPECT_FALSE(block.Valid());
    other.Release();
    other.Release();
    EXPECT_EQ(other.Size(), 0u);

    // The second allocation from now fails, zero-filled or not, and only that one.
    FailHeapAllocationAfter(2);
    CHeapBlock first = CHeapBlock::Uncleared(10);
    CHeapBlock second = CHeapBlock::Uncleared(10);
    EXPECT_TRUE(first.Valid());
    EXPECT_FALSE(second.Valid());
    EXPECT_EQ(second.Size(), 0u);
    EXPECT_TRUE(CHeapBlock(10).Valid());
}

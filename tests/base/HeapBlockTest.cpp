#include <algorithm>
#include <utility>

#include <gtest/gtest.h>

#include "HeapBlock.h"

TEST(HeapBlock, IsZeroFilledAndOwnedByExactlyOneObject)
{
    CHeapBlock block(5000);
    ASSERT_TRUE(block.Valid());
    EXPECT_EQ(block.Size(), 5000u);
    EXPECT_TRUE(std::all_of(block.Data(), block.Data() + block.Size(), [](uint8_t b) { return b == 0; }));

    uint8_t* data = block.Data();
    CHeapBlock moved(std::move(block));
    EXPECT_FALSE(block.Valid());
    EXPECT_EQ(block.Size(), 0u);
    EXPECT_EQ(moved.Data(), data);

    // Assigning over a held block gives the old one back first; self-assignment keeps it.
    CHeapBlock other(16);
    other = std::move(moved);
    EXPECT_EQ(other.Data(), data);
    CHeapBlock& same = other;
    other = std::move(same);
    EXPECT_EQ(other.Data(), data);

    // Released once: later releases and the destructor find nothing to free.
    other.Release();
    EXPECT_FALSE(other.Valid());
    other.Release();
    EXPECT_EQ(other.Size(), 0u);
}

TEST(HeapBlock, InjectedFailureHitsTheChosenAllocationOnce)
{
    FailHeapAllocationAfter(2);
    CHeapBlock first(10);
    CHeapBlock second(10);
    CHeapBlock third(10);
    EXPECT_TRUE(first.Valid());
    EXPECT_FALSE(second.Valid());
    EXPECT_EQ(second.Size(), 0u);
    EXPECT_TRUE(third.Valid());

    FailHeapAllocationAfter(1);
    FailHeapAllocationAfter(0);
    EXPECT_TRUE(CHeapBlock(10).Valid());
}

TEST(HeapBlock, UnclearedBlockIsWholeAndCountedByTheTestSeam)
{
    CHeapBlock block = CHeapBlock::Uncleared(5000);
    ASSERT_TRUE(block.Valid());
    EXPECT_EQ(block.Size(), 5000u);
    // Every byte is the caller's to write (the address sanitizer checks the ends).
    std::fill_n(block.Data(), block.Size(), uint8_t{0xA5});
    EXPECT_EQ(block.Data()[4999], 0xA5);
    EXPECT_TRUE(CHeapBlock::Uncleared(0).Valid());

    FailHeapAllocationAfter(2);
    CHeapBlock zeroed(10);
    CHeapBlock uncleared = CHeapBlock::Uncleared(10);
    FailHeapAllocationAfter(0);
    EXPECT_TRUE(zeroed.Valid());
    EXPECT_FALSE(uncleared.Valid());
    EXPECT_EQ(uncleared.Size(), 0u);
}

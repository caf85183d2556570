#include <algorithm>
#include <utility>

#include <gtest/gtest.h>

#include "HeapBlock.h"

TEST(HeapBlock, ZeroFilledOwnedOnceAndFailingOnlyWhereInjected)
{
    FailHeapAllocationAfter(2); // the second allocation from now fails, and only that one
    CHeapBlock block(5000);
    CHeapBlock failed = CHeapBlock::Uncleared(10);
    CHeapBlock other = CHeapBlock::Uncleared(10);
    EXPECT_EQ(std::count(block.Data(), block.Data() + block.Size(), 0), 5000);
    EXPECT_EQ(std::make_pair(failed.Valid(), failed.Size()), std::make_pair(false, size_t{0}));
    other = std::move(block);
    EXPECT_EQ(std::make_pair(block.Valid(), other.Size()), std::make_pair(false, size_t{5000}));
    other.Release();
    other.Release();
    EXPECT_FALSE(other.Valid());
}

#ifdef __GLIBC__
#include <malloc.h>

TEST(HeapBlock, EveryBlockGoesBackToTheHeap)
{
    const auto inUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    const size_t before = inUse();
    {
        CHeapBlock held(100000);
        held = CHeapBlock::Uncleared(200000); // the one held before goes back first
    }
    EXPECT_EQ(inUse(), before);
}
#endif

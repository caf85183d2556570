#include <algorithm>
#include <tuple>
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
    // A block moved from or released is empty in size too: no caller may write by its old size.
    other = std::move(block);
    EXPECT_EQ(std::make_tuple(block.Valid(), block.Size(), other.Size()), std::make_tuple(false, size_t{0}, size_t{5000}));
    CHeapBlock moved(std::move(other));
    EXPECT_EQ(std::make_tuple(other.Valid(), other.Size(), moved.Size()), std::make_tuple(false, size_t{0}, size_t{5000}));
    moved.Release();
    moved.Release();
    EXPECT_EQ(std::make_pair(moved.Valid(), moved.Size()), std::make_pair(false, size_t{0}));
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

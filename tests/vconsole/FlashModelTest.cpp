#include "FlashModel.h"

#include <gtest/gtest.h>

#include <vector>

#include "RegionMap.h"

using vconsole::CFlashModel;

namespace {

uint8_t At(const CFlashModel& flash, uint32_t address)
{
    uint8_t value = 0;
    EXPECT_EQ(flash.Read(address, &value, 1), 1u);
    return value;
}

} // namespace

TEST(FlashModel, ProgrammingOnlyClearsBitsUntilTheRegionIsErased)
{
    CFlashModel flash;
    ASSERT_TRUE(flash.Valid());
    EXPECT_EQ(At(flash, 0), 0xFF);
    EXPECT_EQ(At(flash, CFlashModel::kSize - 1), 0xFF);

    const uint8_t first[2] = {0xF0, 0x3C};
    const uint8_t second[2] = {0x0F, 0xFF};
    ASSERT_TRUE(flash.Program(0x8000, first, 2));
    EXPECT_EQ(At(flash, 0x8000), 0xF0);
    EXPECT_EQ(At(flash, 0x8001), 0x3C);
    // Written again without an erase: the old zeros stay.
    ASSERT_TRUE(flash.Program(0x8000, second, 2));
    EXPECT_EQ(At(flash, 0x8000), 0x00);
    EXPECT_EQ(At(flash, 0x8001), 0x3C);

    ASSERT_TRUE(flash.EraseRegion(1));
    EXPECT_EQ(At(flash, 0x8000), 0xFF);
    ASSERT_TRUE(flash.Program(0x8000, second, 2));
    EXPECT_EQ(At(flash, 0x8000), 0x0F);
}

TEST(FlashModel, AnEraseCoversExactlyItsRegion)
{
    CFlashModel flash;
    for (int region : {0, 3, 4, 34}) {
        flash.Fill(0x00);
        ASSERT_TRUE(flash.EraseRegion(region));
        uint32_t begin = RegionOffset(region);
        uint32_t end = begin + RegionLength(region);
        EXPECT_EQ(At(flash, begin), 0xFF);
        EXPECT_EQ(At(flash, end - 1), 0xFF);
        if (begin > 0) {
            EXPECT_EQ(At(flash, begin - 1), 0x00) << region;
        }
        if (end < CFlashModel::kSize) {
            EXPECT_EQ(At(flash, end), 0x00) << region;
        }
    }
    flash.Fill(0x00);
    ASSERT_TRUE(flash.EraseRegion(3));
    EXPECT_EQ(At(flash, 0xFFFF), 0x00);
    EXPECT_EQ(At(flash, 0x10000), 0xFF);   // region 3: 0x10000 bytes from 0x10000
    EXPECT_EQ(At(flash, 0x1FFFF), 0xFF);
    EXPECT_EQ(At(flash, 0x20000), 0x00);
    EXPECT_FALSE(flash.EraseRegion(35));
    EXPECT_FALSE(flash.EraseRegion(-1));
}

TEST(FlashModel, NothingLeavesTheFlash)
{
    CFlashModel flash;
    const uint8_t data[4] = {0, 0, 0, 0};
    EXPECT_TRUE(flash.Program(CFlashModel::kSize - 4, data, 4));
    EXPECT_FALSE(flash.Program(CFlashModel::kSize - 2, data, 4));
    EXPECT_FALSE(flash.Program(0xFFFFFFFEu, data, 4));
    EXPECT_EQ(At(flash, CFlashModel::kSize - 5), 0xFF);

    uint8_t out[8] = {};
    EXPECT_EQ(flash.Read(CFlashModel::kSize - 2, out, 8), 2u);
    EXPECT_EQ(flash.Read(CFlashModel::kSize, out, 8), 0u);

    std::vector<uint8_t> image(CFlashModel::kSize, 0x5A);
    EXPECT_FALSE(flash.Load(image.data(), image.size() - 1));
    EXPECT_EQ(At(flash, 0), 0xFF);
    EXPECT_TRUE(flash.Load(image.data(), image.size()));
    EXPECT_EQ(At(flash, 0x123456), 0x5A);
}

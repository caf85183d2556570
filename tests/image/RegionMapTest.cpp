#include <algorithm>

#include <gtest/gtest.h>

#include "FirmwareImage.h"
#include "RegionMap.h"
#include "StatusTexts.h"

TEST(RegionMap, TableTilesTheImageAndOneByteOtherThan0xFFMarksItsRegion)
{
    const uint32_t smallLengths[] = {0x8000, 0x4000, 0x4000, 0x10000};
    uint32_t offset = 0;
    for (int n = 0; n < kRegionCount; offset += RegionLength(n++)) {
        EXPECT_EQ(RegionOffset(n), offset) << n;
        EXPECT_EQ(RegionLength(n), n < 4 ? smallLengths[n] : 0x20000u) << n;
    }
    EXPECT_EQ(offset, kImageSize);

    std::vector<uint8_t> image(kImageSize, 0xFF);
    EXPECT_EQ(ComputeRegionMask(image.data()).Count(), 0);
    for (int n = 0; n < kRegionCount; ++n) {
        const uint32_t first = RegionOffset(n), last = first + RegionLength(n) - 1;
        for (uint32_t at : {first, (first + last) / 2, last}) {
            image[at] = 0xFE;
            const RegionMask mask = ComputeRegionMask(image.data());
            image[at] = 0xFF;
            EXPECT_TRUE(mask.Test(n)) << at;
            EXPECT_EQ(mask.Count(), 1) << at;
        }
    }
    image[0] = image[RegionOffset(31)] = image[RegionOffset(34)] = 0;
    const RegionMask mask = ComputeRegionMask(image.data());
    EXPECT_EQ(std::make_pair(mask.words[0], mask.words[1]), std::make_pair(0x80000001u, 0x4u));
}

TEST(ChecksumTable, WorkedExamplesAndHeaderFaultsChangeOnlyTheTable)
{
    const struct {
        uint8_t header[4]; // the words at 0x8000 and 0x8002
        const char* result;
        // Regions 5 (erased), 6 (lane 0 zeros), 7 and 8 (lane 0 zeros and one word 0x0100 or 0x0001), 9..34 (erased).
        uint16_t lane0[5], lane1[5];
    } cases[] = {
        {{0, 0, 0, 0}, nullptr, {0x7FFF, 0xFFFF, 0xFEFF, 0xFFFE, 0x7FFF}, {0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF, 0x7FFF}},
        // Region 1 erased: nothing is written, the entries stay erased flash.
        {{0xFF, 0xFF, 0xFF, 0xFF}, texts::kFileFormatError,
         {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
        // Lane 1's header fails after lane 0's entries are stored.
        {{0, 0, 0, 1}, texts::kFileFormatError,
         {0x7FFF, 0xFFFF, 0xFEFF, 0xFFFE, 0x7FFF}, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> image(kImageSize, 0xFF);
        std::copy_n(c.header, 4, image.begin() + 0x8000);
        for (uint32_t at = RegionOffset(6); at < RegionOffset(9); at += 4)
            image[at] = image[at + 1] = 0;
        image[RegionOffset(7) + 0x40] = 0x01;
        image[RegionOffset(8) + 0x41] = 0x01;
        std::vector<uint8_t> before = image;
        EXPECT_STREQ(BuildChecksumTable(image.data()), c.result);
        for (int n = 5; n < kRegionCount; ++n) {
            const uint32_t entry = 0x8018 + 4 * n;
            const int i = (std::min)(n - 5, 4);
            EXPECT_EQ(std::make_pair(ReadWordBE(image.data(), entry), ReadWordBE(image.data(), entry + 2)),
                      std::make_pair(c.lane0[i], c.lane1[i])) << n;
        }
        std::copy(image.begin() + 0x802C, image.begin() + 0x80A4, before.begin() + 0x802C); // the table
        EXPECT_TRUE(image == before);
    }
}

#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "RegionMap.h"
#include "StatusTexts.h"

namespace {

constexpr uint32_t kHeader = 0x8000;
constexpr uint32_t kTableStart = 0x802C;
constexpr uint32_t kTableEnd = 0x80A4;

uint32_t TableEntry(int region, int lane)
{
    return 0x8018 + 4 * region + 2 * lane;
}

std::vector<uint8_t> ErasedImageWithZeroHeader()
{
    std::vector<uint8_t> image(kImageSize, 0xFF);
    std::fill_n(image.begin() + kHeader, 4, 0);
    return image;
}

void FillLane(std::vector<uint8_t>& image, int region, int lane, uint8_t value)
{
    for (uint32_t at = RegionOffset(region) + 2 * lane; at < RegionOffset(region) + RegionLength(region); at += 4)
        image[at] = image[at + 1] = value;
}

// The table entry by its definition: ones' complement of the sum of the lane's words.
uint16_t WordByWordEntry(const std::vector<uint8_t>& image, int region, int lane)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < RegionLength(region) / 4; ++i)
        sum = static_cast<uint16_t>(sum + ReadWordBE(image.data(), RegionOffset(region) + 4 * i + 2 * lane));
    return static_cast<uint16_t>(0xFFFF - sum);
}

} // namespace

TEST(RegionTable, TilesTheImageInIndexOrder)
{
    const uint32_t smallLengths[] = {0x8000, 0x4000, 0x4000, 0x10000};
    uint32_t offset = 0;
    for (int n = 0; n < kRegionCount; ++n) {
        EXPECT_EQ(RegionOffset(n), offset) << n;
        EXPECT_EQ(RegionLength(n), n < 4 ? smallLengths[n] : 0x20000u) << n;
        offset += RegionLength(n);
    }
    EXPECT_EQ(offset, kImageSize);
    EXPECT_EQ(RegionOffset(4), 0x20000u);
    EXPECT_EQ(RegionOffset(18), 0x1E0000u);
    EXPECT_EQ(RegionOffset(19), 0x200000u); // block 512: the first beyond a 512-entry map
    EXPECT_EQ(RegionOffset(34), 0x3E0000u);
}

TEST(RegionMask, BitsLiveInTwoWords)
{
    RegionMask mask;
    EXPECT_EQ(mask.Count(), 0);
    mask.Set(0);
    mask.Set(31);
    mask.Set(34);
    EXPECT_EQ(mask.words[0], 0x80000001u);
    EXPECT_EQ(mask.words[1], 0x4u);
    EXPECT_TRUE(mask.Test(31));
    EXPECT_FALSE(mask.Test(32));
    EXPECT_EQ(mask.Count(), 3);
    for (int n = 0; n < kRegionCount; ++n)
        mask.Set(n);
    EXPECT_EQ(mask.words[1], 0x7u);
    EXPECT_EQ(mask.Count(), 35);
}

TEST(RegionMask, MarksEveryRegionHoldingAByteOtherThan0xFF)
{
    std::vector<uint8_t> image(kImageSize, 0xFF);
    RegionMask mask = ComputeRegionMask(image.data());
    EXPECT_EQ(mask.words[0], 0u);
    EXPECT_EQ(mask.words[1], 0u);

    // One byte at a region's first, middle or last offset marks that region alone.
    for (int n = 0; n < kRegionCount; ++n) {
        const uint32_t offsets[] = {RegionOffset(n), RegionOffset(n) + RegionLength(n) / 2 + 1,
                                    RegionOffset(n) + RegionLength(n) - 1};
        for (uint32_t offset : offsets) {
            image[offset] = 0xFE;
            mask = ComputeRegionMask(image.data());
            image[offset] = 0xFF;
            EXPECT_TRUE(mask.Test(n)) << offset;
            EXPECT_EQ(mask.Count(), 1) << offset;
        }
    }

    // Blocks supplied with nothing but 0xFF are no data.
    CSyntheticFirmware firmware;
    firmware.FillRegion(7, 0xFF).FillBlock(0, 0x00);
    const auto file = firmware.Bytes();
    CHeapBlock workingCopy;
    CHeapBlock assembled;
    ASSERT_EQ(AssembleImage(file.data(), static_cast<int32_t>(file.size()), workingCopy, assembled), nullptr);
    mask = ComputeRegionMask(assembled.Data());
    EXPECT_FALSE(mask.Test(7));
    EXPECT_EQ(mask.words[0], 1u);
}

TEST(ChecksumTable, WorkedExamples)
{
    auto image = ErasedImageWithZeroHeader();
    FillLane(image, 6, 0, 0x00);
    // Byte order: bytes 0x01, 0x00 are the word 0x0100, whose complement is 0xFEFF.
    FillLane(image, 7, 0, 0x00);
    image[RegionOffset(7) + 0x40] = 0x01;
    EXPECT_EQ(ReadWordBE(image.data(), RegionOffset(7) + 0x40), 0x0100);

    ASSERT_EQ(BuildChecksumTable(image.data()), nullptr);
    for (int n = 5; n < kRegionCount; ++n) {
        for (int lane = 0; lane < 2; ++lane) {
            uint16_t expected = 0x7FFF; // 0x8000 words of 0xFFFF
            if (lane == 0 && n == 6)
                expected = 0xFFFF;
            if (lane == 0 && n == 7)
                expected = 0xFEFF;
            EXPECT_EQ(image[TableEntry(n, lane)], expected >> 8) << n << "/" << lane;
            EXPECT_EQ(image[TableEntry(n, lane) + 1], expected & 0xFF) << n << "/" << lane;
        }
    }
}

TEST(ChecksumTable, AgreesWithWordByWordSumsAndChangesOnlyItsOwnBytes)
{
    CSyntheticFirmware firmware;
    for (int n = 0; n < kRegionCount; ++n)
        firmware.FillRegionRandom(n, static_cast<uint32_t>(n) * 7 + 3);
    firmware.SetHeaderWords(0, 0, 0x1180, 0x1180);
    auto image = firmware.ExpectedImage();
    const auto before = image;

    ASSERT_EQ(BuildChecksumTable(image.data()), nullptr);
    for (int n = 5; n < kRegionCount; ++n) {
        for (int lane = 0; lane < 2; ++lane)
            EXPECT_EQ(ReadWordBE(image.data(), TableEntry(n, lane)), WordByWordEntry(image, n, lane)) << n;
    }
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + kTableStart, before.begin()));
    EXPECT_TRUE(std::equal(image.begin() + kTableEnd, image.end(), before.begin() + kTableEnd));
}

TEST(ChecksumTable, HeaderWordsMustBeZero)
{
    // Region 1 never supplied: both header words read 0xFFFF; nothing is written.
    std::vector<uint8_t> image(kImageSize, 0xFF);
    image[RegionOffset(5)] = 0;
    const auto erased = image;
    EXPECT_STREQ(BuildChecksumTable(image.data()), texts::kFileFormatError);
    EXPECT_EQ(image, erased);

    // Lane-1 header not zero: the lane-0 entries are already stored, lane 1's are not.
    image = ErasedImageWithZeroHeader();
    image[kHeader + 3] = 0x01;
    std::fill(image.begin() + kTableStart, image.begin() + kTableEnd, 0xAA);
    EXPECT_STREQ(BuildChecksumTable(image.data()), texts::kFileFormatError);
    for (int n = 5; n < kRegionCount; ++n) {
        EXPECT_EQ(ReadWordBE(image.data(), TableEntry(n, 0)), 0x7FFF) << n;
        EXPECT_EQ(ReadWordBE(image.data(), TableEntry(n, 1)), 0xAAAA) << n;
    }
}

TEST(ChecksumTable, ShortMapLeavesTheUpperRegionsErased)
{
    CSyntheticFirmware firmware(512);
    for (int n = 0; n < kRegionCount; ++n)
        firmware.FillRegionRandom(n, static_cast<uint32_t>(n));
    firmware.SetHeaderWords(0, 0, 0, 0);
    const auto file = firmware.Bytes();
    CHeapBlock workingCopy;
    CHeapBlock image;
    ASSERT_EQ(AssembleImage(file.data(), static_cast<int32_t>(file.size()), workingCopy, image), nullptr);

    const RegionMask mask = ComputeRegionMask(image.Data());
    EXPECT_EQ(mask.words[0], 0x7FFFFu); // regions 0..18
    EXPECT_EQ(mask.words[1], 0u);
    ASSERT_EQ(BuildChecksumTable(image.Data()), nullptr);
    for (int n = 19; n < kRegionCount; ++n) {
        EXPECT_EQ(ReadWordBE(image.Data(), TableEntry(n, 0)), 0x7FFF) << n;
        EXPECT_EQ(ReadWordBE(image.Data(), TableEntry(n, 1)), 0x7FFF) << n;
    }
}

#include <algorithm>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace {

struct Assembled {
    const char* result = nullptr;
    CHeapBlock workingCopy;
    CHeapBlock image;
};

Assembled Assemble(const std::vector<uint8_t>& file)
{
    Assembled out;
    out.result = AssembleImage(file.data(), static_cast<int32_t>(file.size()), out.workingCopy, out.image);
    return out;
}

bool AllEqual(const uint8_t* bytes, size_t count, uint8_t value)
{
    return std::all_of(bytes, bytes + count, [value](uint8_t b) { return b == value; });
}

bool ImageIs(const CHeapBlock& image, const std::vector<uint8_t>& expected)
{
    return image.Size() == kImageSize && std::memcmp(image.Data(), expected.data(), kImageSize) == 0;
}

const uint8_t* Block(const CHeapBlock& image, int block)
{
    return image.Data() + block * kBlockBytes;
}

// A 1024-entry map supplying block 0 only, its data, and a checksum byte of our choosing.
std::vector<uint8_t> OneBlockFile(const std::vector<uint8_t>& data, uint8_t checksum)
{
    std::vector<uint8_t> file(1024 + data.size() + 1024, 0);
    file[0] = 1;
    std::copy(data.begin(), data.end(), file.begin() + 1024);
    file[1024 + data.size()] = checksum;
    return file;
}

} // namespace

TEST(AssembleImage, EmptyOrAllZeroFileSuppliesNothing)
{
    for (size_t length : {size_t{0}, size_t{700}}) {
        auto run = Assemble(std::vector<uint8_t>(length, 0));
        EXPECT_EQ(run.result, nullptr) << length;
        ASSERT_EQ(run.workingCopy.Size(), kWorkingCopySize);
        EXPECT_TRUE(AllEqual(run.workingCopy.Data(), kWorkingCopySize, 0));
        ASSERT_EQ(run.image.Size(), kImageSize);
        EXPECT_TRUE(AllEqual(run.image.Data(), kImageSize, 0xFF));
    }
}

TEST(AssembleImage, MapSizeFollowsTheLeadingRunOfZerosAndOnes)
{
    // Run of 511: no map at all.
    std::vector<uint8_t> shortRun(511, 1);
    shortRun.push_back(2);
    EXPECT_STREQ(Assemble(shortRun).result, texts::kFileFormatError);

    // Runs of 512 and 1023 both mean a 512-entry map.
    CSyntheticFirmware runOf512(512);
    runOf512.FillBlock(3, 0x02).FillBlock(511, 0x5A);
    auto run = Assemble(runOf512.Bytes());
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, runOf512.ExpectedImage()));

    CSyntheticFirmware runOf1023(512);
    std::fill_n(runOf1023.SupplyBlock(0), 511, 1);
    runOf1023.SetByte(511, 0x02);
    run = Assemble(runOf1023.Bytes());
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, runOf1023.ExpectedImage()));

    // A 512-entry map followed by 512 more bytes of 0 and 1 reads as a 1024-entry map: the
    // block data then start 512 bytes late and the checksum no longer fits.
    CSyntheticFirmware runOf1024(512);
    std::fill_n(runOf1024.SupplyBlock(0), 512, 1);
    runOf1024.SetByte(512, 0x02);
    EXPECT_STREQ(Assemble(runOf1024.Bytes()).result, texts::kFileFormatError);

    // A foreign map byte shortens the run: below 512 it is fatal, above it the data of a
    // 1024-entry map are misread.
    for (int index : {100, 700}) {
        CSyntheticFirmware badMapByte;
        badMapByte.FillBlock(0, 0x11).FillBlock(1023, 0x22).SetMapByte(index, 2);
        EXPECT_STREQ(Assemble(badMapByte.Bytes()).result, texts::kFileFormatError) << index;
    }
}

TEST(AssembleImage, BlockChecksumIsTheComplementOfTheByteSum)
{
    const std::vector<uint8_t> erased(kBlockBytes, 0xFF);
    const std::vector<uint8_t> zeros(kBlockBytes, 0);
    std::vector<uint8_t> sumOfOne(kBlockBytes, 0);
    sumOfOne[4000] = 1;

    auto run = Assemble(OneBlockFile(erased, 0xFF));
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(AllEqual(run.image.Data(), kImageSize, 0xFF));
    EXPECT_STREQ(Assemble(OneBlockFile(erased, 0xFE)).result, texts::kFileFormatError);

    run = Assemble(OneBlockFile(zeros, 0xFF));
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(AllEqual(Block(run.image, 0), kBlockBytes, 0));
    EXPECT_TRUE(AllEqual(Block(run.image, 1), kImageSize - kBlockBytes, 0xFF));

    run = Assemble(OneBlockFile(sumOfOne, 0xFE));
    EXPECT_EQ(run.result, nullptr);
    EXPECT_EQ(Block(run.image, 0)[4000], 1);
    EXPECT_STREQ(Assemble(OneBlockFile(sumOfOne, 0xFF)).result, texts::kFileFormatError);
}

TEST(AssembleImage, PlacesEverySuppliedBlockAtItsOffset)
{
    // The longest well-formed file: every block of the flash supplied.
    CSyntheticFirmware full;
    for (int region = 0; region < 35; ++region)
        full.FillRegionRandom(region, static_cast<uint32_t>(region) + 100);
    const auto fullFile = full.Bytes();
    ASSERT_EQ(fullFile.size(), kWorkingCopySize);
    auto run = Assemble(fullFile);
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, full.ExpectedImage()));
    EXPECT_EQ(std::memcmp(run.workingCopy.Data(), fullFile.data(), fullFile.size()), 0);

    // Scattered blocks; unsupplied blocks between them stay erased.
    CSyntheticFirmware scattered;
    scattered.FillBlock(1, 0x00).FillBlock(100, 0x3C).FillBlock(1023, 0xC3).SetByte(8 * 4096 + 17, 0x42);
    run = Assemble(scattered.Bytes());
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, scattered.ExpectedImage()));

    // A 512-entry map reaches the first 2 MB only.
    CSyntheticFirmware firstHalf(512);
    firstHalf.FillBlock(0, 0x20).FillBlock(511, 0x21);
    run = Assemble(firstHalf.Bytes());
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, firstHalf.ExpectedImage()));
}

TEST(AssembleImage, ExtraBytesBeforeTheChecksumsAreIgnoredUpToTheLongestFile)
{
    CSyntheticFirmware padded;
    padded.FillBlock(2, 0x77).FillBlock(900, 0x01).PadBeforeChecksums(3000, 0x5A);
    auto run = Assemble(padded.Bytes());
    EXPECT_EQ(run.result, nullptr);
    EXPECT_TRUE(ImageIs(run.image, padded.ExpectedImage()));

    const size_t wellFormed = 2 * 1024 + 2 * kBlockBytes;
    padded.PadBeforeChecksums(kWorkingCopySize - wellFormed, 0x5A);
    ASSERT_EQ(padded.Bytes().size(), kWorkingCopySize);
    EXPECT_EQ(Assemble(padded.Bytes()).result, nullptr);

    // One byte more would not fit the working copy.
    padded.PadBeforeChecksums(kWorkingCopySize - wellFormed + 1, 0x5A);
    run = Assemble(padded.Bytes());
    EXPECT_STREQ(run.result, texts::kFileFormatError);
    EXPECT_TRUE(AllEqual(run.workingCopy.Data(), kWorkingCopySize, 0));
    EXPECT_STREQ(AssembleImage(nullptr, -1, run.workingCopy, run.image), texts::kFileFormatError);
}

TEST(AssembleImage, ShortFileReadsZerosPastItsEndAndChecksumsFromItsLastBytes)
{
    // Block 0 announced, only 2000 of its bytes present. Its checksum byte is the file's
    // byte 2000 (L - M + 0), here data byte 976; the missing 2096 bytes count as zeros:
    // 0xFF + 0x80 = 0x17F, and 0xFF - 0x7F = 0x80.
    std::vector<uint8_t> file(1024, 0);
    file[0] = 1;
    std::vector<uint8_t> data(2000, 0);
    data[0] = 0xFF;
    data[976] = 0x80;
    file.insert(file.end(), data.begin(), data.end());
    auto run = Assemble(file);
    EXPECT_EQ(run.result, nullptr);
    EXPECT_EQ(Block(run.image, 0)[0], 0xFF);
    EXPECT_EQ(Block(run.image, 0)[976], 0x80);
    EXPECT_EQ(std::count(Block(run.image, 0), Block(run.image, 1), 0), 4094);

    // An ordinary file cut short fails.
    CSyntheticFirmware truncated;
    truncated.FillRegionRandom(0, 7).TruncateTo(20000);
    EXPECT_STREQ(Assemble(truncated.Bytes()).result, texts::kFileFormatError);

    // Shorter than its own map: block 0's checksum byte would lie before the file's start.
    EXPECT_STREQ(Assemble(std::vector<uint8_t>(600, 1)).result, texts::kFileFormatError);
}

TEST(AssembleImage, FirstBadChecksumEndsTheRun)
{
    CSyntheticFirmware firmware;
    for (int block = 0; block < 4; ++block)
        firmware.FillBlock(block, static_cast<uint8_t>(0x10 + block));
    firmware.BreakChecksum(1);
    auto run = Assemble(firmware.Bytes());
    EXPECT_STREQ(run.result, texts::kFileFormatError);
    // Blocks 0 and 1 were placed; the sound blocks 2 and 3 were never looked at.
    EXPECT_TRUE(AllEqual(Block(run.image, 0), kBlockBytes, 0x10));
    EXPECT_TRUE(AllEqual(Block(run.image, 1), kBlockBytes, 0x11));
    EXPECT_TRUE(AllEqual(Block(run.image, 2), kImageSize - 2 * kBlockBytes, 0xFF));
}

TEST(AssembleImage, MemoryShortageIsReportedWithoutFullStop)
{
    const auto file = CSyntheticFirmware().FillBlock(0, 0).Bytes();
    for (int failing : {1, 2}) {
        // Blocks held from before are given back, not leaked.
        Assembled run;
        run.workingCopy = CHeapBlock(10);
        run.image = CHeapBlock(10);
        FailHeapAllocationAfter(failing);
        run.result = AssembleImage(file.data(), static_cast<int32_t>(file.size()), run.workingCopy, run.image);
        FailHeapAllocationAfter(0);
        EXPECT_STREQ(run.result, texts::kNoMemory) << failing;
        EXPECT_EQ(run.workingCopy.Valid(), failing == 2);
        EXPECT_FALSE(run.image.Valid());
    }
}

TEST(AssembleImage, NothingOfAnEarlierRunShowsThroughReusedMemory)
{
    // The heap often hands the blocks of a finished run out again, contents and all; fill
    // them with data first so that any byte the next run leaves unwritten shows.
    CSyntheticFirmware full;
    for (int region = 0; region < 35; ++region)
        full.FillRegionRandom(region, static_cast<uint32_t>(region) + 200);
    EXPECT_EQ(Assemble(full.Bytes()).result, nullptr);

    // A run that stops at a bad checksum: the file and then zeros in the working copy, the
    // blocks placed so far and then erased flash in the image.
    CSyntheticFirmware broken;
    broken.FillBlock(0, 0x10).FillBlock(1, 0x11).FillBlock(2, 0x12).BreakChecksum(1);
    const auto brokenFile = broken.Bytes();
    auto run = Assemble(brokenFile);
    EXPECT_STREQ(run.result, texts::kFileFormatError);
    ASSERT_EQ(run.workingCopy.Size(), kWorkingCopySize);
    EXPECT_EQ(std::memcmp(run.workingCopy.Data(), brokenFile.data(), brokenFile.size()), 0);
    EXPECT_TRUE(AllEqual(run.workingCopy.Data() + brokenFile.size(), kWorkingCopySize - brokenFile.size(), 0));
    ASSERT_EQ(run.image.Size(), kImageSize);
    EXPECT_TRUE(AllEqual(Block(run.image, 0), kBlockBytes, 0x10));
    EXPECT_TRUE(AllEqual(Block(run.image, 1), kBlockBytes, 0x11));
    EXPECT_TRUE(AllEqual(Block(run.image, 2), kImageSize - 2 * kBlockBytes, 0xFF));
    run = Assembled{};

    // No map found, and a file too long to copy: nothing placed, nothing copied.
    for (const auto& file : {std::vector<uint8_t>(600, 2), std::vector<uint8_t>(kWorkingCopySize + 1, 1)}) {
        EXPECT_EQ(Assemble(full.Bytes()).result, nullptr);
        run = Assemble(file);
        EXPECT_STREQ(run.result, texts::kFileFormatError) << file.size();
        const size_t copied = file.size() <= kWorkingCopySize ? file.size() : 0;
        EXPECT_TRUE(AllEqual(run.workingCopy.Data(), copied, file[0]));
        EXPECT_TRUE(AllEqual(run.workingCopy.Data() + copied, kWorkingCopySize - copied, 0));
        EXPECT_TRUE(AllEqual(run.image.Data(), kImageSize, 0xFF));
        run = Assembled{};
    }
}

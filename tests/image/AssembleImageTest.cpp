#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

using Bytes = std::vector<uint8_t>;
using Firmware = CSyntheticFirmware;

TEST(AssembleImage, EachFileGivesItsResultImageAndWorkingCopy)
{
    const Firmware full = SampleFirmware(); // the longest well-formed file: every block supplied
    const Bytes fullFile = full.Bytes();
    const Firmware scattered = Firmware().FillBlock(0, 0).FillBlock(100, 0x3C).FillBlock(1023, 0xC3).SetByte(0x8011, 1);
    const Firmware shortMap = Firmware(512).FillBlock(3, 0x02).FillBlock(511, 0x5A).FillBlock(512, 0x11);
    const Firmware runOf1023 = Firmware(512).FillBlock(0, 1).SetByte(511, 2);
    const Firmware two = Firmware().FillBlock(2, 0x77).FillBlock(900, 0x01);
    const auto padded = [&two](size_t count) { // extra bytes between block data and checksums
        Bytes file = two.Bytes();
        file.insert(file.end() - 1024, count, 0x5A);
        return file;
    };
    const size_t roomLeft = kWorkingCopySize - two.Bytes().size();
    const auto oneBlock = [](uint8_t fill, uint32_t at, uint8_t value, uint8_t checksum) { // block 0 alone
        Bytes file = Firmware().FillBlock(0, fill).SetByte(at, value).Bytes();
        file[1024 + kBlockBytes] = checksum;
        return file;
    };
    Bytes shortFile = oneBlock(0, 0, 0xFF, 0); // cut to 2000 data bytes: its checksum byte is
    shortFile.resize(3024);                    // data byte 976, the missing bytes read as 0,
    shortFile[2000] = 0x80;                    // and 0xFF + 0x80 needs 0x80
    Bytes runOf511(600, 1);
    runOf511[511] = 2;
    const Firmware none;
    const struct {
        const char* what;
        Bytes file;
        const char* result;
        Firmware image; // the expected image
        bool checkImage = true;
    } cases[] = {
        {"longest file", fullFile, nullptr, full},
        {"scattered blocks", scattered.Bytes(), nullptr, scattered},
        {"512-entry map", shortMap.Bytes(), nullptr, shortMap},
        {"run of 1023: 512 entries", runOf1023.Bytes(), nullptr, runOf1023},
        {"empty file: 1024 entries of 0", {}, nullptr, none},
        {"run of 511", runOf511, texts::kFileFormatError, none},
        {"run of 1024 after a 512-entry map", Firmware(512).FillBlock(0, 1).Bytes(), texts::kFileFormatError, none, false},
        {"foreign map byte below 512", Firmware().FillBlock(0, 1).SetMapByte(100, 2).Bytes(), texts::kFileFormatError, none},
        {"foreign map byte above 512", Firmware().FillBlock(0, 1).SetMapByte(700, 2).Bytes(), texts::kFileFormatError, none, false},
        {"erased block, checksum FF", oneBlock(0xFF, 0, 0xFF, 0xFF), nullptr, none},
        {"erased block, checksum FE", oneBlock(0xFF, 0, 0xFF, 0xFE), texts::kFileFormatError, none},
        {"zero block, checksum FF", oneBlock(0, 0, 0, 0xFF), nullptr, Firmware().FillBlock(0, 0)},
        {"sum of 1, checksum FE", oneBlock(0, 4000, 1, 0xFE), nullptr, Firmware().FillBlock(0, 0).SetByte(4000, 1)},
        {"sum of 1, checksum FF", oneBlock(0, 4000, 1, 0xFF), texts::kFileFormatError, Firmware().FillBlock(0, 0).SetByte(4000, 1)},
        {"first bad checksum ends the run", Firmware(two).FillBlock(1, 0x11).BreakChecksum(1).Bytes(),
         texts::kFileFormatError, Firmware().FillBlock(1, 0x11)},
        {"padded to the longest file", padded(roomLeft), nullptr, two},
        {"one byte longer", padded(roomLeft + 1), texts::kFileFormatError, none},
        {"file ending early", shortFile, nullptr, Firmware().FillBlock(0, 0).SetByte(0, 0xFF).SetByte(976, 0x80)},
        {"cut short", Bytes(fullFile.begin(), fullFile.begin() + 20000), texts::kFileFormatError, none, false},
        {"shorter than its own map", Bytes(600, 1), texts::kFileFormatError, none, false},
    };
    for (const auto& c : cases) {
        CHeapBlock copy;
        CHeapBlock image;
        EXPECT_STREQ(AssembleImage(c.file.data(), static_cast<int32_t>(c.file.size()), copy, image), c.result) << c.what;
        // The working copy: the file and then zeros, or zeros only for a file too long to copy.
        const size_t copied = c.file.size() <= kWorkingCopySize ? c.file.size() : 0;
        ASSERT_EQ(copy.Size(), kWorkingCopySize);
        EXPECT_TRUE(std::equal(c.file.begin(), c.file.begin() + copied, copy.Data())) << c.what;
        EXPECT_TRUE(std::all_of(copy.Data() + copied, copy.Data() + kWorkingCopySize, [](uint8_t b) { return b == 0; }));
        ASSERT_EQ(image.Size(), kImageSize);
        EXPECT_TRUE(!c.checkImage || std::memcmp(image.Data(), c.image.ExpectedImage().data(), kImageSize) == 0)
            << c.what;
    }
}

TEST(AssembleImage, MemoryShortageIsReportedWithoutFullStop)
{
    const Bytes file = Firmware().FillBlock(0, 0).Bytes();
    for (int failing : {1, 2}) {
        CHeapBlock copy(10); // blocks held from before are given back
        CHeapBlock image(10);
        FailHeapAllocationAfter(failing);
        EXPECT_STREQ(AssembleImage(file.data(), static_cast<int32_t>(file.size()), copy, image), texts::kNoMemory);
        FailHeapAllocationAfter(0);
        EXPECT_EQ(copy.Valid(), failing == 2);
        EXPECT_FALSE(image.Valid());
    }
}

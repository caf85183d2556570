#include "RegionMap.h"

#include <array>
#include <bit>
#include <cstring>

#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace {

// Regions 0..3 are the flash's small boot sectors; every region from 4 on is 0x20000 long.
constexpr int kSmallRegions = 4;
constexpr uint32_t kSmallOffsets[kSmallRegions] = {0x0, 0x8000, 0xC000, 0x10000};
constexpr uint32_t kSmallLengths[kSmallRegions] = {0x8000, 0x4000, 0x4000, 0x10000};
constexpr uint32_t kLargeLength = 0x20000;

// Region 1 starts with two zero header words (one per lane); the table follows at 0x8018,
// one two-lane entry per region, of which regions 5..34 are filled in.
constexpr uint32_t kHeaderWords = 0x8000;
constexpr uint32_t kTable = 0x8018;
constexpr int kFirstSummedRegion = 5;
constexpr int kSummedRegions = kRegionCount - kFirstSummedRegion;
constexpr int kLanes = 2;

// One block of erased flash to compare against: the library's memcmp is the fastest
// portable scan, and a region holding data stops at its first differing block.
constexpr std::array<uint8_t, kBlockBytes> kErasedBlock = [] {
    std::array<uint8_t, kBlockBytes> block{};
    block.fill(0xFF);
    return block;
}();

bool HoldsOnlyErased(const uint8_t* bytes, uint32_t length)
{
    for (uint32_t at = 0; at < length; at += kBlockBytes) {
        if (std::memcmp(bytes + at, kErasedBlock.data(), kBlockBytes) != 0)
            return false;
    }
    return true;
}

struct LaneSums {
    uint16_t lane[kLanes];
};

// Sums the big-endian words of both lanes of one large region modulo 0x10000. A word is
// 256 * high + low, so only the high bytes' sum modulo 0x100 and the low bytes' sum modulo
// 0x10000 matter: 16-bit wrapping sums per byte position are exact, and vectorise.
LaneSums SumLanes(const uint8_t* region)
{
    constexpr int kPositions = 16;
    uint16_t sums[kPositions] = {};
    for (uint32_t at = 0; at < kLargeLength; at += kPositions)
        for (int j = 0; j < kPositions; ++j)
            sums[j] = static_cast<uint16_t>(sums[j] + region[at + j]);

    // Position j holds the high (j % 2 == 0) or low byte of a word of lane (j / 2) % 2.
    uint16_t high[kLanes] = {};
    uint16_t low[kLanes] = {};
    for (int j = 0; j < kPositions; j += 2) {
        const int lane = (j / 2) % kLanes;
        high[lane] = static_cast<uint16_t>(high[lane] + sums[j]);
        low[lane] = static_cast<uint16_t>(low[lane] + sums[j + 1]);
    }
    LaneSums result{};
    for (int lane = 0; lane < kLanes; ++lane)
        result.lane[lane] = static_cast<uint16_t>(high[lane] * 256u + low[lane]);
    return result;
}

void WriteWordBE(uint8_t* image, uint32_t offset, uint16_t value)
{
    image[offset] = static_cast<uint8_t>(value >> 8);
    image[offset + 1] = static_cast<uint8_t>(value);
}

} // namespace

uint32_t RegionOffset(int n)
{
    return n < kSmallRegions ? kSmallOffsets[n] : static_cast<uint32_t>(n - 3) * kLargeLength;
}

uint32_t RegionLength(int n)
{
    return n < kSmallRegions ? kSmallLengths[n] : kLargeLength;
}

bool RegionMask::Test(int n) const
{
    return (words[n / 32] >> (n % 32)) & 1u;
}

void RegionMask::Set(int n)
{
    words[n / 32] |= 1u << (n % 32);
}

int RegionMask::Count() const
{
    return std::popcount(words[0]) + std::popcount(words[1]);
}

RegionMask ComputeRegionMask(const uint8_t* image)
{
    RegionMask mask;
    for (int n = 0; n < kRegionCount; ++n) {
        if (!HoldsOnlyErased(image + RegionOffset(n), RegionLength(n)))
            mask.Set(n);
    }
    return mask;
}

const char* BuildChecksumTable(uint8_t* image)
{
    // The table lies in region 1, outside the regions it covers: the sums can all be taken
    // first, and storing one lane's entries cannot change the other lane's.
    LaneSums sums[kSummedRegions];
    for (int i = 0; i < kSummedRegions; ++i)
        sums[i] = SumLanes(image + RegionOffset(kFirstSummedRegion + i));

    for (int lane = 0; lane < kLanes; ++lane) {
        if (ReadWordBE(image, kHeaderWords + 2 * lane) != 0)
            return texts::kFileFormatError;
        for (int i = 0; i < kSummedRegions; ++i) {
            const uint32_t entry = kTable + 4 * (kFirstSummedRegion + i) + 2 * lane;
            WriteWordBE(image, entry, static_cast<uint16_t>(0xFFFF - sums[i].lane[lane]));
        }
    }
    return nullptr;
}

uint16_t ReadWordBE(const uint8_t* image, uint32_t offset)
{
    return static_cast<uint16_t>((image[offset] << 8) | image[offset + 1]);
}

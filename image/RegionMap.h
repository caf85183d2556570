// The console's flash regions (its erase and write units), the mask of the regions that
// hold data, and the checksum table that the console checks in region 1.
#pragma once

#include <cstdint>

inline constexpr int kRegionCount = 35;

// Image offset (= flash address) and length of region n, 0 <= n < kRegionCount.
uint32_t RegionOffset(int n);
uint32_t RegionLength(int n);

// Bit n set when region n holds a byte other than 0xFF (erased flash). Bits 0..31 are in
// words[0], bits 32..34 in the low bits of words[1].
struct RegionMask {
    uint32_t words[2] = {0, 0};

    bool Test(int n) const;
    void Set(int n);
    int Count() const;
};

RegionMask ComputeRegionMask(const uint8_t* image);

// Verifies the two zero header words of region 1 and stores, for regions 5..34, the ones'
// complement of the 16-bit sum of each lane (words at offsets 4i and 4i + 2) at
// 0x8018 + 4n + 2 * lane. Changes nothing else. Returns nullptr, or "File format error!!"
// (a lane-1 header fault leaves the lane-0 entries stored).
const char* BuildChecksumTable(uint8_t* image);

// The console's words are big-endian whatever the host's byte order.
uint16_t ReadWordBE(const uint8_t* image, uint32_t offset);

// Synthetic firmware files, for the run script's sample and for the tests: described block by
// block, turned into the bytes of a file and the image that a correct assembler builds from it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class CSyntheticFirmware {
public:
    // `mapEntries` is 512 (first 2 MB of flash) or 1024 (all of it).
    explicit CSyntheticFirmware(int mapEntries = 1024) : m_mapEntries(mapEntries) {}

    // A block is supplied once any of its bytes is set; its other bytes stay erased flash (0xFF).
    CSyntheticFirmware& FillBlock(int block, uint8_t value);
    CSyntheticFirmware& FillRegion(int region, uint8_t value);
    // Pseudo-random content, the same on every host for the same seed.
    CSyntheticFirmware& FillRegionRandom(int region, uint32_t seed);
    CSyntheticFirmware& SetByte(uint32_t offset, uint8_t value);
    // Big-endian words at 0x8000 and 0x8002 (zero for the checksum table) and at 0x8004 and
    // 0x8006 (which decide command U).
    CSyntheticFirmware& SetHeaderWords(uint16_t at8000, uint16_t at8002, uint16_t at8004, uint16_t at8006);

    // Faults in the file's bytes only; the expected image ignores them.
    CSyntheticFirmware& BreakChecksum(int block) { m_checksumFlips.push_back(block); return *this; }
    CSyntheticFirmware& SetMapByte(int index, uint8_t value) { m_mapBytes.emplace_back(index, value); return *this; }

    std::vector<uint8_t> Bytes() const;
    // The supplied blocks of the map's reach over erased flash.
    std::vector<uint8_t> ExpectedImage() const;
    // What a complete update leaves in an erased chip: the image with the checksum table that
    // the tool fills in region 1 whenever region 5 holds data.
    std::vector<uint8_t> ExpectedFlash() const;

private:
    int m_mapEntries;
    std::vector<uint8_t> m_image = std::vector<uint8_t>(4194304, 0xFF);
    std::vector<bool> m_supplied = std::vector<bool>(1024);
    std::vector<std::pair<int, uint8_t>> m_mapBytes;
    std::vector<int> m_checksumFlips;
};

// The sample that the run script flashes: every region holds data, and region 1 carries zero
// header words and 0x1180 in the two words that ask for command U.
CSyntheticFirmware SampleFirmware();

// Writes `bytes` as a new file; false when it cannot.
bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

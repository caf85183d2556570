// Synthetic firmware files for tests: described block by block, with optional faults, and
// turned into the bytes of a file plus the image that a correct assembler builds from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CSyntheticFirmware {
public:
    // `mapEntries` is 512 (first 2 MB of flash) or 1024 (all of it).
    explicit CSyntheticFirmware(int mapEntries = 1024);

    // Content. A block is supplied from the first time it is touched and starts as erased
    // flash (0xFF), so touching one byte changes the expected image in that byte only.
    // Blocks at or beyond the map size are left out of both outputs.
    uint8_t* SupplyBlock(int block);
    CSyntheticFirmware& FillBlock(int block, uint8_t value);
    CSyntheticFirmware& FillRegion(int region, uint8_t value);
    // Reproducible pseudo-random content, the same on every host for the same seed.
    CSyntheticFirmware& FillRegionRandom(int region, uint32_t seed);
    CSyntheticFirmware& SetByte(uint32_t offset, uint8_t value);
    // A big-endian word at an image offset, inside the block that holds it.
    CSyntheticFirmware& SetWordBE(uint32_t offset, uint16_t value);
    // The words at 0x8000 and 0x8002 (must be 0 for the checksum table) and the two words
    // at 0x8004 and 0x8006 that decide command U.
    CSyntheticFirmware& SetHeaderWords(uint16_t at8000, uint16_t at8002, uint16_t at8004, uint16_t at8006);

    // Faults, applied to the file's bytes only; the expected image ignores them.
    CSyntheticFirmware& BreakChecksum(int block);
    CSyntheticFirmware& SetMapByte(int index, uint8_t value);
    // Extra bytes between the block data and the checksums, e.g. to make a file oversized.
    CSyntheticFirmware& PadBeforeChecksums(size_t count, uint8_t value = 0);
    CSyntheticFirmware& TruncateTo(size_t length);

    int MapEntries() const { return m_mapEntries; }
    std::vector<uint8_t> Bytes() const;
    // The supplied blocks over erased flash, before any checksum table is filled in.
    std::vector<uint8_t> ExpectedImage() const;

private:
    int m_mapEntries;
    std::map<int, std::vector<uint8_t>> m_blocks;
    std::map<int, uint8_t> m_mapBytes;
    std::vector<int> m_brokenChecksums;
    size_t m_padding = 0;
    uint8_t m_paddingValue = 0;
    size_t m_truncateTo = SIZE_MAX;
};

// Writes `bytes` as a new file; false when it cannot.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

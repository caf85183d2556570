#include "FirmwareGenerator.h"

#include <algorithm>
#include <cstdio>

#include "FirmwareImage.h"
#include "RegionMap.h"

namespace {

// Checksum bytes of blocks that are not supplied are never read; erased flash's value.
constexpr uint8_t kUnusedChecksum = 0xFF;

uint8_t ComplementedSum(const std::vector<uint8_t>& block)
{
    uint8_t sum = 0;
    for (uint8_t byte : block)
        sum = static_cast<uint8_t>(sum + byte);
    return static_cast<uint8_t>(0xFF - sum);
}

// xorshift32: tiny, and the same sequence everywhere (unlike the standard distributions).
uint32_t NextRandom(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

} // namespace

CSyntheticFirmware::CSyntheticFirmware(int mapEntries) : m_mapEntries(mapEntries) {}

uint8_t* CSyntheticFirmware::SupplyBlock(int block)
{
    auto [it, added] = m_blocks.try_emplace(block);
    if (added)
        it->second.assign(kBlockBytes, 0xFF);
    return it->second.data();
}

CSyntheticFirmware& CSyntheticFirmware::FillBlock(int block, uint8_t value)
{
    std::fill_n(SupplyBlock(block), kBlockBytes, value);
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::FillRegion(int region, uint8_t value)
{
    const int first = static_cast<int>(RegionOffset(region) / kBlockBytes);
    const int count = static_cast<int>(RegionLength(region) / kBlockBytes);
    for (int block = first; block < first + count; ++block)
        FillBlock(block, value);
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::FillRegionRandom(int region, uint32_t seed)
{
    uint32_t state = seed * 2654435761u + 1u; // never 0, which xorshift cannot leave
    const int first = static_cast<int>(RegionOffset(region) / kBlockBytes);
    const int count = static_cast<int>(RegionLength(region) / kBlockBytes);
    for (int block = first; block < first + count; ++block) {
        uint8_t* bytes = SupplyBlock(block);
        for (uint32_t i = 0; i < kBlockBytes; ++i)
            bytes[i] = static_cast<uint8_t>(NextRandom(state) >> 24);
    }
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::SetByte(uint32_t offset, uint8_t value)
{
    SupplyBlock(static_cast<int>(offset / kBlockBytes))[offset % kBlockBytes] = value;
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::SetWordBE(uint32_t offset, uint16_t value)
{
    SetByte(offset, static_cast<uint8_t>(value >> 8));
    return SetByte(offset + 1, static_cast<uint8_t>(value));
}

CSyntheticFirmware& CSyntheticFirmware::SetHeaderWords(uint16_t at8000, uint16_t at8002, uint16_t at8004,
                                                       uint16_t at8006)
{
    SetWordBE(0x8000, at8000);
    SetWordBE(0x8002, at8002);
    SetWordBE(0x8004, at8004);
    return SetWordBE(0x8006, at8006);
}

CSyntheticFirmware& CSyntheticFirmware::BreakChecksum(int block)
{
    m_brokenChecksums.push_back(block);
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::SetMapByte(int index, uint8_t value)
{
    m_mapBytes[index] = value;
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::PadBeforeChecksums(size_t count, uint8_t value)
{
    m_padding = count;
    m_paddingValue = value;
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::TruncateTo(size_t length)
{
    m_truncateTo = length;
    return *this;
}

std::vector<uint8_t> CSyntheticFirmware::Bytes() const
{
    std::vector<uint8_t> map(m_mapEntries, 0);
    std::vector<uint8_t> checksums(m_mapEntries, kUnusedChecksum);
    std::vector<uint8_t> data;
    for (const auto& [block, bytes] : m_blocks) {
        if (block >= m_mapEntries)
            continue;
        map[block] = 1;
        checksums[block] = ComplementedSum(bytes);
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    for (const auto& [index, value] : m_mapBytes)
        map[index] = value;
    for (int block : m_brokenChecksums)
        checksums[block] ^= 0x01;

    std::vector<uint8_t> file = map;
    file.insert(file.end(), data.begin(), data.end());
    file.insert(file.end(), m_padding, m_paddingValue);
    file.insert(file.end(), checksums.begin(), checksums.end());
    if (m_truncateTo < file.size())
        file.resize(m_truncateTo);
    return file;
}

std::vector<uint8_t> CSyntheticFirmware::ExpectedImage() const
{
    std::vector<uint8_t> image(kImageSize, 0xFF);
    for (const auto& [block, bytes] : m_blocks) {
        if (block < m_mapEntries)
            std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<ptrdiff_t>(block) * kBlockBytes);
    }
    return image;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

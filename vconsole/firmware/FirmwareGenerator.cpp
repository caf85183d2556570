#include "FirmwareGenerator.h"

#include <algorithm>
#include <fstream>
#include <numeric>

#include "FirmwareImage.h"
#include "RegionMap.h"

CSyntheticFirmware& CSyntheticFirmware::FillBlock(int block, uint8_t value)
{
    std::fill_n(m_image.begin() + block * kBlockBytes, kBlockBytes, value);
    m_supplied[block] = true;
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::FillRegion(int region, uint8_t value)
{
    for (uint32_t at = RegionOffset(region); at < RegionOffset(region) + RegionLength(region); at += kBlockBytes)
        FillBlock(static_cast<int>(at / kBlockBytes), value);
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::FillRegionRandom(int region, uint32_t seed)
{
    uint32_t state = seed * 2654435761u + 1u; // xorshift32, which never leaves 0
    for (uint32_t at = RegionOffset(region); at < RegionOffset(region) + RegionLength(region); ++at) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        SetByte(at, static_cast<uint8_t>(state >> 24));
    }
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::SetByte(uint32_t offset, uint8_t value)
{
    m_image[offset] = value;
    m_supplied[offset / kBlockBytes] = true;
    return *this;
}

CSyntheticFirmware& CSyntheticFirmware::SetHeaderWords(uint16_t at8000, uint16_t at8002, uint16_t at8004, uint16_t at8006)
{
    const uint16_t words[] = {at8000, at8002, at8004, at8006};
    for (uint32_t i = 0; i < 4; ++i)
        SetByte(0x8000 + 2 * i, static_cast<uint8_t>(words[i] >> 8)).SetByte(0x8001 + 2 * i, words[i] & 0xFF);
    return *this;
}

std::vector<uint8_t> CSyntheticFirmware::Bytes() const
{
    // Map, supplied blocks, then one checksum byte per map entry (0xFF where unused).
    std::vector<uint8_t> file(m_mapEntries, 0);
    std::vector<uint8_t> checksums(m_mapEntries, 0xFF);
    for (int block = 0; block < m_mapEntries; ++block) {
        if (m_supplied[block]) {
            const auto data = m_image.begin() + block * kBlockBytes;
            file[block] = 1;
            checksums[block] = static_cast<uint8_t>(0xFF - std::accumulate(data, data + kBlockBytes, 0));
            file.insert(file.end(), data, data + kBlockBytes);
        }
    }
    for (const auto& [index, value] : m_mapBytes)
        file[index] = value;
    for (int block : m_checksumFlips)
        checksums[block] ^= 0x01;
    file.insert(file.end(), checksums.begin(), checksums.end());
    return file;
}

std::vector<uint8_t> CSyntheticFirmware::ExpectedImage() const
{
    std::vector<uint8_t> image = m_image;
    std::fill(image.begin() + m_mapEntries * kBlockBytes, image.end(), 0xFF);
    return image;
}

std::vector<uint8_t> CSyntheticFirmware::ExpectedFlash() const
{
    std::vector<uint8_t> flash = ExpectedImage();
    if (ComputeRegionMask(flash.data()).Test(5))
        BuildChecksumTable(flash.data());
    return flash;
}

CSyntheticFirmware SampleFirmware()
{
    CSyntheticFirmware firmware;
    for (int n = 0; n < kRegionCount; ++n)
        firmware.FillRegionRandom(n, static_cast<uint32_t>(n));
    firmware.SetHeaderWords(0, 0, 0x1180, 0x1180);
    return firmware;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close(); // a failed open, write or flush leaves the stream failed
    return !file.fail();
}

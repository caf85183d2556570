#include "FlashModel.h"

#include <algorithm>
#include <cstring>

#include "RegionMap.h"

namespace vconsole {

CFlashModel::CFlashModel() : m_cells(kSize)
{
    Fill(0xFF);
}

void CFlashModel::Fill(uint8_t value)
{
    if (Valid())
        std::memset(m_cells.Data(), value, kSize);
}

bool CFlashModel::Load(const uint8_t* data, size_t size)
{
    if (!Valid() || size != kSize)
        return false;
    std::memcpy(m_cells.Data(), data, kSize);
    return true;
}

bool CFlashModel::EraseRegion(int region)
{
    if (!Valid() || region < 0 || region >= kRegionCount)
        return false;
    std::memset(m_cells.Data() + RegionOffset(region), 0xFF, RegionLength(region));
    return true;
}

bool CFlashModel::Program(uint32_t address, const uint8_t* data, uint32_t count)
{
    if (!Valid() || address > kSize || count > kSize - address)
        return false;
    uint8_t* cells = m_cells.Data() + address;
    for (uint32_t i = 0; i < count; ++i)
        cells[i] = static_cast<uint8_t>(cells[i] & data[i]);
    return true;
}

uint32_t CFlashModel::Read(uint32_t address, uint8_t* out, uint32_t count) const
{
    if (!Valid() || address >= kSize)
        return 0;
    uint32_t n = (std::min)(count, kSize - address);
    std::memcpy(out, m_cells.Data() + address, n);
    return n;
}

} // namespace vconsole

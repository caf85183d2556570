// The console's 4 MB NOR flash: an erase sets a whole region to 0xFF, programming can only
// clear bits, so writing over data that was not erased shows up as a mix of both.
#pragma once

#include <cstddef>
#include <cstdint>

#include "HeapBlock.h"

namespace vconsole {

class CFlashModel {
public:
    static constexpr uint32_t kSize = 0x400000;

    // Starts erased (all 0xFF).
    CFlashModel();

    // False when the 4 MB could not be allocated; every operation then fails.
    bool Valid() const { return m_cells.Valid(); }
    void Fill(uint8_t value);
    // Takes exactly kSize bytes; anything else is refused and changes nothing.
    bool Load(const uint8_t* data, size_t size);
    // Region numbers as in the image's region map; false for a number outside it.
    bool EraseRegion(int region);
    // flash &= data, as the chip does; false (nothing programmed) when the range leaves the flash.
    bool Program(uint32_t address, const uint8_t* data, uint32_t count);
    // Copies up to `count` bytes from `address`; returns the number copied.
    uint32_t Read(uint32_t address, uint8_t* out, uint32_t count) const;
    const uint8_t* Data() const { return m_cells.Data(); }

private:
    CHeapBlock m_cells;
};

} // namespace vconsole

// The first stage of every update, and all of a file check: the firmware file read and verified,
// laid out as the flash image, with its region mask and, when region 5 holds data, the checksum
// table filled in. The object owns the file buffer, the working copy and the image.
#pragma once

#include <cstdint>

#include "FilePath.h"
#include "HeapBlock.h"
#include "ProgressDisplay.h"
#include "RegionMap.h"

class CPreparedImage {
public:
    // Reads the file at `path` and builds the image. Returns nullptr, or the status text of the
    // first failure. `progress`, when given, moves to 1 once the file is read and to 2 once its
    // blocks are laid out.
    const char* Prepare(const PathChar* path, IProgressDisplay* progress);

    // The file's length once it was measured and accepted, else 0.
    int32_t FileSize() const { return m_fileSize; }
    // The file's bytes as read; FileSize() of them.
    const uint8_t* FileBytes() const { return m_fileBuffer.Data(); }
    const uint8_t* Image() const { return m_image.Data(); }
    const RegionMask& Mask() const { return m_mask; }
    // After a successful Prepare: the entries of the file's block map (512 or 1024) and how
    // many of them supply a block.
    int MapEntries() const { return m_mapEntries; }
    int SuppliedBlocks() const { return m_suppliedBlocks; }

private:
    CHeapBlock m_fileBuffer;
    CHeapBlock m_workingCopy;
    CHeapBlock m_image;
    int32_t m_fileSize = 0;
    RegionMask m_mask{};
    int m_mapEntries = 0;
    int m_suppliedBlocks = 0;
};

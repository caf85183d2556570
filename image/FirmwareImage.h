// The picture of the console's 4 MB flash, built from the blocks of a firmware file.
#pragma once

#include <cstdint>

#include "HeapBlock.h"

// One byte per byte of flash: an image offset is the flash address.
inline constexpr uint32_t kImageSize = 4194304;
// The longest well-formed file: a 1024-entry map, all 1024 blocks, 1024 checksum bytes.
inline constexpr uint32_t kWorkingCopySize = 4196352;
inline constexpr uint32_t kBlockBytes = 4096;

// Checks the block map and block checksums of the `length` bytes at `file` and lays the
// supplied blocks out in `image` (kImageSize bytes, 0xFF where the file supplies nothing).
// `workingCopy` receives the file's bytes followed by zeros (kWorkingCopySize bytes); all
// parsing reads it, so bytes past the end of a short file read as 0.
// Returns nullptr on success, otherwise the memory text without full stop or
// "File format error!!". After a checksum failure the image holds the blocks placed so far.
const char* AssembleImage(const uint8_t* file, int32_t length, CHeapBlock& workingCopy, CHeapBlock& image);

// The number of block-map entries (512 or 1024) at the start of a working copy, or 0 when its
// leading run of 0 and 1 bytes is too short for any map.
int BlockMapEntries(const uint8_t* workingCopy);

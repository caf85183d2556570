// Reading the firmware file that the user picked: the whole file, in one request, into memory.
#pragma once

#include <cstdint>

#include "FilePath.h"
#include "HeapBlock.h"

// Reads the whole file at `path` into `fileBuffer` (exactly its length in bytes) and sets
// `length` to that length. Returns nullptr on success, otherwise the status text to show:
// "File not found!!" (cannot be opened, empty path, not a plain file), the memory text with
// its full stop, "File read error!!", or "File format error!!" for a file too long to be a
// firmware file, refused before any of it is read. `length` is 0 unless the length was
// measured and accepted. The file is opened for reading only and is closed on every path.
// Any path the platform can name is taken, on Windows beyond MAX_PATH characters too.
const char* ReadFirmwareFile(const PathChar* path, CHeapBlock& fileBuffer, int32_t& length);

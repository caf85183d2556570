#include "FirmwareImage.h"

#include <cstring>

#include "StatusTexts.h"

namespace {

constexpr int kShortMapEntries = 512;
constexpr int kFullMapEntries = 1024;
constexpr uint8_t kErased = 0xFF;

// Copies one block into the image and returns the 8-bit sum of its bytes. The byte-wide
// wrapping sum is exactly what the file's checksum byte complements, and it vectorises.
uint8_t PlaceBlock(uint8_t* target, const uint8_t* source)
{
    std::memcpy(target, source, kBlockBytes);
    uint8_t sum = 0;
    for (uint32_t i = 0; i < kBlockBytes; ++i)
        sum = static_cast<uint8_t>(sum + target[i]);
    return sum;
}

} // namespace

// The map holds nothing but 0 and 1, so the length of the leading run of such bytes tells
// the map's size: the block data and checksums that follow a 512-entry map normally break
// the run early.
int BlockMapEntries(const uint8_t* workingCopy)
{
    int count = 0;
    while (count < kFullMapEntries && workingCopy[count] <= 1)
        ++count;
    if (count == kFullMapEntries)
        return kFullMapEntries;
    return count >= kShortMapEntries ? kShortMapEntries : 0;
}

const char* AssembleImage(const uint8_t* file, int32_t length, CHeapBlock& workingCopy, CHeapBlock& image)
{
    // Nothing of an earlier run may survive into this one.
    workingCopy.Release();
    image.Release();
    // Neither block is cleared by the heap: the working copy gets the file and then zeros,
    // and every image block is written below, so clearing first would only cost time.
    workingCopy = CHeapBlock::Uncleared(kWorkingCopySize);
    if (!workingCopy.Valid())
        return texts::kNoMemory;
    image = CHeapBlock::Uncleared(kImageSize);
    if (!image.Valid())
        return texts::kNoMemory;
    // A longer file would not fit the working copy (the file reader already refuses it).
    const bool fits = length >= 0 && static_cast<uint32_t>(length) <= kWorkingCopySize;
    const size_t copied = fits ? static_cast<size_t>(length) : 0;
    uint8_t* copy = workingCopy.Data();
    if (copied > 0)
        std::memcpy(copy, file, copied);
    std::memset(copy + copied, 0, kWorkingCopySize - copied);
    const int entries = fits ? BlockMapEntries(copy) : 0;
    const char* result = entries == 0 ? texts::kFileFormatError : nullptr;

    // Each image block is written once: placed from the file, or erased (0xFF). A checksum
    // failure erases the rest, so the image then holds exactly the blocks placed so far.
    uint8_t* target = image.Data();
    const uint32_t imageBlocks = kImageSize / kBlockBytes;
    const uint8_t* data = copy + entries;
    uint32_t block = 0;
    for (; block < static_cast<uint32_t>(entries) && result == nullptr; ++block) {
        uint8_t* blockStart = target + block * kBlockBytes;
        if (copy[block] == 0) {
            std::memset(blockStart, kErased, kBlockBytes);
            continue;
        }
        const uint8_t sum = PlaceBlock(blockStart, data);
        data += kBlockBytes;
        // The checksums are the file's last `entries` bytes; a file shorter than its own map
        // has no checksum byte for an early block, which is as wrong as a mismatch.
        const int64_t checksumAt = static_cast<int64_t>(length) - entries + block;
        if (checksumAt < 0 || copy[checksumAt] != static_cast<uint8_t>(kErased - sum))
            result = texts::kFileFormatError;
    }
    std::memset(target + block * kBlockBytes, kErased, (imageBlocks - block) * kBlockBytes);
    return result;
}

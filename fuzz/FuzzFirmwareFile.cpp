// Any bytes at all, taken as a firmware file, go through the whole image stage: assembly,
// region mask and, when region 5 holds data, the checksum table.
#include <cstddef>
#include <cstdint>

#include "FirmwareImage.h"
#include "RegionMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(INT32_MAX))
        return 0; // no file length
    CHeapBlock workingCopy;
    CHeapBlock image;
    if (AssembleImage(data, static_cast<int32_t>(size), workingCopy, image) != nullptr)
        return 0;
    const RegionMask mask = ComputeRegionMask(image.Data());
    if (mask.Test(5))
        BuildChecksumTable(image.Data());
    return 0;
}

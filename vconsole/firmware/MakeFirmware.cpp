// make-firmware OUT.bin: a synthetic firmware file in which every region holds data and region 1
// carries zero header words and 0x1180 in the two words that ask for command U.
#include <cstdio>

#include "FirmwareGenerator.h"
#include "RegionMap.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-firmware OUT.bin\n");
        return 2;
    }
    CSyntheticFirmware firmware;
    for (int n = 0; n < kRegionCount; ++n)
        firmware.FillRegionRandom(n, static_cast<uint32_t>(n));
    const auto bytes = firmware.SetHeaderWords(0, 0, 0x1180, 0x1180).Bytes();
    if (!WriteFileBytes(argv[1], bytes)) {
        std::fprintf(stderr, "make-firmware: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], bytes.size());
    return 0;
}

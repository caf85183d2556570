// make-firmware OUT.bin [--small]: a synthetic firmware file in which every region holds data
// and region 1 carries zero header words and 0x1180 in the two words that ask for command U;
// --small gives region 0 only.
#include <cstdio>
#include <cstring>

#include "FirmwareGenerator.h"
#include "RegionMap.h"

int main(int argc, char** argv)
{
    const bool small = argc == 3 && std::strcmp(argv[2], "--small") == 0;
    if (argc != 2 && !small) {
        std::fprintf(stderr, "usage: make-firmware OUT.bin [--small]\n");
        return 2;
    }
    CSyntheticFirmware firmware;
    for (int n = 0; n < (small ? 1 : kRegionCount); ++n)
        firmware.FillRegionRandom(n, static_cast<uint32_t>(n));
    if (!small)
        firmware.SetHeaderWords(0, 0, 0x1180, 0x1180);
    const auto bytes = firmware.Bytes();
    if (!WriteFileBytes(argv[1], bytes)) {
        std::fprintf(stderr, "make-firmware: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes, regions 0..%d\n", argv[1], bytes.size(), small ? 0 : kRegionCount - 1);
    return 0;
}

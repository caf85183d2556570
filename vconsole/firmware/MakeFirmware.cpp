// make-firmware [--first-region] OUT.bin [FLASH.img]: the run script's synthetic sample firmware
// file, or only its first region (an update of a few messages, for the browser tests), and the
// flash that a complete update with it leaves in an erased chip.
#include <cstdio>
#include <cstring>

#include "FirmwareGenerator.h"

int main(int argc, char** argv)
{
    const bool firstRegion = argc > 1 && std::strcmp(argv[1], "--first-region") == 0;
    char** files = argv + (firstRegion ? 2 : 1);
    const int fileCount = argc - (firstRegion ? 2 : 1);
    if (fileCount < 1 || fileCount > 2) {
        std::fprintf(stderr, "usage: make-firmware [--first-region] OUT.bin [FLASH.img]\n");
        return 2;
    }
    const CSyntheticFirmware firmware = firstRegion ? CSyntheticFirmware().FillRegionRandom(0, 0) : SampleFirmware();
    const std::vector<uint8_t> contents[] = {firmware.Bytes(), firmware.ExpectedFlash()};
    for (int i = 0; i < fileCount; ++i) {
        if (!WriteFileBytes(files[i], contents[i])) {
            std::fprintf(stderr, "make-firmware: cannot write %s\n", files[i]);
            return 1;
        }
    }
    std::printf("%s: %zu bytes\n", files[0], contents[0].size());
    return 0;
}

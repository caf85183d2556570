// make-firmware OUT.bin: the run script's synthetic sample firmware file.
#include <cstdio>

#include "FirmwareGenerator.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-firmware OUT.bin\n");
        return 2;
    }
    const auto bytes = SampleFirmware().Bytes();
    if (!WriteFileBytes(argv[1], bytes)) {
        std::fprintf(stderr, "make-firmware: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu bytes\n", argv[1], bytes.size());
    return 0;
}

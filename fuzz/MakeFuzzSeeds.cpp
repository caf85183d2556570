// make_fuzz_seeds SEEDS CORPUS: writes a handful of small firmware files, sound and faulty,
// into SEEDS and makes sure the folder CORPUS exists for what the fuzzer discovers.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "FirmwareGenerator.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds SEEDS CORPUS\n");
        return 2;
    }
    const fs::path seeds = argv[1];
    std::error_code error;
    fs::create_directories(seeds, error);
    fs::create_directories(argv[2], error);

    // Region 1 with its zero header words and region 5 with data: the checksum table is built.
    CSyntheticFirmware withTable;
    withTable.FillBlock(0, 0x00).SetHeaderWords(0, 0, 0x1180, 0x1180).FillBlock(40, 0x5A);
    CSyntheticFirmware badHeader = withTable;
    badHeader.SetWordBE(0x8002, 1);
    CSyntheticFirmware shortMap(512);
    shortMap.FillBlock(3, 0x02).FillBlock(511, 0x7E);
    CSyntheticFirmware badChecksum;
    badChecksum.FillBlock(1, 0x10).FillBlock(2, 0x20).BreakChecksum(1);
    CSyntheticFirmware truncated;
    truncated.FillBlock(0, 0x33).FillBlock(9, 0x44).TruncateTo(5000);
    CSyntheticFirmware padded;
    padded.FillBlock(12, 0x0F).PadBeforeChecksums(100, 0xEE);

    const struct {
        const char* name;
        const CSyntheticFirmware& firmware;
    } files[] = {{"with-table", withTable}, {"bad-header", badHeader}, {"short-map", shortMap},
                 {"bad-checksum", badChecksum}, {"truncated", truncated}, {"padded", padded}};
    for (const auto& file : files) {
        const std::string path = (seeds / (std::string(file.name) + ".bin")).string();
        if (!WriteFileBytes(path, file.firmware.Bytes())) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

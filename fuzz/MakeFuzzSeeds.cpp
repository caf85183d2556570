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
    std::error_code error;
    fs::create_directories(argv[1], error);
    fs::create_directories(argv[2], error);

    // Region 1 with its zero header words and region 5 with data: the checksum table is built.
    CSyntheticFirmware withTable;
    withTable.FillBlock(0, 0x00).SetHeaderWords(0, 0, 0x1180, 0x1180).FillBlock(40, 0x5A);
    auto badHeader = withTable;
    auto truncated = withTable.Bytes();
    truncated.resize(5000);
    auto padded = withTable.Bytes();
    padded.insert(padded.end() - 1024, 100, 0xEE);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {{"with-table", withTable.Bytes()},
                 {"bad-header", badHeader.SetHeaderWords(0, 1, 0, 0).Bytes()},
                 {"short-map", CSyntheticFirmware(512).FillBlock(3, 0x02).FillBlock(511, 0x7E).Bytes()},
                 {"bad-checksum", CSyntheticFirmware().FillBlock(1, 0x10).FillBlock(2, 0x20).BreakChecksum(1).Bytes()},
                 {"truncated", truncated},
                 {"padded", padded}};
    for (const auto& file : files) {
        const std::string path = (fs::path(argv[1]) / (std::string(file.name) + ".bin")).string();
        if (!WriteFileBytes(path, file.bytes)) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

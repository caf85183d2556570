#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "FirmwareFile.h"
#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace fs = std::filesystem;

TEST(ReadFirmwareFile, EachOutcomeGivesItsTextAndClosesTheFile)
{
    const fs::path dir = fs::temp_directory_path() / ("vu-read-test-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const auto bytes = CSyntheticFirmware().FillBlock(3, 0x33).Bytes();
    const auto file = [&dir](const fs::path& name, uint64_t size, const std::vector<uint8_t>& content = {}) {
        fs::create_directories((dir / name).parent_path());
        WriteFileBytes(dir / name, content);
        fs::resize_file(dir / name, size); // sparse: costs no disk
        return dir / name;
    };
    const fs::path sample = file("sample.bin", bytes.size(), bytes);
    // Any script in a folder name, and a path beyond the 260 characters of the old Windows calls.
    const fs::path unicode = file(u8"Загрузки Ελληνικά ダウンロード/fw.bin", bytes.size(), bytes);
    const fs::path deep = file(fs::path(std::string(100, 'a')) / std::string(100, 'b') / std::string(100, 'c') / "fw.bin",
                               bytes.size(), bytes);
    const int32_t n = static_cast<int32_t>(bytes.size());
    const struct {
        fs::path path;
        int failingAllocation;
        const char* result;
        int32_t length;
    } cases[] = {
        {sample, 0, nullptr, n},
        {sample, 1, texts::kNoMemoryForFile, n},
        {unicode, 0, nullptr, n},
        {deep, 0, nullptr, n},
        {file("empty.bin", 0), 0, nullptr, 0},
        {file("longest.bin", kWorkingCopySize), 0, nullptr, static_cast<int32_t>(kWorkingCopySize)},
        // Longer ones are refused before memory is taken; 4 GB + 1024 is not 1024 bytes.
        {file("long.bin", kWorkingCopySize + 1), 1, texts::kFileFormatError, 0},
        {file("huge.bin", (uint64_t{1} << 32) + 1024), 1, texts::kFileFormatError, 0},
        {(dir / "missing.bin").string(), 0, texts::kFileNotFound, 0},
        {"", 0, texts::kFileNotFound, 0},
        {dir.string(), 0, texts::kFileNotFound, 0},
#ifndef _WIN32
        {"/sys/kernel/mm/transparent_hugepage/enabled", 0, texts::kFileReadError, 4096}, // 4096 claimed, fewer given
#endif
    };
    const int freeFd = open(sample.string().c_str(), O_RDONLY); // the lowest free descriptor
    close(freeFd);
    for (const auto& c : cases) {
        if (c.result == texts::kFileReadError && !fs::exists(c.path))
            continue;
        CHeapBlock buffer;
        int32_t length = -1;
        FailHeapAllocationAfter(c.failingAllocation);
        EXPECT_STREQ(ReadFirmwareFile(c.path.c_str(), buffer, length), c.result) << c.path;
        FailHeapAllocationAfter(0);
        EXPECT_EQ(length, c.length) << c.path;
        EXPECT_EQ(buffer.Valid(), c.result == nullptr || c.result == texts::kFileReadError) << c.path;
        EXPECT_TRUE(c.result || c.length != n || std::memcmp(buffer.Data(), bytes.data(), bytes.size()) == 0);
    }
    CHeapBlock buffer;
    int32_t length = 0;
    EXPECT_STREQ(ReadFirmwareFile(nullptr, buffer, length), texts::kFileNotFound);
    const int fd = open(sample.string().c_str(), O_RDONLY); // no descriptor was left open
    close(fd);
    EXPECT_EQ(fd, freeFd);
    for (fs::path p = deep; p != dir; p = p.parent_path())
        fs::remove(p); // the runtime's remove_all cannot walk a path this long under Wine
    fs::remove_all(dir);
}

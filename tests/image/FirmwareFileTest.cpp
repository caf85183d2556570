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
#ifdef _WIN32
    // Names that differ only in a trailing dot or blank are other files; "odd.bin" holds 3 bytes.
    // The extended form keeps such names as they are.
    const auto made = [](fs::path path) { return fs::path(L"\\\\?\\" + path.make_preferred().wstring()); };
    file("odd.bin", 3);
    const fs::path odd = dir / "odd.bin.", blank = dir / "sp.bin ";
    EXPECT_TRUE(WriteFileBytes(made(odd), bytes) && WriteFileBytes(made(blank), bytes));
    const fs::path sampleDeep = dir / deep.lexically_relative(dir).parent_path() / ".." / ".." / ".." / "sample.bin";
    // Wine keeps the share \\localhost\NAME in its prefix; Windows has each drive's own share.
    const wchar_t* wine = _wgetenv(L"WINEPREFIX");
    const fs::path share = wine ? L"\\\\localhost\\" + dir.filename().wstring() : L"\\\\localhost\\" + dir.wstring().replace(1, 1, L"$");
    const fs::path shared = wine ? fs::path(L"Z:" + std::wstring(wine)) / "dosdevices" / "unc" / share.wstring().substr(2) : dir;
    fs::create_directories(made(shared));
    fs::copy_file(sample, shared / "sample.bin", fs::copy_options::overwrite_existing);
#endif
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
#ifdef _WIN32
        {odd, 0, nullptr, n},
        {blank, 0, nullptr, n},
        {odd.generic_wstring(), 0, nullptr, n},
        {L"\\\\?\\" + odd.wstring(), 0, nullptr, n},
        {L"\\\\.\\" + sample.wstring(), 0, nullptr, n},
        {(dir / "." / deep.lexically_relative(dir).begin()->wstring() / ".." / "odd.bin.").generic_wstring(), 0, nullptr, n},
        {"sample.bin", 0, nullptr, n},
        {"odd.bin.", 0, nullptr, n},
        {dir.root_name().wstring() + L"odd.bin.", 0, nullptr, n},
        {dir.root_directory() / dir.relative_path() / "sp.bin ", 0, nullptr, n},
        {deep.lexically_relative(dir), 0, nullptr, n},
        {L"//./" + deep.generic_wstring(), 0, nullptr, n},
        {L"//?/" + deep.generic_wstring(), 0, nullptr, n},
        {share / "sample.bin", 0, nullptr, n},
        {share / sampleDeep.lexically_relative(dir), 0, nullptr, n},
#endif
#ifndef _WIN32
        {"/sys/kernel/mm/transparent_hugepage/enabled", 0, texts::kFileReadError, 4096}, // 4096 claimed, fewer given
#endif
    };
    const int freeFd = open(sample.string().c_str(), O_RDONLY); // the lowest free descriptor
    close(freeFd);
    const fs::path current = fs::current_path();
    fs::current_path(dir); // for the relative rows
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
        EXPECT_TRUE(c.result || length != n || std::memcmp(buffer.Data(), bytes.data(), bytes.size()) == 0);
    }
    fs::current_path(current);
    CHeapBlock buffer;
    int32_t length = 0;
    EXPECT_STREQ(ReadFirmwareFile(nullptr, buffer, length), texts::kFileNotFound);
    const int fd = open(sample.string().c_str(), O_RDONLY); // no descriptor was left open
    close(fd);
    EXPECT_EQ(fd, freeFd);
    for (fs::path p = deep; p != dir; p = p.parent_path())
        fs::remove(p); // the runtime's remove_all cannot walk a path this long under Wine
#ifdef _WIN32
    for (const fs::path& p : {odd, blank, shared / "sample.bin", shared})
        fs::remove(made(p));
#endif
    fs::remove_all(dir);
}

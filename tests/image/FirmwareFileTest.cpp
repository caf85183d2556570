#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "FirmwareFile.h"
#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace fs = std::filesystem;

namespace {

// A private folder for one test's files, removed at the end.
class CScratchFolder {
public:
    CScratchFolder()
    {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("vu-image-test-" + std::to_string(random()));
        fs::create_directories(m_path);
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    std::string File(const char* name) const { return (m_path / name).string(); }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

// The descriptor that the next open gets: the lowest free one. It moves when a descriptor
// is left open behind our back.
int NextFreeDescriptor(const std::string& anyFile)
{
#ifdef _WIN32
    const int fd = _open(anyFile.c_str(), _O_RDONLY | _O_BINARY);
    _close(fd);
#else
    const int fd = open(anyFile.c_str(), O_RDONLY);
    close(fd);
#endif
    return fd;
}

struct ReadResult {
    const char* result = nullptr;
    CHeapBlock buffer;
    int32_t length = -1;
};

ReadResult Read(const std::string& path)
{
    ReadResult out;
    out.result = ReadFirmwareFile(path.c_str(), out.buffer, out.length);
    return out;
}

} // namespace

TEST(ReadFirmwareFile, ReadsTheWholeFileAndLeavesItUntouched)
{
    CScratchFolder folder;
    const std::string path = folder.File("sample.bin");
    const auto bytes = CSyntheticFirmware().FillRegionRandom(0, 1).FillBlock(1000, 0x12).Bytes();
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    const auto stamp = fs::last_write_time(path) - std::chrono::hours(1);
    fs::last_write_time(path, stamp);
    const int freeFd = NextFreeDescriptor(path);

    auto read = Read(path);
    EXPECT_EQ(read.result, nullptr);
    ASSERT_EQ(read.length, static_cast<int32_t>(bytes.size()));
    ASSERT_EQ(read.buffer.Size(), bytes.size());
    EXPECT_EQ(std::memcmp(read.buffer.Data(), bytes.data(), bytes.size()), 0);

    EXPECT_EQ(NextFreeDescriptor(path), freeFd);
    EXPECT_EQ(fs::last_write_time(path), stamp);
    EXPECT_EQ(fs::file_size(path), bytes.size());
    read = Read(path);
    EXPECT_EQ(std::memcmp(read.buffer.Data(), bytes.data(), bytes.size()), 0);

    // An empty file is a file like any other, of length 0.
    const std::string empty = folder.File("empty.bin");
    ASSERT_TRUE(WriteFileBytes(empty, {}));
    read = Read(empty);
    EXPECT_EQ(read.result, nullptr);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(NextFreeDescriptor(path), freeFd);
}

TEST(ReadFirmwareFile, WhatCannotBeOpenedAsAFileIsNotFound)
{
    CScratchFolder folder;
    const std::string probe = folder.File("probe.bin");
    ASSERT_TRUE(WriteFileBytes(probe, {1}));
    const int freeFd = NextFreeDescriptor(probe);

    for (const std::string& path : {std::string(), folder.File("missing.bin"), folder.Path()}) {
        auto read = Read(path);
        EXPECT_STREQ(read.result, texts::kFileNotFound) << path;
        EXPECT_FALSE(read.buffer.Valid());
        EXPECT_EQ(read.length, 0);
    }
    CHeapBlock buffer;
    int32_t length = 0;
    EXPECT_STREQ(ReadFirmwareFile(nullptr, buffer, length), texts::kFileNotFound);
    EXPECT_EQ(NextFreeDescriptor(probe), freeFd);
}

TEST(ReadFirmwareFile, FileLongerThanTheLongestFirmwareIsRefusedBeforeAnyMemoryIsTaken)
{
    CScratchFolder folder;
    const std::string path = folder.File("long.bin");
    ASSERT_TRUE(WriteFileBytes(path, {}));
    const int freeFd = NextFreeDescriptor(path);

    // Exactly the longest firmware file is read.
    fs::resize_file(path, kWorkingCopySize);
    auto read = Read(path);
    EXPECT_EQ(read.result, nullptr);
    EXPECT_EQ(read.length, static_cast<int32_t>(kWorkingCopySize));

    // Longer ones are refused while the next allocation is armed to fail: had the reader
    // taken a buffer first, it would report the memory text instead. 4 GB + 1024 bytes
    // would pass as 1024 bytes if the length were taken in 32 bits. (Sparse: costs no disk.)
    for (uint64_t size : {uint64_t{kWorkingCopySize} + 1, (uint64_t{1} << 32) + 1024}) {
        fs::resize_file(path, size);
        FailHeapAllocationAfter(1);
        read = Read(path);
        FailHeapAllocationAfter(0);
        EXPECT_STREQ(read.result, texts::kFileFormatError) << size;
        EXPECT_FALSE(read.buffer.Valid());
        EXPECT_EQ(read.length, 0);
    }
    EXPECT_EQ(NextFreeDescriptor(path), freeFd);
}

TEST(ReadFirmwareFile, MemoryShortageForTheFileBufferEndsWithAFullStop)
{
    CScratchFolder folder;
    const std::string path = folder.File("sample.bin");
    ASSERT_TRUE(WriteFileBytes(path, CSyntheticFirmware().FillBlock(3, 0x33).Bytes()));
    const int freeFd = NextFreeDescriptor(path);

    FailHeapAllocationAfter(1);
    auto read = Read(path);
    FailHeapAllocationAfter(0);
    EXPECT_STREQ(read.result, texts::kNoMemoryForFile);
    EXPECT_FALSE(read.buffer.Valid());
    EXPECT_EQ(NextFreeDescriptor(path), freeFd);
}

#ifndef _WIN32
// A sysfs attribute claims 4096 bytes and yields far fewer: the short read is caught.
TEST(ReadFirmwareFile, ShortReadIsAReadError)
{
    const std::string path = "/sys/kernel/mm/transparent_hugepage/enabled";
    if (!fs::exists(path))
        GTEST_SKIP() << "no sysfs attribute to read";
    const int freeFd = NextFreeDescriptor(path);
    auto read = Read(path);
    EXPECT_STREQ(read.result, texts::kFileReadError);
    EXPECT_EQ(NextFreeDescriptor(path), freeFd);
}
#endif

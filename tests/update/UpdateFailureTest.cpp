// Every way an update can fail: the text it ends with, what reached the console, and that the
// console is updated by the next run once the cause is gone.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

#include "StatusTexts.h"
#include "UpdateRig.h"

namespace {

bool EndsWithPortsClosed(const Strings& journal)
{
    return !journal.empty() && journal.back().rfind("stats ", 0) == 0;
}

// Region 0 alone: four erases and sixteen write packets at 0x0, 0x800, ... 0x7800.
CSyntheticFirmware LowerGroupFile()
{
    CSyntheticFirmware firmware;
    firmware.FillRegionRandom(0, 31);
    return firmware;
}

class UpdateFailure : public CRigTest {
protected:
    // A run with a healthy console now completes and leaves the image in the flash.
    void ExpectHealthyRerunCompletes(const std::string& path, const CSyntheticFirmware& firmware)
    {
        rig.Configure();
        EXPECT_EQ(rig.Run(path).statuses.back(), texts::kComplete);
        EXPECT_TRUE(rig.Flash() == ExpectedFlash(firmware));
    }
};

// The file and image stage fails before any port is opened: the console hears nothing.
TEST_F(UpdateFailure, FileAndImageFailuresEndTheRunBeforeTheConsole)
{
    struct Case {
        const char* what;
        std::string path;
        const char* text;
        Strings positions;    // how far the first stage got
    };
    CSyntheticFirmware region5;
    region5.FillRegionRandom(5, 1);
    std::vector<Case> cases = {
        {"missing file", rig.MissingFile(), texts::kFileNotFound, {}},
        {"empty path", "", texts::kFileNotFound, {}},
        {"map byte 2 at offset 0", rig.WriteFirmware(CSyntheticFirmware().SetMapByte(0, 2)), texts::kFileFormatError,
         {"pos:1"}},
        {"block checksum", rig.WriteFirmware(LowerGroupFile().BreakChecksum(3)), texts::kFileFormatError, {"pos:1"}},
        {"header word at 0x8000", rig.WriteFirmware(CSyntheticFirmware(region5).SetHeaderWords(1, 0, 0, 0)),
         texts::kFileFormatError, {"pos:1", "pos:2"}},
        {"header word at 0x8002", rig.WriteFirmware(CSyntheticFirmware(region5).SetHeaderWords(0, 0x8000, 0, 0)),
         texts::kFileFormatError, {"pos:1", "pos:2"}},
        {"region 5 without region 1", rig.WriteFirmware(region5), texts::kFileFormatError, {"pos:1", "pos:2"}},
    };
    // A sysfs attribute claims 4096 bytes and yields far fewer: a file that cannot be read whole.
    const char* shortFile = "Z:\\sys\\kernel\\mm\\transparent_hugepage\\enabled";
    if (GetFileAttributesA(shortFile) != INVALID_FILE_ATTRIBUTES)
        cases.push_back({"short read", shortFile, texts::kFileReadError, {}});
    else
        std::printf("note: no sysfs attribute under Z:, so the short read is not covered here\n");

    for (const Case& c : cases) {
        rig.Configure();
        const RunOutcome run = rig.Run(c.path);
        Strings expected = {"range:0-3", "pos:0", Status(texts::kFileReading)};
        Append(expected, c.positions);
        expected.push_back(Status(c.text));
        EXPECT_EQ(run.events, expected) << c.what;
        EXPECT_TRUE(rig.Journal().empty()) << c.what;
    }
}

// Memory runs short at the n-th heap block of a run of the region 0 file: 1 the file buffer,
// 2 the working copy, 3 the image, 4 command U's message, 5 and 6 the first erase's message and
// reply buffers, 13 and 14 the write's, 15 and 16 the final command's.
TEST_F(UpdateFailure, MemoryShortageAtEachStage)
{
    const CSyntheticFirmware firmware = LowerGroupFile();
    const std::string path = rig.WriteFirmware(firmware);
    struct Case {
        int allocation;
        Strings statuses;
        Strings sent;
    };
    const Strings erases = {"erase 0", "erase 2", "erase 3", "erase 4"};
    Strings uAndErases = {"U"};
    Append(uAndErases, erases);
    Strings allButFinal = uAndErases;
    Append(allButFinal, RegionWrites(0));
    const Case cases[] = {
        {1, {texts::kFileReading, texts::kNoMemoryForFile}, {}},
        {2, {texts::kFileReading, texts::kNoMemory}, {}},
        {3, {texts::kFileReading, texts::kNoMemory}, {}},
        // Command U is not the console's business to confirm: the run goes on without it.
        {4,
         {texts::kFileReading, texts::kDeviceOpen, texts::kNoMemory, texts::kUninstalling, "Installing.... ( 1/ 1)",
          texts::kComplete},
         [&] {
             Strings sent = allButFinal;
             sent.erase(sent.begin());
             sent.push_back("final");
             return sent;
         }()},
        {6, {texts::kFileReading, texts::kDeviceOpen, texts::kUninstalling, texts::kNoMemory, texts::kUninstallFailed},
         {"U"}},
        {14,
         {texts::kFileReading, texts::kDeviceOpen, texts::kUninstalling, "Installing.... ( 1/ 1)", texts::kNoMemory,
          texts::kInstallFailed},
         uAndErases},
        {16,
         {texts::kFileReading, texts::kDeviceOpen, texts::kUninstalling, "Installing.... ( 1/ 1)", texts::kNoMemory,
          texts::kCompleteRestart},
         allButFinal},
    };
    for (const Case& c : cases) {
        rig.Configure();
        EXPECT_EQ(rig.Run(path, true, c.allocation).statuses, c.statuses) << c.allocation;
        EXPECT_EQ(Describe(rig.Received()), c.sent) << c.allocation;
    }
    ExpectHealthyRerunCompletes(path, firmware);
}

TEST_F(UpdateFailure, PortsThatDoNotOpenEndTheRunBeforeThePause)
{
    const CSyntheticFirmware firmware = LowerGroupFile();
    const std::string path = rig.WriteFirmware(firmware);
    const Strings expected = {"range:0-3", "pos:0", Status(texts::kFileReading), "pos:1", "pos:2", "pos:3",
                              "range:0-5", "pos:0", Status(texts::kDeviceOpen), Status(texts::kDeviceOpenFailed)};

    // Discovery never ran: the device indices name no device.
    EXPECT_EQ(rig.Run(path, false).events, expected);
    EXPECT_TRUE(rig.Journal().empty());

    // The console's input refuses to open; its output, already open, is closed again.
    rig.Configure("fail_open_in");
    EXPECT_EQ(rig.Run(path).events, expected);
    EXPECT_TRUE(rig.Received().empty());
    EXPECT_TRUE(rig.Flash() == Bytes(4194304, 0xFF));

    ExpectHealthyRerunCompletes(path, firmware);
}

// The console stops answering at the sixth packet, the second of the third block: the bar
// keeps the two blocks that were acknowledged, nothing further is sent, the ports close.
TEST_F(UpdateFailure, ConsoleStoppingMidWrite)
{
    const CSyntheticFirmware firmware = LowerGroupFile();
    const std::string path = rig.WriteFirmware(firmware);
    rig.Configure("fault write 6 silent");
    const RunOutcome run = rig.Run(path);

    const Strings tail(run.events.end() - 6, run.events.end());
    EXPECT_EQ(tail, (Strings{"status:Installing.... ( 1/ 1)", "range:0-8", "pos:0", "offset:1", "offset:1",
                             Status(texts::kInstallFailed)}));
    const Strings sent = Describe(rig.Received());
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "write 2800");
    EXPECT_TRUE(EndsWithPortsClosed(run.journalAfterLoad));

    ExpectHealthyRerunCompletes(path, firmware);
}

// Each fault the console can play, on an erase, a write packet or the final command: the text
// the run ends with and the last message the console received. Afterwards a healthy console
// is updated completely by the same file.
TEST_F(UpdateFailure, EveryConsoleFaultEndsAsItShouldAndTheNextRunRecovers)
{
    struct Case {
        const char* config;
        const char* text;
        const char* lastSent;
    };
    // The reply time-out is 300 ms: "delay 700" is too late, "delay 50" in time.
    const Case cases[] = {
        {"fault erase 2 silent", texts::kUninstallFailed, "erase 2"},
        {"fault erase 1 result 01", texts::kUninstallFailed, "erase 0"},
        {"fault erase 3 other_region", texts::kUninstallFailed, "erase 3"},
        {"fault erase 1 long_error", texts::kUninstallFailed, "erase 0"},
        {"fault erase 2 echo_command", texts::kUninstallFailed, "erase 2"},
        {"fault erase 4 refuse_send", texts::kUninstallFailed, "erase 3"},
        {"fault erase 2 delay 700", texts::kUninstallFailed, "erase 2"},
        {"fault erase 2 delay 50", texts::kComplete, "final"},
        {"fault erase 1 early", texts::kComplete, "final"},
        {"fault erase 1 short_before", texts::kComplete, "final"},
        {"fault erase 1 malformed", texts::kComplete, "final"},
        {"fault erase 1 oversized 5000", texts::kComplete, "final"},
        {"fault write 1 result 7F", texts::kInstallFailed, "write 0"},
        {"fault write 5 wrong_echo", texts::kInstallFailed, "write 2000"},
        {"fault write 2 long_error", texts::kInstallFailed, "write 800"},
        {"fault write 16 refuse_send", texts::kInstallFailed, "write 7000"},
        {"fault write 3 delay 700", texts::kInstallFailed, "write 1000"},
        {"fault write 2 echo_high_bits", texts::kComplete, "final"},
        {"fault write 2 oversized 6000", texts::kComplete, "final"},
        {"fault write 4 early", texts::kComplete, "final"},
        {"fault write 4 short_before", texts::kComplete, "final"},
        {"fault write 4 malformed", texts::kComplete, "final"},
        {"fault write 7 delay 50", texts::kComplete, "final"},
        {"fault final 1 silent", texts::kCompleteRestart, "final"},
        {"fault final 1 result 01", texts::kCompleteRestart, "final"},
        {"fault final 1 echo_command", texts::kCompleteRestart, "final"},
        {"fault final 1 long_error", texts::kCompleteRestart, "final"},
        {"fault final 1 refuse_send", texts::kCompleteRestart, "write 7800"},
        {"answer_u", texts::kComplete, "final"},
    };
    const CSyntheticFirmware firmware = LowerGroupFile();
    const std::string path = rig.WriteFirmware(firmware);
    for (const Case& c : cases) {
        rig.Configure(c.config);
        const RunOutcome run = rig.Run(path);
        EXPECT_EQ(run.statuses.back(), c.text) << c.config;
        const Strings sent = Describe(rig.Received());
        EXPECT_TRUE(!sent.empty() && sent.back() == c.lastSent) << c.config;
        EXPECT_TRUE(EndsWithPortsClosed(run.journalAfterLoad)) << c.config;
        if (c.text == texts::kComplete) {
            EXPECT_TRUE(rig.Flash() == ExpectedFlash(firmware)) << c.config;
        }
        ExpectHealthyRerunCompletes(path, firmware);
    }
}

} // namespace

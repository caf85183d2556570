// Whole updates through winmm and the virtual console, one row per case: the status texts, the
// progress bar, what the console received, its flash afterwards, and after a failure at the
// console that the next healthy run updates it completely.
#include "ConsoleRig.h"

#include <algorithm>
#include <span>

#include "FirmwareImage.h"
#include "RegionMap.h"

namespace {

// Each of `configs` is run alone: console lines, or "heap N" (the run's n-th heap block fails).
struct Case {
    CSyntheticFirmware file;
    Strings configs;
    std::string statuses;
    std::string sent;             // as Expand() reads it
    std::string progress = {};    // as CRecordingDisplay has it; empty: not checked
    const char* path = nullptr;   // instead of the file
};

const std::string kOpened = "File reading....|Device open....";
const std::string kErasing = kOpened + "|Uninstalling....";
const std::string kInstalling = kErasing + "|Installing.... ( 1/ 1)";
const std::string kNoMemory = "|Not enough memory! try closing some applications";
const std::string kFormatError = "File reading....|File format error!!";
const std::string kRestart = "|Complete! please restart PQ4400.";
const std::string kLowerErase = "U E0 E2 E3 E4";
const std::string kLowerSent = kLowerErase + " R0 F";

std::string Positions(int upper)
{
    std::string text = "|" + std::to_string(upper) + ":";
    for (int position = 0; position <= upper; ++position)
        text += std::to_string(position) + " ";
    return text;
}

std::string Blocks(int region, int done = 32)
{
    const int blocks = static_cast<int>(RegionLength(region) / 4096);
    return "|" + std::to_string(blocks) + ":0 " + std::string((std::min)(done, blocks), '+');
}

const std::string kOpenedBar = Positions(3) + Positions(5);
const CSyntheticFirmware kLower = CSyntheticFirmware().FillRegionRandom(0, 31);
const CSyntheticFirmware kRegion5 = CSyntheticFirmware().FillRegionRandom(5, 1);

// The upper group: region 1, then regions 5 to 34.
std::string UpperErase()
{
    std::string names = "E1";
    for (int region = 5; region < kRegionCount; ++region)
        names += " E" + std::to_string(region);
    return names;
}

// Regions 1 and 5, with the two words that decide command U.
Case Levels(uint16_t at8004, uint16_t at8006, bool u)
{
    return {CSyntheticFirmware(kRegion5).SetHeaderWords(0, 0, at8004, at8006), {""},
            kErasing + "|Installing.... ( 1/ 2)|Installing.... ( 2/ 2)|Complete!",
            (u ? "U " : "") + UpperErase() + " R1 R5 F"};
}

Case AllRegions()
{
    Case c{SampleFirmware(), {""}, kErasing, kLowerErase + " " + UpperErase(),
           kOpenedBar + Positions(35)};
    for (int region = 0; region < kRegionCount; ++region) {
        c.statuses += "|Installing.... (" + std::string(region < 9 ? " " : "") + std::to_string(region + 1) + "/35)";
        c.sent += " R" + std::to_string(region);
        c.progress += Blocks(region);
    }
    c.statuses += "|Complete!";
    c.sent += " F";
    return c;
}

const Case kCases[] = {
    {kLower, {""}, kInstalling + "|Complete!", kLowerSent, kOpenedBar + Positions(4) + Blocks(0)},
    {CSyntheticFirmware(), {""}, kErasing + "|Complete!", "U F", kOpenedBar + "|0:0 "},
    // Without region 0 nothing erases region 3: NOR flash can only clear its bits.
    {CSyntheticFirmware().FillRegionRandom(3, 11), {"flash_fill 5A"}, kInstalling + "|Complete!", "U R3 F",
     kOpenedBar + "|0:0 " + Blocks(3)},
    AllRegions(),
    Levels(0x1180, 0x117F, false),
    Levels(0x117F, 0x1180, false),
    Levels(0x1180, 0x1180, true),
    Levels(0x7F11, 0x7F11, true),   // 0x7F11 and 0x117F swap under the wrong byte order
    // File and image, failing at each of their three steps: the console hears nothing. (Every
    // way a file can be wrong is the image tests' business.)
    {kLower, {""}, "File reading....|File not found!!", "", "|3:0 ", "C:\\nowhere\\fw.bin"},
    {CSyntheticFirmware(kLower).BreakChecksum(3), {""}, kFormatError, "", "|3:0 1 "},
    {CSyntheticFirmware(kRegion5).SetHeaderWords(1, 0, 0, 0), {""}, kFormatError, "", "|3:0 1 2 "},
    // No memory for command U's message (the 4th heap block), which is not waited for: the update
    // goes on. (Memory short elsewhere is the commands' and the file's own tests' business.)
    {kLower, {"heap 4"}, kOpened + kNoMemory + "|Uninstalling....|Installing.... ( 1/ 1)|Complete!",
     "E0 E2 E3 E4 R0 F"},
    {kLower, {"fail_open_in"}, kOpened + "|Device open failed!!", "", Positions(3) + "|5:0 "},
    // The console's faults; the reply time-out is 1000 ms. A reply cut one byte before the last
    // compared one fails, whatever the reply buffer held there.
    {kLower, {"fault erase 2 silent", "fault erase 2 result 01", "fault erase 2 other_region",
              "fault erase 2 long_error", "fault erase 2 echo_command", "fault erase 2 delay 2500",
              "fault erase 3 refuse_send", "fault erase 2 cut 17"},
     kErasing + "|Uninstall failed!!", "U E0 E2"},
    // Failing at the third packet, the second block's first: the bar keeps the first block.
    {kLower, {"fault write 3 silent", "fault write 3 result 7F", "fault write 3 wrong_echo", "fault write 3 long_error",
              "fault write 3 delay 2500", "fault write 4 refuse_send", "fault write 3 cut 21"},
     kInstalling + "|Install failed!!", kLowerErase + " R0:3", kOpenedBar + Positions(4) + Blocks(0, 1)},
    {kLower, {"fault final 1 silent", "fault final 1 result 01", "fault final 1 echo_command",
              "fault final 1 long_error", "fault final 1 cut 17"},
     kInstalling + kRestart, kLowerSent},
    {kLower, {"fault final 1 refuse_send"}, kInstalling + kRestart, kLowerErase + " R0"},
    // Echoes that would pass for an answer: a write whose first data bytes are low, the erase of
    // region 6, whole or without its end byte. They are dropped, and the wait ends at the time-out.
    {CSyntheticFirmware().FillRegion(0, 0x11), {"fault write 1 echo_command"}, kInstalling + "|Install failed!!",
     kLowerErase + " R0:1"},
    {CSyntheticFirmware(kRegion5).SetHeaderWords(0, 0, 0x1180, 0x117F),
     {"fault erase 3 echo_command", "fault erase 3 echo_command\nfault erase 3 cut 18"},
     kErasing + "|Uninstall failed!!", "E1 E5 E6"},
    {kLower, {"fault erase 2 delay 50", "fault erase 1 early", "fault erase 1 short_before", "fault erase 1 malformed",
              "fault erase 1 oversized 5000", "fault write 2 echo_high_bits", "fault write 2 oversized 6000",
              "fault write 16 early", "fault write 4 short_before", "fault write 4 malformed", "fault write 7 delay 50",
              "answer_u", "fault erase 2 cut 18", "fault write 3 cut 22", "fault final 1 cut 18",
              "fault erase 2 thru", "fault write 3 thru", "fault final 1 thru", "pieces 6", "pieces 1",
              "pieces 6\nfault erase 2 cut_restart 12",   // MIDI thru: U's echo while the first erase waits
              "latency_ms 5\nthru 0", "latency_ms 5\nthru 1", "latency_ms 5\nthru 3", "latency_ms 1\nthru 4"},
     kInstalling + "|Complete!", kLowerSent},
};

class Update : public CConsoleRig {};

TEST_F(Update, EachCaseShowsSendsAndLeavesWhatItShould)
{
    for (const Case& c : kCases) {
        for (const std::string& config : c.configs) {
            SCOPED_TRACE("row " + std::to_string(&c - kCases) + ": " + config);
            const bool heap = config.starts_with("heap ");
            Configure(heap ? "" : config);
            const std::string path = c.path ? c.path : WriteFirmware(c.file);
            const CRecordingDisplay run = Run(path, heap ? std::stoi(config.substr(5)) : 0);
            EXPECT_EQ(run.statuses, c.statuses);
            EXPECT_TRUE(c.progress.empty() || run.progress == c.progress) << run.progress;
            EXPECT_EQ(Received(), Expand(c.sent));
            Bytes flash = c.sent.empty() ? Bytes(kImageSize, 0xFF) : c.file.ExpectedFlash();
            for (uint8_t& byte : flash)
                byte &= config == "flash_fill 5A" ? 0x5A : 0xFF;
            if (c.sent.empty() || run.statuses.ends_with("|Complete!")) {
                EXPECT_TRUE(Flash() == flash);
            } else {
                Configure();
                EXPECT_TRUE(Run(path).statuses.ends_with("|Complete!"));
                EXPECT_TRUE(Flash() == c.file.ExpectedFlash());
            }
        }
    }
}


// The device lists as they are now: a cable pulled and plugged again renumbers them under
// winmm, which reads its own lists once per process.
struct CPluggedDevices : IMidiDeviceList {
    std::vector<MidiDeviceCaps> lists[2];
    uint32_t Count(MidiDirection d) override { return uint32_t(lists[int(d)].size()); }
    bool Read(MidiDirection d, uint32_t index, MidiDeviceCaps& caps) override
    {
        if (index >= Count(d))
            return false;
        caps = lists[int(d)][index];
        return true;
    }
};

// The user's memory: it stores a pair when it holds none, else refuses (a registry it may not write).
struct CTestMemory : IPortMemory {
    PortNames pair;
    bool Recall(PortNames& names) override { return !(names = pair).out.empty(); }
    bool Remember(const PortNames& names) override { return pair.out.empty() && !(pair = names).out.empty(); }
};

// Program runs' updates, as the dialog makes them: between them the console's devices move or
// go or come late, the user chooses a pair, or the driver keeps a message even after a reset (its
// ports then stay closed).
TEST_F(Update, DevicesThatMovedAreFoundAgainAndNoneThatDoesNotMatchIsOpened)
{
    const MidiDeviceCaps out{37, 4, L"KALDIR USB OUT"}, in{37, 5, L"KALDIR USB IN"}, other{1, 1, L"Other Synth"},
                         otherIn{1, 2, L"Other In"};
    const std::string outShown = "out:KALDIR USB OUT", inShown = "in:KALDIR USB IN";
    const std::string done = kInstalling + "|Complete!", failed = kOpened + "|Device open failed!!";
    struct Step {
        std::vector<MidiDeviceCaps> outs, ins;
        Strings shown;   // the port fields
        std::string statuses;
        const char* config = "";
        PortNames chosen = {};   // OK in the chooser, as it showed the pair, before the Load
        std::string chooser = "";   // what OK showed in the status line, or "gone": the chooser stays open
    };
    const Step steps[] = {
        {{other, out}, {in}, {}, done},   // as found at start
        {{out}, {in}, {outShown, inShown}, done},
        {{{37, 4, L"KALDIR USB OUT 2"}}, {in}, {"out:KALDIR USB OUT 2", inShown}, done},   // another console
        {{{37, 5, L"KALDIR USB OUT"}}, {in}, {"out:", inShown}, failed},
        {{other, out}, {}, {outShown, "in:"}, failed},
        {{other, other, out}, {other, in}, {outShown, inShown}, done},
        {{other, other, out}, {other, in}, {}, kErasing + "|Uninstall failed!!", "fault erase 2 keep"},
        {{other, other, out}, {other, in}, {}, failed},
    };
    // Nothing found at start: each Load looks again, quietly.
    const Step late[] = {
        {{other}, {otherIn}, {}, failed},   // no other message box
        {{other, out}, {in}, {outShown, inShown}, done},   // plugged in after the start
        {{other, out}, {otherIn, in}, {}, done, "", {L"Other Synth", L"Other In"}},
        {{out, other}, {in, otherIn}, {"out:Other Synth", "in:Other In"}, done},   // a choice wins, found by name
        // Unplugged while the chooser was open: another device at its number is not taken.
        {{out}, {in}, {"out:", "in:"}, failed, "", {L"Other Synth", L"Other In"}, "gone"},
    };
    // Two identical interfaces, the console on the second (winmm's devices 2 and 1), chosen
    // before; the memory refuses to store a new choice.
    const MidiDeviceCaps twin{1, 2, L"USB MIDI Interface"};
    const PortNames second = {twin.name, twin.name, 1, 1};
    const Step twins[] = {
        {{other, twin, twin}, {twin, twin}, {}, done, "console_out 2\nconsole_in 1"},
        {{other, twin}, {twin, twin}, {"out:", "in:USB MIDI Interface"}, failed},   // never the other one
        {{twin, twin}, {twin, twin}, {}, done, "console_out 1\nconsole_in 1", second, "Ports not remembered!!"},
    };
    const std::string path = WriteFirmware(kLower);
    const struct {
        std::span<const Step> steps;
        int found;
        PortNames remembered;   // at the start; at the end as "OUT|IN":
        std::string rememberedAtEnd;
    } runs[] = {{steps, 1, {}, "|"}, {late, 0, {}, "Other Synth|Other In"}, {twins, 1, second, "USB MIDI Interface|USB MIDI Interface"}};
    for (const auto& run : runs) {
        CPluggedDevices devices;
        devices.lists[0] = run.steps[0].outs;
        devices.lists[1] = run.steps[0].ins;
        CRecordingDisplay display;
        CTestMemory memory;
        memory.pair = run.remembered;
        CVersionUpdater updater(display, Timing(), devices, memory);
        EXPECT_EQ(updater.FindPorts(), run.found);
        for (const Step& step : run.steps) {
            SCOPED_TRACE("step " + std::to_string(&step - run.steps.data()));
            devices.lists[0] = step.outs;
            devices.lists[1] = step.ins;
            Configure(step.config);
            display = CRecordingDisplay();
            EXPECT_EQ(step.chosen.out.empty() || updater.ChoosePorts(step.chosen) ? display.statuses : "gone", step.chooser);
            Load(updater, display, path);
            EXPECT_EQ(display.shown, step.shown);
            EXPECT_EQ(display.statuses, step.statuses);
            EXPECT_EQ(Received().empty(), step.statuses == failed);
        }
        EXPECT_EQ(Utf8(memory.pair.out + L"|" + memory.pair.in), run.rememberedAtEnd);
    }
}

} // namespace

// bench_update [--real-pause] [--runs N]: a full 35-region update (4 MB, 2048 write packets) through the
// virtual console in this process, under Wine with the console as the MIDI driver.
//   1. zero-latency console: the time the update takes beyond the five-second pause, the time
//      per message, and the peak working set above the baseline before the run;
//   2. a console answering after 1 ms: that time against the reply delays the console applied.
// By default the pause is skipped (settle steps of 0 ms) and the time reported is the whole run;
// with --real-pause the run pauses 5 x 1000 ms and the five seconds are subtracted. Each
// measurement is repeated N times (default 5) and the median reported: the machine is shared.
// Every message costs two hand-overs between this thread and the driver's (send done, reply),
// each through wineserver: on an otherwise idle virtual machine the CPUs' wake-up from idle then
// dominates the figures, which improve about fourfold while another process keeps a CPU busy.
// The firmware file is written by a child process (bench_update --write-firmware PATH), so that
// generating it does not count in this process's peak working set.
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "FirmwareGenerator.h"
#include "RegionMap.h"
#include "StatusTexts.h"
#include "VersionUpdater.h"
#include "VirtualConsoleApi.h"

namespace {

constexpr int kWritePackets = 2048;
constexpr int kMessages = 1 + 35 + kWritePackets + 1;   // U, erases, packets, final

// Notes when each status text appeared: the stages' boundaries.
class CTimingDisplay : public IUpdateDisplay {
public:
    void ShowStatus(const char* text) override
    {
        std::snprintf(last, sizeof last, "%s", text);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (std::strcmp(text, texts::kDeviceOpen) == 0)
            deviceOpen = now;
        else if (std::strcmp(text, texts::kUninstalling) == 0)
            uninstalling = now;
        else if (std::strncmp(text, "Installing", 10) == 0 && installing.QuadPart == 0)
            installing = now;
        else if (std::strcmp(text, texts::kComplete) == 0)
            complete = now;
    }
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void OffsetPos(int) override {}
    void ShowOutputPortName(const wchar_t*) override {}
    void ShowInputPortName(const wchar_t*) override {}
    void ShowMessageBox(const char* text) override { std::fprintf(stderr, "%s\n", text); }

    char last[64] = {};
    LARGE_INTEGER deviceOpen{};
    LARGE_INTEGER uninstalling{};
    LARGE_INTEGER installing{};
    LARGE_INTEGER complete{};
};

int WriteFullFirmware(const char* path)
{
    CSyntheticFirmware firmware;
    for (int region = 0; region < kRegionCount; ++region)
        firmware.FillRegionRandom(region, static_cast<uint32_t>(region) + 1);
    firmware.SetHeaderWords(0, 0, 0x1180, 0x1180);
    return WriteFileBytes(path, firmware.Bytes()) ? 0 : 1;
}

bool RunChild(const std::string& commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return exitCode == 0;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

PROCESS_MEMORY_COUNTERS Memory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

struct RunTimes {
    double beyondPause = -1;   // negative: the update did not complete
    double fileStage = 0;      // "File reading...." to "Device open...."
    double eraseStage = 0;     // 35 erases
    double writeStage = 0;     // 2048 packets and the final command
};

RunTimes TimedUpdate(const std::string& path, bool realPause)
{
    CTimingDisplay display;
    WindowsTiming timing;
    timing.update.settleStepMs = realPause ? 1000 : 0;
    CVersionUpdater updater(display, timing);
    RunTimes times;
    if (!updater.FindPorts())
        return times;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceCounter(&start);
    updater.Load(std::filesystem::path(path).c_str());
    QueryPerformanceCounter(&end);
    if (std::strcmp(display.last, texts::kComplete) != 0) {
        std::fprintf(stderr, "update ended with \"%s\"\n", display.last);
        return times;
    }
    times.beyondPause = Seconds(start, end) - (realPause ? 5.0 : 0.0);
    times.fileStage = Seconds(start, display.deviceOpen);
    times.eraseStage = Seconds(display.uninstalling, display.installing);
    times.writeStage = Seconds(display.installing, display.complete);
    return times;
}

void Report(const char* label, const RunTimes& t)
{
    std::printf("  %s: %.3f s beyond the pause; file and image %.1f ms, erases %.1f us each, "
                "write packets %.1f us each\n",
                label, t.beyondPause, t.fileStage * 1e3, t.eraseStage * 1e6 / 35,
                t.writeStage * 1e6 / (kWritePackets + 1));
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-firmware") == 0)
        return WriteFullFirmware(argv[2]);
    bool realPause = false;
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--real-pause") == 0) {
            realPause = true;
        } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            runs = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_update [--real-pause] [--runs N]\n");
            return 2;
        }
    }

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "bench_update_" + std::to_string(GetCurrentProcessId()) + ".bin";
    if (!RunChild("\"" + std::string(self) + "\" --write-firmware \"" + path + "\"")) {
        std::fprintf(stderr, "cannot write the firmware file %s\n", path.c_str());
        return 1;
    }

    midiOutGetNumDevs();
    CVirtualConsoleApi console;
    if (!console.Load()) {
        std::fprintf(stderr, "the virtual console is not this process's MIDI driver\n");
        DeleteFileA(path.c_str());
        return 1;
    }
    std::printf("pause: %s; %d runs each\n", realPause ? "5 x 1000 ms, subtracted" : "skipped (settle steps of 0 ms)",
                runs);

    std::vector<double> zero;
    double peakAboveBaseline = 0;
    double baseline = 0;
    std::printf("zero-latency console:\n");
    for (int run = 0; run < runs; ++run) {
        console.Configure("flash_fill FF\nlatency_ms 0");
        const PROCESS_MEMORY_COUNTERS before = Memory();
        const RunTimes times = TimedUpdate(path, realPause);
        const PROCESS_MEMORY_COUNTERS after = Memory();
        if (times.beyondPause < 0)
            break;
        if (run == 0) {
            baseline = static_cast<double>(before.WorkingSetSize) / 1048576.0;
            peakAboveBaseline = static_cast<double>(after.PeakWorkingSetSize) / 1048576.0 - baseline;
        }
        Report("run", times);
        zero.push_back(times.beyondPause);
    }

    std::vector<double> ratios;
    std::vector<double> perReply;
    std::printf("console answering after 1 ms:\n");
    for (int run = 0; run < runs; ++run) {
        console.Configure("flash_fill FF\nlatency_ms 1");
        const RunTimes times = TimedUpdate(path, realPause);
        if (times.beyondPause < 0)
            break;
        VConsoleStats stats{};
        console.GetStats(&stats);
        const double delays = static_cast<double>(stats.replyDelayUs) / 1e6;
        Report("run", times);
        std::printf("    reply delays applied %.3f s over %u replies: ratio %.3f, %.1f us per reply beyond its delay, "
                    "%.1f us of it the tool's side of the round trip\n",
                    delays, stats.replies, times.beyondPause / delays,
                    (times.beyondPause - delays) * 1e6 / stats.replies,
                    stats.turnarounds ? static_cast<double>(stats.turnaroundUs) / stats.turnarounds : 0.0);
        ratios.push_back(times.beyondPause / delays);
        perReply.push_back((times.beyondPause - delays) * 1e6 / stats.replies);
    }
    DeleteFileA(path.c_str());
    if (static_cast<int>(zero.size()) != runs || static_cast<int>(ratios.size()) != runs)
        return 1;

    std::printf("median time beyond the pause: %.3f s (target < 0.5 s), %.1f us per message (%d messages)\n",
                Median(zero), Median(zero) * 1e6 / kMessages, kMessages);
    std::printf("peak working set: %.1f MB above the baseline of %.1f MB (target < 16 MB)\n", peakAboveBaseline,
                baseline);
    std::printf("median ratio to the reply delays applied: %.3f (target <= 1.05), %.1f us per reply beyond its delay\n",
                Median(ratios), Median(perReply));
    return 0;
}

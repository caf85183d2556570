// bench_dialog [--runs N] [--programs DIALOG CLI]: a full 35-region update (2085 messages)
// through the dialog program, driven as a user drives it, beside the same update through
// versionup-cli, both against the virtual console answering at once. The programs are this
// build's, or others (an earlier build's, say) given by their Windows paths. Runs under Wine on
// an X server with the virtual console as the MIDI driver (tests/app/run-gui-tests.sh makes
// both); the two programs take turns, N runs each (default 5), and the medians are reported:
// the machine is shared. Figures come from the console's journal, whose last line has the
// counters of the run:
//   per round trip: the tool's side, from a reply going to the tool to its next message arriving;
//   per message: the whole exchange, the console's reply delays included.
// Both programs pause the real five seconds after the ports open; that pause is not counted.
#include "FirmwareGenerator.h"
#include "FirmwareImage.h"
#include "PaintFloor.h"
#include "RegionMap.h"
#include "resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// The build's programs; under Wine the host's file system is drive Z:.
std::string HostProgram(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::string dialogProgram = HostProgram(VERSIONUP_EXE);
std::string cliProgram = HostProgram(VERSIONUP_CLI_EXE);
// Bounds for a loaded machine; nothing is timed by them.
constexpr DWORD kStepWaitMs = 30000;
constexpr DWORD kUpdateWaitMs = 120000;

bool Within(DWORD timeoutMs, const std::function<bool()>& done)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!done() && GetTickCount64() < end)
        Sleep(10);
    return done();
}

// A window's text, read without a message to its thread, which may be busy.
std::string TextOf(HWND window)
{
    wchar_t text[256] = {};
    const int length = InternalGetWindowText(window, text, 256);
    return std::string(text, text + length);
}

// A message to an idle thread; false when it does not answer.
bool Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, 2000, &result) != 0;
}

// A visible dialog of the process, owned by `owner` (none: the main window), once it shows.
HWND DialogOf(DWORD pid, HWND owner)
{
    HWND found = nullptr;
    Within(kStepWaitMs, [&] {
        for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w && !found;
             w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
            DWORD owning = 0;
            GetWindowThreadProcessId(w, &owning);
            if (owning == pid && IsWindowVisible(w) && GetWindow(w, GW_OWNER) == owner)
                found = w;
        }
        return found != nullptr;
    });
    return found;
}

struct RunFigures {
    double usPerRoundTrip = -1;   // negative: the run did not complete
    double usPerMessage = 0;
    unsigned roundTrips = 0;
};

// The counters of the journal's last "stats" line.
RunFigures ReadFigures(const std::string& journalPath)
{
    std::ifstream journal(journalPath);
    std::string stats;
    for (std::string line; std::getline(journal, line);) {
        if (line.rfind("stats ", 0) == 0)
            stats = line;
    }
    unsigned replies = 0;
    unsigned long long delayUs = 0;
    unsigned turnarounds = 0;
    unsigned long long turnaroundUs = 0;
    RunFigures figures;
    if (std::sscanf(stats.c_str(), "stats received=%*u replies=%u violations=%*u dropped=%*u refused=%*u "
                                   "reply_delay_us=%llu turnarounds=%u turnaround_us=%llu",
                    &replies, &delayUs, &turnarounds, &turnaroundUs) != 4 ||
        turnarounds == 0)
        return figures;
    figures.usPerRoundTrip = static_cast<double>(turnaroundUs) / turnarounds;
    figures.usPerMessage = static_cast<double>(delayUs + turnaroundUs) / replies;
    figures.roundTrips = turnarounds;
    return figures;
}

// Starts a program with the console configured; its output, if any, goes to `output`.
PROCESS_INFORMATION Launch(const std::string& commandLine, const std::string& journal, const std::string& config,
                           HANDLE output = nullptr)
{
    const std::string configPath = journal + ".txt";
    std::ofstream(configPath, std::ios::trunc) << config;
    SetEnvironmentVariableA("VCONSOLE_CONFIG", configPath.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION process{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &process))
        return {};
    CloseHandle(process.hThread);
    return process;
}

// Browse, the path typed into the Open dialog's name box (an edit inside combo box 1148), OK.
bool ChooseFile(DWORD pid, HWND main, const std::string& path)
{
    PostMessageA(GetDlgItem(main, IDC_BROWSE), BM_CLICK, 0, 0);
    const HWND open = DialogOf(pid, main);
    const HWND box = open ? GetDlgItem(open, 1148) : nullptr;
    const HWND inner = box ? FindWindowExA(box, nullptr, "Edit", nullptr) : nullptr;
    if (!box || !Send(inner ? inner : box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str())))
        return false;
    PostMessageA(open, WM_COMMAND, IDOK, 0);
    return Within(kStepWaitMs, [&] {
        char shown[512] = {};
        return Send(GetDlgItem(main, IDC_FILENAME), WM_GETTEXT, sizeof shown, reinterpret_cast<LPARAM>(shown)) &&
               path == shown;
    });
}

RunFigures DialogRun(const std::string& config, const std::string& journal, const std::string& firmware)
{
    const PROCESS_INFORMATION process = Launch("\"" + dialogProgram + "\"", journal, config);
    const HWND main = process.hProcess ? DialogOf(process.dwProcessId, nullptr) : nullptr;
    RunFigures figures;
    if (main && Within(kStepWaitMs, [&] { return Send(main, WM_NULL); }) &&
        ChooseFile(process.dwProcessId, main, firmware)) {
        PostMessageA(GetDlgItem(main, IDC_LOAD), BM_CLICK, 0, 0);
        // Watched without a message to the busy thread, which would pile up in its queue meanwhile.
        if (Within(kUpdateWaitMs, [&] { return TextOf(GetDlgItem(main, IDC_STATUS)) == "Complete!"; }) &&
            Within(kStepWaitMs, [&] { return Send(main, WM_NULL); }))
            figures = ReadFigures(journal);
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (process.hProcess) {
        if (WaitForSingleObject(process.hProcess, kStepWaitMs) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
    }
    return figures;
}

RunFigures CliRun(const std::string& config, const std::string& journal, const std::string& firmware)
{
    // Its lines go to a file, as from a script that keeps a log. (Under Wine, each write to the
    // NUL device or a terminal costs a trip to the Wine server, which would swamp the figures.)
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE log = CreateFileA((journal + ".log").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, 0, nullptr);
    const PROCESS_INFORMATION process =
        Launch("\"" + cliProgram + "\" \"" + firmware + "\"", journal, config, log);
    CloseHandle(log);
    if (!process.hProcess)
        return {};
    DWORD exitCode = 1;
    if (WaitForSingleObject(process.hProcess, kUpdateWaitMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    return exitCode == 0 ? ReadFigures(journal) : RunFigures{};
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
            runs = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--programs") == 0 && i + 2 < argc) {
            dialogProgram = argv[++i];
            cliProgram = argv[++i];
        } else {
            std::fprintf(stderr, "usage: bench_dialog [--runs N] [--programs DIALOG CLI]\n");
            return 2;
        }
    }
    char folder[MAX_PATH];
    ::GetTempPathA(MAX_PATH, folder);
    const std::string work = std::string(folder) + "bench_dialog_" + std::to_string(::GetCurrentProcessId());
    const std::string firmware = work + ".bin";
    CSyntheticFirmware full;
    for (int region = 0; region < kRegionCount; ++region)
        full.FillRegionRandom(region, static_cast<uint32_t>(region) + 1);
    full.SetHeaderWords(0, 0, 0x1180, 0x1180);
    if (!WriteFileBytes(firmware, full.Bytes())) {
        std::fprintf(stderr, "cannot write the firmware file %s\n", firmware.c_str());
        return 1;
    }

    const std::string journal = work + ".journal";
    const std::string config = "latency_ms 0\njournal " + journal + "\n";
    std::vector<double> roundTrip[2];
    std::vector<double> message[2];
    unsigned roundTrips = 0;
    const char* const names[2] = {"versionup-cli", "versionup.exe"};
    std::printf("a full image against a console answering at once, %d runs each\n", runs);
    for (int run = 0; run < runs; ++run) {
        for (int dialog = 0; dialog < 2; ++dialog) {
            const RunFigures f = dialog ? DialogRun(config, journal, firmware) : CliRun(config, journal, firmware);
            if (f.usPerRoundTrip < 0) {
                std::fprintf(stderr, "%s: the update did not complete\n", names[dialog]);
                return 1;
            }
            std::printf("  %s: %.1f us per round trip, %.1f us per message\n", names[dialog], f.usPerRoundTrip,
                        f.usPerMessage);
            std::fflush(stdout);
            roundTrip[dialog].push_back(f.usPerRoundTrip);
            message[dialog].push_back(f.usPerMessage);
            roundTrips = f.roundTrips;
        }
    }
    for (const std::string& file : {firmware, journal, journal + ".txt", journal + ".log"})
        ::DeleteFileA(file.c_str());
    for (int dialog = 0; dialog < 2; ++dialog)
        std::printf("median %s: %.1f us per round trip, %.1f us per message\n", names[dialog],
                    Median(roundTrip[dialog]), Median(message[dialog]));
    std::printf("dialog / cli: %.2f per round trip (target <= 1.2), %.2f per message\n",
                Median(roundTrip[1]) / Median(roundTrip[0]), Median(message[1]) / Median(message[0]));

    // Between two messages the dialog shows at the least a status text before the erases and
    // before each region's writes, and a new bar after each erase and each 4 KB block written.
    const PaintFloor floor = MeasurePaintFloor();
    const double texts = kRegionCount + 1;
    const double repaints = kRegionCount + kImageSize / kBlockBytes;
    const double floorUs = Median(roundTrip[0]) + (texts * floor.textUs + repaints * floor.repaintUs) / roundTrips;
    std::printf("least cost of a change on this platform: %.1f us for a status text (the window manager's copy "
                "alone), %.1f us for the smallest repaint\n",
                floor.textUs, floor.repaintUs);
    std::printf("so the dialog's round trip, every change on screen, is at least %.1f us: %.2f times the cli's\n",
                floorUs, floorUs / Median(roundTrip[0]));
    return 0;
}

// bench_dialog [--runs N]: a full 35-region update (2085 messages) through the dialog program,
// driven as a user drives it, beside the same update through versionup-cli, both against the
// virtual console answering at once. Runs under Wine on an X server with the virtual console as
// the MIDI driver (tests/app/run-gui-tests.sh makes both); the two programs take turns, N runs
// each (default 5), and the medians are reported: the machine is shared.
// Figures come from the console's journal, whose last line has the counters of the run:
//   per round trip: the tool's side, from a reply going to the tool to its next message arriving;
//   per message: the whole exchange, the console's reply delays included.
// Both programs pause the real five seconds after the ports open; that pause is not counted.
#include "Probe.h"
#include "Program.h"

#include "FirmwareGenerator.h"
#include "RegionMap.h"
#include "WinePath.h"
#include "resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace gui;

namespace {

const std::string kDialogProgram = ToWindowsPath(VERSIONUP_EXE);
const std::string kCliProgram = ToWindowsPath(VERSIONUP_CLI_EXE);

struct RunFigures {
    double usPerRoundTrip = -1;   // negative: the run did not complete
    double usPerMessage = 0;
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
    return figures;
}

// The Open dialog of Browse, given the path as a user types it.
bool ChooseFile(const CProgram& program, HWND main, const std::string& path)
{
    Click(::GetDlgItem(main, IDC_BROWSE));
    HWND open = nullptr;
    if (!WaitUntil([&] { return (open = FindOwnedDialog(program.Pid(), main)) != nullptr; }))
        return false;
    // The name box: combo box 1148 with an edit inside (Explorer style), or edit 1152.
    auto isEdit = [](HWND w) { return ::lstrcmpiA(ClassName(w).c_str(), "Edit") == 0; };
    const HWND box = ::GetDlgItem(open, 1148);
    const HWND name = box == nullptr ? ::GetDlgItem(open, 1152) : isEdit(box) ? box : FindChildWhere(box, isEdit);
    if (name == nullptr || !SetText(name, path))
        return false;
    PostCommand(open, IDOK);
    return WaitUntil([&] { return EditText(::GetDlgItem(main, IDC_FILENAME)) == path; });
}

RunFigures DialogRun(const std::string& config, const std::string& journal, const std::string& firmware)
{
    CProgram program(kDialogProgram, journal + ".txt", config);
    const HWND main = program.WaitMainWindow();
    if (main == nullptr || !WaitUntil([&] { return Responds(main); }) || !ChooseFile(program, main, firmware))
        return {};
    Click(::GetDlgItem(main, IDC_LOAD));
    const HWND status = ::GetDlgItem(main, IDC_STATUS);
    if (!WaitUntil([&] { return Text(status) == "Complete!" && Responds(main); }, kUpdateWaitMs))
        return {};
    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = 1;
    program.WaitExit(exitCode);
    return ReadFigures(journal);
}

RunFigures CliRun(const std::string& config, const std::string& journal, const std::string& firmware)
{
    const std::string configPath = journal + ".txt";
    std::ofstream(configPath, std::ios::trunc) << config;
    ::SetEnvironmentVariableA("VCONSOLE_CONFIG", configPath.c_str());
    // Its progress lines go nowhere, as in a script that keeps only the exit code.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE nul = ::CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + kCliProgram + "\" \"" + firmware + "\"";
    const BOOL started = ::CreateProcessA(kCliProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(nul);
    if (!started)
        return {};
    ::WaitForSingleObject(process.hProcess, kUpdateWaitMs);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
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
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0 && std::atoi(argv[2]) > 0) {
        runs = std::atoi(argv[2]);
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: bench_dialog [--runs N]\n");
        return 2;
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
        }
    }
    for (const std::string& file : {firmware, journal, journal + ".txt"})
        ::DeleteFileA(file.c_str());
    for (int dialog = 0; dialog < 2; ++dialog)
        std::printf("median %s: %.1f us per round trip, %.1f us per message\n", names[dialog],
                    Median(roundTrip[dialog]), Median(message[dialog]));
    std::printf("dialog / cli: %.2f per round trip (target <= 1.2), %.2f per message\n",
                Median(roundTrip[1]) / Median(roundTrip[0]), Median(message[1]) / Median(message[0]));
    return 0;
}

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

std::string dialogProgram = ToWindowsPath(VERSIONUP_EXE);
std::string cliProgram = ToWindowsPath(VERSIONUP_CLI_EXE);

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
    CProgram program(dialogProgram, journal + ".txt", config);
    const HWND main = program.WaitMainWindow();
    if (main == nullptr || !WaitUntil([&] { return Responds(main); }) || !ChooseFile(program, main, firmware))
        return {};
    Click(::GetDlgItem(main, IDC_LOAD));
    const HWND status = ::GetDlgItem(main, IDC_STATUS);
    // Read without a message to the busy thread, which would pile up in its queue meanwhile.
    if (!WaitUntil([&] { return Text(status) == "Complete!"; }, kUpdateWaitMs) ||
        !WaitUntil([&] { return Responds(main); }))
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
    // Its lines go to a file, as from a script that keeps a log. (Under Wine, each write to the
    // NUL device or a terminal costs a trip to the Wine server, which would swamp the figures.)
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE log = ::CreateFileA((journal + ".log").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                     CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = log;
    startup.hStdError = log;
    PROCESS_INFORMATION process{};
    std::string commandLine = "\"" + cliProgram + "\" \"" + firmware + "\"";
    const BOOL started = ::CreateProcessA(cliProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::CloseHandle(log);
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
    for (const std::string& file : {firmware, journal, journal + ".txt", journal + ".log"})
        ::DeleteFileA(file.c_str());
    for (int dialog = 0; dialog < 2; ++dialog)
        std::printf("median %s: %.1f us per round trip, %.1f us per message\n", names[dialog],
                    Median(roundTrip[dialog]), Median(message[dialog]));
    std::printf("dialog / cli: %.2f per round trip (target <= 1.2), %.2f per message\n",
                Median(roundTrip[1]) / Median(roundTrip[0]), Median(message[1]) / Median(message[0]));
    return 0;
}

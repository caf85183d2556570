// versionup-cli as a script runs it: one child process per row, at once where one update at a
// time allows, each with its own virtual console (VCONSOLE_CONFIG) and its output going to files
// (so: plain lines, no bar). In the dialog the user chose the renamed console's ports before.
#include "ConsoleDisplay.h"
#include "ConsoleRig.h"
#include "RememberedPorts.h"
#include "UpdateLock.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <iterator>

namespace fs = std::filesystem;

namespace {

enum class Start { kAtOnce, kAfterTheRowsAbove, kWhileAnUpdateHoldsTheLock };

struct Case {
    std::string args;     // "FW" stands for a small firmware file; "FW_UNICODE" and "FW_LONG" for the same
                          // in a folder named in three scripts and in one deeper than 260 characters
    std::string config;
    DWORD exitCode;
    Strings out;          // lines found in this order on stdout
    Strings err = {};     // lines found in this order on stderr, which is empty when there are none
    bool flashIsImage = false;
    uint64_t minMs = 0;   // the five-second pause, and the real reply time-out
    Start start = Start::kAtOnce;   // only one update reaches the console at a time
};

const std::string kUsage = "usage: versionup-cli [--out-port PORT --in-port PORT] FILE";
const PortNames kChosen = {L"PQ4400 MIDI 2.0 Out", L"PQ4400 MIDI 2.0 In", 1, 1};
// The driver gives the Latin-1 byte FC as U+00FC; every name goes out as UTF-8 to a file.
const std::string kUmlaut = "out 37 4 KALDIR USB OUT \xFC\nin ";
const std::string kUmlautShown = "KALDIR USB OUT \xC3\xBC";
const std::string kNoPair = "Discovery finds neither the console's ports nor a pair chosen in the dialog: name them "
                            "with --out-port and --in-port.";

const Case kCases[] = {
    {"", "", 64, {}, {"versionup-cli: FILE is missing", kUsage}},
    {"a.bin b.bin", "", 64, {}, {"versionup-cli: unexpected argument 'b.bin'", kUsage}},
    {"--bogus FW", "", 64, {}, {"versionup-cli: unknown option '--bogus'", kUsage}},
    {"--check FW --list-ports", "", 64, {}, {"versionup-cli: options '--check' and '--list-ports' do not go together"}},
    {"--out-port 0 FW", "", 64, {}, {"versionup-cli: --out-port needs --in-port as well", kUsage}},
    {"--out-port 0 --in-port 1 FW", "", 64, {}, {"versionup-cli: no MIDI input has the index 1 (see --list-ports)"}},
    {"--out-port 0 --in-port \"KALDIR USB\" FW", "", 64, {},
     {"versionup-cli: no MIDI input is named 'KALDIR USB' (see --list-ports)", kUsage}},
    {"--help", "", 0, {kUsage, "  -h, --help       show this text"}},
    {"--version", "", 0, {"versionup-cli 1.0.2.0"}},
    {"--list-ports", "", 0, {"MIDI outputs:", "* 0      37            4        KALDIR USB OUT", "MIDI inputs:",
                             "* 0      37            5        KALDIR USB IN",
                             "* the ports an update uses without --out-port and --in-port"}},
    {"--list-ports", kRenamedTwice, 0, {"* 2      65535         65535    PQ4400 MIDI 2.0 Out",
                                        "* 1      65535         65535    PQ4400 MIDI 2.0 In",
                                        "* the ports an update uses without --out-port and --in-port"}},
    // An output without its input is no pair: nothing is marked.
    {"--list-ports", kUmlaut + "1 1 Other In", 0, {"  0      37            4        " + kUmlautShown, kNoPair}},
    // U, 4 erases, 16 write packets and the final command; the digest is sha256sum's for the same bytes.
    {"--check FW", "", 0, {"File size:         34816 bytes", "Block map:         1024 entries, 8 blocks supplied",
                           "Regions present:   0 (1 of 35)", "Command U:         sent", "Regions erased:    0, 2-4 (4)",
                           "Messages to send:  22",
                           "SHA-256:           525d34f20f8830aacd9623dc58b84021b4d27f901dce83cfdf1ab3dae4dffab0"}},
    {"--check missing.bin", "", 1, {"File not found!!"}},
    {"missing.bin", kUmlaut + "37 5 KALDIR USB IN", 1, {"Output Port : " + kUmlautShown, "Input Port : KALDIR USB IN",
                                                         "File not found!!"}},
    // Without the console's driver the message box becomes a line on stderr.
    {"FW", "no_devices", 1, {"KALDIR USB Driver not found!!", "Device open....", "Device open failed!!"},
     {"KALDIR USB Driver not found!!"}},
    // Replies in 6-byte and, below, 1-byte pieces, as newer MIDI stacks hand them on.
    {"FW_UNICODE", "pieces 6", 0, {"File reading....", "Device open....", "progress 5/5", "Uninstalling....",
     "Installing.... ( 1/ 1)", "progress 0/8", "progress 1/8", "progress 8/8", "Complete!"}, {}, true, 5000,
     Start::kAfterTheRowsAbove},
    // A second update inside the first one's five-second pause: refused before it tries a port.
    {"FW", "", 1, {"File reading....", "Device open failed!!"},
     {"versionup-cli: another update of the console is running; try again when it has ended"}, false, 0,
     Start::kWhileAnUpdateHoldsTheLock},
    // Discovery does not know these ports: the pair chosen before is used without a message, and
    // the user may name others by index or by name.
    {"FW", kRenamedTwice, 0,
     {"Output Port : PQ4400 MIDI 2.0 Out", "Input Port : PQ4400 MIDI 2.0 In", "Device open....", "Complete!"}, {}, true,
     5000, Start::kAfterTheRowsAbove},
    {"--out-port 0 --in-port 0 FW_LONG", kRenamed, 0,
     {"Output Port : Other Synth", "Input Port : PQ4400 MIDI 2.0 In", "Device open....", "Complete!"}, {}, true,
     5000, Start::kAfterTheRowsAbove},
    {"--out-port=\"PQ4400 MIDI 2.0 Out\" --in-port \"PQ4400 MIDI 2.0 In\" FW", kRenamed + "\npieces 1", 0,
     {"Device open....", "Complete!"}, {}, true, 5000, Start::kAfterTheRowsAbove},
    {"FW", "fault final 1 silent", 2, {"Device open....", "Complete! please restart PQ4400."}, {}, true, 10000,
     Start::kAfterTheRowsAbove},
};

// The update lock exists only while an update holds it or asks for it.
bool WaitUntilTheLockIsHeld()
{
    for (int i = 0; i < 1000; ++i, Sleep(20)) {
        if (const HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, kUpdateLockName))
            return CloseHandle(lock);
    }
    return false;
}

bool InOrder(const Strings& lines, const Strings& expected)
{
    auto at = lines.begin();
    return std::all_of(expected.begin(), expected.end(),
                       [&](const std::string& line) { return (at = std::find(at, lines.end(), line)) != lines.end(); });
}

// What a terminal shows of `output`: a carriage return goes back to the line's start, where the
// next characters overwrite it. Rows without their trailing blanks.
Strings Screen(const std::string& output)
{
    Strings rows(1);
    size_t column = 0;
    for (const char c : output) {
        if (c == '\n')
            rows.emplace_back();
        if (c == '\n' || c == '\r')
            column = 0;
        else if (++column > rows.back().size())
            rows.back() += c;
        else
            rows.back()[column - 1] = c;
    }
    for (std::string& row : rows)
        row.erase(row.find_last_not_of(' ') + 1);
    return rows;
}

class Cli : public CConsoleRig {};

TEST_F(Cli, ExitCodesOutputAndFlashOfEachRow)
{
    const CRememberedPorts chosen(kChosen);
    char self[MAX_PATH];
    const std::filesystem::path test(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)));
    const std::string cli = (test.parent_path() / VU_CLI_FROM_TEST).lexically_normal().string();
    const CSyntheticFirmware firmware = CSyntheticFirmware().FillRegionRandom(0, 3);
    const fs::path deep = fs::path(m_folder) / std::string(100, 'a') / std::string(100, 'b') / std::string(100, 'c');
    const std::pair<std::string, fs::path> files[] = {{"FW_UNICODE", fs::path(m_folder) / u8"Загрузки Ελληνικά ダウンロード"
        / "small.bin"}, {"FW_LONG", deep / "small.bin"}, {"FW", WriteFirmware(firmware, "small.bin")}};
    for (const auto& [placeholder, path] : files) {
        fs::create_directories(path.parent_path());
        EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes()));
    }
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    std::vector<PROCESS_INFORMATION> children(std::size(kCases));
    for (size_t i = 0; i < children.size(); ++i) {
        const std::string name = m_folder + "\\cli" + std::to_string(i);
        for (size_t above = 0; kCases[i].start == Start::kAfterTheRowsAbove && above < i; ++above)
            WaitForSingleObject(children[above].hProcess, 60000);
        EXPECT_TRUE(kCases[i].start != Start::kWhileAnUpdateHoldsTheLock || WaitUntilTheLockIsHeld());
        std::ofstream(name + ".cfg") << kCases[i].config << "\nflash_dump " << name << ".flash\njournal " << name
                                     << ".journal\n";
        SetEnvironmentVariableA("VCONSOLE_CONFIG", (name + ".cfg").c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = CreateFileA((name + ".out").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_NEW, 0, 0);
        startup.hStdError = CreateFileA((name + ".err").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_NEW, 0, 0);
        std::wstring args = fs::path(kCases[i].args).wstring();
        for (const auto& [placeholder, path] : files) {
            if (const size_t at = kCases[i].args.find(placeholder); at != std::string::npos) {
                args.replace(at, placeholder.size(), L"\"" + path.wstring() + L"\"");
                break;
            }
        }
        std::wstring commandLine = L"\"" + fs::path(cli).wstring() + L"\" " + args;
        EXPECT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                   fs::path(m_folder).c_str(), &startup, &children[i])) << kCases[i].args;
        CloseHandle(startup.hStdOutput);
        CloseHandle(startup.hStdError);
    }
    SetEnvironmentVariableA("VCONSOLE_CONFIG", nullptr);

    for (size_t i = 0; i < children.size(); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(c.args + " " + c.config);
        const std::string name = m_folder + "\\cli" + std::to_string(i);
        // Each run pauses five seconds after opening the ports; a minute means it hangs.
        if (WaitForSingleObject(children[i].hProcess, 60000) != WAIT_OBJECT_0)
            TerminateProcess(children[i].hProcess, 99);
        DWORD exitCode = 99;
        GetExitCodeProcess(children[i].hProcess, &exitCode);
        EXPECT_EQ(exitCode, c.exitCode);
        ULARGE_INTEGER t[4];   // creation, exit, kernel and user time
        auto* times = reinterpret_cast<FILETIME*>(t);
        GetProcessTimes(children[i].hProcess, &times[0], &times[1], &times[2], &times[3]);
        EXPECT_GE((t[1].QuadPart - t[0].QuadPart) / 10000, c.minMs);
        CloseHandle(children[i].hThread);
        CloseHandle(children[i].hProcess);
        const Strings out = ReadLines(name + ".out");
        EXPECT_TRUE(InOrder(out, c.out)) << ::testing::PrintToString(out);
        const Strings err = ReadLines(name + ".err");
        EXPECT_TRUE(InOrder(err, c.err) && err.empty() == c.err.empty()) << ::testing::PrintToString(err);
        // The console writes its flash out once an update has tried its ports; nothing else touches them.
        std::ifstream dump(name + ".flash", std::ios::binary);
        EXPECT_EQ(dump.is_open(), std::find(c.out.begin(), c.out.end(), "Device open....") != c.out.end());
        EXPECT_TRUE(!c.flashIsImage || Bytes(std::istreambuf_iterator<char>(dump), {}) == firmware.ExpectedFlash());
        // The console hears the updates that write it and nothing else.
        const Strings journal = ReadLines(name + ".journal");
        EXPECT_EQ(c.flashIsImage, std::any_of(journal.begin(), journal.end(), [](auto& l) { return l.starts_with("rx"); }));
    }
    for (fs::path p = deep / "small.bin"; p != m_folder; p = p.parent_path())
        fs::remove(p); // the runtime's remove_all cannot walk a path this long under Wine
}

// On a terminal each message takes the bar off its line, and the bar comes back below it. The
// terminal here is stdout and stderr in one file, replayed.
TEST(ConsoleDisplay, NoMessageSharesTheBarsLine)
{
    const char* refused = "versionup-cli: another update of the console is running; try again when it has ended";
    const std::string bar = "[" + std::string(16, '#') + std::string(24, '.') + "]   2/5";
    const std::string name = testing::TempDir() + "vu-screen.txt";
    std::fflush(stdout);
    const int saved[] = {_dup(1), _dup(2)};
    std::FILE* screen = std::fopen(name.c_str(), "wb");
    _dup2(_fileno(screen), 1);
    _dup2(_fileno(screen), 2);
    {
        CConsoleDisplay display(true);
        display.SetRange(0, 5);
        display.SetPos(2);
        display.ShowStatus("Device open....");
        display.ShowMessageBox(refused); // stderr
    }
    std::fclose(screen);
    _dup2(saved[0], 1);
    _dup2(saved[1], 2);
    _close(saved[0]);
    _close(saved[1]);
    const std::string written(std::istreambuf_iterator<char>(std::ifstream(name, std::ios::binary).rdbuf()), {});
    std::remove(name.c_str());
    EXPECT_EQ(Screen(written), (Strings{"Device open....", refused, bar, ""}));
}

} // namespace

// versionup-cli as a script runs it: one child process per row, all at once, each with its own
// virtual console (VCONSOLE_CONFIG) and its output going to files (so: plain lines, no bar).
#include "ConsoleRig.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

struct Case {
    std::string args;     // "FW" stands for a small firmware file
    std::string config;
    DWORD exitCode;
    Strings out;          // lines found in this order on stdout
    Strings err = {};     // the whole of stderr
    bool flashIsImage = false;
    uint64_t minMs = 0;   // the five-second pause, and the real reply time-out
};

const Case kCases[] = {
    {"", "", 1, {}, {"usage: versionup-cli FILE"}},
    {"a.bin b.bin", "", 1, {}, {"usage: versionup-cli FILE"}},
    {"missing.bin", "", 1, {"Output Port : KALDIR USB OUT", "Input Port : KALDIR USB IN", "File not found!!"}},
    // Without the console's driver the message box becomes a line on stderr.
    {"FW", "no_devices", 1, {"KALDIR USB Driver not found!!", "Device open....", "Device open failed!!"},
     {"KALDIR USB Driver not found!!"}},
    {"FW", "", 0, {"File reading....", "Device open....", "progress 5/5", "Uninstalling....", "Installing.... ( 1/ 1)",
                   "progress 0/8", "progress 1/8", "progress 8/8", "Complete!"}, {}, true, 5000},
    {"FW", "fault final 1 silent", 2, {"Complete! please restart PQ4400."}, {}, false, 10000},
};

bool InOrder(const Strings& lines, const Strings& expected)
{
    auto at = lines.begin();
    for (const std::string& line : expected) {
        if ((at = std::find(at, lines.end(), line)) == lines.end())
            return false;
    }
    return true;
}

class Cli : public CConsoleRig {};

TEST_F(Cli, ExitCodesOutputAndFlashOfEachRow)
{
    char self[MAX_PATH];
    const std::filesystem::path test(std::string(self, GetModuleFileNameA(nullptr, self, MAX_PATH)));
    const std::string cli = (test.parent_path() / VU_CLI_FROM_TEST).lexically_normal().string();
    const CSyntheticFirmware firmware = CSyntheticFirmware().FillRegionRandom(0, 3);
    const std::string fw = WriteFirmware(firmware, "small.bin");
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    std::vector<PROCESS_INFORMATION> children(std::size(kCases));
    for (size_t i = 0; i < children.size(); ++i) {
        const std::string name = m_folder + "\\cli" + std::to_string(i);
        std::ofstream(name + ".cfg") << kCases[i].config << "\nflash_dump " << name << ".flash\n";
        SetEnvironmentVariableA("VCONSOLE_CONFIG", (name + ".cfg").c_str());
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = CreateFileA((name + ".out").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_NEW, 0, 0);
        startup.hStdError = CreateFileA((name + ".err").c_str(), GENERIC_WRITE, 0, &inheritable, CREATE_NEW, 0, 0);
        std::string commandLine = "\"" + cli + "\" " + (kCases[i].args == "FW" ? "\"" + fw + "\"" : kCases[i].args);
        EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, m_folder.c_str(),
                                   &startup, &children[i])) << commandLine;
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
        EXPECT_EQ(ReadLines(name + ".err"), c.err);
        std::ifstream dump(name + ".flash", std::ios::binary);
        EXPECT_TRUE(!c.flashIsImage || Bytes(std::istreambuf_iterator<char>(dump), {}) == ExpectedFlash(firmware));
    }
}

} // namespace

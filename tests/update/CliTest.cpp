// versionup-cli as a user or a script runs it: a child process with its own virtual console,
// chosen through VCONSOLE_CONFIG, and its output going to files (so: plain lines, no bar).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FirmwareGenerator.h"
#include "StatusTexts.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// The program sits at a fixed place in the build tree relative to this test.
std::string CliPath()
{
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    return (fs::path(std::string(self, length)).parent_path() / VU_CLI_FROM_TEST).lexically_normal().string();
}

Strings ReadLines(const std::string& path)
{
    Strings lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

struct CliOutcome {
    DWORD exitCode = 0xFFFFFFFF;
    Strings out;
    Strings err;
};

class CliRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("vu_cli_" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(m_folder);
    }
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_folder, error);
    }

    std::string File(const std::string& name) const { return (m_folder / name).string(); }

    // Runs versionup-cli with `arguments` against a console configured by `config`.
    CliOutcome Run(const std::string& arguments, const std::string& config)
    {
        // Fresh files for every run: nothing of an earlier run (or a process it left behind
        // holding a handle) can stand in this run's way.
        const std::string run = std::to_string(++m_runs);
        const std::string configPath = File("console" + run + ".txt");
        std::ofstream(configPath) << config << "\n";
        SetEnvironmentVariableA("VCONSOLE_CONFIG", configPath.c_str());

        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const std::string outPath = File("out" + run + ".txt");
        const std::string errPath = File("err" + run + ".txt");
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_NEW, 0, nullptr);
        HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_NEW, 0, nullptr);
        EXPECT_NE(out, INVALID_HANDLE_VALUE) << outPath;
        EXPECT_NE(err, INVALID_HANDLE_VALUE) << errPath;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::string commandLine = "\"" + CliPath() + "\" " + arguments;
        PROCESS_INFORMATION process{};
        CliOutcome outcome;
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &process)) {
            // The program pauses five seconds after opening the ports; a minute means it hangs.
            if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
                GetExitCodeProcess(process.hProcess, &outcome.exitCode);
            else
                TerminateProcess(process.hProcess, 99);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else {
            ADD_FAILURE() << "cannot start " << commandLine;
        }
        CloseHandle(out);
        CloseHandle(err);
        SetEnvironmentVariableA("VCONSOLE_CONFIG", nullptr);
        outcome.out = ReadLines(outPath);
        outcome.err = ReadLines(errPath);
        return outcome;
    }

    std::string SmallFirmware()
    {
        const std::string path = File("small.bin");
        CSyntheticFirmware firmware;
        firmware.FillRegionRandom(0, 3);
        EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes()));
        return "\"" + path + "\"";
    }

private:
    fs::path m_folder;
    int m_runs = 0;
};

// The output without the progress lines.
Strings Texts(const Strings& out)
{
    Strings texts;
    for (const std::string& line : out)
        if (line.rfind("progress ", 0) != 0)
            texts.push_back(line);
    return texts;
}

const std::string kPorts = "Output Port : KALDIR USB OUT";

TEST_F(CliRun, FailuresExitWithOne)
{
    CliOutcome run = Run("", "");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err, Strings{"usage: versionup-cli FILE"});
    EXPECT_TRUE(run.out.empty());

    run = Run("a.bin b.bin", "");
    EXPECT_EQ(run.exitCode, 1u);

    run = Run("\"" + File("missing.bin") + "\"", "");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(Texts(run.out), (Strings{kPorts, "Input Port : KALDIR USB IN", texts::kFileReading, texts::kFileNotFound}));

    // Without the console's driver the dialog's message box becomes a line on stderr, and the
    // update fails when it opens the ports.
    run = Run(SmallFirmware(), "no_devices");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err, Strings{texts::kDriverNotFound});
    EXPECT_EQ(Texts(run.out),
              (Strings{texts::kDriverNotFound, texts::kFileReading, texts::kDeviceOpen, texts::kDeviceOpenFailed}));
}

// Two runs with the real five-second pause.
TEST_F(CliRun, CompleteExitsWithZeroAndAnUnacknowledgedFinalWithTwo)
{
    const std::string firmware = SmallFirmware();
    CliOutcome run = Run(firmware, "");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(Texts(run.out), (Strings{kPorts, "Input Port : KALDIR USB IN", texts::kFileReading, texts::kDeviceOpen,
                                       texts::kUninstalling, "Installing.... ( 1/ 1)", texts::kComplete}));
    const Strings expectedProgress = {"progress 0/8", "progress 1/8", "progress 2/8", "progress 3/8", "progress 4/8",
                                      "progress 5/8", "progress 6/8", "progress 7/8", "progress 8/8", texts::kComplete};
    ASSERT_GE(run.out.size(), expectedProgress.size());
    EXPECT_EQ(Strings(run.out.end() - static_cast<std::ptrdiff_t>(expectedProgress.size()), run.out.end()), expectedProgress);

    run = Run(firmware, "fault final 1 result 01");
    EXPECT_EQ(run.exitCode, 2u);
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), texts::kCompleteRestart);
}

} // namespace

#include "Program.h"

#include "Probe.h"

#include <fstream>

namespace gui {

CProgram::CProgram(const std::string& exe, const std::string& configPath, const std::string& config)
{
    if (!configPath.empty()) {
        std::ofstream(configPath, std::ios::trunc) << config;
        ::SetEnvironmentVariableA("VCONSOLE_CONFIG", configPath.c_str());
    } else {
        ::SetEnvironmentVariableA("VCONSOLE_CONFIG", nullptr);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exe + "\"";
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &m_process))
        m_process = PROCESS_INFORMATION{};
}

CProgram::~CProgram()
{
    if (!Started())
        return;
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, kShortWaitMs);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

HWND CProgram::WaitMainWindow() const
{
    HWND main = nullptr;
    WaitUntil([&] { return (main = FindTopLevel(Pid(), "#32770", "PQ4400 Version up Program")) != nullptr; });
    return main;
}

bool CProgram::WaitExit(DWORD& exitCode) const
{
    if (::WaitForSingleObject(m_process.hProcess, kShortWaitMs) != WAIT_OBJECT_0)
        return false;
    return ::GetExitCodeProcess(m_process.hProcess, &exitCode) != 0;
}

} // namespace gui

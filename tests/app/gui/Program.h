// The dialog program started as a separate process, with the virtual console configured for it.
#pragma once

#include <windows.h>

#include <string>

namespace gui {

class CProgram {
public:
    // Starts `exe` with VCONSOLE_CONFIG naming `configPath` (written from `config` first), or
    // with no console configuration when `configPath` is empty.
    CProgram(const std::string& exe, const std::string& configPath, const std::string& config);
    // A program still running is ended: a failed test must not leave it behind.
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool Started() const { return m_process.hProcess != nullptr; }
    DWORD Pid() const { return m_process.dwProcessId; }
    // The visible main window, once it is there; nullptr when it did not come.
    HWND WaitMainWindow() const;
    // True when the process ended within the wait; its exit code in `exitCode`.
    bool WaitExit(DWORD& exitCode) const;

private:
    PROCESS_INFORMATION m_process{};
};

} // namespace gui

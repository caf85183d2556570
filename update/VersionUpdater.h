// The update on this machine: the console's WinMM ports, the system's device list and the
// user's remembered ports, the machine-wide update lock and power requests.
#pragma once

#include <cstdint>

#include "ConsoleUpdater.h"
#include "MidiConsoleLink.h"
#include "WindowsHost.h"

struct WindowsTiming {
    UpdateTiming update;
    // How long the driver may take to report a message sent.
    uint32_t sendTimeoutMs = CMidiPort::kSendTimeoutMs;
    // Holds the machine awake for the length of a run; tests watch the requests here.
    SetExecutionStateFn setExecutionState = &SetThreadExecutionState;
};

// Made before the updater that uses them, and so gone after it.
class CWindowsConsole {
protected:
    explicit CWindowsConsole(const WindowsTiming& timing)
        : m_midiLink(timing.sendTimeoutMs), m_windowsHost(timing.setExecutionState)
    {
    }

    CMidiConsoleLink m_midiLink;
    CWindowsHost m_windowsHost;
};

class CVersionUpdater : private CWindowsConsole, public CConsoleUpdater {
public:
    // `devices` is the system's MIDI device list and `memory` the user's remembered pair of
    // ports; tests give their own.
    explicit CVersionUpdater(IUpdateDisplay& display, const WindowsTiming& timing = WindowsTiming{},
                             IMidiDeviceList& devices = SystemMidiDevices(), IPortMemory& memory = UserPortMemory())
        : CWindowsConsole(timing), CConsoleUpdater(display, m_midiLink, m_windowsHost, devices, memory, timing.update)
    {
    }
};

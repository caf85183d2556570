// The state that lives between a user's actions (the ports in use, the last file's length) and
// what the user can do with it: find the console, choose its ports, update it. The link to the
// console and the machine's services are the front end's.
#pragma once

#include <cstdint>

#include "ConsoleLink.h"
#include "FilePath.h"
#include "PortDiscovery.h"
#include "UpdateDisplay.h"
#include "UpdateHost.h"
#include "UpdateTiming.h"

class CConsoleUpdater {
public:
    CConsoleUpdater(IUpdateDisplay& display, IConsoleLink& link, IUpdateHost& host, IMidiDeviceList& devices,
                    IPortMemory& memory, const UpdateTiming& timing);

    // Finds the console's ports at start; 1 when both were found.
    int FindPorts();
    // The ports in use as they are now, looked for again as a Load does; true when both are there.
    bool ConfirmPorts();
    // The user's pair as the chooser showed it, for this and later runs; false when either port
    // is no longer listed.
    bool ChoosePorts(const PortNames& shown);
    const CConsolePorts& Ports() const { return m_ports; }
    // The whole update from the firmware file at `path` to the final command; every outcome
    // is reported in the status line. False when another update was running, so that this one
    // ended with "Device open failed!!" before opening a port.
    bool Load(const PathChar* path);
    // The same update on ports the user named instead of the discovered ones.
    bool LoadOnPorts(const PathChar* path, uint32_t outDevice, uint32_t inDevice);

    int32_t FileSize() const { return m_fileSize; }

private:
    IUpdateDisplay& m_display;
    IConsoleLink& m_link;
    IUpdateHost& m_host;
    UpdateTiming m_timing;
    CConsolePorts m_ports;
    int32_t m_fileSize = 0;
};

// The state that lives between button presses (the port, the ports in use, the last file's
// length) and what the user can do with it: find the console, choose its ports, update it.
#pragma once

#include <cstdint>

#include "FilePath.h"
#include "MidiPort.h"
#include "PortDiscovery.h"
#include "UpdateDisplay.h"
#include "UpdateTiming.h"

class CVersionUpdater {
public:
    // `devices` is the system's MIDI device list and `memory` the user's remembered pair of ports;
    // tests give their own.
    explicit CVersionUpdater(IUpdateDisplay& display, const UpdateTiming& timing = UpdateTiming{},
                             IMidiDeviceList& devices = SystemMidiDevices(), IPortMemory& memory = UserPortMemory());

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
    UpdateTiming m_timing;
    CMidiPort m_port;
    CConsolePorts m_ports;
    int32_t m_fileSize = 0;
};

// The state that lives between button presses (the port, the discovered devices, the last
// file's length) and the two things the user can do with it: find the console, update it.
#pragma once

#include <cstdint>

#include "FilePath.h"
#include "MidiPort.h"
#include "PortDiscovery.h"
#include "UpdateDisplay.h"
#include "UpdateTiming.h"

class CVersionUpdater {
public:
    // `devices` is the system's MIDI device list; tests give one whose devices come and go.
    explicit CVersionUpdater(IUpdateDisplay& display, const UpdateTiming& timing = UpdateTiming{},
                             IMidiDeviceList& devices = SystemMidiDevices());

    // Finds the console's ports at start; 1 when both were found.
    int FindPorts();
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

// Finds the console's USB-MIDI output and input among the MIDI devices the system lists, and
// makes sure before each update that the devices found are still the console's.
#pragma once

#include "MidiDevices.h"
#include "PortDisplay.h"

#include <cstdint>

// A device index that no device has. Not MIDI_MAPPER (0xFFFFFFFF), which would open whatever
// port the system maps MIDI to: without discovery an update must fail to open its ports.
inline constexpr uint32_t kNoDevice = 0xFFFFFFFE;

class CConsolePorts {
public:
    explicit CConsolePorts(IMidiDeviceList& devices = SystemMidiDevices());

    // Discovery at start. 1 when both were found: their names are shown and their devices kept.
    // Otherwise 0, after the missing-driver text went to a message box and the status line; a
    // port names a device only when its device was found.
    int Find(IPortDisplay& display);
    // Before the ports open: true when the devices at the kept numbers still describe themselves
    // as they did when discovery took them. Otherwise (a cable pulled and plugged again moves or
    // removes devices) discovery runs again without a message, the port fields show what it
    // found, and the result tells whether it found both. False when discovery never found both.
    bool Confirm(IPortDisplay& display);

    uint32_t OutDevice() const { return m_out.device; }
    uint32_t InDevice() const { return m_in.device; }

private:
    struct Port {
        uint32_t device = kNoDevice;
        MidiDeviceCaps caps;    // as the device described itself when discovery took it
        bool found = false;     // discovery took a device once
    };
    bool Search(MidiDirection direction, Port& port);
    bool StillThere(MidiDirection direction, const Port& port);

    IMidiDeviceList& m_devices;
    Port m_out;
    Port m_in;
};

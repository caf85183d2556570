// Finds the console's USB-MIDI output and input among the MIDI devices the system lists, takes
// the pair the user chooses instead, and makes sure before each update that the devices in use
// are still the ones taken.
#pragma once

#include "MidiDevices.h"
#include "PortDisplay.h"
#include "PortMemory.h"

#include <cstdint>

// A device index that no device has. Not MIDI_MAPPER (0xFFFFFFFF), which would open whatever
// port the system maps MIDI to: without discovery an update must fail to open its ports.
inline constexpr uint32_t kNoDevice = 0xFFFFFFFE;

class CConsolePorts {
public:
    explicit CConsolePorts(IMidiDeviceList& devices = SystemMidiDevices(), IPortMemory& memory = UserPortMemory());

    // Discovery at start: the ports that identify themselves as the console's driver does, or
    // else the pair the user chose last (by name and place). A chosen pair that is the console's
    // own comes first: with several consoles attached it is the one the user meant. 1 when a
    // pair was found: its names are shown and its devices kept. Otherwise 0, after the console's
    // output name (when found) and the missing-driver text went to a message box and the status
    // line.
    int Find(IPortDisplay& display);
    // Before the ports open: true when the devices at the kept numbers are still the ones taken.
    // Otherwise (a cable pulled and plugged again moves or removes devices) they are searched
    // again without a message, as they were found: the console's by identity, a chosen pair by
    // name and place; the port fields show what was found, and the result tells whether both
    // were. When no pair was ever found (a console plugged in after the start), discovery runs
    // again without a message and shows a pair only when it finds one.
    bool Confirm(IPortDisplay& display);
    // The user's pair as the chooser showed it, by name and place, taken from the devices as they
    // are now: used from now on, shown and remembered. A memory that cannot store it is reported
    // in the status line; the pair then holds for this run. False, and nothing changes, when
    // either port is no longer listed.
    bool Choose(const PortNames& shown, IPortDisplay& display);

    uint32_t OutDevice() const { return m_out.device; }
    uint32_t InDevice() const { return m_in.device; }
    IMidiDeviceList& Devices() const { return m_devices; }

private:
    struct Port {
        uint32_t device = kNoDevice;
        MidiDeviceCaps caps;    // as the device described itself when it was taken
        uint32_t place = 0;     // among the devices that match as it did
        bool found = false;     // a device was taken once
    };
    bool Discover();
    bool FindPair(const PortNames& names, Port& out, Port& in);
    template <typename Match>
    bool Take(MidiDirection direction, uint32_t place, Port& port, const Match& matches);
    bool Search(MidiDirection direction, Port& port);
    bool SearchByName(MidiDirection direction, std::wstring name, uint32_t place, Port& port);
    bool StillThere(MidiDirection direction, const Port& port);
    void ShowPorts(IPortDisplay& display, bool out, bool in) const;

    IMidiDeviceList& m_devices;
    IPortMemory& m_memory;
    Port m_out;
    Port m_in;
    bool m_byName = false;      // the pair in use was chosen by the user: it is found again by name and place
};

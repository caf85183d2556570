// The MIDI devices the system lists, as port discovery reads them. The system's list is read
// through winmm, which takes it from its drivers once per process; a test can put a list of its
// own in its place to play devices that come and go.
#pragma once

#include <cstdint>
#include <string>

enum class MidiDirection { Output, Input };

// What a device says it is.
template <typename Text>
struct BasicMidiDeviceCaps {
    uint16_t mid = 0;       // manufacturer ID
    uint16_t pid = 0;       // product ID
    Text name;              // at most 31 characters

    bool operator==(const BasicMidiDeviceCaps&) const = default;
};
// Discovery compares the 8-bit names, as the console's driver has always been found.
using MidiDeviceCaps = BasicMidiDeviceCaps<std::string>;
// The name as the driver gives it, every character of it: for showing and naming ports.
using MidiDeviceWideCaps = BasicMidiDeviceCaps<std::wstring>;

class IMidiDeviceList {
public:
    virtual ~IMidiDeviceList() = default;
    // Devices are numbered from 0 to Count() - 1.
    virtual uint32_t Count(MidiDirection direction) = 0;
    // False when the device's capabilities cannot be read.
    virtual bool Read(MidiDirection direction, uint32_t index, MidiDeviceCaps& caps) = 0;
};

// The devices of winmm.
IMidiDeviceList& SystemMidiDevices();
// One device of winmm with its wide name; false when its capabilities cannot be read.
bool ReadSystemMidiDevice(MidiDirection direction, uint32_t index, MidiDeviceWideCaps& caps);

// The MIDI devices the system lists, as port discovery reads them. The system's list is read
// through winmm, which takes it from its drivers once per process; a test can put a list of its
// own in its place to play devices that come and go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class MidiDirection { Output, Input };

// The capabilities' name field holds 32 characters with the name's end.
inline constexpr size_t kLongestDeviceName = 31;

// What a device says it is. The name is read with the wide capabilities, every character as the
// driver gives it: ports are found, shown, remembered and named by it.
struct MidiDeviceCaps {
    uint16_t mid = 0;       // manufacturer ID
    uint16_t pid = 0;       // product ID
    std::wstring name;      // at most kLongestDeviceName characters

    bool operator==(const MidiDeviceCaps&) const = default;
};

class IMidiDeviceList {
public:
    virtual ~IMidiDeviceList() = default;
    // Devices are numbered from 0 to Count() - 1.
    virtual uint32_t Count(MidiDirection direction) = 0;
    // False when the device's capabilities cannot be read.
    virtual bool Read(MidiDirection direction, uint32_t index, MidiDeviceCaps& caps) = 0;
    // Whether devices give their manufacturer and product IDs; without them both read as 0.
    virtual bool GivesIds() const { return true; }
};

// The devices of winmm.
IMidiDeviceList& SystemMidiDevices();

// One device of a list as it reads now.
struct ListedDevice {
    bool readable = false;
    MidiDeviceCaps caps;
    uint32_t place = 0;     // among the readable devices of its name, 0 the first
};
// Every device of `direction`, numbered as the list numbers them.
std::vector<ListedDevice> ListDevices(IMidiDeviceList& devices, MidiDirection direction);

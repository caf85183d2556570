#include "MidiDevices.h"

#include <windows.h>
#include <mmsystem.h>

namespace {

template <typename Caps>
bool ReadCaps(MMRESULT(WINAPI* readCaps)(UINT_PTR, Caps*, UINT), uint32_t index, MidiDeviceCaps& caps)
{
    Caps read{};
    if (readCaps(index, &read, sizeof(read)) != MMSYSERR_NOERROR)
        return false;
    // The name comes from the driver; it must end within its field before we use it.
    read.szPname[MAXPNAMELEN - 1] = 0;
    caps = {read.wMid, read.wPid, read.szPname};
    return true;
}

class CSystemMidiDevices : public IMidiDeviceList {
public:
    uint32_t Count(MidiDirection direction) override
    {
        return direction == MidiDirection::Output ? midiOutGetNumDevs() : midiInGetNumDevs();
    }

    bool Read(MidiDirection direction, uint32_t index, MidiDeviceCaps& caps) override
    {
        return direction == MidiDirection::Output ? ReadCaps(midiOutGetDevCapsW, index, caps)
                                                  : ReadCaps(midiInGetDevCapsW, index, caps);
    }
};

} // namespace

IMidiDeviceList& SystemMidiDevices()
{
    static CSystemMidiDevices devices;
    return devices;
}

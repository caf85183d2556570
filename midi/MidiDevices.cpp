#include "MidiDevices.h"

std::vector<ListedDevice> ListDevices(IMidiDeviceList& devices, MidiDirection direction)
{
    std::vector<ListedDevice> listed(devices.Count(direction));
    for (uint32_t i = 0; i < listed.size(); ++i) {
        listed[i].readable = devices.Read(direction, i, listed[i].caps);
        for (uint32_t before = 0; listed[i].readable && before < i; ++before) {
            if (listed[before].readable && listed[before].caps.name == listed[i].caps.name)
                ++listed[i].place;
        }
    }
    return listed;
}

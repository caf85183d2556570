#include "MidiDevices.h"

std::vector<ListedDevice> ListDevices(IMidiDeviceList& devices, MidiDirection direction)
{
    std::vector<ListedDevice> listed(devices.Count(direction));
    for (uint32_t i = 0; i < listed.size(); ++i)
        listed[i].readable = devices.Read(direction, i, listed[i].caps);
    return listed;
}

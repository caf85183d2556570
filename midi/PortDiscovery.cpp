#include "PortDiscovery.h"

#include "StatusTexts.h"

#include <cstring>

namespace {

// The console's USB-MIDI driver identifies itself by maker, product and the start of the
// device name; the name may go on (a number when several consoles are attached).
constexpr uint16_t kMakerId = 37;
struct Identity {
    uint16_t productId;
    const char* namePrefix;
};
constexpr Identity kOutputIdentity = {4, "KALDIR USB OUT"};
constexpr Identity kInputIdentity = {5, "KALDIR USB IN"};

bool IsConsole(MidiDirection direction, const MidiDeviceCaps& caps)
{
    const Identity& identity = direction == MidiDirection::Output ? kOutputIdentity : kInputIdentity;
    return caps.mid == kMakerId && caps.pid == identity.productId &&
           caps.name.compare(0, std::strlen(identity.namePrefix), identity.namePrefix) == 0;
}

int DriverNotFound(IPortDisplay& display)
{
    display.ShowMessageBox(texts::kDriverNotFound);
    display.ShowStatus(texts::kDriverNotFound);
    return 0;
}

} // namespace

CConsolePorts::CConsolePorts(IMidiDeviceList& devices) : m_devices(devices)
{
}

int CConsolePorts::Find(IPortDisplay& display)
{
    if (!Search(MidiDirection::Output, m_out))
        return DriverNotFound(display);
    display.ShowOutputPortName(m_out.caps.name.c_str());
    if (!Search(MidiDirection::Input, m_in))
        return DriverNotFound(display);
    display.ShowInputPortName(m_in.caps.name.c_str());
    return 1;
}

bool CConsolePorts::Confirm(IPortDisplay& display)
{
    if (!m_out.found || !m_in.found)
        return false;
    if (StillThere(MidiDirection::Output, m_out) && StillThere(MidiDirection::Input, m_in))
        return true;
    const bool out = Search(MidiDirection::Output, m_out);
    const bool in = Search(MidiDirection::Input, m_in);
    display.ShowOutputPortName(out ? m_out.caps.name.c_str() : "");
    display.ShowInputPortName(in ? m_in.caps.name.c_str() : "");
    return out && in;
}

// Takes the lowest-numbered device with the console's identity. A device whose capabilities
// cannot be read is passed over. Without one the port names no device, and so the next
// confirmation searches again.
bool CConsolePorts::Search(MidiDirection direction, Port& port)
{
    const uint32_t count = m_devices.Count(direction);
    MidiDeviceCaps caps;
    for (uint32_t i = 0; i < count; ++i) {
        if (m_devices.Read(direction, i, caps) && IsConsole(direction, caps)) {
            port = {i, caps, true};
            return true;
        }
    }
    port.device = kNoDevice;
    return false;
}

bool CConsolePorts::StillThere(MidiDirection direction, const Port& port)
{
    MidiDeviceCaps caps;
    return m_devices.Read(direction, port.device, caps) && caps == port.caps;
}

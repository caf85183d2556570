#include "PortDiscovery.h"

#include "StatusTexts.h"

namespace {

// The console's USB-MIDI driver identifies itself by maker, product and the start of the
// device name; the name may go on (a number when several consoles are attached).
constexpr uint16_t kMakerId = 37;
struct Identity {
    uint16_t productId;
    const wchar_t* namePrefix;
};
constexpr Identity kOutputIdentity = {4, L"KALDIR USB OUT"};
constexpr Identity kInputIdentity = {5, L"KALDIR USB IN"};

// Where the system gives no maker or product IDs (a browser's Web MIDI), the name alone tells.
bool IsConsole(MidiDirection direction, const MidiDeviceCaps& caps, bool idsGiven)
{
    const Identity& identity = direction == MidiDirection::Output ? kOutputIdentity : kInputIdentity;
    return (!idsGiven || (caps.mid == kMakerId && caps.pid == identity.productId)) &&
           caps.name.starts_with(identity.namePrefix);
}

} // namespace

CConsolePorts::CConsolePorts(IMidiDeviceList& devices, IPortMemory& memory) : m_devices(devices), m_memory(memory)
{
}

int CConsolePorts::Find(IPortDisplay& display)
{
    if (Discover()) {
        ShowPorts(display, true, true);
        return 1;
    }
    if (m_out.device != kNoDevice)
        display.ShowOutputPortName(m_out.caps.name.c_str());
    display.ShowMessageBox(texts::kDriverNotFound);
    display.ShowStatus(texts::kDriverNotFound);
    return 0;
}

bool CConsolePorts::Confirm(IPortDisplay& display)
{
    if (!m_out.found || !m_in.found) {
        if (!Discover())
            return false;
        ShowPorts(display, true, true);
        return true;
    }
    if (StillThere(MidiDirection::Output, m_out) && StillThere(MidiDirection::Input, m_in))
        return true;
    bool out = false;
    bool in = false;
    if (m_byName) {
        out = SearchByName(MidiDirection::Output, m_out.caps.name, m_out.place, m_out);
        in = SearchByName(MidiDirection::Input, m_in.caps.name, m_in.place, m_in);
    } else if (Discover()) {
        out = in = true;
    } else {
        out = m_out.device != kNoDevice;
        in = m_in.device != kNoDevice;
    }
    ShowPorts(display, out, in);
    return out && in;
}

bool CConsolePorts::Choose(const PortNames& shown, IPortDisplay& display)
{
    Port out;
    Port in;
    if (!FindPair(shown, out, in))
        return false;
    m_out = out;
    m_in = in;
    m_byName = true;
    if (!m_memory.Remember(shown))
        display.ShowStatus(texts::kPortsNotRemembered);
    ShowPorts(display, true, true);
    return true;
}

// A remembered pair that is the console's own is one console of several, the one the user chose.
// Otherwise the console's own ports, searched each for itself; when one is missing, the
// remembered pair, taken only whole. Otherwise the ports name what the console's search found.
bool CConsolePorts::Discover()
{
    PortNames names;
    Port chosenOut;
    Port chosenIn;
    const bool recalled = m_memory.Recall(names) && FindPair(names, chosenOut, chosenIn);
    const bool idsGiven = m_devices.GivesIds();
    if (!recalled || !IsConsole(MidiDirection::Output, chosenOut.caps, idsGiven) ||
        !IsConsole(MidiDirection::Input, chosenIn.caps, idsGiven)) {
        const bool out = Search(MidiDirection::Output, m_out);
        const bool in = Search(MidiDirection::Input, m_in);
        m_byName = false;
        if ((out && in) || !recalled)
            return out && in;
    }
    m_out = chosenOut;
    m_in = chosenIn;
    m_byName = true;
    return true;
}

bool CConsolePorts::FindPair(const PortNames& names, Port& out, Port& in)
{
    return SearchByName(MidiDirection::Output, names.out, names.outPlace, out) &&
           SearchByName(MidiDirection::Input, names.in, names.inPlace, in);
}

// Takes the device that matches at `place`, counted from 0 in the list's order. A device whose
// capabilities cannot be read is passed over. Without one the port names no device, and so the
// next confirmation searches again.
template <typename Match>
bool CConsolePorts::Take(MidiDirection direction, uint32_t place, Port& port, const Match& matches)
{
    const uint32_t count = m_devices.Count(direction);
    MidiDeviceCaps caps;
    uint32_t passed = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (m_devices.Read(direction, i, caps) && matches(caps) && passed++ == place) {
            port = {i, caps, place, true};
            return true;
        }
    }
    port.device = kNoDevice;
    return false;
}

// The lowest-numbered console.
bool CConsolePorts::Search(MidiDirection direction, Port& port)
{
    const bool idsGiven = m_devices.GivesIds();
    return Take(direction, 0, port,
                [direction, idsGiven](const MidiDeviceCaps& caps) { return IsConsole(direction, caps, idsGiven); });
}

// Never another device of the name: with fewer of them listed now, the port is not found. A port
// not found keeps its name and place, to be searched for again.
bool CConsolePorts::SearchByName(MidiDirection direction, std::wstring name, uint32_t place, Port& port)
{
    port.caps.name = name;
    port.place = place;
    return Take(direction, place, port, [&name](const MidiDeviceCaps& caps) { return caps.name == name; });
}

// A chosen port must still be the same one of its name: a device plugged in before it may have
// taken its number with the same description.
bool CConsolePorts::StillThere(MidiDirection direction, const Port& port)
{
    Port now;
    if (m_byName)
        return SearchByName(direction, port.caps.name, port.place, now) && now.device == port.device &&
               now.caps == port.caps;
    MidiDeviceCaps caps;
    return m_devices.Read(direction, port.device, caps) && caps == port.caps;
}

void CConsolePorts::ShowPorts(IPortDisplay& display, bool out, bool in) const
{
    display.ShowOutputPortName(out ? m_out.caps.name.c_str() : L"");
    display.ShowInputPortName(in ? m_in.caps.name.c_str() : L"");
}

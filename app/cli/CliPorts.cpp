#include "CliPorts.h"

#include <cwchar>
#include <vector>

#include "ConsoleText.h"
#include "PortDiscovery.h"

namespace {

std::vector<ListedDevice> Ports(MidiDirection direction)
{
    return ListDevices(SystemMidiDevices(), direction);
}

std::wstring KindName(MidiDirection direction)
{
    return direction == MidiDirection::Output ? L"MIDI output" : L"MIDI input";
}

// Discovery runs only for the indices it stores; what it would show stays unseen.
class CQuietPortDisplay : public IPortDisplay {
public:
    void ShowStatus(const char*) override {}
    void ShowOutputPortName(const wchar_t*) override {}
    void ShowInputPortName(const wchar_t*) override {}
    void ShowMessageBox(const char*) override {}
};

std::wstring PortTable(MidiDirection direction, uint32_t picked)
{
    std::wstring text = KindName(direction) + L"s:\n  index  manufacturer  product  name\n";
    const std::vector<ListedDevice> ports = Ports(direction);
    for (size_t i = 0; i < ports.size(); ++i) {
        const ListedDevice& port = ports[i];
        wchar_t ids[64];
        if (port.readable)
            std::swprintf(ids, 64, L"%-7u%-14u%-9u", static_cast<unsigned>(i), unsigned{port.caps.mid},
                          unsigned{port.caps.pid});
        else
            std::swprintf(ids, 64, L"%-7u%-14ls%-9ls", static_cast<unsigned>(i), L"?", L"?");
        text += i == picked ? L"* " : L"  ";
        text += ids;
        text += port.readable ? port.caps.name : L"(its capabilities cannot be read)";
        text += L"\n";
    }
    if (ports.empty())
        text += L"  (none)\n";
    return text;
}

} // namespace

void ListPorts()
{
    CQuietPortDisplay quiet;
    CConsolePorts ports;
    // Only a pair that was found whole is what an update would use.
    const bool found = ports.Find(quiet) == 1;
    std::wstring text = PortTable(MidiDirection::Output, found ? ports.OutDevice() : kNoDevice) +
                       PortTable(MidiDirection::Input, found ? ports.InDevice() : kNoDevice);
    text += found ? L"* the ports an update uses without --out-port and --in-port\n"
                  : L"Discovery finds neither the console's ports nor a pair chosen in the dialog: name them with --out-port and --in-port.\n";
    WriteText(stdout, text);
}

std::wstring FindNamedPort(MidiDirection direction, const std::wstring& argument, NamedPort& port)
{
    const std::vector<ListedDevice> ports = Ports(direction);
    const std::wstring see = L" (see --list-ports)";
    if (!argument.empty() && argument.find_first_not_of(L"0123456789") == std::wstring::npos) {
        const unsigned long index = std::wcstoul(argument.c_str(), nullptr, 10);
        if (index >= ports.size())
            return L"no " + KindName(direction) + L" has the index " + argument + see;
        port = {static_cast<uint32_t>(index), ports[index].caps.name};
        return {};
    }
    int matches = 0;
    for (size_t i = 0; i < ports.size(); ++i) {
        if (ports[i].readable && ports[i].caps.name == argument && matches++ == 0)
            port = {static_cast<uint32_t>(i), ports[i].caps.name};
    }
    if (matches == 1)
        return {};
    if (matches == 0)
        return L"no " + KindName(direction) + L" is named '" + argument + L"'" + see;
    return L"several " + KindName(direction) + L"s are named '" + argument + L"': give its index" + see;
}

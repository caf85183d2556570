#include "WebDevices.h"

#include <emscripten.h>

EM_JS(int, PortCountOnPage, (int output), { return Module.page.ports(output !== 0).length; });
// Writes the name as 32-bit characters, ended within `bytes`; 0 when there is no such port.
EM_JS(int, PortNameOnPage, (int output, int index, wchar_t* name, int bytes), {
    const port = Module.page.ports(output !== 0)[index];
    if (!port)
        return 0;
    stringToUTF32(port.name || "", name, bytes);
    return 1;
});

uint32_t CWebDevices::Count(MidiDirection direction)
{
    return static_cast<uint32_t>(PortCountOnPage(direction == MidiDirection::Output ? 1 : 0));
}

bool CWebDevices::Read(MidiDirection direction, uint32_t index, MidiDeviceCaps& caps)
{
    wchar_t name[kPageNameCharacters] = {};
    if (!PortNameOnPage(direction == MidiDirection::Output ? 1 : 0, static_cast<int>(index), name,
                        static_cast<int>(sizeof name)))
        return false;
    caps = {0, 0, name};
    return true;
}

#include "WebPortMemory.h"

#include <emscripten.h>

#include "WebDevices.h"

// The page's storage may be switched off or full: then nothing is remembered (0).
EM_JS(int, RecallOnPage, (int output, wchar_t* name, int bytes, uint32_t* place), {
    const port = Module.page.recallPort(output !== 0);
    if (port === null)
        return 0;
    stringToUTF32(port.name, name, bytes);
    HEAPU32[place >> 2] = port.place;
    return 1;
});
EM_JS(int, RememberOnPage, (const wchar_t* output, uint32_t outPlace, const wchar_t* input, uint32_t inPlace), {
    return Module.page.rememberPorts({name: UTF32ToString(output), place: outPlace},
                                     {name: UTF32ToString(input), place: inPlace}) ? 1 : 0;
});

bool CWebPortMemory::Recall(PortNames& names)
{
    wchar_t out[kPageNameCharacters] = {};
    wchar_t in[kPageNameCharacters] = {};
    PortNames recalled;
    if (!RecallOnPage(1, out, static_cast<int>(sizeof out), &recalled.outPlace) ||
        !RecallOnPage(0, in, static_cast<int>(sizeof in), &recalled.inPlace) || !out[0] || !in[0])
        return false;
    recalled.out = out;
    recalled.in = in;
    names = recalled;
    return true;
}

bool CWebPortMemory::Remember(const PortNames& names)
{
    return RememberOnPage(names.out.c_str(), names.outPlace, names.in.c_str(), names.inPlace) != 0;
}

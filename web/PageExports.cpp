// What the page's script calls: the update and port discovery of the programs, on the page's
// display, Web MIDI link and browser services. Calls that may wait (for the console, the user
// or a pause) are made with ccall's `async` and return a promise.
#include <cstdio>

#include <emscripten.h>

#include "ConsoleUpdater.h"
#include "Version.h"
#include "WebDevices.h"
#include "WebDisplay.h"
#include "WebHost.h"
#include "WebLink.h"
#include "WebPortMemory.h"

// Port names may hold any character; here wide text is 32 bits a character.
EM_JS(void, WidenOnPage, (const char* text, wchar_t* wide, int bytes),
      { stringToUTF32(UTF8ToString(text), wide, bytes); });

namespace {

std::wstring WideFromPage(const char* text)
{
    wchar_t wide[kPageNameCharacters] = {};
    WidenOnPage(text, wide, static_cast<int>(sizeof wide));
    return wide;
}

struct CPage {
    explicit CPage(const UpdateTiming& timing) : updater(display, link, host, devices, memory, timing) {}

    CWebDisplay display;
    CWebLink link;
    CWebHost host;
    CWebDevices devices;
    CWebPortMemory memory;
    CConsoleUpdater updater;
};

CPage* g_page = nullptr;

} // namespace

extern "C" {

// Once, before any other call. The console's waits are the programs' (a negative value) unless a
// test page of the virtual console shortens them.
EMSCRIPTEN_KEEPALIVE int vu_start(int replyTimeoutMs, int settleStepMs)
{
    const UpdateTiming programs;
    static CPage page({.replyTimeoutMs = replyTimeoutMs < 0 ? programs.replyTimeoutMs : uint32_t(replyTimeoutMs),
                       .settleStepMs = settleStepMs < 0 ? programs.settleStepMs : uint32_t(settleStepMs)});
    g_page = &page;
    return 1;
}

// As the dialog does when it opens: the console's ports, or the pair chosen before, shown in
// the port fields; otherwise the missing-driver message. 1 when both were found.
EMSCRIPTEN_KEEPALIVE int vu_find_ports()
{
    return g_page->updater.FindPorts();
}

// The ports in use looked for again, as before an update; 1 when both are there.
EMSCRIPTEN_KEEPALIVE int vu_confirm_ports()
{
    return g_page->updater.ConfirmPorts() ? 1 : 0;
}

// The ports in use as the page's lists number them, or a number no port has.
EMSCRIPTEN_KEEPALIVE uint32_t vu_port_in_use(int output)
{
    return output ? g_page->updater.Ports().OutDevice() : g_page->updater.Ports().InDevice();
}

// The pair the chooser showed, each port by its name and place among the ports of that name:
// 1 when both are still there and taken.
EMSCRIPTEN_KEEPALIVE int vu_choose_ports(const char* outName, uint32_t outPlace, const char* inName, uint32_t inPlace)
{
    return g_page->updater.ChoosePorts({WideFromPage(outName), WideFromPage(inName), outPlace, inPlace}) ? 1 : 0;
}

// The whole update with the file the page put at `path` (an empty path: no file chosen).
EMSCRIPTEN_KEEPALIVE void vu_load(const char* path)
{
    g_page->updater.Load(path);
}

// "V1.02", as the About box shows the version.
EMSCRIPTEN_KEEPALIVE const char* vu_version()
{
    static char text[16];
    std::snprintf(text, sizeof text, "V%d.%d%d", VU_VERSION_MAJOR, VU_VERSION_MINOR, VU_VERSION_PATCH);
    return text;
}

} // extern "C"

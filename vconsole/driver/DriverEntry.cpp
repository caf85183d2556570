// The entry points through which Wine's winmm and mmdevapi use the driver. mmdevapi insists on
// the four audio entry points before it accepts an audio driver; this one has no audio
// endpoints, only MIDI devices.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include "ConsoleDriver.h"

namespace {
// mmdevapi's rank for a driver that should be chosen whenever it is present.
constexpr int kPriorityPreferred = 3;
} // namespace

extern "C" {

LRESULT CALLBACK DriverProc(DWORD_PTR id, HDRVR driver, UINT message, LPARAM param1, LPARAM param2)
{
    switch (message) {
    case DRV_LOAD:
        CConsoleDriver::Instance();
        return 1;
    case DRV_FREE:
        CConsoleDriver::Instance().Unload();
        return 1;
    case DRV_OPEN:
    case DRV_CLOSE:
    case DRV_ENABLE:
    case DRV_DISABLE:
        return 1;
    default:
        return DefDriverProc(id, driver, message, param1, param2);
    }
}

DWORD WINAPI modMessage(UINT device, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR param2)
{
    return CConsoleDriver::Instance().OutMessage(device, message, param1, param2);
}

DWORD WINAPI midMessage(UINT device, UINT message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR param2)
{
    return CConsoleDriver::Instance().InMessage(device, message, param1, param2);
}

int WINAPI GetPriority(void)
{
    return kPriorityPreferred;
}

HRESULT WINAPI GetEndpointIDs(int, WCHAR*** ids, GUID** guids, UINT* count, UINT* defaultIndex)
{
    if (ids)
        *ids = nullptr;
    if (guids)
        *guids = nullptr;
    if (count)
        *count = 0;
    if (defaultIndex)
        *defaultIndex = 0;
    return S_OK;
}

HRESULT WINAPI GetAudioEndpoint(void*, void*, void** client)
{
    if (client)
        *client = nullptr;
    return E_NOTIMPL;
}

HRESULT WINAPI GetAudioSessionManager(void*, void** manager)
{
    if (manager)
        *manager = nullptr;
    return E_NOTIMPL;
}

} // extern "C"

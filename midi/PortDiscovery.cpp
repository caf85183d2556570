#include "PortDiscovery.h"

#include "StatusTexts.h"

#include <cstring>

#include <windows.h>
#include <mmsystem.h>

namespace {

// The console's USB-MIDI driver identifies itself by maker, product and the start of the
// device name; the name may go on (a number when several consoles are attached).
constexpr WORD kMakerId = 37;
constexpr WORD kOutputProductId = 4;
constexpr WORD kInputProductId = 5;
constexpr char kOutputNamePrefix[] = "KALDIR USB OUT";
constexpr char kInputNamePrefix[] = "KALDIR USB IN";

// Looks for the lowest-numbered device with the console's identity. `caps` then holds its
// capabilities. A device whose capabilities cannot be read is passed over.
template <typename Caps>
bool FindDevice(UINT count, MMRESULT(WINAPI* readCaps)(UINT_PTR, Caps*, UINT), WORD productId,
                const char* namePrefix, uint32_t& index, Caps& caps)
{
    for (UINT i = 0; i < count; ++i) {
        if (readCaps(i, &caps, sizeof(caps)) != MMSYSERR_NOERROR)
            continue;
        // The name comes from the driver; it must end within its field before we show it.
        caps.szPname[MAXPNAMELEN - 1] = '\0';
        if (caps.wMid == kMakerId && caps.wPid == productId &&
            std::strncmp(caps.szPname, namePrefix, std::strlen(namePrefix)) == 0) {
            index = i;
            return true;
        }
    }
    return false;
}

int DriverNotFound(IPortDisplay& display)
{
    display.ShowMessageBox(texts::kDriverNotFound);
    display.ShowStatus(texts::kDriverNotFound);
    return 0;
}

} // namespace

int FindPorts(IPortDisplay& display, uint32_t& outDevice, uint32_t& inDevice)
{
    MIDIOUTCAPSA outCaps{};
    if (!FindDevice(midiOutGetNumDevs(), midiOutGetDevCapsA, kOutputProductId, kOutputNamePrefix,
                    outDevice, outCaps))
        return DriverNotFound(display);
    display.ShowOutputPortName(outCaps.szPname);

    MIDIINCAPSA inCaps{};
    if (!FindDevice(midiInGetNumDevs(), midiInGetDevCapsA, kInputProductId, kInputNamePrefix,
                    inDevice, inCaps))
        return DriverNotFound(display);
    display.ShowInputPortName(inCaps.szPname);
    return 1;
}

// The user's remembered pair of ports in the registry, set for a test and deleted when it ends:
// the Wine prefix is the test build's own, so nothing else was there to put back. Names without
// their end, as a REG_SZ may be; places only past the first, as a pair stored before places were.
#pragma once

#include <windows.h>

#include <string>

#include "PortMemory.h"

// The console's ports as newer MIDI stacks may show them: other names and identifiers.
inline const std::string kRenamed =
    "out 1 2 Other Synth\nout 65535 65535 PQ4400 MIDI 2.0 Out\nin 65535 65535 PQ4400 MIDI 2.0 In";
// Two identical interfaces give the same names twice; the console is on the second.
inline const std::string kRenamedTwice =
    kRenamed + "\nout 65535 65535 PQ4400 MIDI 2.0 Out\nin 65535 65535 PQ4400 MIDI 2.0 In\nconsole_out 2\nconsole_in 1";

class CRememberedPorts {
public:
    explicit CRememberedPorts(const PortNames& names)
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kPortMemoryKey);
        for (const auto& [value, name] : {std::pair(kOutputPortValue, names.out), {kInputPortValue, names.in}})
            ::RegSetKeyValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, REG_SZ, name.data(), DWORD(name.size() * 2));
        for (const auto& [value, place] : {std::pair(kOutputPlaceValue, DWORD(names.outPlace)), {kInputPlaceValue, names.inPlace}}) {
            if (place != 0)
                ::RegSetKeyValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, REG_DWORD, &place, sizeof(place));
        }
    }
    ~CRememberedPorts() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kPortMemoryKey); }
    CRememberedPorts(const CRememberedPorts&) = delete;
    CRememberedPorts& operator=(const CRememberedPorts&) = delete;
};

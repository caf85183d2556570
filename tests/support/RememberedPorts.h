// The user's remembered pair of ports in the registry, set for a test and deleted when it ends:
// the Wine prefix is the test build's own, so nothing else was there to put back.
#pragma once

#include <windows.h>

#include <string>

#include "PortMemory.h"

// The console's ports as newer MIDI stacks may show them: other names and identifiers.
inline const std::string kRenamed =
    "out 1 2 Other Synth\nout 65535 65535 PQ4400 MIDI 2.0 Out\nin 65535 65535 PQ4400 MIDI 2.0 In";

class CRememberedPorts {
public:
    explicit CRememberedPorts(const PortNames& names)
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kPortMemoryKey);
        if (!names.out.empty())
            UserPortMemory().Remember(names);
    }
    ~CRememberedPorts() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kPortMemoryKey); }
    CRememberedPorts(const CRememberedPorts&) = delete;
    CRememberedPorts& operator=(const CRememberedPorts&) = delete;
};

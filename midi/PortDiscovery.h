// Finds the console's USB-MIDI output and input among the MIDI devices the system lists.
#pragma once

#include "PortDisplay.h"

#include <cstdint>

// A device index that no device has. Not MIDI_MAPPER (0xFFFFFFFF), which would open whatever
// port the system maps MIDI to: without discovery an update must fail to open its ports.
inline constexpr uint32_t kNoDevice = 0xFFFFFFFE;

// 1 when both were found: their names are shown and their indices stored. Otherwise 0, after the
// missing-driver text went to a message box and the status line; an index is stored only when
// its device was found.
int FindPorts(IPortDisplay& display, uint32_t& outDevice, uint32_t& inDevice);

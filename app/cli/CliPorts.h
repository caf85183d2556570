// The MIDI ports as versionup-cli shows them and as the user names them.
#pragma once

#include <cstdint>
#include <string>

#include "MidiDevices.h"

struct NamedPort {
    uint32_t index = 0;
    std::wstring name;
};

// Prints every MIDI output and input with its index, manufacturer and product IDs and name,
// marking the pair that an update would use by itself (the console's, or the pair chosen in the
// dialog). Opens none.
void ListPorts();

// Finds the port of `direction` that `argument` names: an index as ListPorts prints it (an argument
// of digits only) or a whole name. Returns an empty text when there is one, else one line
// saying why not.
std::wstring FindNamedPort(MidiDirection direction, const std::wstring& argument, NamedPort& port);

// The console's strict reading of what it receives: every byte of the frame, the checksum and
// the command's arguments are checked, so that a tool which sends anything out of the ordinary
// is caught by the tests instead of being silently answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ConsoleConfig.h"

namespace vconsole {

// Every write packet of an update carries a full 2048 bytes: regions are whole 4096-byte blocks.
inline constexpr uint32_t kPacketBytes = 2048;

struct ReceivedCommand {
    Command command = Command::U;
    uint8_t region = 0;        // erase
    uint32_t address = 0;      // write
    uint8_t data[kPacketBytes] = {};
};

// Decodes a complete SysEx message into `command`. Returns an empty string for a well-formed
// command, otherwise what is wrong with the message (the first fault found).
std::string CheckMessage(const uint8_t* message, size_t length, ReceivedCommand& command);

} // namespace vconsole

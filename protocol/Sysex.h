// The one SysEx frame of the console's update protocol, both directions, and its 7-bit codec.
//   F0 43 <device> 7E <len hi> <len lo> "LM  8C12" <payload> <checksum> F7
// len = payload + 8 (identifier and payload, exactly what the checksum covers).
#pragma once

#include <cstdint>

namespace sysex {
inline constexpr int kPayloadOffset = 14;     // header (6) + identifier (8)
inline constexpr int kFrameOverhead = 16;     // header, identifier, checksum, end byte
inline constexpr uint8_t kIdentifier[8] = {0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32};
} // namespace sysex

// Frames the payload the caller already wrote at offset 14; returns payloadLength + 16.
int BuildSysex(uint8_t* message, int deviceNumber, int payloadLength);
// Packs n 8-bit bytes into 7-bit groups; returns n + ceil(n / 7). Output must not overlap input.
int Pack7(uint8_t* output, const uint8_t* input, int n);
// Unpacks m packed bytes; returns m - ceil(m / 8).
int Unpack7(uint8_t* output, const uint8_t* input, int m);

// The update protocol's messages for the tests, built with the tool's own framing and packet code.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Sysex.h"
#include "UpdateCommands.h"

using Bytes = std::vector<uint8_t>;

// A whole message around `payload`, as both sides frame it.
inline Bytes Framed(const Bytes& payload)
{
    Bytes message(payload.size() + sysex::kFrameOverhead);
    std::copy(payload.begin(), payload.end(), message.begin() + sysex::kPayloadOffset);
    BuildSysex(message.data(), 0, static_cast<int>(payload.size()));
    return message;
}

inline Bytes Edited(Bytes message, size_t at, uint8_t value) { message[at] = value; return message; }
// The first `length` bytes of `message`: a reply cut short.
inline Bytes Cut(Bytes message, size_t length) { message.resize(length); return message; }
// What follows the first `from` bytes: the rest of a message.
inline Bytes Tail(const Bytes& message, size_t from) { return Bytes(message.begin() + from, message.end()); }

inline Bytes CommandU() { return Framed({0x55}); }
inline Bytes Erase(uint8_t region) { return Framed({0x42, 0x01, region}); }
inline Bytes Final() { return Framed({0x42, 0x00, 0x00, 0x01}); }

inline Bytes WritePacket(uint32_t address, const Bytes& data)
{
    Bytes message(kWriteBufferSize);
    message.resize(static_cast<size_t>(
        BuildWritePacket(message.data(), address, data.data(), static_cast<int>(data.size()))));
    return message;
}

// A full packet whose bytes count up from `seed`, so that every packet differs.
inline Bytes PacketData(uint8_t seed)
{
    Bytes data(kPacketDataSize);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(seed + i);
    return data;
}

// The console's answer to a write packet: the packed address it echoes and its result.
inline Bytes WriteReply(uint32_t echo, uint8_t result = 0x00)
{
    const Bytes packet = WritePacket(echo, {});
    return Framed({0x42, 0x02, packet[16], packet[17], packet[18], packet[19], packet[20], result});
}

inline uint32_t PacketAddress(const Bytes& message)
{
    uint8_t a[4];
    Unpack7(a, message.data() + sysex::kPayloadOffset + 2, 5);
    return (uint32_t{a[0]} << 24) | (uint32_t{a[1]} << 16) | (uint32_t{a[2]} << 8) | a[3];
}

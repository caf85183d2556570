// The tool's messages, built with the tool's own protocol code, for feeding the console.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Sysex.h"
#include "UpdateCommands.h"

using Bytes = std::vector<uint8_t>;

inline Bytes Framed(const Bytes& payload)
{
    Bytes message(payload.size() + sysex::kFrameOverhead);
    std::copy(payload.begin(), payload.end(), message.begin() + sysex::kPayloadOffset);
    BuildSysex(message.data(), 0, static_cast<int>(payload.size()));
    return message;
}

inline Bytes CommandU() { return Framed({0x55}); }
inline Bytes Erase(uint8_t region) { return Framed({0x42, 0x01, region}); }
inline Bytes Final() { return Framed({0x42, 0x00, 0x00, 0x01}); }

inline Bytes WritePacket(uint32_t address, const Bytes& data)
{
    Bytes message(kWriteBufferSize);
    int length = BuildWritePacket(message.data(), address, data.data(), static_cast<int>(data.size()));
    message.resize(static_cast<size_t>(length));
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

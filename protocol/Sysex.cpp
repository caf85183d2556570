#include "Sysex.h"

namespace {
constexpr uint8_t kStart = 0xF0;
constexpr uint8_t kManufacturer = 0x43;
constexpr uint8_t kFixed = 0x7E;
constexpr uint8_t kEnd = 0xF7;
constexpr int kGroupData = 7;     // 8-bit bytes carried by one packed group
} // namespace

int BuildSysex(uint8_t* message, int deviceNumber, int payloadLength)
{
    // The length counts identifier and payload, sent as 14 bits, high seven first.
    const int length = payloadLength + static_cast<int>(sizeof sysex::kIdentifier);
    message[0] = kStart;
    message[1] = kManufacturer;
    message[2] = static_cast<uint8_t>(deviceNumber);
    message[3] = kFixed;
    message[4] = static_cast<uint8_t>((length >> 7) & 0x7F);
    message[5] = static_cast<uint8_t>(length & 0x7F);

    // The console checks that identifier, payload and checksum add up to a multiple of 128.
    uint8_t sum = 0;
    for (int i = 0; i < static_cast<int>(sizeof sysex::kIdentifier); ++i) {
        message[6 + i] = sysex::kIdentifier[i];
        sum = static_cast<uint8_t>(sum + sysex::kIdentifier[i]);
    }
    uint8_t* payload = message + sysex::kPayloadOffset;
    for (int i = 0; i < payloadLength; ++i)
        sum = static_cast<uint8_t>(sum + payload[i]);

    payload[payloadLength] = static_cast<uint8_t>((256 - sum) & 0x7F);
    payload[payloadLength + 1] = kEnd;
    return payloadLength + sysex::kFrameOverhead;
}

int Pack7(uint8_t* output, const uint8_t* input, int n)
{
    // Each group: a byte with the top bits (first input byte in bit 6), then up to seven
    // bytes with their top bit cleared. A short last group keeps the same bit placement.
    int written = 0;
    for (int done = 0; done < n; done += kGroupData) {
        const int s = n - done < kGroupData ? n - done : kGroupData;
        uint8_t* top = output + written++;
        unsigned bits = 0;
        for (int k = 0; k < s; ++k) {
            const uint8_t byte = input[done + k];
            bits = (bits << 1) | (byte >> 7);
            output[written++] = static_cast<uint8_t>(byte & 0x7F);
        }
        *top = static_cast<uint8_t>(bits << (kGroupData - s));
    }
    return written;
}

int Unpack7(uint8_t* output, const uint8_t* input, int m)
{
    // The packed byte is ORed with its top bit, not cleared first: the console's replies carry
    // only 7-bit data bytes, so both readings agree on anything a well-formed message holds.
    int written = 0;
    for (int done = 0; done < m; done += kGroupData + 1) {
        const int g = m - done < kGroupData + 1 ? m - done : kGroupData + 1;
        const uint8_t top = input[done];
        for (int k = 1; k < g; ++k) {
            const uint8_t bit = static_cast<uint8_t>((top << k) & 0x80);
            output[written++] = static_cast<uint8_t>(input[done + k] | bit);
        }
    }
    return written;
}

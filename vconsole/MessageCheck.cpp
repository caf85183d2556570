#include "MessageCheck.h"

#include <cstdio>

#include "FlashModel.h"
#include "Journal.h"
#include "RegionMap.h"
#include "Sysex.h"

namespace vconsole {
namespace {

constexpr uint8_t kManufacturer = 0x43;
constexpr uint8_t kFixedByte = 0x7E;
constexpr size_t kAddressPacked = 5;
constexpr size_t kWriteHeader = 2 + kAddressPacked;

std::string Byte(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// Pack7 leaves the unused low bits of a short last group's top-bit byte at 0; a sender that
// sets them packs differently from the console's own reading of the group.
bool PaddingClear(const uint8_t* packed, size_t m)
{
    size_t last = m % 8;
    if (last == 0)
        return true;
    size_t dataBytes = last - 1;
    uint8_t unused = static_cast<uint8_t>((1u << (7 - dataBytes)) - 1);
    return (packed[m - last] & unused) == 0;
}

std::string CheckFrame(const uint8_t* m, size_t length)
{
    if (length < static_cast<size_t>(sysex::kFrameOverhead))
        return "frame: " + std::to_string(length) + " bytes, shorter than an empty message";
    if (m[0] != 0xF0)
        return "frame: starts with " + Byte(m[0]) + ", not F0";
    if (m[length - 1] != 0xF7)
        return "frame: ends with " + Byte(m[length - 1]) + ", not F7";
    for (size_t i = 1; i + 1 < length; ++i) {
        if (m[i] >= 0x80)
            return "data byte: " + Byte(m[i]) + " at offset " + std::to_string(i);
    }
    if (m[1] != kManufacturer)
        return "frame: manufacturer " + Byte(m[1]) + ", not 43";
    if (m[2] != 0x00)
        return "frame: device number " + Byte(m[2]) + ", not 00";
    if (m[3] != kFixedByte)
        return "frame: byte 3 is " + Byte(m[3]) + ", not 7E";
    size_t declared = (size_t{m[4]} << 7) | m[5];
    if (declared != length - 8)
        return "length: says " + std::to_string(declared) + ", the message carries " + std::to_string(length - 8);
    uint8_t sum = 0;
    for (int i = 0; i < 8; ++i) {
        if (m[6 + i] != sysex::kIdentifier[i])
            return "identifier: " + Hex(m + 6, 8) + ", not 4C 4D 20 20 38 43 31 32";
    }
    for (size_t i = 6; i < length - 2; ++i)
        sum = static_cast<uint8_t>(sum + m[i]);
    uint8_t expected = static_cast<uint8_t>((256 - sum) & 0x7F);
    if (m[length - 2] != expected)
        return "checksum: " + Byte(m[length - 2]) + ", expected " + Byte(expected);
    return {};
}

std::string CheckWrite(const uint8_t* payload, size_t n, ReceivedCommand& command)
{
    if (n < kWriteHeader)
        return "write: payload of " + std::to_string(n) + " bytes has no room for the address";
    const uint8_t* packedAddress = payload + 2;
    uint8_t address[4];
    Unpack7(address, packedAddress, static_cast<int>(kAddressPacked));
    if (!PaddingClear(packedAddress, kAddressPacked))
        return "write: address packed with stray low bits";
    command.address = (uint32_t{address[0]} << 24) | (uint32_t{address[1]} << 16) |
                      (uint32_t{address[2]} << 8) | address[3];

    size_t packed = n - kWriteHeader;
    size_t count = packed - (packed + 7) / 8;
    if (packed % 8 == 1 || count != kPacketBytes)
        return "write: " + std::to_string(packed) + " packed data bytes, expected 2341 for 2048 bytes";
    if (!PaddingClear(payload + kWriteHeader, packed))
        return "write: data packed with stray low bits";
    if (command.address % 4 != 0)
        return "write: address " + Hex32(command.address) + " is not 4-byte aligned";
    if (command.address > CFlashModel::kSize - kPacketBytes)
        return "write: address " + Hex32(command.address) + " leaves the flash";
    Unpack7(command.data, payload + kWriteHeader, static_cast<int>(packed));
    return {};
}

std::string CheckCommand(const uint8_t* payload, size_t n, ReceivedCommand& command)
{
    if (n == 1 && payload[0] == 0x55) {
        command.command = Command::U;
        return {};
    }
    if (n >= 2 && payload[0] == 0x42 && payload[1] == 0x01) {
        command.command = Command::Erase;
        if (n != 3)
            return "erase: payload of " + std::to_string(n) + " bytes, expected 3";
        if (payload[2] >= kRegionCount)
            return "erase: region " + std::to_string(payload[2]) + " does not exist";
        command.region = payload[2];
        return {};
    }
    if (n >= 2 && payload[0] == 0x42 && payload[1] == 0x02) {
        command.command = Command::Write;
        return CheckWrite(payload, n, command);
    }
    if (n >= 2 && payload[0] == 0x42 && payload[1] == 0x00) {
        command.command = Command::Final;
        if (n != 4 || payload[2] != 0x00 || payload[3] != 0x01)
            return "final: payload " + Hex(payload, n < 8 ? n : 8) + ", expected 42 00 00 01";
        return {};
    }
    return "command: unknown payload " + (n == 0 ? std::string("(empty)") : Hex(payload, n < 4 ? n : 4));
}

} // namespace

std::string CheckMessage(const uint8_t* message, size_t length, ReceivedCommand& command)
{
    std::string frameFault = CheckFrame(message, length);
    if (!frameFault.empty())
        return frameFault;
    return CheckCommand(message + sysex::kPayloadOffset, length - sysex::kFrameOverhead, command);
}

} // namespace vconsole

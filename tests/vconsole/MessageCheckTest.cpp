#include "MessageCheck.h"

#include <gtest/gtest.h>

#include <string>

#include "SysexMessages.h"

using namespace vconsole;

namespace {

std::string Check(const Bytes& message)
{
    ReceivedCommand command;
    return CheckMessage(message.data(), message.size(), command);
}

// The violation's first word names what was wrong.
std::string Kind(const Bytes& message)
{
    std::string text = Check(message);
    return text.substr(0, text.find(':'));
}

} // namespace

TEST(MessageCheck, TheToolsCommandsAreWellFormed)
{
    // The byte-exact examples of the protocol: U, erase of region 0, final.
    const Bytes u = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7};
    const Bytes erase0 = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                          0x42, 0x01, 0x00, 0x06, 0xF7};
    const Bytes final = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                         0x42, 0x00, 0x00, 0x01, 0x06, 0xF7};
    ReceivedCommand command;
    EXPECT_EQ(CheckMessage(u.data(), u.size(), command), "");
    EXPECT_EQ(command.command, Command::U);
    EXPECT_EQ(CheckMessage(erase0.data(), erase0.size(), command), "");
    EXPECT_EQ(command.command, Command::Erase);
    EXPECT_EQ(command.region, 0);
    Bytes erase34 = Erase(34);
    EXPECT_EQ(CheckMessage(erase34.data(), erase34.size(), command), "");
    EXPECT_EQ(command.region, 34);
    EXPECT_EQ(CheckMessage(final.data(), final.size(), command), "");
    EXPECT_EQ(command.command, Command::Final);

    Bytes data = PacketData(0x80);
    Bytes write = WritePacket(0x3FF800, data);
    ASSERT_EQ(write.size(), 2364u);
    EXPECT_EQ(CheckMessage(write.data(), write.size(), command), "");
    EXPECT_EQ(command.command, Command::Write);
    EXPECT_EQ(command.address, 0x3FF800u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), command.data));
}

TEST(MessageCheck, EachFrameFaultIsNamed)
{
    Bytes good = Erase(5);
    auto with = [&](size_t offset, uint8_t value) {
        Bytes m = good;
        m[offset] = value;
        return m;
    };
    EXPECT_EQ(Kind(Bytes(good.begin(), good.begin() + 15)), "frame");   // shorter than any message
    EXPECT_EQ(Kind(with(0, 0xF1)), "frame");
    EXPECT_EQ(Kind(with(good.size() - 1, 0x00)), "frame");
    EXPECT_EQ(Kind(with(1, 0x44)), "frame");
    EXPECT_EQ(Kind(with(2, 0x01)), "frame");      // device number
    EXPECT_EQ(Kind(with(3, 0x7F)), "frame");
    EXPECT_EQ(Kind(with(5, 0x0C)), "length");
    EXPECT_EQ(Kind(with(4, 0x01)), "length");
    EXPECT_EQ(Kind(with(9, 0x21)), "identifier");
    EXPECT_EQ(Kind(with(good.size() - 2, static_cast<uint8_t>((good[good.size() - 2] + 1) & 0x7F))), "checksum");
    EXPECT_EQ(Check(with(16, 0x85)), "data byte: 85 at offset 16");
    EXPECT_EQ(Kind(with(10, 0xF7)), "data byte");
    EXPECT_EQ(Check(with(good.size() - 2, 0x16)), "checksum: 16, expected 01");
}

TEST(MessageCheck, EachCommandFaultIsNamed)
{
    EXPECT_EQ(Kind(Framed({0x42, 0x03, 0x00})), "command");
    EXPECT_EQ(Kind(Framed({})), "command");
    EXPECT_EQ(Kind(Framed({0x55, 0x00})), "command");
    EXPECT_EQ(Check(Erase(35)), "erase: region 35 does not exist");
    EXPECT_EQ(Kind(Framed({0x42, 0x01, 0x00, 0x00})), "erase");
    EXPECT_EQ(Kind(Framed({0x42, 0x00, 0x00, 0x00})), "final");   // the reply, sent as a command
    EXPECT_EQ(Kind(Framed({0x42, 0x00, 0x00, 0x01, 0x00})), "final");

    // The worked write packet: three data bytes, not a full packet.
    const uint8_t three[3] = {0x12, 0x80, 0xFE};
    Bytes shortPacket = WritePacket(0x8000, Bytes(three, three + 3));
    ASSERT_EQ(shortPacket.size(), 27u);
    EXPECT_EQ(Check(shortPacket), "write: 4 packed data bytes, expected 2341 for 2048 bytes");
    EXPECT_EQ(Kind(WritePacket(0x8000, Bytes(2047, 0xAA))), "write");
    EXPECT_EQ(Kind(WritePacket(0x8000, Bytes(2049, 0xAA))), "write");
    EXPECT_EQ(Kind(Framed({0x42, 0x02, 0x00, 0x00})), "write");
    EXPECT_EQ(Check(WritePacket(0x8002, PacketData(0))), "write: address 00008002 is not 4-byte aligned");
    EXPECT_EQ(Check(WritePacket(0x3FFC00, PacketData(0))), "write: address 003FFC00 leaves the flash");
    EXPECT_EQ(Kind(WritePacket(0x10000000, PacketData(0))), "write");

    // Packing that unpacks to the right bytes but was not made by the 7-bit packing.
    Bytes strayAddress = WritePacket(0x8000, PacketData(0));
    strayAddress[16] |= 0x01;
    EXPECT_EQ(Check(Framed(Bytes(strayAddress.begin() + 14, strayAddress.end() - 2))),
              "write: address packed with stray low bits");
    Bytes strayData = WritePacket(0x8000, PacketData(0));
    strayData[strayData.size() - 2 - 5] |= 0x01;   // the last group: top-bit byte and four bytes
    EXPECT_EQ(Check(Framed(Bytes(strayData.begin() + 14, strayData.end() - 2))),
              "write: data packed with stray low bits");
}

#include "MessageCheck.h"

#include <gtest/gtest.h>

#include <string>

#include "SysexMessages.h"

using namespace vconsole;

TEST(MessageCheck, TheToolsCommandsPassAndEachFaultIsNamed)
{
    ReceivedCommand command;
    for (const Bytes& good : {CommandU(), Erase(0), Erase(34), Final(), WritePacket(0x3FF800, PacketData(0x80))})
        EXPECT_EQ(CheckMessage(good.data(), good.size(), command), "");
    EXPECT_EQ(command.address, 0x3FF800u);
    EXPECT_EQ(Bytes(command.data, command.data + 2048), PacketData(0x80));

    const Bytes erase = Erase(5);
    Bytes strayAddress = WritePacket(0x8000, PacketData(0));
    strayAddress[16] |= 0x01;
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(erase.begin(), erase.begin() + 15), "frame: 15 bytes, shorter than an empty message"},
        {Edited(erase, 0, 0xF1), "frame: starts with F1, not F0"},
        {Edited(erase, 1, 0x44), "frame: manufacturer 44, not 43"},
        {Edited(erase, 5, 0x0C), "length: says 12, the message carries 11"},
        {Edited(erase, 9, 0x21), "identifier: 4C 4D 20 21 38 43 31 32, not 4C 4D 20 20 38 43 31 32"},
        {Edited(erase, 17, 0x16), "checksum: 16, expected 01"},
        {Edited(erase, 16, 0x85), "data byte: 85 at offset 16"},
        {Framed({0x42, 0x03, 0x00}), "command: unknown payload 42 03 00"},
        {Erase(35), "erase: region 35 does not exist"},
        {Framed({0x42, 0x01, 0x00, 0x00}), "erase: payload of 4 bytes, expected 3"},
        {Framed({0x42, 0x00, 0x00, 0x00}), "final: payload 42 00 00 00, expected 42 00 00 01"},
        {WritePacket(0x8000, {0x12, 0x80, 0xFE}), "write: 4 packed data bytes, expected 2341 for 2048 bytes"},
        {Framed({0x42, 0x02, 0x00, 0x00}), "write: payload of 4 bytes has no room for the address"},
        {WritePacket(0x8002, PacketData(0)), "write: address 00008002 is not 4-byte aligned"},
        {WritePacket(0x3FFC00, PacketData(0)), "write: address 003FFC00 leaves the flash"},
        {Framed(Bytes(strayAddress.begin() + 14, strayAddress.end() - 2)), "write: address packed with stray low bits"},
    };
    for (const auto& [message, fault] : cases)
        EXPECT_EQ(CheckMessage(message.data(), message.size(), command), fault);
}

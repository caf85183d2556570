#include "Sysex.h"
#include "UpdateCommands.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Packet(uint32_t address, const Bytes& data)
{
    Bytes message(kWriteBufferSize, 0xAA);
    const int length = BuildWritePacket(message.data(), address, data.data(), static_cast<int>(data.size()));
    message.resize(static_cast<size_t>(length));
    return message;
}

TEST(WritePacket, MatchesTheConsoleExample)
{
    EXPECT_EQ(Packet(0x8000, {0x12, 0x80, 0xFE}),
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x13, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                     0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x30, 0x12, 0x00, 0x7E, 0x35, 0xF7}));
}

TEST(WritePacket, AddressIsFourBytesMostSignificantFirstPacked)
{
    const Bytes low = Packet(0x8000, {});
    EXPECT_EQ(Bytes(low.begin() + 16, low.begin() + 21), (Bytes{0x10, 0x00, 0x00, 0x00, 0x00}));
    const Bytes high = Packet(0x10000, {});
    EXPECT_EQ(Bytes(high.begin() + 16, high.begin() + 21), (Bytes{0x00, 0x00, 0x01, 0x00, 0x00}));
    const Bytes top = Packet(0xF1020304, {});
    EXPECT_EQ(Bytes(top.begin() + 16, top.begin() + 21), (Bytes{0x40, 0x71, 0x02, 0x03, 0x04}));
}

TEST(WritePacket, FullPacketCarriesTheDataPacked)
{
    Bytes data(kPacketDataSize);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(255 - i * 3);
    const Bytes message = Packet(0x3FF800, data);
    ASSERT_EQ(message.size(), 2364u);
    EXPECT_EQ(message[4], 0x12);
    EXPECT_EQ(message[5], 0x34);

    Bytes unpacked(data.size());
    EXPECT_EQ(Unpack7(unpacked.data(), message.data() + 21, 2341), kPacketDataSize);
    EXPECT_EQ(unpacked, data);
    for (size_t i = 1; i + 1 < message.size(); ++i)
        ASSERT_LT(message[i], 0x80) << i;
}

} // namespace

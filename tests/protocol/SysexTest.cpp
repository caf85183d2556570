#include "Sysex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Frame(const Bytes& payload, int deviceNumber = 0)
{
    Bytes message(payload.size() + sysex::kFrameOverhead, 0xAA);
    std::copy(payload.begin(), payload.end(), message.begin() + sysex::kPayloadOffset);
    const int length = BuildSysex(message.data(), deviceNumber, static_cast<int>(payload.size()));
    EXPECT_EQ(length, static_cast<int>(message.size()));
    return message;
}

Bytes Packed(const Bytes& input)
{
    // One spare byte past the packed length catches a write beyond it.
    Bytes output(input.size() + (input.size() + 6) / 7 + 1, 0xEE);
    const int written = Pack7(output.data(), input.data(), static_cast<int>(input.size()));
    EXPECT_EQ(output.back(), 0xEE);
    output.resize(static_cast<size_t>(written));
    return output;
}

Bytes Unpacked(const Bytes& input)
{
    Bytes output(input.size() + 1, 0xEE);
    const int written = Unpack7(output.data(), input.data(), static_cast<int>(input.size()));
    output.resize(static_cast<size_t>(written));
    return output;
}

Bytes Pattern(size_t n)
{
    // Every byte value, top bit set and clear in an irregular order.
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 151 + 7);
    return bytes;
}

TEST(Sysex, FramesTheConsoleMessagesByteExact)
{
    EXPECT_EQ(Frame({0x55}), (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20, 0x38,
                                    0x43, 0x31, 0x32, 0x55, 0x74, 0xF7}));
    EXPECT_EQ(Frame({0x42, 0x01, 0x00}),
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31,
                     0x32, 0x42, 0x01, 0x00, 0x06, 0xF7}));
    EXPECT_EQ(Frame({0x42, 0x00, 0x00, 0x01}),
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31,
                     0x32, 0x42, 0x00, 0x00, 0x01, 0x06, 0xF7}));
    EXPECT_EQ(Frame({}), (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x08, 0x4C, 0x4D, 0x20, 0x20, 0x38,
                                0x43, 0x31, 0x32, 0x49, 0xF7}));
}

TEST(Sysex, LengthIsFourteenBitsHighSevenFirst)
{
    const Bytes largest = Frame(Bytes(2348, 0x11));
    EXPECT_EQ(largest.size(), 2364u);
    EXPECT_EQ(largest[4], 0x12);
    EXPECT_EQ(largest[5], 0x34);

    const Bytes below = Frame(Bytes(119, 0x00));
    EXPECT_EQ(below[4], 0x00);
    EXPECT_EQ(below[5], 0x7F);
    const Bytes above = Frame(Bytes(120, 0x00));
    EXPECT_EQ(above[4], 0x01);
    EXPECT_EQ(above[5], 0x00);
}

TEST(Sysex, ChecksumCoversIdentifierAndPayloadOnly)
{
    Bytes sevenBit = Pattern(300);
    for (uint8_t& byte : sevenBit)
        byte &= 0x7F;
    const Bytes device0 = Frame(sevenBit, 0);
    const Bytes device5 = Frame(sevenBit, 0x15);
    EXPECT_EQ(device5[2], 0x15);
    EXPECT_EQ(device0.end()[-2], device5.end()[-2]);
    EXPECT_EQ(device0.back(), 0xF7);

    unsigned sum = 0;
    for (size_t i = 6; i < device0.size() - 1; ++i)
        sum += device0[i];
    EXPECT_EQ(sum % 128, 0u);
    EXPECT_LT(device0.end()[-2], 0x80);
}

TEST(Sysex, Pack7CarriesTopBitsInALeadingByte)
{
    EXPECT_EQ(Packed({0x80, 0x01, 0xFF}), (Bytes{0x50, 0x00, 0x01, 0x7F}));
    EXPECT_EQ(Packed({0x61, 0x62, 0x63}), (Bytes{0x00, 0x61, 0x62, 0x63}));
    EXPECT_EQ(Packed({0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86}),
              (Bytes{0x7F, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    EXPECT_EQ(Packed({0, 0, 0, 0, 0, 0, 0, 0x80}),
              (Bytes{0x00, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00}));
    EXPECT_EQ(Packed({}), Bytes{});
}

TEST(Sysex, Pack7LengthsAndSevenBitOutput)
{
    for (size_t n : {size_t{4}, size_t{7}, size_t{8}, size_t{2048}}) {
        const Bytes packed = Packed(Pattern(n));
        EXPECT_EQ(packed.size(), n + (n + 6) / 7) << n;
        for (uint8_t byte : packed)
            ASSERT_LT(byte, 0x80) << n;
    }
    EXPECT_EQ(Packed(Pattern(2048)).size(), 2341u);
}

TEST(Sysex, Unpack7InvertsPack7ForEveryLength)
{
    for (size_t n = 0; n <= 64; ++n)
        EXPECT_EQ(Unpacked(Packed(Pattern(n))), Pattern(n)) << n;
    EXPECT_EQ(Unpacked(Packed(Pattern(2048))), Pattern(2048));
    EXPECT_EQ(Unpacked({0x00, 0x01, 0x02, 0x03, 0x04}).size(), 4u);
}

TEST(Sysex, Unpack7EdgeCases)
{
    // A trailing lone top-bit byte carries no data.
    uint8_t guard[2] = {0xEE, 0xEE};
    const uint8_t single[1] = {0x7F};
    EXPECT_EQ(Unpack7(guard, single, 1), 0);
    EXPECT_EQ(guard[0], 0xEE);
    EXPECT_EQ(Unpacked({0x40, 0x01, 0x7F}), (Bytes{0x81, 0x7F}));
    // A data byte that already has bit 7 keeps it: the top bit is ORed in, never cleared.
    EXPECT_EQ(Unpacked({0x00, 0x81, 0x02}), (Bytes{0x81, 0x02}));
}

} // namespace

#include "Sysex.h"

#include <gtest/gtest.h>

#include "SysexMessages.h"

namespace {

Bytes Packed(const Bytes& input)
{
    Bytes output(input.size() + (input.size() + 6) / 7 + 1, 0xEE); // one spare byte: no overrun
    const int written = Pack7(output.data(), input.data(), static_cast<int>(input.size()));
    EXPECT_EQ(output.back(), 0xEE);
    output.resize(static_cast<size_t>(written));
    return output;
}

Bytes Unpacked(const Bytes& input)
{
    Bytes output(input.size() + 1, 0xEE);
    output.resize(static_cast<size_t>(Unpack7(output.data(), input.data(), static_cast<int>(input.size()))));
    return output;
}

Bytes Pattern(size_t n) // every byte value, top bit set and clear in an irregular order
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 151 + 7);
    return bytes;
}

TEST(Sysex, FramesTheConsoleMessagesByteExact)
{
    const struct {
        Bytes payload, message;
    } cases[] = {
        {{0x55}, {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7}},
        {{0x42, 0x01, 0x00},
         {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x01, 0x00, 0x06, 0xF7}},
        {{0x42, 0x00, 0x00, 0x01},
         {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x00, 0x00, 0x01, 0x06,
          0xF7}},
        {{}, {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x08, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x49, 0xF7}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Framed(c.payload), c.message);

    // The length: 14 bits, high seven first.
    const std::pair<size_t, Bytes> lengths[] = {{119, {0x00, 0x7F}}, {120, {0x01, 0x00}}, {2348, {0x12, 0x34}}};
    for (const auto& [n, bytes] : lengths) {
        const Bytes message = Framed(Bytes(n, 0x11));
        EXPECT_EQ(message.size(), n + 16);
        EXPECT_EQ(Bytes(message.begin() + 4, message.begin() + 6), bytes) << n;
    }

    // The checksum covers identifier and payload only, not the device number.
    Bytes message(316);
    std::copy_n(Pattern(300).begin(), 300, message.begin() + 14);
    for (size_t i = 14; i < 314; ++i)
        message[i] &= 0x7F;
    EXPECT_EQ(BuildSysex(message.data(), 0x15, 300), 316);
    EXPECT_EQ(message[2], 0x15);
    Bytes payload(message.begin() + 14, message.end() - 2);
    EXPECT_EQ(Framed(payload).end()[-2], message.end()[-2]);
}

TEST(Sysex, Pack7WorkedExamples)
{
    const struct {
        Bytes input, packed;
    } cases[] = {
        {{0x80, 0x01, 0xFF}, {0x50, 0x00, 0x01, 0x7F}},
        {{0x61, 0x62, 0x63}, {0x00, 0x61, 0x62, 0x63}},
        {{0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86}, {0x7F, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
        {{0, 0, 0, 0, 0, 0, 0, 0x80}, {0x00, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00}},
        {{}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Packed(c.input), c.packed);
    // A lone top-bit byte carries nothing; a data byte's own bit 7 is kept, not cleared.
    EXPECT_EQ(Unpacked({0x7F}), Bytes{});
    EXPECT_EQ(Unpacked({0x40, 0x01, 0x7F}), (Bytes{0x81, 0x7F}));
    EXPECT_EQ(Unpacked({0x00, 0x81, 0x02}), (Bytes{0x81, 0x02}));
}

TEST(Sysex, Unpack7InvertsPack7ForEveryLength)
{
    for (size_t n : {0, 1, 6, 7, 8, 13, 14, 15, 64, 2048}) {
        const Bytes packed = Packed(Pattern(n));
        EXPECT_EQ(packed.size(), n + (n + 6) / 7) << n;
        EXPECT_TRUE(std::all_of(packed.begin(), packed.end(), [](uint8_t b) { return b < 0x80; })) << n;
        EXPECT_EQ(Unpacked(packed), Pattern(n)) << n;
    }
}

} // namespace

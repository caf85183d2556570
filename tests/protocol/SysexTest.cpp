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

} // namespace

TEST(Sysex, FramesTheConsoleMessagesByteExact)
{
    const std::pair<Bytes, Bytes> cases[] = {
        {{0x55}, {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7}},
        {{0x42, 0x01, 0x00},
         {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x01, 0x00, 0x06, 0xF7}},
        {{0x42, 0x00, 0x00, 0x01},
         {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x00, 0x00, 0x01, 0x06, 0xF7}},
        {{}, {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x08, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x49, 0xF7}},
    };
    for (const auto& [payload, message] : cases)
        EXPECT_EQ(Framed(payload), message);

    // The length: 14 bits, high seven first.
    const std::pair<size_t, Bytes> lengths[] = {{119, {0x00, 0x7F}}, {120, {0x01, 0x00}}, {2348, {0x12, 0x34}}};
    for (const auto& [n, bytes] : lengths) {
        const Bytes message = Framed(Bytes(n, 0x11));
        EXPECT_EQ(message.size(), n + 16);
        EXPECT_EQ(Bytes(message.begin() + 4, message.begin() + 6), bytes) << n;
    }
}

TEST(Sysex, PacksTopBitsInALeadingByteAndUnpacksForEveryLength)
{
    const std::pair<Bytes, Bytes> cases[] = {
        {{0x80, 0x01, 0xFF}, {0x50, 0x00, 0x01, 0x7F}},
        {{0x61, 0x62, 0x63}, {0x00, 0x61, 0x62, 0x63}},
        {{0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86}, {0x7F, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06}},
        {{0, 0, 0, 0, 0, 0, 0, 0x80}, {0x00, 0, 0, 0, 0, 0, 0, 0, 0x40, 0x00}},
        {{}, {}},
    };
    for (const auto& [input, packed] : cases)
        EXPECT_EQ(Packed(input), packed);
    // A lone top-bit byte carries nothing; a data byte's own bit 7 is kept, not cleared.
    EXPECT_EQ(Unpacked({0x7F}), Bytes{});
    EXPECT_EQ(Unpacked({0x40, 0x81, 0x7F}), (Bytes{0x81, 0x7F}));

    for (size_t n : {0, 1, 6, 7, 8, 13, 14, 15, 64, 2048}) {
        Bytes input = PacketData(0x7D); // every value, top bit set and clear
        input.resize(n);
        const Bytes packed = Packed(input);
        EXPECT_EQ(packed.size(), n + (n + 6) / 7) << n;
        EXPECT_TRUE(std::all_of(packed.begin(), packed.end(), [](uint8_t b) { return b < 0x80; })) << n;
        EXPECT_EQ(Unpacked(packed), input) << n;
    }
}

#include "UpdateCommands.h"

#include "FakeConsole.h"
#include "HeapBlock.h"
#include "StatusTexts.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr uint32_t kTestTimeoutMs = 1234;

Bytes Pattern(size_t n)
{
    Bytes bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(i * 151 + 7 + i / 4096);
    return bytes;
}

struct Console {
    CScriptedLink link;
    CRecordingDisplay display;
    CUpdateCommands commands{link, display, kTestTimeoutMs};
};

TEST(SendCommandU, SendsTheOneByteCommandWithoutAwaitingAReply)
{
    Console console;
    console.commands.SendCommandU();
    ASSERT_EQ(console.link.sent.size(), 1u);
    EXPECT_EQ(console.link.sent[0], (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20,
                                           0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7}));
    EXPECT_EQ(console.link.replyBuffers[0], nullptr);
    EXPECT_TRUE(console.link.timeouts.empty());
    EXPECT_TRUE(console.display.statuses.empty());
}

TEST(EraseRegion, SendsTheEraseAndAcceptsTheMatchingReply)
{
    Console console;
    // Header, length, identifier and checksum of the reply are not the console's business here.
    Bytes reply = Framed({0x42, 0x01, 0x05, 0x00, 0x33});
    for (size_t i = 0; i < 14; ++i)
        reply[i] = 0x7F;
    reply.end()[-2] = 0x00;
    console.link.script.push_back(CScriptedLink::Reply(reply));

    EXPECT_EQ(console.commands.EraseRegion(5), 0);
    ASSERT_EQ(console.link.sent.size(), 1u);
    EXPECT_EQ(console.link.sent[0], (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20,
                                           0x38, 0x43, 0x31, 0x32, 0x42, 0x01, 0x05, 0x01, 0xF7}));
    EXPECT_NE(console.link.replyBuffers[0], nullptr);
    EXPECT_EQ(console.link.replyWhenArmed[0], Bytes(22, 0x00));
    EXPECT_EQ(console.link.timeouts, std::vector<uint32_t>{kTestTimeoutMs});
}

TEST(EraseRegion, FailsOnAnyDifferenceInTheComparedBytes)
{
    const Bytes wrongReplies[] = {
        {0x43, 0x01, 0x05, 0x00},   // another command
        {0x42, 0x02, 0x05, 0x00},   // another code
        {0x42, 0x01, 0x06, 0x00},   // another region
        {0x42, 0x01, 0x05, 0x01},   // the console reports a failed erase
    };
    for (const Bytes& payload : wrongReplies) {
        Console console;
        console.link.script.push_back(CScriptedLink::Reply(Framed(payload)));
        EXPECT_EQ(console.commands.EraseRegion(5), 1) << testing::PrintToString(payload);
        EXPECT_EQ(console.link.sent.size(), 1u);
        EXPECT_TRUE(console.display.statuses.empty());
    }
}

TEST(FinishUpdate, SendsTheFinalCommandAndNeedsAZeroResult)
{
    Console console;
    console.link.script.push_back(CScriptedLink::Reply(Framed({0x42, 0x00, 0x00, 0x00})));
    EXPECT_EQ(console.commands.FinishUpdate(), 0);
    ASSERT_EQ(console.link.sent.size(), 1u);
    EXPECT_EQ(console.link.sent[0],
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                     0x42, 0x00, 0x00, 0x01, 0x06, 0xF7}));

    // The command sent back unchanged is not an acknowledgement.
    const Bytes wrongReplies[] = {{0x42, 0x00, 0x00, 0x01}, {0x41, 0x00, 0x00, 0x00},
                                  {0x42, 0x01, 0x00, 0x00}, {0x42, 0x00, 0x01, 0x00}};
    for (const Bytes& payload : wrongReplies) {
        Console failing;
        failing.link.script.push_back(CScriptedLink::Reply(Framed(payload)));
        EXPECT_EQ(failing.commands.FinishUpdate(), 1) << testing::PrintToString(payload);
    }
}

TEST(Commands, SilentOrDamagedRepliesFailWithoutStatusText)
{
    for (const CScriptedLink::Step& step : {CScriptedLink::TimeOut(), CScriptedLink::NoData()}) {
        Console console;
        console.link.script = {step, step, step};
        EXPECT_EQ(console.commands.EraseRegion(0), 1);
        EXPECT_EQ(console.commands.FinishUpdate(), 1);
        const Bytes data = Pattern(0x4000);
        EXPECT_EQ(console.commands.WriteRegion(0, data.data(), 0x4000), 1);
        EXPECT_EQ(console.link.sent.size(), 3u);
        EXPECT_TRUE(console.display.statuses.empty());
        EXPECT_EQ(console.display.position, 0);
    }
}

TEST(Commands, WaitForTheConfiguredTimeOut)
{
    Console console;
    console.link.script = {CScriptedLink::Reply(Framed({0x42, 0x01, 0x03, 0x00})), CScriptedLink::Acknowledge(),
                           CScriptedLink::Acknowledge(), CScriptedLink::Reply(Framed({0x42, 0x00, 0x00, 0x00}))};
    const Bytes data = Pattern(0x1000);
    EXPECT_EQ(console.commands.EraseRegion(3), 0);
    EXPECT_EQ(console.commands.WriteRegion(0x8000, data.data(), 0x1000), 0);
    EXPECT_EQ(console.commands.FinishUpdate(), 0);
    EXPECT_EQ(console.link.timeouts, std::vector<uint32_t>(4, kTestTimeoutMs));

    CScriptedLink link;
    CRecordingDisplay display;
    CUpdateCommands shipped(link, display);
    shipped.EraseRegion(0);
    EXPECT_EQ(link.timeouts, std::vector<uint32_t>{5000});
}

TEST(Commands, MemoryShortageShowsTheTextAndSendsNothing)
{
    const Bytes data = Pattern(0x1000);
    const std::function<int(CUpdateCommands&)> operations[] = {
        [](CUpdateCommands& c) { c.SendCommandU(); return 1; },
        [](CUpdateCommands& c) { return c.EraseRegion(1); },
        [](CUpdateCommands& c) { return c.FinishUpdate(); },
        [&data](CUpdateCommands& c) { return c.WriteRegion(0x8000, data.data(), 0x1000); },
    };
    for (size_t op = 0; op < std::size(operations); ++op) {
        // The first allocation is the message buffer, the second the reply buffer (not for U).
        for (int failing = 1; failing <= (op == 0 ? 1 : 2); ++failing) {
            Console console;
            console.link.script = {CScriptedLink::Acknowledge()};
            FailHeapAllocationAfter(failing);
            EXPECT_EQ(operations[op](console.commands), 1);
            FailHeapAllocationAfter(0);
            EXPECT_TRUE(console.link.sent.empty()) << op << "/" << failing;
            EXPECT_EQ(console.display.statuses, std::vector<std::string>{texts::kNoMemory});
            EXPECT_TRUE(console.display.progress.empty());
        }
    }
}

TEST(WriteRegion, SendsEachBlockAsTwoAcknowledgedPackets)
{
    Console console;
    console.link.script.assign(8, CScriptedLink::Acknowledge());
    const Bytes data = Pattern(0x4000);
    EXPECT_EQ(console.commands.WriteRegion(0x8000, data.data(), 0x4000), 0);

    ASSERT_EQ(console.link.sent.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const Bytes& packet = console.link.sent[i];
        ASSERT_EQ(packet.size(), 2364u);
        EXPECT_EQ(PacketAddress(packet), 0x8000 + 0x800 * i);
        Bytes unpacked(2048);
        Unpack7(unpacked.data(), packet.data() + 21, 2341);
        EXPECT_TRUE(std::equal(unpacked.begin(), unpacked.end(), data.begin() + 2048 * i)) << i;
        // One reply buffer for the whole region.
        EXPECT_EQ(console.link.replyBuffers[i], console.link.replyBuffers[0]);
    }
    EXPECT_EQ(console.display.progress, (std::vector<std::string>{"range 0 4", "pos 0", "offset 1", "offset 1",
                                                                  "offset 1", "offset 1"}));
    EXPECT_TRUE(console.display.statuses.empty());
}

TEST(WriteRegion, EmptyAndPartialLengths)
{
    Console empty;
    EXPECT_EQ(empty.commands.WriteRegion(0x8000, nullptr, 0), 0);
    EXPECT_TRUE(empty.link.sent.empty());
    EXPECT_EQ(empty.display.progress, (std::vector<std::string>{"range 0 0", "pos 0"}));

    // Not a whole number of blocks: refused before anything reaches the console.
    for (uint32_t length : {1u, 2048u, 0x1800u}) {
        Console partial;
        partial.link.script.assign(4, CScriptedLink::Acknowledge());
        const Bytes data = Pattern(length);
        EXPECT_EQ(partial.commands.WriteRegion(0x8000, data.data(), length), 1) << length;
        EXPECT_TRUE(partial.link.sent.empty());
        EXPECT_TRUE(partial.display.progress.empty());
    }
}

TEST(WriteRegion, ChecksTheAddressEchoInItsLow28Bits)
{
    const Bytes data = Pattern(0x1000);
    Console highBits;
    highBits.link.script = {CScriptedLink::Reply(WriteReply(0xF0008000)),
                            CScriptedLink::Reply(WriteReply(0x30008800))};
    EXPECT_EQ(highBits.commands.WriteRegion(0x8000, data.data(), 0x1000), 0);

    const Bytes wrongReplies[] = {
        WriteReply(0x8001),
        WriteReply(0x08008000),                     // bit 27 belongs to the address
        WriteReply(0x8000, 0x01),                   // the console reports a failed write
        Framed({0x42, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}),
        Framed({0x41, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}),
    };
    for (const Bytes& reply : wrongReplies) {
        Console console;
        console.link.script = {CScriptedLink::Reply(reply), CScriptedLink::Acknowledge()};
        EXPECT_EQ(console.commands.WriteRegion(0x8000, data.data(), 0x1000), 1)
            << testing::PrintToString(reply);
        EXPECT_EQ(console.link.sent.size(), 1u);
        EXPECT_EQ(console.display.position, 0);
    }
}

TEST(WriteRegion, FailureStopsAtOnceAndKeepsTheProgress)
{
    const Bytes data = Pattern(0x8000);
    for (const CScriptedLink::Step& failure : {CScriptedLink::TimeOut(), CScriptedLink::Reply(WriteReply(0, 0x7F))}) {
        Console console;
        // Second packet of the third block.
        console.link.script.assign(5, CScriptedLink::Acknowledge());
        console.link.script.push_back(failure);
        console.link.script.push_back(CScriptedLink::Acknowledge());
        EXPECT_EQ(console.commands.WriteRegion(0x20000, data.data(), 0x8000), 1);
        EXPECT_EQ(console.link.sent.size(), 6u);
        EXPECT_EQ(console.display.position, 2);
        EXPECT_TRUE(console.display.statuses.empty());
    }
}

TEST(WriteRegion, DamagedReplyOnALaterPacketFailsOnThePreviousEcho)
{
    // The reply buffer is not cleared between packets: a capture without data leaves the
    // previous acknowledgement, whose address is not this packet's.
    Console console;
    console.link.script = {CScriptedLink::Acknowledge(), CScriptedLink::NoData(), CScriptedLink::Acknowledge()};
    const Bytes data = Pattern(0x2000);
    EXPECT_EQ(console.commands.WriteRegion(0x8000, data.data(), 0x2000), 1);
    ASSERT_EQ(console.link.sent.size(), 2u);
    EXPECT_EQ(console.link.replyWhenArmed[0], Bytes(22, 0x00));
    const Bytes first = WriteReply(0x8000);
    EXPECT_EQ(console.link.replyWhenArmed[1], Bytes(first.begin(), first.begin() + 22));
}

} // namespace

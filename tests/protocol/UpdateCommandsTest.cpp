#include "UpdateCommands.h"

#include <gtest/gtest.h>

#include "FakeConsole.h"
#include "HeapBlock.h"
#include "StatusTexts.h"

namespace {

constexpr uint32_t kTestTimeoutMs = 1234;
using Step = CScriptedLink::Step;

struct Console {
    CScriptedLink link;
    CRecordingDisplay display;
    CUpdateCommands commands{link, display, kTestTimeoutMs};
};

const Bytes& Data() // a region's worth of bytes that differ from packet to packet
{
    static const Bytes data = [] {
        Bytes bytes(0x8000);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 151 + 7 + i / 4096);
        return bytes;
    }();
    return data;
}

Bytes Edited(Bytes message, size_t at, uint8_t value)
{
    message[at] = value;
    return message;
}

int Erase5(CUpdateCommands& c) { return c.EraseRegion(5); }
int Finish(CUpdateCommands& c) { return c.FinishUpdate(); }
int WriteBlock(CUpdateCommands& c) { return c.WriteRegion(0x8000, Data().data(), 0x1000); }
int WriteEightBlocks(CUpdateCommands& c) { return c.WriteRegion(0x20000, Data().data(), 0x8000); }

} // namespace

TEST(UpdateCommands, EachReplyGivesItsResult)
{
    const Step ack = CScriptedLink::Acknowledge();
    const auto reply = [](const Bytes& payload) { return CScriptedLink::Reply(Framed(payload)); };
    // Header, length, identifier and checksum of a reply are not compared.
    Bytes bentErase = Framed({0x42, 0x01, 0x05, 0x00, 0x33});
    std::fill_n(bentErase.begin(), 14, 0x7F);
    bentErase[19] = 0x00;
    const struct {
        const char* what;
        int (*operation)(CUpdateCommands&);
        std::vector<Step> script;
        int result;
        size_t sent;
        int position; // of the progress bar at the end
    } cases[] = {
        {"erase accepted", Erase5, {CScriptedLink::Reply(bentErase)}, 0, 1, -1},
        {"erase: another command", Erase5, {reply({0x43, 0x01, 0x05, 0x00})}, 1, 1, -1},
        {"erase: another code", Erase5, {reply({0x42, 0x02, 0x05, 0x00})}, 1, 1, -1},
        {"erase: another region", Erase5, {reply({0x42, 0x01, 0x06, 0x00})}, 1, 1, -1},
        {"erase failed", Erase5, {reply({0x42, 0x01, 0x05, 0x01})}, 1, 1, -1},
        {"erase: silence", Erase5, {CScriptedLink::TimeOut()}, 1, 1, -1},
        {"erase: damaged reply", Erase5, {CScriptedLink::NoData()}, 1, 1, -1},
        {"final accepted", Finish, {reply({0x42, 0x00, 0x00, 0x00})}, 0, 1, -1},
        {"final sent back unchanged", Finish, {reply({0x42, 0x00, 0x00, 0x01})}, 1, 1, -1},
        {"final: another command", Finish, {reply({0x41, 0x00, 0x00, 0x00})}, 1, 1, -1},
        {"final: another code", Finish, {reply({0x42, 0x01, 0x00, 0x00})}, 1, 1, -1},
        {"final: byte 16", Finish, {reply({0x42, 0x00, 0x01, 0x00})}, 1, 1, -1},
        {"final: silence", Finish, {CScriptedLink::TimeOut()}, 1, 1, -1},
        {"write accepted", WriteBlock, {ack, ack}, 0, 2, 1},
        {"write: bits 28-31 of the echo are ignored", WriteBlock,
         {CScriptedLink::Reply(WriteReply(0xF0008000)), CScriptedLink::Reply(WriteReply(0x30008800))}, 0, 2, 1},
        {"write: wrong echo", WriteBlock, {CScriptedLink::Reply(WriteReply(0x8001)), ack}, 1, 1, 0},
        {"write: bit 27 is the address's", WriteBlock, {CScriptedLink::Reply(WriteReply(0x08008000)), ack}, 1, 1, 0},
        {"write failed", WriteBlock, {CScriptedLink::Reply(WriteReply(0x8000, 0x01)), ack}, 1, 1, 0},
        {"write: another command", WriteBlock, {CScriptedLink::Reply(Edited(WriteReply(0x8000), 14, 0x41)), ack}, 1, 1, 0},
        {"write: another code", WriteBlock, {CScriptedLink::Reply(Edited(WriteReply(0x8000), 15, 0x01)), ack}, 1, 1, 0},
        {"write: silence", WriteBlock, {CScriptedLink::TimeOut(), ack}, 1, 1, 0},
        // The reply buffer is not cleared between packets: the previous echo names another address.
        {"write: damaged reply to a later packet", WriteBlock, {ack, CScriptedLink::NoData(), ack}, 1, 2, 0},
        {"write: silence at the second packet of the third block", WriteEightBlocks,
         {ack, ack, ack, ack, ack, CScriptedLink::TimeOut(), ack}, 1, 6, 2},
        {"write failed at the second packet of the third block", WriteEightBlocks,
         {ack, ack, ack, ack, ack, CScriptedLink::Reply(WriteReply(0x22800, 0x7F)), ack}, 1, 6, 2},
    };
    for (const auto& c : cases) {
        Console console;
        console.link.script.assign(c.script.begin(), c.script.end());
        EXPECT_EQ(c.operation(console.commands), c.result) << c.what;
        EXPECT_EQ(console.link.sent.size(), c.sent) << c.what;
        EXPECT_EQ(console.link.timeouts, std::vector<uint32_t>(c.sent, kTestTimeoutMs)) << c.what;
        EXPECT_EQ(console.display.position, c.position) << c.what;
        EXPECT_TRUE(console.display.statuses.empty()) << c.what;
    }
    CScriptedLink link;
    CRecordingDisplay display;
    CUpdateCommands(link, display).EraseRegion(0);
    EXPECT_EQ(link.timeouts, std::vector<uint32_t>{5000});
}

TEST(UpdateCommands, SendTheConsoleMessagesByteExact)
{
    Console console;
    console.commands.SendCommandU();
    console.link.script = {CScriptedLink::Reply(Framed({0x42, 0x01, 0x05, 0x00}))};
    console.commands.EraseRegion(5);
    console.commands.FinishUpdate();
    EXPECT_EQ(console.link.sent, (std::vector<Bytes>{
        {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7},
        {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x01, 0x05, 0x01, 0xF7},
        {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0C, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, 0x42, 0x00, 0x00, 0x01,
         0x06, 0xF7}}));
    // U awaits no reply; the others arm a zero-filled reply buffer.
    EXPECT_EQ(console.link.replyBuffers[0], nullptr);
    EXPECT_EQ(console.link.replyWhenArmed, std::vector<Bytes>(2, Bytes(22, 0)));

    EXPECT_EQ(WritePacket(0x8000, {0x12, 0x80, 0xFE}),
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x13, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                     0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x30, 0x12, 0x00, 0x7E, 0x35, 0xF7}));
    const Bytes address = WritePacket(0x10000, {});
    EXPECT_EQ(Bytes(address.begin() + 16, address.begin() + 21), (Bytes{0x00, 0x00, 0x01, 0x00, 0x00}));
}

TEST(UpdateCommands, WriteRegionSendsEachBlockAsTwoAcknowledgedPackets)
{
    Console console;
    console.link.script.assign(8, CScriptedLink::Acknowledge());
    EXPECT_EQ(console.commands.WriteRegion(0x8000, Data().data(), 0x4000), 0);
    ASSERT_EQ(console.link.sent.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const Bytes& packet = console.link.sent[i];
        ASSERT_EQ(packet.size(), 2364u);
        EXPECT_EQ(PacketAddress(packet), 0x8000 + 0x800 * i);
        Bytes unpacked(2048);
        Unpack7(unpacked.data(), packet.data() + 21, 2341);
        EXPECT_TRUE(std::equal(unpacked.begin(), unpacked.end(), Data().begin() + 2048 * i)) << i;
        EXPECT_EQ(console.link.replyBuffers[i], console.link.replyBuffers[0]); // one for the region
    }
    EXPECT_EQ(console.display.progress,
              (std::vector<std::string>{"range 0 4", "pos 0", "offset 1", "offset 1", "offset 1", "offset 1"}));

    // Nothing to write: nothing sent. Not whole blocks: refused before anything is sent.
    for (uint32_t length : {0u, 1u, 2048u, 0x1800u}) {
        Console other;
        EXPECT_EQ(other.commands.WriteRegion(0x8000, Data().data(), length), length == 0 ? 0 : 1);
        EXPECT_TRUE(other.link.sent.empty());
        EXPECT_EQ(other.display.progress, length == 0 ? (std::vector<std::string>{"range 0 0", "pos 0"})
                                                      : std::vector<std::string>{});
    }
}

TEST(UpdateCommands, MemoryShortageShowsTheTextAndSendsNothing)
{
    // The first allocation is the message buffer, the second the reply buffer (none for U).
    const struct {
        int (*operation)(CUpdateCommands&);
        int failing;
    } cases[] = {{[](CUpdateCommands& c) { c.SendCommandU(); return 1; }, 1},
                 {Erase5, 1}, {Erase5, 2}, {Finish, 1}, {Finish, 2}, {WriteBlock, 1}, {WriteBlock, 2}};
    for (const auto& c : cases) {
        Console console;
        console.link.script = {CScriptedLink::Acknowledge()};
        FailHeapAllocationAfter(c.failing);
        EXPECT_EQ(c.operation(console.commands), 1);
        FailHeapAllocationAfter(0);
        EXPECT_TRUE(console.link.sent.empty());
        EXPECT_EQ(console.display.statuses, std::vector<std::string>{texts::kNoMemory});
        EXPECT_TRUE(console.display.progress.empty());
    }
}

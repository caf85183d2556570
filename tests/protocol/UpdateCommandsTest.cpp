#include "UpdateCommands.h"

#include <deque>
#include <string>

#include <gtest/gtest.h>

#include "FirmwareGenerator.h"
#include "HeapBlock.h"
#include "StatusTexts.h"
#include "SysexMessages.h"

namespace {

constexpr uint32_t kTestTimeoutMs = 1234;
// Scripted console answers beside real replies: no reply in time, a damaged message (the wait
// ends, the buffer is untouched), and the acknowledgement of the packet just sent.
const Bytes kSilence{}, kDamaged{0xF0}, kAck{0x06};

// The console's side of the link, answering from a script, and the display, as one log.
struct Console : IReplyLink, IProgressDisplay {
    std::deque<Bytes> script; // then silence
    std::vector<Bytes> sent;
    std::vector<Bytes> replyWhenArmed; // bytes 0..21 of the reply buffer at each armed send
    std::vector<uint32_t> timeouts;
    std::string display;
    uint8_t* armed = nullptr;
    CUpdateCommands commands{*this, *this, kTestTimeoutMs};

    void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) override
    {
        sent.emplace_back(message, message + length);
        if (reply)
            replyWhenArmed.emplace_back(reply, reply + 22);
        armed = reply;
    }
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength) override
    {
        timeouts.push_back(timeoutMs);
        replyLength = 0;
        Bytes reply = script.empty() ? kSilence : script.front();
        if (!script.empty())
            script.pop_front();
        if (reply == kAck)
            reply = WriteReply(PacketAddress(sent.back()));
        if (armed && reply.size() > 1) {
            std::copy(reply.begin(), reply.end(), armed);
            replyLength = static_cast<uint32_t>(reply.size());
        }
        armed = nullptr;
        return !reply.empty();
    }
    void ShowStatus(const char* text) override { display += std::string(text) + ";"; }
    void SetRange(int lower, int upper) override { display += "range " + std::to_string(lower) + " " + std::to_string(upper) + ";"; }
    void SetPos(int position) override { display += "pos " + std::to_string(position) + ";"; }
    void OffsetPos(int delta) override { display += "+" + std::to_string(delta) + ";"; }
};

// A region's worth of bytes that differ from packet to packet: region 0 of a synthetic image.
const Bytes kData = CSyntheticFirmware().FillRegionRandom(0, 1).ExpectedImage();

int SendU(CUpdateCommands& c) { c.SendCommandU(); return 0; }
int Erase5(CUpdateCommands& c) { return c.EraseRegion(5); }
int Finish(CUpdateCommands& c) { return c.FinishUpdate(); }
int WriteBlock(CUpdateCommands& c) { return c.WriteRegion(0x8000, kData.data(), 0x1000); }
int WriteEightBlocks(CUpdateCommands& c) { return c.WriteRegion(0x20000, kData.data(), 0x8000); }

} // namespace

TEST(UpdateCommands, EachReplyGivesItsResult)
{
    Bytes bent = Framed({0x42, 0x01, 0x05, 0x00, 0x33}); // header, length, identifier and checksum
    std::fill_n(bent.begin(), 14, 0x7F);                  // are not compared
    bent[19] = 0x00;
    const Bytes erased = Framed({0x42, 0x01, 0x05, 0x00}), finished = Framed({0x42, 0x00, 0x00, 0x00});
    const char* oneBlock = "range 0 1;pos 0;";
    const std::string noMemory = std::string(texts::kNoMemory) + ";";
    const struct {
        const char* what;
        int (*operation)(CUpdateCommands&);
        std::vector<Bytes> script;
        int result;
        size_t sent;
        std::string display;
        int failingAllocation = 0; // 1: the message buffer, 2: the reply buffer
    } cases[] = {
        {"erase accepted", Erase5, {bent}, 0, 1, ""},
        {"erase: another region", Erase5, {Framed({0x42, 0x01, 0x06, 0x00})}, 1, 1, ""},
        {"erase: another command", Erase5, {Edited(erased, 14, 0x41)}, 1, 1, ""},
        // A reply must reach the last compared byte; the buffer's zero there is not the console's.
        {"erase: the compared bytes and no more", Erase5, {Cut(erased, 18)}, 0, 1, ""},
        {"erase: one byte short", Erase5, {Cut(erased, 17)}, 1, 1, ""},
        {"erase failed", Erase5, {Framed({0x42, 0x01, 0x05, 0x01})}, 1, 1, ""},
        {"erase: silence", Erase5, {kSilence}, 1, 1, ""},
        {"erase: damaged reply", Erase5, {kDamaged}, 1, 1, ""},
        {"final accepted", Finish, {finished}, 0, 1, ""},
        {"final: another command", Finish, {Edited(finished, 14, 0x41)}, 1, 1, ""},
        {"final: the compared bytes and no more", Finish, {Cut(finished, 18)}, 0, 1, ""},
        {"final: one byte short", Finish, {Cut(finished, 17)}, 1, 1, ""},
        {"final sent back unchanged", Finish, {Framed({0x42, 0x00, 0x00, 0x01})}, 1, 1, ""},
        {"final: byte 16", Finish, {Framed({0x42, 0x00, 0x01, 0x00})}, 1, 1, ""},
        {"write accepted", WriteBlock, {kAck, kAck}, 0, 2, "range 0 1;pos 0;+1;"},
        {"write: bits 28-31 of the echo ignored", WriteBlock, {WriteReply(0xF0008000), WriteReply(0x30008800)}, 0, 2,
         "range 0 1;pos 0;+1;"},
        {"write: wrong echo", WriteBlock, {WriteReply(0x8001), kAck}, 1, 1, oneBlock},
        {"write: bit 27 is the address's", WriteBlock, {WriteReply(0x08008000), kAck}, 1, 1, oneBlock},
        {"write failed", WriteBlock, {WriteReply(0x8000, 0x01), kAck}, 1, 1, oneBlock},
        {"write: another command", WriteBlock, {Edited(WriteReply(0x8000), 14, 0x41), kAck}, 1, 1, oneBlock},
        {"write: another code", WriteBlock, {Edited(WriteReply(0x8000), 15, 0x01), kAck}, 1, 1, oneBlock},
        {"write: the compared bytes and no more", WriteBlock, {Cut(WriteReply(0x8000), 22), kAck}, 0, 2, "range 0 1;pos 0;+1;"},
        {"write: one byte short", WriteBlock, {Cut(WriteReply(0x8000), 21), kAck}, 1, 1, oneBlock},
        // The reply buffer is not cleared between packets: the previous echo names another address.
        {"write: damaged reply to a later packet", WriteBlock, {kAck, kDamaged, kAck}, 1, 2, oneBlock},
        {"write: silence at the second packet of the third block", WriteEightBlocks,
         {kAck, kAck, kAck, kAck, kAck, kSilence, kAck}, 1, 6, "range 0 8;pos 0;+1;+1;"},
        {"U: no memory for the message", SendU, {}, 0, 0, noMemory, 1},
        {"erase: no memory for the message", Erase5, {kAck}, 1, 0, noMemory, 1},
        {"erase: no memory for the reply", Erase5, {kAck}, 1, 0, noMemory, 2},
        {"write: no memory for the message", WriteBlock, {kAck}, 1, 0, noMemory, 1},
        {"write: no memory for the reply", WriteBlock, {kAck}, 1, 0, noMemory, 2},
    };
    for (const auto& c : cases) {
        Console console;
        console.script.assign(c.script.begin(), c.script.end());
        FailHeapAllocationAfter(c.failingAllocation);
        EXPECT_EQ(c.operation(console.commands), c.result) << c.what;
        FailHeapAllocationAfter(0);
        EXPECT_EQ(console.sent.size(), c.sent) << c.what;
        EXPECT_EQ(console.timeouts, std::vector<uint32_t>(c.sent, kTestTimeoutMs)) << c.what;
        EXPECT_EQ(console.display, c.display) << c.what;
    }
    Console console;
    CUpdateCommands(console, console).EraseRegion(0);
    EXPECT_EQ(console.timeouts, std::vector<uint32_t>{5000});
}

TEST(UpdateCommands, SendTheConsoleMessages)
{
    Console console;
    console.commands.SendCommandU();
    console.script = {Framed({0x42, 0x01, 0x05, 0x00})};
    console.commands.EraseRegion(5);
    console.commands.FinishUpdate();
    EXPECT_EQ(console.sent, (std::vector<Bytes>{Framed({0x55}), Framed({0x42, 0x01, 0x05}), Framed({0x42, 0x00, 0x00, 0x01})}));
    // U awaits no reply; the others arm a zero-filled reply buffer.
    EXPECT_EQ(console.timeouts.size(), 2u);
    EXPECT_EQ(console.replyWhenArmed, std::vector<Bytes>(2, Bytes(22, 0)));

    EXPECT_EQ(WritePacket(0x8000, {0x12, 0x80, 0xFE}),
              (Bytes{0xF0, 0x43, 0x00, 0x7E, 0x00, 0x13, 0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32,
                     0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x30, 0x12, 0x00, 0x7E, 0x35, 0xF7}));
    EXPECT_EQ(WriteReply(0x10000), Framed({0x42, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}));
}

TEST(UpdateCommands, WriteRegionSendsEachBlockAsTwoAcknowledgedPackets)
{
    Console console;
    console.script.assign(8, kAck);
    EXPECT_EQ(console.commands.WriteRegion(0x8000, kData.data(), 0x4000), 0);
    ASSERT_EQ(console.sent.size(), 8u);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_TRUE(console.sent[i] == WritePacket(0x8000 + 0x800 * i, Bytes(&kData[2048 * i], &kData[2048 * (i + 1)]))) << i;
    EXPECT_EQ(console.display, "range 0 4;pos 0;+1;+1;+1;+1;");
    // One reply buffer for the region, not cleared between packets.
    const Bytes first = WriteReply(0x8000);
    EXPECT_EQ(console.replyWhenArmed[1], Bytes(first.begin(), first.begin() + 22));

    // Nothing to write: nothing sent. Not whole blocks: refused before anything is sent.
    for (uint32_t length : {0u, 1u, 2048u, 0x1800u}) {
        Console other;
        EXPECT_EQ(other.commands.WriteRegion(0x8000, kData.data(), length), length == 0 ? 0 : 1);
        EXPECT_TRUE(other.sent.empty());
        EXPECT_EQ(other.display, length == 0 ? "range 0 0;pos 0;" : "");
    }
}

// CMidiPort through the system's winmm against the virtual console: one row per way the
// console can answer, with the port's state after each, and opening, closing and late replies.
#include "MidiPort.h"

#include "ConsoleRig.h"
#include "HeapBlock.h"
#include "PortDiscovery.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

// Looks at the state the port shares with the driver's callback thread.
class CMidiPortTestAccess {
public:
    static HMIDIOUT Out(const CMidiPort& port) { return port.m_hOut; }
    static void ForgetSendDone(CMidiPort& port) { port.m_sendDone.Reset(); }
    static bool WaitSendDone(const CMidiPort& port) { return port.m_sendDone.Wait(10000); }
    // What the port hands the driver, with sizes: output header and message, then input headers
    // and blocks.
    static std::vector<std::pair<const void*, size_t>> DriverMemory(const CMidiPort& port)
    {
        std::vector<std::pair<const void*, size_t>> blocks = {{port.m_outHeader.Data(), sizeof(MIDIHDR)},
                                                              {port.m_outBlock.Data(), CMidiPort::kBlockSize}};
        for (int slot = 0; slot < CMidiPort::kInputBlocks; ++slot) {
            blocks.emplace_back(port.m_inHeaders[slot].Data(), sizeof(MIDIHDR));
            blocks.emplace_back(port.m_inBlocks[slot].Data(), CMidiPort::kBlockSize);
        }
        return blocks;
    }
    // Nothing armed or signalled; the open flag, the handles and every input header agree.
    static bool Idle(const CMidiPort& port, bool open)
    {
        const DWORD queued = open ? MHDR_PREPARED | MHDR_INQUEUE : 0;
        const auto headerIdle = [queued](const CHeapBlock& block) {
            const auto* header = reinterpret_cast<const MIDIHDR*>(block.Data());
            return !header || (header->dwFlags & (MHDR_PREPARED | MHDR_INQUEUE)) == queued;
        };
        return !port.m_awaitingReply.load() && !port.m_replyEvent.Wait(0) && port.m_open.load() == open &&
               (port.m_hOut != nullptr) == open && (port.m_hIn != nullptr) == open &&
               std::all_of(std::begin(port.m_inHeaders), std::end(port.m_inHeaders), headerIdle);
    }
};

namespace {

using Access = CMidiPortTestAccess;
const Bytes kErase = Erase(0);
// Erase 0 for device number 1: the console reports it as malformed and does not answer.
const Bytes kForeign = Edited(kErase, 2, 0x01);

// A reply buffer with guard bytes behind it, all canaries: a copy that is too long, or that
// comes when it must not, leaves a trace.
struct CGuardedReply {
    Bytes bytes = Bytes(CMidiPort::kBlockSize + 64, 0xA5);
    uint32_t length = 0;   // as the port reported it

    bool Untouched(size_t from = 0) const
    {
        return std::all_of(bytes.begin() + from, bytes.end(), [](uint8_t b) { return b == 0xA5; });
    }
    // The console's answer to erase 0 (payload 42 01 00 00), or as much of it as `length`
    // bytes hold, ending in `last`.
    bool Holds(size_t length, uint8_t last = 0xF7) const
    {
        const Bytes payload = {0x42, 0x01, 0x00, 0x00};
        const bool payloadHeld = length < sysex::kPayloadOffset + payload.size() ||
                                 std::equal(payload.begin(), payload.end(), bytes.begin() + sysex::kPayloadOffset);
        return bytes[0] == 0xF0 && payloadHeld && bytes[length - 1] == last && Untouched(length);
    }
};

struct Case {
    const char* config;
    uint32_t timeoutMs;
    int result;
    size_t replyLength;        // 0: the buffer stays untouched
    uint8_t lastByte = 0xF7;
    Bytes message = kErase;    // empty: no data at all
};

const Case kCases[] = {
    {"", 10000, 1, 20},
    {"fault erase 1 short_before", 10000, 1, 20},     // active sensing first
    {"fault erase 1 early", 0, 1, 20},                // before the send is reported
    // Replies handed on in pieces, as newer MIDI stacks and some USB-MIDI drivers do.
    {"pieces 64\nfault erase 1 oversized 5000", 10000, 1, 4096, 0x00},   // its end is in the dropped rest
    {"pieces 6\nfault erase 1 cut_restart 12", 10000, 1, 20},    // a message cut short by a new F0 is dropped
    {"pieces 6\nfault erase 1 split_delay 1500", 300, 1, 18, 0x00}, // as far as it came by the time-out
    {"pieces 6\nfault erase 1 long_error", 10000, 1, 0},           // damaged after its first pieces: no data
    // Our own message sent back (a loopback port, MIDI thru) is no answer.
    {"fault erase 1 echo_command\nfault erase 1 cut 18", 300, 0, 0},   // not even without its end byte
    {"fault erase 1 delay 1500", 100, 0, 0},          // late: never copied
    {"fault erase 1 refuse_send", 10000, 0, 0},
    {"", 100, 0, 0, 0xF7, kForeign},            // unanswered, as a silent console leaves it
    {"", 10000, 0, 0, 0xF7, Bytes()},
    {"", 100, 0, 0, 0xF7, Bytes(CMidiPort::kBlockSize, 0x00)},   // the longest it sends: malformed
    {"", 10000, 0, 0, 0xF7, Bytes(CMidiPort::kBlockSize + 1, 0x00)},
};

class MidiPort : public CConsoleRig {
protected:
    int Exchange(CMidiPort& port, CGuardedReply& reply, uint32_t timeoutMs = 10000, const Bytes& message = kErase)
    {
        port.SendLong(message.empty() ? nullptr : message.data(), message.empty() ? 19 : uint32_t(message.size()),
                      reply.bytes.data());
        return port.WaitReply(timeoutMs, reply.length);
    }
    bool Acknowledged(CMidiPort& port)
    {
        CGuardedReply reply;
        return Exchange(port, reply) == 1 && reply.Holds(20);
    }
    // The driver reports a send done only after it handed over every reply due before: once this
    // unanswered message is out, no earlier reply is on its way. Sent past the port, whose own
    // send would disarm its capture and so hide whether a timed-out wait did.
    void Flush(CMidiPort& port)
    {
        const Bytes u = CommandU();
        MIDIHDR header{};
        header.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(u.data()));
        header.dwBufferLength = DWORD(u.size());
        ASSERT_EQ(midiOutPrepareHeader(Access::Out(port), &header, sizeof header), MMSYSERR_NOERROR);
        Access::ForgetSendDone(port);
        ASSERT_EQ(midiOutLongMsg(Access::Out(port), &header, sizeof header), MMSYSERR_NOERROR);
        EXPECT_TRUE(Access::WaitSendDone(port));
        midiOutUnprepareHeader(Access::Out(port), &header, sizeof header);
    }
};

TEST_F(MidiPort, EachWayTheConsoleAnswersEndsTheWaitAsItShould)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.config) + ", message of " + std::to_string(c.message.size()));
        Configure(c.config);
        CGuardedReply reply;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Exchange(port, reply, c.timeoutMs, c.message), c.result);
        // Without a reply the wait lasts its time-out, or ends at once when none can come.
        const auto taken = std::chrono::steady_clock::now() - start;
        EXPECT_TRUE(c.result == 1 || (c.timeoutMs > 5000 ? taken < std::chrono::seconds(5)
                                                           : taken >= std::chrono::milliseconds(c.timeoutMs * 9 / 10)));
        Flush(port);
        EXPECT_TRUE(Access::Idle(port, true));   // every input buffer back with the driver
        EXPECT_TRUE(c.replyLength ? reply.Holds(c.replyLength, c.lastByte) : reply.Untouched());
        EXPECT_EQ(reply.length, c.replyLength);
        EXPECT_TRUE(Acknowledged(port));
        // The message (unless the port cannot send it), the flush and the acknowledged erase.
        const bool sendable = !c.message.empty() && c.message.size() <= CMidiPort::kBlockSize;
        EXPECT_EQ(Stats().received + Stats().refused, sendable ? 3u : 2u);
        EXPECT_EQ(Stats().dropped, 0u);
        EXPECT_EQ(Stats().violations, sendable && c.message != kErase ? 1u : 0u);
    }
}

TEST_F(MidiPort, OpenAndCloseLeaveThePortWholeOrNothing)
{
    CMidiPort port;
    CGuardedReply reply;
    EXPECT_EQ(port.Close(), 1);   // never opened
    EXPECT_EQ(Exchange(port, reply), 0);   // closed: nothing goes out, nothing is awaited
    for (int cycle = 0; cycle < 20; ++cycle) {
        ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
        const HMIDIOUT out = Access::Out(port);
        EXPECT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);   // already open: opens nothing
        EXPECT_EQ(Access::Out(port), out);
        EXPECT_TRUE(Access::Idle(port, true));
        EXPECT_TRUE(Acknowledged(port));
        EXPECT_EQ(port.Close() + port.Close(), 2);
        EXPECT_TRUE(Access::Idle(port, false));
    }
    EXPECT_TRUE(reply.Untouched());
    // No output or input of that number, no discovered ports, an input that refuses, a port made
    // while memory was short (its output header, a block of its reply rules, the last input block):
    // nothing stays open, or the driver, one client per port, would refuse the next open.
    struct Failing { uint32_t out, in; int heapBlock; const char* config; };
    for (const Failing f : {Failing{99, kConsoleIn, 0, ""}, {kConsoleOut, 99, 0, ""}, {kNoDevice, kNoDevice, 0, ""},
                            {kConsoleOut, kConsoleIn, 0, "fail_open_in"}, {kConsoleOut, kConsoleIn, 1, ""},
                            {kConsoleOut, kConsoleIn, 2, ""}, {kConsoleOut, kConsoleIn, 21, ""}}) {
        Configure(f.config);
        FailHeapAllocationAfter(f.heapBlock);
        CMidiPort other;
        FailHeapAllocationAfter(0);
        EXPECT_EQ(other.Open(f.out, f.in), 0) << f.out << " " << f.in << " " << f.heapBlock << " " << f.config;
        EXPECT_TRUE(Access::Idle(other, false));
    }
    EXPECT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
}

TEST_F(MidiPort, AReplyThatComesTooLateIsNeverCopied)
{
    CMidiPort port(200);
    ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
    // Closed while awaited and not waited for: the next open period starts disarmed.
    Configure("fault erase 1 delay 1500");
    CGuardedReply abandoned, late, unreported;
    port.SendLong(kErase.data(), uint32_t(kErase.size()), abandoned.bytes.data());
    EXPECT_EQ(port.Close(), 1);
    ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
    EXPECT_EQ(port.WaitReply(10000, abandoned.length), 0);
    // The driver reports sends in order, after the replies due before them: behind a late reply
    // the next send is not reported within the port's 200 ms, and is taken back.
    Configure("fault erase 1 delay 3000");
    EXPECT_EQ(Exchange(port, late, 0), 0);
    EXPECT_EQ(Exchange(port, unreported, 0), 0);
    EXPECT_EQ(port.Close(), 1);
    EXPECT_TRUE(Access::Idle(port, false));
    EXPECT_TRUE(abandoned.Untouched() && late.Untouched() && unreported.Untouched());

    // Reply and time-out together: the reply is complete in the buffer or not there at all.
    ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
    Configure("latency_ms 20");
    for (uint32_t timeoutMs = 10; timeoutMs < 40; ++timeoutMs) {
        CGuardedReply reply;
        const int result = Exchange(port, reply, timeoutMs);
        Flush(port);
        EXPECT_TRUE(result == 1 ? reply.Holds(20) : reply.Untouched()) << timeoutMs;
        EXPECT_TRUE(Access::Idle(port, true));
    }
}

// A driver that a pulled cable leaves holding our input buffers, or that reports a message sent
// long after the port gave up on it: what it holds is never queued, freed or reused, and nothing
// reaches a port that is gone.
TEST_F(MidiPort, WhatTheDriverKeepsOutlivesThePort)
{
    // Still allocated, or freed by a port that is gone.
    const auto expectHeld = [](const std::vector<std::pair<const void*, size_t>>& blocks, size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            EXPECT_EQ(GlobalSize(GlobalHandle(blocks[i].first)), blocks[i].second) << i;
    };
    Configure("keep_input");
    std::vector<std::pair<const void*, size_t>> held;
    {
        CMidiPort port;
        ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
        held = Access::DriverMemory(port);
        EXPECT_EQ(port.Close(), 1);
        EXPECT_EQ(port.Open(kConsoleOut, kConsoleIn), 0);   // the user restarts the tool
    }
    expectHeld(held, 2, held.size());

    Configure("fault erase 1 late_done 1000");
    alignas(CMidiPort) unsigned char place[sizeof(CMidiPort)];
    auto* port = new (place) CMidiPort(100);
    ASSERT_EQ(port->Open(kConsoleOut, kConsoleIn), 1);
    CGuardedReply reply;
    Exchange(*port, reply, 0);
    EXPECT_EQ(port->Open(kConsoleOut, kConsoleIn), 1);   // still open, but sends nothing more
    held = Access::DriverMemory(*port);
    port->~CMidiPort();
    expectHeld(held, 0, 2);
    std::fill(std::begin(place), std::end(place), uint8_t{0x5A});
    Sleep(2000);   // the MOM_DONE comes meanwhile
    EXPECT_TRUE(std::all_of(std::begin(place), std::end(place), [](uint8_t b) { return b == 0x5A; }));
}

} // namespace

// CMidiPort against the virtual console driver, through the system's own winmm.
#include "MidiPort.h"

#include "HeapBlock.h"
#include "MidiPortTestAccess.h"
#include "PortDiscovery.h"
#include "VirtualConsoleApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Access = CMidiPortTestAccess;

// Erase region 0 and command U, byte for byte as the update sends them.
constexpr uint8_t kErase0[] = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x0B, 0x4C, 0x4D, 0x20, 0x20,
                               0x38, 0x43, 0x31, 0x32, 0x42, 0x01, 0x00, 0x06, 0xF7};
constexpr uint8_t kCommandU[] = {0xF0, 0x43, 0x00, 0x7E, 0x00, 0x09, 0x4C, 0x4D, 0x20,
                                 0x20, 0x38, 0x43, 0x31, 0x32, 0x55, 0x74, 0xF7};
// The console's answer to kErase0: its payload 42 01 00 00 at offset 14, 20 bytes in all.
constexpr uint8_t kEraseAck[] = {0x42, 0x01, 0x00, 0x00};
constexpr size_t kEraseAckLength = 20;

// A reply that comes ends the wait at once; only a broken port waits this long.
constexpr uint32_t kReplyTimeoutMs = 10000;
// Shorter than any delay the console is told to apply below.
constexpr uint32_t kShortTimeoutMs = 100;

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kGuardBytes = 64;

// A reply buffer with guard bytes behind it, all holding a canary, so that a copy that is too
// long, or that comes when it must not, leaves a trace.
class CGuardedReply {
public:
    CGuardedReply() : m_bytes(CMidiPort::kBlockSize + kGuardBytes, kCanary) {}

    uint8_t* Data() { return m_bytes.data(); }
    uint8_t operator[](size_t i) const { return m_bytes[i]; }
    bool Untouched() const { return CanaryFrom(0); }
    bool GuardIntact() const { return CanaryFrom(CMidiPort::kBlockSize); }
    bool StartsWithEraseAck() const
    {
        return m_bytes[0] == 0xF0 && std::equal(std::begin(kEraseAck), std::end(kEraseAck), &m_bytes[14]);
    }
    bool HoldsEraseAck() const
    {
        return StartsWithEraseAck() && m_bytes[kEraseAckLength - 1] == 0xF7 && CanaryFrom(kEraseAckLength);
    }

private:
    bool CanaryFrom(size_t offset) const
    {
        return std::all_of(m_bytes.begin() + offset, m_bytes.end(), [](uint8_t b) { return b == kCanary; });
    }

    std::vector<uint8_t> m_bytes;
};

template <typename Call>
int64_t MillisecondsTaken(Call&& call)
{
    auto start = std::chrono::steady_clock::now();
    call();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

void ExpectClosed(const CMidiPort& port)
{
    EXPECT_FALSE(Access::IsOpen(port));
    EXPECT_TRUE(Access::HandlesNull(port));
    EXPECT_FALSE(Access::AwaitingReply(port));
    EXPECT_FALSE(Access::ReplyEventSet(port));
    for (int slot = 0; slot < CMidiPort::kInputBlocks; ++slot)
        EXPECT_EQ(Access::InputFlags(port, slot) & (MHDR_PREPARED | MHDR_INQUEUE), 0u) << "slot " << slot;
}

void ExpectOpenWithAllBuffersQueued(const CMidiPort& port)
{
    EXPECT_TRUE(Access::IsOpen(port));
    EXPECT_TRUE(Access::HandlesOpen(port));
    for (int slot = 0; slot < CMidiPort::kInputBlocks; ++slot)
        EXPECT_EQ(Access::InputFlags(port, slot) & (MHDR_PREPARED | MHDR_INQUEUE),
                  static_cast<DWORD>(MHDR_PREPARED | MHDR_INQUEUE)) << "slot " << slot;
}

int Exchange(CMidiPort& port, CGuardedReply& reply, uint32_t timeoutMs = kReplyTimeoutMs)
{
    port.SendLong(kErase0, sizeof kErase0, reply.Data());
    return port.WaitReply(timeoutMs);
}

// A whole exchange with a fresh buffer: the wait ends with the reply, which holds the answer.
::testing::AssertionResult EraseAcknowledged(CMidiPort& port, uint32_t timeoutMs = kReplyTimeoutMs)
{
    CGuardedReply reply;
    if (Exchange(port, reply, timeoutMs) != 1)
        return ::testing::AssertionFailure() << "no reply";
    if (!reply.HoldsEraseAck())
        return ::testing::AssertionFailure() << "the reply buffer does not hold the acknowledgement alone";
    return ::testing::AssertionSuccess();
}

// The driver reports a send done only after everything it delivered before has been handled by
// the port, so once this unanswered message is out, no earlier reply is still on its way.
void Flush(CMidiPort& port)
{
    port.SendLong(kCommandU, sizeof kCommandU, nullptr);
}

// The same, past the port: a send of the port's own would first disarm its capture, and so
// hide whether a wait that timed out has disarmed it. MOM_DONE still reaches the port's handler,
// whose event is the synchronisation: the driver's thread marks the header done before it calls
// back, and the event's set and wait order that before our read of the header.
void FlushPastThePort(CMidiPort& port)
{
    HMIDIOUT out = Access::OutHandle(port);
    MIDIHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(kCommandU));
    header.dwBufferLength = sizeof kCommandU;
    ASSERT_EQ(midiOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
    Access::ForgetSendDone(port);
    ASSERT_EQ(midiOutLongMsg(out, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_TRUE(Access::WaitSendDone(port, kReplyTimeoutMs));
    EXPECT_TRUE(header.dwFlags & MHDR_DONE);
    midiOutUnprepareHeader(out, &header, sizeof header);
}

class MidiPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        midiOutGetNumDevs();   // winmm loads its drivers on first use
        ASSERT_TRUE(m_console.Load()) << "the virtual console is not this process's MIDI driver";
        Configure("");
    }

    void Configure(const char* text) { ASSERT_EQ(m_console.Configure(text), 0) << text; }

    VConsoleStats Stats()
    {
        VConsoleStats stats{};
        m_console.GetStats(&stats);
        return stats;
    }

    CVirtualConsoleApi m_console;
};

TEST_F(MidiPortTest, OpenAndCloseAlwaysLeaveThePortOpenOrClosed)
{
    CMidiPort port;
    EXPECT_EQ(port.Close(), 1);   // never opened
    ExpectClosed(port);

    ASSERT_EQ(port.Open(0, 0), 1);
    ExpectOpenWithAllBuffersQueued(port);
    HMIDIOUT out = Access::OutHandle(port);
    HMIDIIN in = Access::InHandle(port);
    EXPECT_EQ(port.Open(0, 0), 1);   // already open: opens nothing
    EXPECT_EQ(Access::OutHandle(port), out);
    EXPECT_EQ(Access::InHandle(port), in);

    EXPECT_EQ(port.Close(), 1);
    ExpectClosed(port);
    EXPECT_EQ(port.Close(), 1);
    ExpectClosed(port);
}

TEST_F(MidiPortTest, FailedOpenLeavesNothingOpen)
{
    CMidiPort port;
    EXPECT_EQ(port.Open(5, 0), 0);   // no output 5
    ExpectClosed(port);
    EXPECT_EQ(port.Open(kNoDevice, kNoDevice), 0);   // an update without discovered ports
    ExpectClosed(port);
    EXPECT_EQ(port.Open(0, 5), 0);   // no input 5, after the output opened
    ExpectClosed(port);
    Configure("fail_open_in");
    EXPECT_EQ(port.Open(0, 0), 0);
    ExpectClosed(port);

    // The driver takes one client per port: had anything stayed open, this would fail.
    Configure("");
    EXPECT_EQ(port.Open(0, 0), 1);
}

TEST_F(MidiPortTest, PortMadeWhileMemoryWasShortOpensNothing)
{
    // The output header, an input header, the last input block.
    for (int failing : {1, 2, 17}) {
        FailHeapAllocationAfter(failing);
        CMidiPort port;
        FailHeapAllocationAfter(0);
        CGuardedReply reply;
        EXPECT_EQ(port.Open(0, 0), 0) << failing;
        ExpectClosed(port);
        EXPECT_EQ(Exchange(port, reply), 0) << failing;
        EXPECT_TRUE(reply.Untouched()) << failing;
    }
    CMidiPort port;
    EXPECT_EQ(port.Open(0, 0), 1);
}

TEST_F(MidiPortTest, CapturesTheNextSysexMessageAsTheReply)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(0, 0), 1);
    EXPECT_TRUE(EraseAcknowledged(port));
    EXPECT_FALSE(Access::ReplyEventSet(port));

    // An answer while no reply is awaited is dropped, and its buffer goes back to the driver.
    port.SendLong(kErase0, sizeof kErase0, nullptr);
    Flush(port);
    EXPECT_EQ(Stats().replies, 2u);
    EXPECT_FALSE(Access::ReplyEventSet(port));
    ExpectOpenWithAllBuffersQueued(port);
    EXPECT_TRUE(EraseAcknowledged(port));

    // Active sensing just before the reply neither ends the wait nor becomes the reply.
    Configure("fault erase 1 short_before");
    EXPECT_TRUE(EraseAcknowledged(port));

    // A damaged message ends the wait without data.
    Configure("fault erase 1 long_error");
    CGuardedReply damaged;
    EXPECT_EQ(Exchange(port, damaged), 1);
    EXPECT_TRUE(damaged.Untouched());

    // A reply that overtakes the driver's report of the send is ready when the wait starts.
    Configure("fault erase 1 early");
    EXPECT_TRUE(EraseAcknowledged(port, 0));
}

TEST_F(MidiPortTest, ReplyLongerThanABlockYieldsItsFirstBlock)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(0, 0), 1);
    Configure("fault erase 1 oversized 4096\nfault erase 2 oversized 5000");

    // The first reply fills the block to its end byte; the second ends with padding there, its
    // end byte being in the rest.
    for (const uint8_t lastInBlock : {uint8_t{0xF7}, uint8_t{0x00}}) {
        CGuardedReply reply;
        EXPECT_EQ(Exchange(port, reply), 1);
        EXPECT_TRUE(reply.StartsWithEraseAck());
        EXPECT_EQ(reply[CMidiPort::kBlockSize - 1], lastInBlock);
        EXPECT_TRUE(reply.GuardIntact());
    }

    // The last 904 bytes filled a second buffer, which went back to the driver unread and did
    // not become the next reply.
    Flush(port);
    EXPECT_EQ(Stats().replies, 2u);
    EXPECT_EQ(Stats().dropped, 0u);
    ExpectOpenWithAllBuffersQueued(port);
    EXPECT_TRUE(EraseAcknowledged(port));
}

TEST_F(MidiPortTest, SilentConsoleEndsTheWaitAfterTheTimeOut)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(0, 0), 1);
    Configure("fault erase 1 silent");
    CGuardedReply reply;
    port.SendLong(kErase0, sizeof kErase0, reply.Data());
    int result = -1;
    int64_t taken = MillisecondsTaken([&] { result = port.WaitReply(5000); });
    EXPECT_EQ(result, 0);
    EXPECT_GE(taken, 4900);
    EXPECT_FALSE(Access::ReplyEventSet(port));
    EXPECT_FALSE(Access::AwaitingReply(port));
    EXPECT_TRUE(reply.Untouched());
}

TEST_F(MidiPortTest, LateReplyIsNeverCopied)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(0, 0), 1);

    // Same open period: the reply comes after the wait gave up.
    Configure("fault erase 1 delay 1500");
    CGuardedReply timedOut;
    EXPECT_EQ(Exchange(port, timedOut, kShortTimeoutMs), 0);
    FlushPastThePort(port);
    EXPECT_EQ(Stats().replies, 1u);   // handed to the port, not dropped by the driver
    EXPECT_TRUE(timedOut.Untouched());
    EXPECT_FALSE(Access::ReplyEventSet(port));
    EXPECT_TRUE(EraseAcknowledged(port));

    // Closed while a reply is awaited and not waited for: the next open period starts disarmed.
    Configure("fault erase 1 delay 1500");
    CGuardedReply abandoned;
    port.SendLong(kErase0, sizeof kErase0, abandoned.Data());
    EXPECT_EQ(port.Close(), 1);
    ASSERT_EQ(port.Open(0, 0), 1);
    EXPECT_FALSE(Access::AwaitingReply(port));
    EXPECT_EQ(port.WaitReply(kReplyTimeoutMs), 0);
    EXPECT_TRUE(abandoned.Untouched());
}

TEST_F(MidiPortTest, ReplyAtTheTimeOutIsCopiedWholeOrNotAtAll)
{
    // The reply and the time-out fall together: either the wait sees the reply complete, or
    // the reply arrives to a disarmed capture and the buffer stays as it was.
    CMidiPort port;
    ASSERT_EQ(port.Open(0, 0), 1);
    Configure("latency_ms 20");
    int replied = 0;
    for (uint32_t timeoutMs = 10; timeoutMs < 40; ++timeoutMs) {
        CGuardedReply reply;
        int result = Exchange(port, reply, timeoutMs);
        FlushPastThePort(port);
        if (result == 1) {
            ++replied;
            EXPECT_TRUE(reply.HoldsEraseAck()) << timeoutMs;
        } else {
            EXPECT_TRUE(reply.Untouched()) << timeoutMs;
        }
        EXPECT_FALSE(Access::ReplyEventSet(port));
    }
    RecordProperty("replied", replied);
}

TEST_F(MidiPortTest, MessageThatCannotGoOutEndsTheSendAndTheWaitAtOnce)
{
    CMidiPort port;
    CGuardedReply reply;
    // Closed.
    int64_t taken = MillisecondsTaken([&] { EXPECT_EQ(Exchange(port, reply), 0); });
    EXPECT_LT(taken, kReplyTimeoutMs / 2);

    ASSERT_EQ(port.Open(0, 0), 1);
    Configure("fault erase 1 refuse_send");
    taken = MillisecondsTaken([&] { EXPECT_EQ(Exchange(port, reply), 0); });
    EXPECT_LT(taken, kReplyTimeoutMs / 2);
    EXPECT_EQ(Stats().refused, 1u);
    EXPECT_FALSE(Access::AwaitingReply(port));

    // Empty, missing and longer than any message of the protocol: never handed to the driver.
    std::vector<uint8_t> tooLong(CMidiPort::kBlockSize + 1, 0x00);
    struct Unsendable {
        const uint8_t* data;
        uint32_t length;
    };
    for (Unsendable message : {Unsendable{kErase0, 0}, Unsendable{nullptr, sizeof kErase0},
                               Unsendable{tooLong.data(), static_cast<uint32_t>(tooLong.size())}}) {
        port.SendLong(message.data, message.length, reply.Data());
        taken = MillisecondsTaken([&] { EXPECT_EQ(port.WaitReply(kReplyTimeoutMs), 0); });
        EXPECT_LT(taken, kReplyTimeoutMs / 2);
    }
    EXPECT_EQ(Stats().refused, 1u);
    EXPECT_EQ(Stats().received, 0u);   // nothing else reached the driver
    EXPECT_TRUE(reply.Untouched());

    EXPECT_TRUE(EraseAcknowledged(port));
}

TEST_F(MidiPortTest, SendTheDriverNeverReportsIsTakenBack)
{
    CMidiPort port(200);
    ASSERT_EQ(port.Open(0, 0), 1);
    // The driver reports sends in order, after the replies due before them: while the late
    // reply is pending, the next send is not reported done.
    Configure("fault erase 1 delay 3000");
    CGuardedReply late;
    EXPECT_EQ(Exchange(port, late, 0), 0);
    CGuardedReply unreported;
    port.SendLong(kErase0, sizeof kErase0, unreported.Data());
    EXPECT_EQ(Access::OutFlags(port) & MHDR_INQUEUE, 0u);   // the driver gave the message back
    EXPECT_FALSE(Access::AwaitingReply(port));
    int64_t taken = MillisecondsTaken([&] { EXPECT_EQ(port.WaitReply(kReplyTimeoutMs), 0); });
    EXPECT_LT(taken, kReplyTimeoutMs / 2);

    EXPECT_EQ(port.Close(), 1);
    ExpectClosed(port);
    EXPECT_TRUE(late.Untouched());
    EXPECT_TRUE(unreported.Untouched());
    ASSERT_EQ(port.Open(0, 0), 1);
    EXPECT_TRUE(EraseAcknowledged(port));
}

TEST_F(MidiPortTest, AllInputBuffersComeBackAndAreQueuedAgainOverManyOpenPeriods)
{
    CMidiPort port;
    for (int cycle = 0; cycle < 100; ++cycle) {
        ASSERT_EQ(port.Open(0, 0), 1) << cycle;
        ExpectOpenWithAllBuffersQueued(port);
        EXPECT_TRUE(EraseAcknowledged(port)) << cycle;
        EXPECT_EQ(port.Close(), 1);
        ExpectClosed(port);
        if (HasFailure())
            break;
    }
    EXPECT_EQ(Stats().replies, 100u);
    EXPECT_EQ(Stats().dropped, 0u);
}

} // namespace

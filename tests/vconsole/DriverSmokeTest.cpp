// The driver as Wine's winmm loads it: devices, the update protocol, faults, reset and close.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "RawMidi.h"
#include "SysexMessages.h"
#include "VirtualConsoleApi.h"

namespace {

std::string g_journalPath;
std::string g_dumpPath;

// Points the driver at a configuration with a journal and a flash dump before winmm loads it.
class CDriverEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        std::string dir = std::string(temp) + "vconsole-smoke-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        g_journalPath = dir + "journal.txt";
        g_dumpPath = dir + "dump.bin";
        std::string config = dir + "console.cfg";
        std::ofstream(config) << "journal " << g_journalPath << "\nflash_dump " << g_dumpPath << "\n";
        SetEnvironmentVariableA("VCONSOLE_CONFIG", config.c_str());
        m_config = config;
    }
    // The journal stays: the driver keeps it open until the process ends.
    void TearDown() override
    {
        DeleteFileA(g_dumpPath.c_str());
        DeleteFileA(m_config.c_str());
    }

private:
    std::string m_config;
};
const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new CDriverEnvironment);

CVirtualConsoleApi Api()
{
    midiOutGetNumDevs();
    CVirtualConsoleApi api;
    EXPECT_TRUE(api.Load()) << "the virtual console is not this process's MIDI driver";
    return api;
}

VConsoleStats Stats(const CVirtualConsoleApi& api)
{
    VConsoleStats stats = {};
    api.GetStats(&stats);
    return stats;
}

std::string ReadText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

Bytes ReadFlash(const CVirtualConsoleApi& api, uint32_t address, uint32_t count)
{
    Bytes bytes(count);
    bytes.resize(api.ReadFlash(address, bytes.data(), count));
    return bytes;
}

// Sends a command, waits for MOM_DONE and for `replies` more input deliveries (none for a
// message the console does not answer).
void Exchange(CRawMidi& midi, const Bytes& message, size_t replies = 1)
{
    size_t before = midi.DeliveryCount();
    ASSERT_EQ(midi.Send(message), MMSYSERR_NOERROR);
    ASSERT_TRUE(midi.WaitSent(5000));
    ASSERT_TRUE(midi.WaitDeliveries(before + replies, 5000));
}

// The driver's test entry points and a client with both ports.
class VirtualConsoleDriver : public ::testing::Test {
protected:
    // The console configured afresh, then both ports opened.
    ::testing::AssertionResult Start(const char* config)
    {
        if (int problems = api.Configure(config))
            return ::testing::AssertionFailure() << problems << " problems in the configuration " << config;
        if (!midi.Open())
            return ::testing::AssertionFailure() << "the ports did not open";
        return ::testing::AssertionSuccess();
    }

    CVirtualConsoleApi api = Api();
    CRawMidi midi;
};

} // namespace

TEST_F(VirtualConsoleDriver, ListsTheConsolesDevices)
{
    ASSERT_EQ(midiOutGetNumDevs(), 1u);
    ASSERT_EQ(midiInGetNumDevs(), 1u);
    MIDIOUTCAPSA out = {};
    ASSERT_EQ(midiOutGetDevCapsA(0, &out, sizeof out), MMSYSERR_NOERROR);
    EXPECT_EQ(out.wMid, 37);
    EXPECT_EQ(out.wPid, 4);
    EXPECT_STREQ(out.szPname, "KALDIR USB OUT");
    MIDIINCAPSW in = {};
    ASSERT_EQ(midiInGetDevCapsW(0, &in, sizeof in), MMSYSERR_NOERROR);
    EXPECT_EQ(in.wMid, 37);
    EXPECT_EQ(in.wPid, 5);
    EXPECT_STREQ(in.szPname, L"KALDIR USB IN");
    EXPECT_NE(midiOutGetDevCapsA(1, &out, sizeof out), MMSYSERR_NOERROR);
}

TEST_F(VirtualConsoleDriver, RunsAnUpdateAndKeepsItsRecords)
{
    ASSERT_TRUE(Start("flash_fill 00\n"));

    Exchange(midi, CommandU(), 0);
    Exchange(midi, Erase(0));
    Exchange(midi, Erase(1));
    Bytes first = PacketData(0x10);
    Bytes second = PacketData(0x90);
    Exchange(midi, WritePacket(0x8000, first));
    Exchange(midi, WritePacket(0x8800, second));
    Exchange(midi, Final());

    std::vector<CRawMidi::Delivery> replies = midi.Deliveries();
    ASSERT_EQ(replies.size(), 5u);   // nothing for U
    EXPECT_EQ(replies[0].data, Framed({0x42, 0x01, 0x00, 0x00}));
    EXPECT_EQ(replies[1].data, Framed({0x42, 0x01, 0x01, 0x00}));
    EXPECT_EQ(replies[2].data, Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(replies[3].data, Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x08, 0x00, 0x00}));
    EXPECT_EQ(replies[4].data, Framed({0x42, 0x00, 0x00, 0x00}));
    for (const CRawMidi::Delivery& reply : replies) {
        EXPECT_EQ(reply.message, static_cast<UINT>(MIM_LONGDATA));
        EXPECT_EQ(reply.flags & (MHDR_DONE | MHDR_INQUEUE), static_cast<DWORD>(MHDR_DONE));
        EXPECT_NE(reply.threadId, GetCurrentThreadId()) << "replies come from the driver's own thread";
    }

    EXPECT_EQ(ReadFlash(api, 0x8000, 2048), first);
    EXPECT_EQ(ReadFlash(api, 0x8800, 2048), second);
    EXPECT_EQ(ReadFlash(api, 0x9000, 1), Bytes{0xFF});    // erased, not written
    EXPECT_EQ(ReadFlash(api, 0xC000, 1), Bytes{0x00});    // region 2: never erased
    EXPECT_EQ(ReadFlash(api, 0x3FFFFF, 4).size(), 1u);

    VConsoleStats stats = Stats(api);
    EXPECT_EQ(stats.received, 6u);
    EXPECT_EQ(stats.replies, 5u);
    EXPECT_EQ(stats.violations, 0u);
    EXPECT_EQ(stats.dropped, 0u);
    midi.Close();
    EXPECT_EQ(midi.LateCallbacks(), 0);

    std::string journal = ReadText(g_journalPath);
    std::string u = "rx F0 43 00 7E 00 09 4C 4D 20 20 38 43 31 32 55 74 F7\n";
    std::string erase = "rx F0 43 00 7E 00 0B 4C 4D 20 20 38 43 31 32 42 01 00 06 F7\n"
                        "tx F0 43 00 7E 00 0C 4C 4D 20 20 38 43 31 32 42 01 00 00 06 F7\n";
    EXPECT_NE(journal.find(u + erase), std::string::npos) << journal.substr(0, 400);
    EXPECT_NE(journal.find("stats received=6 replies=5 violations=0 dropped=0 refused=0 reply_delay_us="),
              std::string::npos);
    std::string dump = ReadText(g_dumpPath);
    ASSERT_EQ(dump.size(), 0x400000u);
    EXPECT_EQ(Bytes(dump.begin() + 0x8000, dump.begin() + 0x8800), first);
    EXPECT_EQ(static_cast<uint8_t>(dump[0xC000]), 0x00);
}

TEST_F(VirtualConsoleDriver, InjectsEachDeliveryFault)
{
    ASSERT_TRUE(Start("fault erase 1 early\n"
                      "fault erase 2 delay 200\n"
                      "fault erase 3 oversized 5000\n"
                      "fault erase 4 long_error\n"
                      "fault erase 5 short_before\n"
                      "fault erase 6 refuse_send\n"
                      "fault erase 7 silent\n"));
    const Bytes reply = Framed({0x42, 0x01, 0x05, 0x00});

    // early: the reply is in before midiOutLongMsg returns, on the caller's own thread.
    ASSERT_EQ(midi.Send(Erase(5)), MMSYSERR_NOERROR);
    ASSERT_EQ(midi.DeliveryCount(), 1u);
    EXPECT_EQ(midi.Deliveries()[0].threadId, GetCurrentThreadId());
    EXPECT_EQ(midi.Deliveries()[0].data, reply);
    ASSERT_TRUE(midi.WaitSent(5000));

    Exchange(midi, Erase(5));
    EXPECT_GE(Stats(api).replyDelayUs, 200000u);

    Exchange(midi, Erase(5), 2);
    std::vector<CRawMidi::Delivery> d = midi.Deliveries();
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[2].data.size(), 4096u);
    EXPECT_EQ(d[3].data.size(), 904u);
    EXPECT_EQ(d[3].data.back(), 0xF7);

    Exchange(midi, Erase(5));
    d = midi.Deliveries();
    EXPECT_EQ(d[4].message, static_cast<UINT>(MIM_LONGERROR));
    EXPECT_EQ(d[4].flags & (MHDR_DONE | MHDR_INQUEUE), static_cast<DWORD>(MHDR_DONE));

    Exchange(midi, Erase(5), 2);
    d = midi.Deliveries();
    EXPECT_EQ(d[5].message, static_cast<UINT>(MIM_DATA));
    EXPECT_EQ(d[5].data, Bytes{0xFE});
    EXPECT_EQ(d[6].data, reply);

    EXPECT_EQ(midi.Send(Erase(5)), static_cast<MMRESULT>(MMSYSERR_ERROR));
    EXPECT_FALSE(midi.WaitSent(300));

    // silent: nothing comes back; the healthy reply to the next erase is the next delivery.
    Exchange(midi, Erase(5), 0);
    Exchange(midi, Erase(6));
    d = midi.Deliveries();
    ASSERT_EQ(d.size(), 8u);
    EXPECT_EQ(d[7].data, Framed({0x42, 0x01, 0x06, 0x00}));

    VConsoleStats stats = Stats(api);
    EXPECT_EQ(stats.refused, 1u);
    EXPECT_EQ(stats.replies, 6u);
    EXPECT_EQ(stats.dropped, 0u);
    midi.Close();
    EXPECT_EQ(midi.LateCallbacks(), 0);
}

TEST_F(VirtualConsoleDriver, AReplyWithoutAQueuedBufferIsDropped)
{
    ASSERT_TRUE(Start(""));
    midi.SetRequeue(false);
    for (int i = 0; i < CRawMidi::kBuffers; ++i)
        Exchange(midi, Erase(3));
    Exchange(midi, Erase(3), 0);
    for (int wait = 0; wait < 500 && Stats(api).dropped == 0; ++wait)
        Sleep(10);
    EXPECT_EQ(Stats(api).dropped, 1u);
    EXPECT_EQ(midi.DeliveryCount(), static_cast<size_t>(CRawMidi::kBuffers));
    midi.Close();
}

TEST_F(VirtualConsoleDriver, MalformedMessagesAreViolations)
{
    ASSERT_TRUE(Start(""));
    Bytes bad = Erase(2);
    bad[2] = 0x01;   // device number 1
    Exchange(midi, bad, 0);
    EXPECT_EQ(midiOutShortMsg(midi.Out(), 0x7F3C90), MMSYSERR_NOERROR);
    Exchange(midi, Erase(2));
    EXPECT_EQ(midi.DeliveryCount(), 1u);

    VConsoleStats stats = Stats(api);
    EXPECT_EQ(stats.received, 3u);
    EXPECT_EQ(stats.violations, 2u);
    char text[64];
    const char expected[] = "frame: device number 01, not 00";
    EXPECT_EQ(api.GetViolation(0, text, sizeof text), static_cast<int>(sizeof expected - 1));
    EXPECT_STREQ(text, expected);
    char small[6];
    EXPECT_GT(api.GetViolation(1, small, sizeof small), 5);
    EXPECT_STREQ(small, "short");
    EXPECT_EQ(api.GetViolation(2, text, sizeof text), -1);
    // Device lines cannot change while winmm holds the driver.
    EXPECT_EQ(api.Configure("out 1 2 Other\n"), 1);
    midi.Close();
}

TEST_F(VirtualConsoleDriver, ResetAndCloseLeaveNothingBehind)
{
    ASSERT_TRUE(Start("fault erase 1 delay 60000\n"));
    midi.SetRequeue(false);
    ASSERT_EQ(midiInReset(midi.In()), MMSYSERR_NOERROR);
    std::vector<CRawMidi::Delivery> returned = midi.Deliveries();
    ASSERT_EQ(returned.size(), static_cast<size_t>(CRawMidi::kBuffers));
    for (const CRawMidi::Delivery& d : returned) {
        EXPECT_EQ(d.message, static_cast<UINT>(MIM_LONGDATA));
        EXPECT_TRUE(d.data.empty());
        EXPECT_EQ(d.flags & (MHDR_DONE | MHDR_INQUEUE), static_cast<DWORD>(MHDR_DONE));
        EXPECT_EQ(d.threadId, GetCurrentThreadId());
    }
    for (int i = 0; i < CRawMidi::kBuffers; ++i)
        ASSERT_EQ(midiInAddBuffer(midi.In(), &midi.InHeader(i), sizeof(MIDIHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(midiInStart(midi.In()), MMSYSERR_NOERROR);
    // The reply is due in a minute; closing now must neither wait for it nor deliver it later.
    Exchange(midi, Erase(1), 0);
    midi.Close();
    EXPECT_EQ(midi.LateCallbacks(), 0);
    EXPECT_EQ(midi.DeliveryCount(), static_cast<size_t>(2 * CRawMidi::kBuffers));
    EXPECT_EQ(Stats(api).dropped, 1u);
    EXPECT_EQ(Stats(api).replies, 0u);
}

TEST_F(VirtualConsoleDriver, ClosingWithBuffersQueuedHandsThemBackFirst)
{
    ASSERT_TRUE(Start(""));
    midi.SetRequeue(false);
    // winmm forgets the handle whatever the driver answers; the driver closes all the same.
    EXPECT_EQ(midi.CloseInputOnly(), static_cast<MMRESULT>(MIDIERR_STILLPLAYING));
    EXPECT_EQ(midi.DeliveryCount(), static_cast<size_t>(CRawMidi::kBuffers));
    EXPECT_EQ(midi.LateCallbacks(), 0);

    CRawMidi again;
    EXPECT_TRUE(again.Open(0, 0) == false) << "the output is still open in the first client";
    midi.Close();
    EXPECT_TRUE(again.Open());
    Exchange(again, Erase(0));
    again.Close();
}

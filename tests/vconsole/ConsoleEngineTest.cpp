#include "ConsoleEngine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "RegionMap.h"
#include "SysexMessages.h"

using namespace vconsole;

namespace {

class CMemoryJournal : public IJournal {
public:
    explicit CMemoryJournal(std::vector<std::string>& lines) : m_lines(lines) {}
    void WriteLine(const std::string& line) override { m_lines.push_back(line); }

private:
    std::vector<std::string>& m_lines;
};

class ConsoleEngineTest : public ::testing::Test {
protected:
    // Applies the behaviour part of `text`; the journal goes to `journal`.
    void Configure(const char* text)
    {
        ParsedConfig parsed = ParseConsoleConfig(text);
        ASSERT_TRUE(parsed.errors.empty()) << parsed.errors[0].text;
        ASSERT_EQ(engine.Configure(parsed.config.behaviour, parsed.errors), 0);
        engine.UseJournal(std::make_unique<CMemoryJournal>(journal));
    }

    Answer Send(const Bytes& message) { return engine.Receive(message.data(), message.size()); }

    // The one SysEx (or damaged) reply of an answer.
    static Bytes Reply(const Answer& answer)
    {
        EXPECT_EQ(answer.events.size(), 1u);
        return answer.events.empty() ? Bytes{} : answer.events.back().bytes;
    }

    uint8_t FlashAt(uint32_t address)
    {
        uint8_t value = 0;
        engine.Flash().Read(address, &value, 1);
        return value;
    }

    CConsoleEngine engine;
    std::vector<std::string> journal;
};

} // namespace

TEST_F(ConsoleEngineTest, AHealthyConsoleAnswersEachCommand)
{
    Configure("");
    Answer u = Send(CommandU());
    EXPECT_TRUE(u.events.empty());

    Answer erase = Send(Erase(0));
    EXPECT_FALSE(erase.refused);
    EXPECT_FALSE(erase.early);
    EXPECT_EQ(erase.delayMs, 0u);
    ASSERT_EQ(erase.events.size(), 1u);
    EXPECT_EQ(erase.events[0].kind, EventKind::Sysex);
    EXPECT_EQ(erase.events[0].bytes, Framed({0x42, 0x01, 0x00, 0x00}));
    EXPECT_EQ(Reply(Send(Erase(34))), Framed({0x42, 0x01, 0x22, 0x00}));

    // Address 0x8000 packs to 10 00 00 00 00; the echo is packed the same way.
    EXPECT_EQ(Reply(Send(WritePacket(0x8000, PacketData(1)))),
              Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(Reply(Send(Final())), Framed({0x42, 0x00, 0x00, 0x00}));
    EXPECT_EQ(engine.Stats().received, 5u);
    EXPECT_EQ(engine.Stats().violations, 0u);
}

TEST_F(ConsoleEngineTest, WritesProgramTheFlashTheNorWay)
{
    Configure("flash_fill 0F");
    EXPECT_EQ(FlashAt(0x20000), 0x0F);
    Send(WritePacket(0x20000, Bytes(2048, 0xF5)));    // no erase first: only bits clear
    EXPECT_EQ(FlashAt(0x20000), 0x05);
    Send(Erase(4));
    EXPECT_EQ(FlashAt(0x20000), 0xFF);
    EXPECT_EQ(FlashAt(0x3FFFF), 0xFF);
    EXPECT_EQ(FlashAt(0x40000), 0x0F);
    Bytes data = PacketData(0x70);
    Send(WritePacket(0x20800, data));
    EXPECT_EQ(FlashAt(0x207FF), 0xFF);
    EXPECT_EQ(FlashAt(0x20800), 0x70);
    EXPECT_EQ(FlashAt(0x20800 + 2047), static_cast<uint8_t>(0x70 + 2047));
    EXPECT_EQ(FlashAt(0x21000), 0xFF);
}

TEST_F(ConsoleEngineTest, EachFaultBendsItsMessagesReply)
{
    Configure("latency_ms 7\n"
              "flash_fill 00\n"
              "answer_u\n"
              "fault erase 1 silent\n"
              "fault erase 2 result 01\n"
              "fault erase 3 other_region\n"
              "fault erase 4 long_error\n"
              "fault erase 5 delay 6000\n"
              "fault erase 6 early\n"
              "fault erase 7 short_before\n"
              "fault erase 8 echo_command\n"
              "fault erase 9 oversized 5000\n"
              "fault erase 10 malformed\n"
              "fault write 1 echo_high_bits\n"
              "fault write 2 wrong_echo\n"
              "fault final 1 result 7F\n"
              "fault final 1 delay 100\n");
    EXPECT_EQ(Reply(Send(CommandU())), Framed({0x55, 0x00}));

    Answer silent = Send(Erase(3));
    EXPECT_TRUE(silent.events.empty());
    EXPECT_EQ(FlashAt(RegionOffset(3)), 0xFF);
    EXPECT_EQ(Reply(Send(Erase(3))), Framed({0x42, 0x01, 0x03, 0x01}));
    EXPECT_EQ(Reply(Send(Erase(34))), Framed({0x42, 0x01, 0x00, 0x00}));   // the next region, wrapping

    Answer longError = Send(Erase(3));
    ASSERT_EQ(longError.events.size(), 1u);
    EXPECT_EQ(longError.events[0].kind, EventKind::LongError);
    EXPECT_EQ(longError.events[0].bytes, Framed({0x42, 0x01, 0x03, 0x00}));

    Answer late = Send(Erase(3));
    EXPECT_EQ(late.delayMs, 6007u);
    EXPECT_FALSE(late.early);

    Answer early = Send(Erase(3));
    EXPECT_TRUE(early.early);
    EXPECT_EQ(Reply(early), Framed({0x42, 0x01, 0x03, 0x00}));

    Answer shortBefore = Send(Erase(3));
    ASSERT_EQ(shortBefore.events.size(), 2u);
    EXPECT_EQ(shortBefore.events[0].kind, EventKind::Short);
    EXPECT_EQ(shortBefore.events[0].bytes, Bytes{0xFE});
    EXPECT_EQ(shortBefore.events[1].bytes, Framed({0x42, 0x01, 0x03, 0x00}));

    EXPECT_EQ(Reply(Send(Erase(3))), Erase(3));

    Bytes oversized = Reply(Send(Erase(3)));
    ASSERT_EQ(oversized.size(), 5000u);
    Bytes padded(5000 - 16, 0x00);
    padded[0] = 0x42;
    padded[1] = 0x01;
    padded[2] = 0x03;
    EXPECT_EQ(oversized, Framed(padded));

    Bytes malformed = Reply(Send(Erase(3)));
    Bytes right = Framed({0x42, 0x01, 0x03, 0x00});
    ASSERT_EQ(malformed.size(), right.size());
    EXPECT_EQ(malformed.front(), 0xF0);
    EXPECT_EQ(malformed.back(), 0xF7);
    for (size_t offset : {1, 2, 3, 5, 6, 13, 18})
        EXPECT_NE(malformed[offset], right[offset]) << offset;
    EXPECT_TRUE(std::equal(right.begin() + 14, right.begin() + 18, malformed.begin() + 14));
    ReceivedCommand ignored;
    EXPECT_NE(CheckMessage(malformed.data(), malformed.size(), ignored), "");

    EXPECT_EQ(Reply(Send(Erase(3))), right);   // the 11th erase has no fault

    // 0x8000 with bits 28-31 set: F0 00 80 00 packs to 50 70 00 00 00.
    EXPECT_EQ(Reply(Send(WritePacket(0x8000, PacketData(0)))),
              Framed({0x42, 0x02, 0x50, 0x70, 0x00, 0x00, 0x00, 0x00}));
    // Another address: the next packet's.
    EXPECT_EQ(Reply(Send(WritePacket(0x8000, PacketData(0)))),
              Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x08, 0x00, 0x00}));

    // Two faults on one message both apply.
    Answer final = Send(Final());
    EXPECT_EQ(final.delayMs, 107u);
    EXPECT_EQ(Reply(final), Framed({0x42, 0x00, 0x00, 0x7F}));
}

TEST_F(ConsoleEngineTest, ARefusedMessageNeverReachesTheConsole)
{
    Configure("fault write 2 refuse_send\n");
    Send(WritePacket(0x8000, Bytes(2048, 0x00)));
    Answer refused = Send(WritePacket(0x20000, Bytes(2048, 0x00)));
    EXPECT_TRUE(refused.refused);
    EXPECT_TRUE(refused.events.empty());
    EXPECT_EQ(FlashAt(0x20000), 0xFF);
    EXPECT_EQ(engine.Stats().received, 1u);
    EXPECT_EQ(engine.Stats().refused, 1u);
    EXPECT_FALSE(Send(WritePacket(0x20000, Bytes(2048, 0x00))).refused);
    ASSERT_EQ(journal.size(), 3u);
    EXPECT_EQ(journal[1].substr(0, 20), "refused F0 43 00 7E ");
}

TEST_F(ConsoleEngineTest, MalformedMessagesAreJournaledNotAnsweredNorCounted)
{
    Configure("fault erase 1 result 05\n");
    Bytes bad = Erase(2);
    bad[bad.size() - 2] ^= 0x01;
    EXPECT_TRUE(Send(bad).events.empty());
    engine.ReceiveShort(0x7F3C90);
    // The fault still waits for the first well-formed erase.
    EXPECT_EQ(Reply(Send(Erase(2))), Framed({0x42, 0x01, 0x02, 0x05}));

    EXPECT_EQ(engine.Stats().received, 3u);
    EXPECT_EQ(engine.Stats().violations, 2u);
    ASSERT_EQ(engine.Violations().size(), 2u);
    EXPECT_EQ(engine.Violations()[1], "short message 90 3C 7F: the console takes SysEx only");
    ASSERT_EQ(journal.size(), 5u);
    EXPECT_EQ(journal[0], "rx " + Hex(bad.data(), bad.size()));
    EXPECT_EQ(journal[1].substr(0, 19), "violation checksum:");
    EXPECT_EQ(journal[2], "rx 90 3C 7F");
    EXPECT_EQ(journal[3], "violation short message 90 3C 7F: the console takes SysEx only");
    EXPECT_EQ(journal[4], "rx F0 43 00 7E 00 0B 4C 4D 20 20 38 43 31 32 42 01 02 04 F7");
}

TEST_F(ConsoleEngineTest, JournalAndStatsOfDeliveries)
{
    Configure("");
    Answer answer = Send(Erase(0));
    engine.NoteDelivered({EventKind::Short, {0xFE}});
    engine.NoteDelivered(answer.events[0]);
    engine.NoteReplyDelay(1500);
    engine.NoteDelivered({EventKind::LongError, {0xF0, 0x43}});
    engine.NoteDropped({EventKind::Sysex, {0xF0, 0xF7}});
    engine.NoteReplyDelay(250);
    engine.Closed();

    const ConsoleStats& s = engine.Stats();
    EXPECT_EQ(s.received, 1u);
    EXPECT_EQ(s.replies, 2u);
    EXPECT_EQ(s.dropped, 1u);
    EXPECT_EQ(s.replyDelayUs, 1750u);
    std::vector<std::string> expected = {
        "rx F0 43 00 7E 00 0B 4C 4D 20 20 38 43 31 32 42 01 00 06 F7",
        "tx FE",
        "tx F0 43 00 7E 00 0C 4C 4D 20 20 38 43 31 32 42 01 00 00 06 F7",
        "longerror F0 43",
        "dropped F0 F7",
        "stats received=1 replies=2 violations=0 dropped=1 refused=0 reply_delay_us=1750",
    };
    EXPECT_EQ(journal, expected);
}

TEST_F(ConsoleEngineTest, FilesForJournalFlashLoadAndDump)
{
    std::string dir = ::testing::TempDir();
    std::string journalPath = dir + "vconsole_journal.txt";
    std::string dumpPath = dir + "vconsole_dump.bin";
    std::string loadPath = dir + "vconsole_load.bin";
    {
        Bytes image(CFlashModel::kSize, 0x3C);
        std::ofstream(loadPath, std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                        static_cast<std::streamsize>(image.size()));
    }
    std::string text = "journal " + journalPath + "\nflash_dump " + dumpPath + "\nflash_fill 00\nflash_load " +
                       loadPath + "\nbogus\n";
    ParsedConfig parsed = ParseConsoleConfig(text);
    EXPECT_EQ(engine.Configure(parsed.config.behaviour, parsed.errors), 1);
    EXPECT_EQ(FlashAt(0), 0x3C);   // load after fill
    Send(Erase(0));
    engine.Closed();

    std::ifstream journalFile(journalPath);
    std::stringstream lines;
    lines << journalFile.rdbuf();
    EXPECT_EQ(lines.str(), "config 5: unknown directive 'bogus'\n"
                           "rx F0 43 00 7E 00 0B 4C 4D 20 20 38 43 31 32 42 01 00 06 F7\n"
                           "stats received=1 replies=0 violations=0 dropped=0 refused=0 reply_delay_us=0\n");
    std::ifstream dump(dumpPath, std::ios::binary);
    Bytes dumped((std::istreambuf_iterator<char>(dump)), std::istreambuf_iterator<char>());
    ASSERT_EQ(dumped.size(), CFlashModel::kSize);
    EXPECT_EQ(dumped[0x7FFF], 0xFF);
    EXPECT_EQ(dumped[0x8000], 0x3C);

    // A reconfiguration without paths keeps them; a flash_load that fails is a problem.
    parsed = ParseConsoleConfig("flash_load " + dir + "no_such_file.bin\n");
    EXPECT_EQ(engine.Configure(parsed.config.behaviour, parsed.errors), 1);
    EXPECT_EQ(engine.Settings().journal, journalPath);
    EXPECT_EQ(engine.Settings().flashDump, dumpPath);
    EXPECT_EQ(FlashAt(0x8000), 0x3C);
    std::remove(journalPath.c_str());
    std::remove(dumpPath.c_str());
    std::remove(loadPath.c_str());
}

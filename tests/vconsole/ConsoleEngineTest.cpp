#include "ConsoleEngine.h"

#include <gtest/gtest.h>

#include "SysexMessages.h"

using namespace vconsole;

namespace {

struct Console {
    explicit Console(const std::string& text)
    {
        const ParsedConfig parsed = ParseConsoleConfig(text);
        EXPECT_EQ(engine.Configure(parsed.config.behaviour, parsed.errors), 0) << text;
    }
    Answer Send(const Bytes& message) { return engine.Receive(message.data(), message.size()); }
    uint8_t FlashAt(uint32_t address) const
    {
        uint8_t value = 0;
        engine.Flash().Read(address, &value, 1);
        return value;
    }
    CConsoleEngine engine;
};

Bytes Sysex(const Answer& answer) // the one SysEx reply of an answer, or nothing
{
    return answer.events.size() == 1 && answer.events[0].kind == EventKind::Sysex ? answer.events[0].bytes : Bytes{};
}

} // namespace

TEST(ConsoleEngine, AHealthyConsoleAnswersAndProgramsItsFlashTheNorWay)
{
    Console console("flash_fill 0F");
    EXPECT_TRUE(console.Send(CommandU()).events.empty());
    EXPECT_EQ(Sysex(console.Send(Erase(34))), Framed({0x42, 0x01, 0x22, 0x00}));
    EXPECT_EQ(Sysex(console.Send(Final())), Framed({0x42, 0x00, 0x00, 0x00}));
    // Without an erase a write only clears bits; an erase covers exactly its region.
    EXPECT_EQ(Sysex(console.Send(WritePacket(0x20000, Bytes(2048, 0xF5)))),
              Framed({0x42, 0x02, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00}));
    EXPECT_EQ(console.FlashAt(0x20000), 0x05);
    console.Send(Erase(4));
    console.Send(WritePacket(0x20800, PacketData(0x70)));
    const std::pair<uint32_t, uint8_t> flash[] = {{0x1FFFF, 0x0F}, {0x20000, 0xFF}, {0x20800, 0x70},
                                                  {0x20FFF, 0x6F}, {0x21000, 0xFF}, {0x40000, 0x0F}};
    for (const auto& [address, value] : flash)
        EXPECT_EQ(console.FlashAt(address), value) << address;
    EXPECT_EQ(console.engine.Stats().received, 6u);
}

TEST(ConsoleEngine, EachFaultBendsItsMessagesAnswerExactly)
{
    const Bytes erase3 = Framed({0x42, 0x01, 0x03, 0x00});
    Bytes bigPayload(5000 - 16, 0x00);
    std::copy_n(erase3.begin() + 14, 3, bigPayload.begin());
    const struct {
        const char* config;
        Bytes message;
        std::vector<OutEvent> events;
        uint32_t delayMs = 0;
        bool early = false, refused = false;
    } cases[] = {
        {"", Erase(3), {{EventKind::Sysex, erase3}}},
        {"answer_u", CommandU(), {{EventKind::Sysex, Framed({0x55, 0x00})}}},
        {"fault erase 1 silent", Erase(3), {}},
        {"fault erase 2 silent", Erase(3), {{EventKind::Sysex, erase3}}},
        {"fault erase 1 result 01", Erase(3), {{EventKind::Sysex, Framed({0x42, 0x01, 0x03, 0x01})}}},
        {"fault erase 1 other_region", Erase(34), {{EventKind::Sysex, Framed({0x42, 0x01, 0x00, 0x00})}}},
        {"fault erase 1 long_error", Erase(3), {{EventKind::LongError, erase3}}},
        {"latency_ms 7\nfault erase 1 delay 6000", Erase(3), {{EventKind::Sysex, erase3}}, 6007},
        {"fault erase 1 early", Erase(3), {{EventKind::Sysex, erase3}}, 0, true},
        {"fault erase 1 short_before", Erase(3), {{EventKind::Short, {0xFE}}, {EventKind::Sysex, erase3}}},
        {"fault erase 1 echo_command", Erase(3), {{EventKind::Sysex, Erase(3)}}},
        {"fault erase 1 oversized 5000", Erase(3), {{EventKind::Sysex, Framed(bigPayload)}}},
        // All but the compared bytes from offset 14 are wrong.
        {"fault erase 1 malformed", Erase(3),
         {{EventKind::Sysex, {0xF0, 0x41, 0x10, 0x7F, 0x00, 0x0D, 0x58, 0x58, 0x58, 0x58, 0x58, 0x58, 0x58, 0x58,
                              0x42, 0x01, 0x03, 0x00, 0x04, 0xF7}}}},
        // 0x8000 with bits 28-31 set: F0 00 80 00 packs to 50 70 00 00 00.
        {"fault write 1 echo_high_bits", WritePacket(0x8000, PacketData(0)),
         {{EventKind::Sysex, Framed({0x42, 0x02, 0x50, 0x70, 0x00, 0x00, 0x00, 0x00})}}},
        {"fault write 1 wrong_echo", WritePacket(0x8000, PacketData(0)),
         {{EventKind::Sysex, Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x08, 0x00, 0x00})}}},
        {"fault final 1 result 7F\nfault final 1 delay 100", Final(),
         {{EventKind::Sysex, Framed({0x42, 0x00, 0x00, 0x7F})}}, 100},
        {"fault erase 1 refuse_send", Erase(3), {}, 0, false, true},
    };
    for (const auto& c : cases) {
        Console console("flash_fill 00\n" + std::string(c.config));
        const Answer answer = console.Send(c.message);
        ASSERT_EQ(answer.events.size(), c.events.size()) << c.config;
        for (size_t i = 0; i < c.events.size(); ++i) {
            EXPECT_EQ(answer.events[i].kind, c.events[i].kind) << c.config;
            EXPECT_EQ(answer.events[i].bytes, c.events[i].bytes) << c.config;
        }
        EXPECT_EQ(answer.delayMs, c.delayMs) << c.config;
        EXPECT_EQ(answer.early, c.early) << c.config;
        EXPECT_EQ(answer.refused, c.refused) << c.config;
        // A refused message never reaches the console; any other is carried out.
        EXPECT_EQ(console.engine.Stats().received, c.refused ? 0u : 1u) << c.config;
        EXPECT_EQ(console.FlashAt(0x10000), c.message == Erase(3) && !c.refused ? 0xFF : 0x00) << c.config;
    }
}

TEST(ConsoleEngine, AFlashImageThatCannotBeLoadedIsAConfigurationProblem)
{
    const ParsedConfig parsed = ParseConsoleConfig("flash_load /no/such/flash.img\nbogus\n");
    EXPECT_EQ(CConsoleEngine().Configure(parsed.config.behaviour, parsed.errors), 2);
}

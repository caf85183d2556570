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
    uint8_t FlashAt(uint32_t address) const { return engine.Flash().Data()[address]; }
    CConsoleEngine engine;
};

} // namespace

TEST(ConsoleEngine, EachFaultBendsItsMessagesAnswerExactly)
{
    const Bytes erase3 = Framed({0x42, 0x01, 0x03, 0x00});
    Bytes bigPayload(5000 - 16, 0x00);
    std::copy_n(erase3.begin() + 14, 3, bigPayload.begin());
    using E = OutEvent;
    const auto sysex = [](const Bytes& bytes) { return std::vector<E>{{EventKind::Sysex, bytes}}; };
    const struct {
        const char* config;
        Bytes message;
        std::vector<E> events;
        uint32_t delayMs = 0;
        bool early = false, refused = false, kept = false;
    } cases[] = {
        {"", Erase(3), sysex(erase3)},
        {"", CommandU(), {}},
        {"answer_u", CommandU(), sysex(Framed({0x55, 0x00})), 0, true},
        {"fault erase 1 silent", Erase(3), {}},
        {"fault erase 2 silent", Erase(3), sysex(erase3)},
        {"fault erase 1 result 01", Erase(3), sysex(Framed({0x42, 0x01, 0x03, 0x01}))},
        {"fault erase 1 other_region", Erase(34), sysex(Framed({0x42, 0x01, 0x00, 0x00}))},
        {"fault erase 1 long_error", Erase(3), {{EventKind::LongError, erase3}}},
        {"latency_ms 7\nfault erase 1 delay 6000", Erase(3), sysex(erase3), 6007},
        {"fault erase 1 early", Erase(3), sysex(erase3), 0, true},
        {"fault erase 1 short_before", Erase(3), {{EventKind::Short, {0xFE}}, {EventKind::Sysex, erase3}}},
        {"fault erase 1 echo_command", Erase(3), sysex(Erase(3))},
        {"fault erase 1 oversized 5000", Erase(3), sysex(Framed(bigPayload))},
        // All but the compared bytes from offset 14 are wrong.
        {"fault erase 1 malformed", Erase(3), sysex({0xF0, 0x41, 0x10, 0x7F, 0x00, 0x0D, 0x58, 0x58, 0x58, 0x58, 0x58,
                                                     0x58, 0x58, 0x58, 0x42, 0x01, 0x03, 0x00, 0x04, 0xF7})},
        {"", WritePacket(0x8000, PacketData(0)), sysex(Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00}))},
        {"fault write 1 echo_high_bits", WritePacket(0x8000, PacketData(0)), // F0 00 80 00 packs to 50 70 00 00 00
         sysex(Framed({0x42, 0x02, 0x50, 0x70, 0x00, 0x00, 0x00, 0x00}))},
        {"fault write 1 wrong_echo", WritePacket(0x8000, PacketData(0)),
         sysex(Framed({0x42, 0x02, 0x10, 0x00, 0x00, 0x08, 0x00, 0x00}))},
        {"fault final 1 result 7F\nfault final 1 delay 100", Final(), sysex(Framed({0x42, 0x00, 0x00, 0x7F})), 100},
        {"fault erase 1 refuse_send", Erase(3), {}, 0, false, true},
        {"fault erase 1 cut 17", Erase(3), sysex(Bytes(erase3.begin(), erase3.begin() + 17))},
        {"fault erase 1 keep", Erase(3), sysex(erase3), 0, false, false, true},
        {"fault erase 1 thru", Erase(3), {{EventKind::Sysex, Erase(3)}, {EventKind::Sysex, erase3}}},
        {"fault erase 1 tail_before 3", Erase(3), {{EventKind::Fragment, Bytes(erase3.end() - 3, erase3.end())},
                                                   {EventKind::Sysex, erase3}}},
        {"fault erase 1 cut_restart 5", Erase(3), {{EventKind::Sysex, Bytes(erase3.begin(), erase3.begin() + 5)},
                                                   {EventKind::Sysex, erase3}}},
        // The last of 6-byte pieces is 2 bytes long.
        {"pieces 6\nfault erase 1 split_delay 900", Erase(3),
         {{EventKind::Sysex, Bytes(erase3.begin(), erase3.end() - 2)}, {EventKind::Fragment, Bytes(erase3.end() - 2, erase3.end()), 900}}},
        // MIDI thru: the message back at its time, ahead of or between the console's events.
        {"thru 4", CommandU(), sysex(CommandU()), 4},
        {"latency_ms 5\nthru 6\nfault erase 1 split_delay 2", Erase(3),
         {{EventKind::Sysex, Cut(erase3, 19)}, {EventKind::Sysex, Erase(3), 1}, {EventKind::Fragment, {0xF7}, 1}}, 5},
    };
    for (const auto& c : cases) {
        Console console("flash_fill 00\n" + std::string(c.config));
        const Answer answer = console.Send(c.message);
        ASSERT_EQ(answer.events.size(), c.events.size()) << c.config;
        for (size_t i = 0; i < c.events.size(); ++i) {
            EXPECT_EQ(answer.events[i].kind, c.events[i].kind) << c.config;
            EXPECT_EQ(answer.events[i].bytes, c.events[i].bytes) << c.config;
            EXPECT_EQ(answer.events[i].pauseMs, c.events[i].pauseMs) << c.config;
        }
        EXPECT_EQ(std::make_tuple(answer.delayMs, answer.early, answer.refused, answer.kept),
                  std::make_tuple(c.delayMs, c.early, c.refused, c.kept)) << c.config;
        // A refused message never reaches the console; any other is carried out whatever the answer.
        EXPECT_EQ(console.engine.Stats().received, c.refused ? 0u : 1u) << c.config;
        EXPECT_EQ(console.FlashAt(0x10000), c.message == Erase(3) && !c.refused ? 0xFF : 0x00) << c.config;
    }
}

TEST(ConsoleEngine, FlashIsNorAndAFlashImageThatCannotBeLoadedIsAConfigurationProblem)
{
    // Without an erase a write only clears bits, so a skipped erase shows in the flash.
    Console console("flash_fill 0F");
    console.Send(WritePacket(0x20000, Bytes(2048, 0xF5)));
    EXPECT_EQ(console.FlashAt(0x20000), 0x05);
    const ParsedConfig parsed = ParseConsoleConfig("flash_load /no/such/flash.img\nbogus\n");
    EXPECT_EQ(CConsoleEngine().Configure(parsed.config.behaviour, parsed.errors), 2);
}

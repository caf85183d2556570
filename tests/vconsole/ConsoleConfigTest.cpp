#include "ConsoleConfig.h"

#include <gtest/gtest.h>

#include <string>

using namespace vconsole;

TEST(ConsoleConfig, EachBadLineIsReportedAndTheRestStillApplies)
{
    const char* badLines[] = {
        "frobnicate", "out 37 four KALDIR", "out 37 4", "out 37 4 A name much longer than thirty-one", "thru",
        "out 70000 4 X", "latency_ms soon", "flash_fill 1FF", "answer_u please", "journal", "unreadable_out x",
        "fault U 1 silent",             // U has no reply to bend
        "fault erase 0 silent",         // counts from 1
        "fault erase 1 wobble", "fault erase 1 result", "fault erase 1 silent now",
        "fault erase 1 result 80",      // not a data byte
        "fault write 1 other_region",   // erase only
        "fault erase 1 wrong_echo",     // write only
        "fault erase 1 oversized 17000", // beyond the 14-bit length
        "pieces 0", "thru 600001",
        "fault erase 1 late_done", "keep_input now", "console_out any", "console_in",
    };
    for (const std::string bad : badLines) {
        const ParsedConfig parsed = ParseConsoleConfig("latency_ms 5\n" + bad + "\nfault final 2 silent\n");
        ASSERT_EQ(parsed.errors.size(), 1u) << bad;
        EXPECT_EQ(parsed.errors[0].line, 2) << bad;
        EXPECT_EQ(parsed.config.behaviour.latencyMs, 5u) << bad;
        EXPECT_EQ(parsed.config.behaviour.faults.size(), 1u) << bad;
    }
    EXPECT_EQ(ParseConsoleConfig("no_devices\nout 37 4 KALDIR USB OUT").errors.size(), 1u);
}

#include "ConsoleConfig.h"

#include <gtest/gtest.h>

#include <string>

using namespace vconsole;

TEST(ConsoleConfig, WithoutDeviceLinesTheConsoleListsItsTwoPorts)
{
    const ConsoleConfig config = ParseConsoleConfig("# nothing but a comment\n\n").config;
    ASSERT_EQ(config.outputs.size(), 1u);
    ASSERT_EQ(config.inputs.size(), 1u);
    EXPECT_EQ(std::tie(config.outputs[0].mid, config.outputs[0].pid, config.outputs[0].name),
              std::make_tuple(uint16_t{37}, uint16_t{4}, std::string("KALDIR USB OUT")));
    EXPECT_EQ(std::tie(config.inputs[0].mid, config.inputs[0].pid, config.inputs[0].name),
              std::make_tuple(uint16_t{37}, uint16_t{5}, std::string("KALDIR USB IN")));
    EXPECT_TRUE(ParseConsoleConfig("no_devices").config.outputs.empty());
    EXPECT_EQ(ParseConsoleConfig("no_devices\nout 37 4 KALDIR USB OUT").errors.size(), 1u);
}

TEST(ConsoleConfig, EachBadLineIsReportedAndTheRestStillApplies)
{
    const char* badLines[] = {
        "frobnicate", "out 37 four KALDIR", "out 37 4", "out 37 4 A name much longer than thirty-one",
        "out 70000 4 X", "latency_ms soon", "flash_fill 1FF", "answer_u please", "journal", "unreadable_out x",
        "fault U 1 silent",             // U has no reply to bend
        "fault erase 0 silent",         // counts from 1
        "fault erase 1 wobble", "fault erase 1 result", "fault erase 1 silent now",
        "fault erase 1 result 80",      // not a data byte
        "fault write 1 other_region",   // erase only
        "fault erase 1 wrong_echo",     // write only
        "fault erase 1 oversized 17000", // beyond the 14-bit length
    };
    for (const std::string bad : badLines) {
        const ParsedConfig parsed = ParseConsoleConfig("latency_ms 5\n" + bad + "\nfault final 2 silent\n");
        ASSERT_EQ(parsed.errors.size(), 1u) << bad;
        EXPECT_EQ(parsed.errors[0].line, 2) << bad;
        EXPECT_EQ(parsed.config.behaviour.latencyMs, 5u) << bad;
        EXPECT_EQ(parsed.config.behaviour.faults.size(), 1u) << bad;
    }
}

TEST(ConsoleConfig, UnixPathsGoThroughDriveZ)
{
    EXPECT_EQ(ToWindowsPath("/tmp/x/c.txt"), "Z:\\tmp\\x\\c.txt");
    EXPECT_EQ(ToWindowsPath("C:\\data\\c.txt"), "C:\\data\\c.txt");
    EXPECT_EQ(ToWindowsPath("relative/c.txt"), "relative/c.txt");
}

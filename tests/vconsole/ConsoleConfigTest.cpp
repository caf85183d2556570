#include "ConsoleConfig.h"

#include <gtest/gtest.h>

using namespace vconsole;

TEST(ConsoleConfig, WithoutDeviceLinesTheConsoleListsItsTwoPorts)
{
    ParsedConfig parsed = ParseConsoleConfig("# nothing but a comment\n\n");
    EXPECT_TRUE(parsed.errors.empty());
    ASSERT_EQ(parsed.config.outputs.size(), 1u);
    ASSERT_EQ(parsed.config.inputs.size(), 1u);
    EXPECT_EQ(parsed.config.outputs[0].mid, 37);
    EXPECT_EQ(parsed.config.outputs[0].pid, 4);
    EXPECT_EQ(parsed.config.outputs[0].name, "KALDIR USB OUT");
    EXPECT_EQ(parsed.config.inputs[0].pid, 5);
    EXPECT_EQ(parsed.config.inputs[0].name, "KALDIR USB IN");
    const Behaviour& b = parsed.config.behaviour;
    EXPECT_EQ(b.latencyMs, 0u);
    EXPECT_FALSE(b.answerU);
    EXPECT_FALSE(b.fillFlash);
    EXPECT_TRUE(b.faults.empty());
}

TEST(ConsoleConfig, EveryDirective)
{
    ParsedConfig parsed = ParseConsoleConfig(
        "out 1 2 Some Synth   # trailing comment\r\n"
        "out 37 4 KALDIR USB OUT 2\n"
        "in 37 5 KALDIR USB IN\n"
        "unreadable_out 1\n"
        "unreadable_in 0\n"
        "fail_open_in\n"
        "latency_ms 25\n"
        "answer_u\n"
        "flash_fill 00\n"
        "flash_load /tmp/old dump.bin\n"
        "flash_dump /tmp/dump.bin\n"
        "journal /tmp/journal.txt\n"
        "  fault erase 2 result 7f\n"
        "fault write 64 echo_high_bits\n"
        "fault final 1 delay 6000\n"
        "fault erase 1 other_region\n"
        "fault write 3 oversized 5000\n");
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors[0].text;
    const ConsoleConfig& c = parsed.config;
    ASSERT_EQ(c.outputs.size(), 2u);
    EXPECT_EQ(c.outputs[0].name, "Some Synth");
    EXPECT_EQ(c.outputs[1].name, "KALDIR USB OUT 2");
    EXPECT_EQ(c.inputs.size(), 1u);
    const Behaviour& b = c.behaviour;
    EXPECT_EQ(b.unreadableOut, std::vector<uint32_t>{1});
    EXPECT_EQ(b.unreadableIn, std::vector<uint32_t>{0});
    EXPECT_TRUE(b.failOpenIn);
    EXPECT_EQ(b.latencyMs, 25u);
    EXPECT_TRUE(b.answerU);
    EXPECT_TRUE(b.fillFlash);
    EXPECT_EQ(b.flashFill, 0x00);
    EXPECT_EQ(b.flashLoad, "/tmp/old dump.bin");
    EXPECT_EQ(b.flashDump, "/tmp/dump.bin");
    EXPECT_EQ(b.journal, "/tmp/journal.txt");
    ASSERT_EQ(b.faults.size(), 5u);
    EXPECT_EQ(b.faults[0].command, Command::Erase);
    EXPECT_EQ(b.faults[0].nth, 2u);
    EXPECT_EQ(b.faults[0].kind, FaultKind::Result);
    EXPECT_EQ(b.faults[0].arg, 0x7Fu);
    EXPECT_EQ(b.faults[1].kind, FaultKind::EchoHighBits);
    EXPECT_EQ(b.faults[1].nth, 64u);
    EXPECT_EQ(b.faults[2].command, Command::Final);
    EXPECT_EQ(b.faults[2].arg, 6000u);
    EXPECT_EQ(b.faults[4].arg, 5000u);
}

TEST(ConsoleConfig, NoDevicesListsNothing)
{
    ParsedConfig parsed = ParseConsoleConfig("no_devices\n");
    EXPECT_TRUE(parsed.errors.empty());
    EXPECT_TRUE(parsed.config.outputs.empty());
    EXPECT_TRUE(parsed.config.inputs.empty());

    // Device lines alone: only what they list, no default for the other direction.
    parsed = ParseConsoleConfig("out 37 4 KALDIR USB OUT\n");
    EXPECT_EQ(parsed.config.outputs.size(), 1u);
    EXPECT_TRUE(parsed.config.inputs.empty());

    parsed = ParseConsoleConfig("no_devices\nout 37 4 KALDIR USB OUT\n");
    ASSERT_EQ(parsed.errors.size(), 1u);
    EXPECT_TRUE(parsed.config.outputs.empty());
}

TEST(ConsoleConfig, BadLinesAreReportedAndTheRestStillApplies)
{
    ParsedConfig parsed = ParseConsoleConfig(
        "latency_ms 5\n"
        "frobnicate\n"                               // 2: unknown directive
        "out 37 four KALDIR\n"                       // 3: not a number
        "out 37 4\n"                                 // 4: no name
        "out 37 4 A name much longer than thirty-one\n" // 5
        "out 70000 4 X\n"                            // 6: above 65535
        "latency_ms soon\n"                          // 7
        "flash_fill 1FF\n"                           // 8
        "answer_u please\n"                          // 9
        "fault U 1 silent\n"                         // 10: U has no reply to bend
        "fault erase 0 silent\n"                     // 11: counts from 1
        "fault erase 1 wobble\n"                     // 12
        "fault erase 1 result\n"                     // 13: needs the byte
        "fault erase 1 result 80\n"                  // 14: not a data byte
        "fault write 1 other_region\n"               // 15: erase only
        "fault erase 1 wrong_echo\n"                 // 16: write only
        "fault erase 1 oversized 17000\n"            // 17: beyond the 14-bit length
        "fault erase 1 silent now\n"                 // 18
        "journal\n"                                  // 19
        "unreadable_out x\n"                         // 20
        "fault final 2 silent\n");
    std::vector<int> lines;
    for (const ConfigError& e : parsed.errors) {
        lines.push_back(e.line);
        EXPECT_FALSE(e.text.empty());
    }
    std::vector<int> expected;
    for (int line = 2; line <= 20; ++line)
        expected.push_back(line);
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(parsed.config.behaviour.latencyMs, 5u);
    ASSERT_EQ(parsed.config.behaviour.faults.size(), 1u);
    EXPECT_EQ(parsed.config.behaviour.faults[0].command, Command::Final);
    // The bad device lines were all rejected, yet they count as device lines given.
    EXPECT_TRUE(parsed.config.outputs.empty());
}

TEST(ConsoleConfig, UnixPathsGoThroughDriveZ)
{
    EXPECT_EQ(ToWindowsPath("/tmp/x/c.txt"), "Z:\\tmp\\x\\c.txt");
    EXPECT_EQ(ToWindowsPath("C:\\data\\c.txt"), "C:\\data\\c.txt");
    EXPECT_EQ(ToWindowsPath("relative/c.txt"), "relative/c.txt");
    EXPECT_EQ(ToWindowsPath(""), "");
}

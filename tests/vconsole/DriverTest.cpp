// What the updates that run against the virtual console do not reach: its report of a
// malformed message, which it never answers, and device lists that cannot change.
#include "ConsoleRig.h"
#include "MidiPort.h"

namespace {

class VirtualConsole : public CConsoleRig {};

TEST_F(VirtualConsole, ReportsAMalformedMessageWithoutAnsweringIt)
{
    CMidiPort port;
    ASSERT_EQ(port.Open(kConsoleOut, kConsoleIn), 1);
    Bytes bad = Erase(2);
    bad[2] = 0x01;   // device number 1
    uint8_t reply[CMidiPort::kBlockSize];
    port.SendLong(bad.data(), static_cast<uint32_t>(bad.size()), reply);
    uint32_t length = 0;
    EXPECT_EQ(port.WaitReply(300, length), 0);
    EXPECT_EQ(Stats().violations, 1u);
    char text[64];
    EXPECT_EQ(m_console.GetViolation(0, text, sizeof text), 31);
    EXPECT_STREQ(text, "frame: device number 01, not 00");
    EXPECT_EQ(m_console.GetViolation(1, text, sizeof text), -1);
    EXPECT_EQ(m_console.Configure("out 1 2 Other\n"), 1);
}

} // namespace

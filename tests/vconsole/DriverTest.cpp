// The virtual console as winmm's clients meet the driver: devices of one direction side by
// side, and the console on chosen devices.
#include "ConsoleRig.h"
#include "MidiPort.h"

#include <mmsystem.h>

namespace {

class Driver : public CConsoleRig {};

// Two devices of one direction open side by side, each on its own; the console where it is set.
TEST_F(Driver, EachDeviceOpensByItselfAndTheConsoleIsWhereItIsSet)
{
    HMIDIOUT outs[2] = {};
    HMIDIIN ins[2] = {};
    EXPECT_EQ(midiOutOpen(&outs[0], 0, 0, 0, CALLBACK_NULL) + midiOutOpen(&outs[1], 1, 0, 0, CALLBACK_NULL), 0u);
    EXPECT_EQ(midiInOpen(&ins[0], 0, 0, 0, CALLBACK_NULL) + midiInOpen(&ins[1], 1, 0, 0, CALLBACK_NULL), 0u);
    HMIDIOUT again = nullptr;
    HMIDIIN againIn = nullptr;
    EXPECT_EQ(midiOutOpen(&again, 1, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(midiInOpen(&againIn, 1, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(midiOutClose(outs[0]) + midiInStart(ins[0]) + midiInClose(ins[0]), 0u);
    EXPECT_EQ(midiOutReset(outs[1]) + midiInStart(ins[1]) + midiInReset(ins[1]), 0u);
    EXPECT_EQ(midiOutClose(outs[1]) + midiInClose(ins[1]), 0u);

    const struct { const char* config; uint32_t out, in; int replied; uint32_t received, dropped; } rows[] = {
        {"", kConsoleOut, kConsoleIn, 1, 1, 0},   // every device is the console
        {"console_out 5\nconsole_in 5", 5, 5, 1, 1, 0},
        {"console_out 5", kConsoleOut, kConsoleIn, 0, 0, 0},   // heard by nobody
        {"console_in 5", kConsoleOut, kConsoleIn, 0, 1, 1},    // answered where nobody listens
    };
    for (const auto& r : rows) {
        Configure(r.config);
        CMidiPort port;
        ASSERT_EQ(port.Open(r.out, r.in), 1) << r.config;
        const Bytes message = Erase(0);
        Bytes reply(CMidiPort::kBlockSize);
        uint32_t length = 0;
        port.SendLong(message.data(), uint32_t(message.size()), reply.data());
        EXPECT_EQ(port.WaitReply(r.replied ? 10000 : 300, length), r.replied) << r.config;
        port.Close();
        EXPECT_EQ(std::make_pair(Stats().received, Stats().dropped), std::make_pair(r.received, r.dropped)) << r.config;
    }
}

} // namespace

// Port discovery over the device lists of devices.txt: winmm reads the lists once per process,
// but which devices can be read changes with the console's configuration. The console's own
// ports come first; a pair the user chose before (by whole name and place among its namesakes) is
// taken in their place, or first when it is a console's own.
#include "PortDiscovery.h"

#include "ConsoleRig.h"
#include "RememberedPorts.h"

namespace {

const std::string kLongOut = "out:KALDIR USB OUT 2 on USB Hub 7 A";
const std::string kLongIn = "in:KALDIR USB IN 2 on USB Hub 7 AB";
const std::string kMissing = "KALDIR USB Driver not found!!";
const std::string kBox = "box:" + kMissing;
const PortNames kChosen = {L"Kaldir USB OUT", L"KALDIR USB in"};

struct Case {
    const char* config;
    int result;
    uint32_t out, in;
    Strings shown;
    PortNames remembered = {};
};

const Case kCases[] = {
    {"", 1, 4, 4, {kLongOut, kLongIn}},
    {"unreadable_out 4\nunreadable_in 4", 1, 5, 5, {"out:KALDIR USB OUT", "in:KALDIR USB IN"}},
    {"unreadable_out 4\nunreadable_out 5", 0, kNoDevice, 4, {kBox}},
    {"unreadable_in 4\nunreadable_in 5", 0, 4, kNoDevice, {kLongOut, kBox}},
    {"", 1, 4, 4, {kLongOut, kLongIn}, kChosen},
    {"unreadable_out 4\nunreadable_out 5", 1, 2, 2, {"out:Kaldir USB OUT", "in:KALDIR USB in"}, kChosen},
    // Only the whole pair: the console's output stays, and without its input the driver is missing.
    {"unreadable_in 2\nunreadable_in 4\nunreadable_in 5", 0, 4, kNoDevice, {kLongOut, kBox}, kChosen},
    // Never another device of the name: "Kaldir USB OUT" is listed once.
    {"unreadable_out 4\nunreadable_out 5", 0, kNoDevice, 4, {kBox}, {L"Kaldir USB OUT", L"KALDIR USB in", 1, 0}},
    // Of two consoles, the second chosen: the one the user meant.
    {"", 1, 5, 5, {"out:KALDIR USB OUT", "in:KALDIR USB IN"}, {L"KALDIR USB OUT", L"KALDIR USB IN", 2, 2}},
    // Longer than a name can be (as long as the read's buffer once was, or by one), without an end.
    {"unreadable_in 4\nunreadable_in 5", 0, 4, kNoDevice, {kLongOut, kBox}, {L"KALDIR USB OUT 2 on USB Hub 7 A" + std::wstring(33, L'B'), L"KALDIR USB in"}},
    {"unreadable_in 4\nunreadable_in 5", 0, 4, kNoDevice, {kLongOut, kBox}, {L"KALDIR USB OUT 2 on USB Hub 7 AB", L"KALDIR USB in"}},
};

class PortDiscovery : public CConsoleRig {};

TEST_F(PortDiscovery, FindsTheLowestNumberedConsoleOrReportsTheDriverMissing)
{
    for (const Case& c : kCases) {
        Configure(c.config);
        CRecordingDisplay display;
        const CRememberedPorts memory(c.remembered);
        CConsolePorts ports;
        EXPECT_EQ(ports.Find(display), c.result) << c.config;
        EXPECT_EQ(ports.OutDevice(), c.out) << c.config;
        EXPECT_EQ(ports.InDevice(), c.in) << c.config;
        EXPECT_EQ(display.shown, c.shown) << c.config;
        EXPECT_EQ(display.statuses, c.result ? "" : kMissing) << c.config;
        PortNames recalled;   // as stored, and a name a device can have, or nothing
        EXPECT_TRUE(!UserPortMemory().Recall(recalled) || (recalled.out == c.remembered.out && recalled.out.size() < 32));
    }
}

} // namespace

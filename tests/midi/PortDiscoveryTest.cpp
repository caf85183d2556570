// Port discovery over the device lists of devices.txt: winmm reads the lists once per process,
// but which devices can be read changes with the console's configuration.
#include "PortDiscovery.h"

#include "ConsoleRig.h"

namespace {

const std::string kLongOut = "out:KALDIR USB OUT 2 on USB Hub 7 A";
const std::string kLongIn = "in:KALDIR USB IN 2 on USB Hub 7 AB";
const std::string kMissing = "KALDIR USB Driver not found!!";
const std::string kBox = "box:" + kMissing;

struct Case {
    const char* config;
    int result;
    uint32_t out, in;
    Strings shown;
};

const Case kCases[] = {
    {"", 1, 4, 4, {kLongOut, kLongIn}},
    {"unreadable_out 4\nunreadable_in 4", 1, 5, 5, {"out:KALDIR USB OUT", "in:KALDIR USB IN"}},
    // Without an output the input is not searched.
    {"unreadable_out 4\nunreadable_out 5", 0, kNoDevice, kNoDevice, {kBox}},
    {"unreadable_in 4\nunreadable_in 5", 0, 4, kNoDevice, {kLongOut, kBox}},
};

class PortDiscovery : public CConsoleRig {};

TEST_F(PortDiscovery, FindsTheLowestNumberedConsoleOrReportsTheDriverMissing)
{
    for (const Case& c : kCases) {
        Configure(c.config);
        CRecordingDisplay display;
        CConsolePorts ports;
        EXPECT_EQ(ports.Find(display), c.result) << c.config;
        EXPECT_EQ(ports.OutDevice(), c.out) << c.config;
        EXPECT_EQ(ports.InDevice(), c.in) << c.config;
        EXPECT_EQ(display.shown, c.shown) << c.config;
        EXPECT_EQ(display.statuses, c.result ? "" : kMissing) << c.config;
    }
}

} // namespace

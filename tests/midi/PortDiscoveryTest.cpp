// Port discovery over the device lists of devices.txt: winmm reads the lists once per process,
// but which devices can be read changes with the console's configuration.
#include "PortDiscovery.h"

#include "ConsoleRig.h"

namespace {

constexpr uint32_t kUntouched = 0xA5A5A5A5;
const std::string kLongOut = "out:KALDIR USB OUT 2 on USB Hub 7 A";
const std::string kLongIn = "in:KALDIR USB IN 2 on USB Hub 7 AB";
const std::string kBox = "box:KALDIR USB Driver not found!!";
const std::string kStatus = "status:KALDIR USB Driver not found!!";

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
    {"unreadable_out 4\nunreadable_out 5", 0, kUntouched, kUntouched, {kBox, kStatus}},
    {"unreadable_in 4\nunreadable_in 5", 0, 4, kUntouched, {kLongOut, kBox, kStatus}},
};

class PortDiscovery : public CConsoleRig {};

TEST_F(PortDiscovery, FindsTheLowestNumberedConsoleOrReportsTheDriverMissing)
{
    for (const Case& c : kCases) {
        Configure(c.config);
        CRecordingDisplay display;
        uint32_t out = kUntouched;
        uint32_t in = kUntouched;
        EXPECT_EQ(FindPorts(display, out, in), c.result) << c.config;
        EXPECT_EQ(out, c.out) << c.config;
        EXPECT_EQ(in, c.in) << c.config;
        EXPECT_EQ(display.shown, c.shown) << c.config;
    }
}

} // namespace

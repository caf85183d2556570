// Port discovery against the device lists in devices/. The system's MIDI device list is read
// once per process, so CTest runs this program once per list (VCONSOLE_CONFIG names it) and
// the test checks the outcome expected for the list it finds.
#include "PortDiscovery.h"

#include "StatusTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Records what discovery shows, in order: "out:NAME", "in:NAME", "box:TEXT", "status:TEXT".
class CRecordingDisplay : public IPortDisplay {
public:
    void ShowStatus(const char* text) override { shown.push_back(std::string("status:") + text); }
    void ShowOutputPortName(const char* name) override { shown.push_back(std::string("out:") + name); }
    void ShowInputPortName(const char* name) override { shown.push_back(std::string("in:") + name); }
    void ShowMessageBox(const char* text) override { shown.push_back(std::string("box:") + text); }

    std::vector<std::string> shown;
};

// Stands for an index that discovery must leave alone.
constexpr uint32_t kUntouched = 0xA5A5A5A5;

struct Expected {
    const char* list;
    int result;
    uint32_t outDevice;
    uint32_t inDevice;
    std::vector<std::string> shown;
};

const std::string kNotFoundBox = std::string("box:") + texts::kDriverNotFound;
const std::string kNotFoundStatus = std::string("status:") + texts::kDriverNotFound;

const Expected kExpected[] = {
    {"default", 1, 0, 0, {"out:KALDIR USB OUT", "in:KALDIR USB IN"}},
    {"decoys", 1, 4, 4, {"out:KALDIR USB OUT 2", "in:KALDIR USB IN 2"}},
    {"two_matches", 1, 2, 1, {"out:KALDIR USB OUT 1", "in:KALDIR USB IN 1"}},
    {"missing_input", 0, 0, kUntouched, {"out:KALDIR USB OUT", kNotFoundBox, kNotFoundStatus}},
    {"missing_output", 0, kUntouched, kUntouched, {kNotFoundBox, kNotFoundStatus}},
    {"no_devices", 0, kUntouched, kUntouched, {kNotFoundBox, kNotFoundStatus}},
    {"unreadable", 1, 2, 1, {"out:KALDIR USB OUT 2", "in:KALDIR USB IN 2"}},
};

// The list's name: the configuration file's name without folder and extension.
std::string ActiveList()
{
    const char* path = std::getenv("VCONSOLE_CONFIG");
    if (!path)
        return "default";
    std::string name(path);
    name = name.substr(name.find_last_of("/\\") + 1);
    return name.substr(0, name.find('.'));
}

} // namespace

TEST(PortDiscovery, FindsTheConsolesPortsOrReportsTheDriverMissing)
{
    const std::string list = ActiveList();
    const Expected* expected = nullptr;
    for (const Expected& candidate : kExpected)
        if (list == candidate.list)
            expected = &candidate;
    ASSERT_NE(expected, nullptr) << "no expectation for device list " << list;

    CRecordingDisplay display;
    uint32_t outDevice = kUntouched;
    uint32_t inDevice = kUntouched;
    EXPECT_EQ(FindPorts(display, outDevice, inDevice), expected->result) << list;
    EXPECT_EQ(outDevice, expected->outDevice) << list;
    EXPECT_EQ(inDevice, expected->inDevice) << list;
    EXPECT_EQ(display.shown, expected->shown) << list;
}

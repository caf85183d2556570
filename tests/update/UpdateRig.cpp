#include "UpdateRig.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "FirmwareImage.h"
#include "HeapBlock.h"
#include "RegionMap.h"
#include "Sysex.h"
#include "VersionUpdater.h"

namespace fs = std::filesystem;

namespace {

constexpr EXECUTION_STATE kAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;

std::vector<EXECUTION_STATE> g_requests;

bool HeldAwake()
{
    return !g_requests.empty() && g_requests.back() == kAwake;
}

} // namespace

void CRecordingDisplay::ShowStatus(const char* text)
{
    events.push_back(Status(text));
    statuses.push_back(text);
    awakeAtEveryStatus = awakeAtEveryStatus && HeldAwake();
}

void CRecordingDisplay::SetRange(int lower, int upper)
{
    events.push_back("range:" + std::to_string(lower) + "-" + std::to_string(upper));
}

void CRecordingDisplay::SetPos(int position)
{
    events.push_back("pos:" + std::to_string(position));
}

void CRecordingDisplay::OffsetPos(int delta)
{
    events.push_back("offset:" + std::to_string(delta));
}

void CRecordingDisplay::ShowOutputPortName(const char* name)
{
    events.push_back(std::string("out:") + name);
}

void CRecordingDisplay::ShowInputPortName(const char* name)
{
    events.push_back(std::string("in:") + name);
}

void CRecordingDisplay::ShowMessageBox(const char* text)
{
    events.push_back(std::string("box:") + text);
}

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state)
{
    const EXECUTION_STATE previous = g_requests.empty() ? ES_CONTINUOUS : g_requests.back();
    g_requests.push_back(state);
    return previous;
}

std::vector<EXECUTION_STATE>& ExecutionStateRequests()
{
    return g_requests;
}

UpdateTiming TestTiming()
{
    UpdateTiming timing;
    timing.replyTimeoutMs = 300;
    timing.settleStepMs = 0;
    timing.setExecutionState = &RecordExecutionState;
    return timing;
}

CConsoleRig::CConsoleRig()
{
    midiOutGetNumDevs();
    m_ready = m_api.Load();
    m_folder = (fs::temp_directory_path() / ("vu_update_" + std::to_string(GetCurrentProcessId()))).string();
    std::error_code error;
    fs::create_directories(m_folder, error);
}

CConsoleRig::~CConsoleRig()
{
    // The driver keeps the last journal open; what cannot go now stays in the temp folder.
    std::error_code error;
    fs::remove_all(m_folder, error);
}

void CConsoleRig::Configure(const std::string& extraLines)
{
    m_journal = m_folder + "\\journal" + std::to_string(++m_files) + ".txt";
    const std::string text = "flash_fill FF\njournal " + m_journal + "\n" + extraLines + "\n";
    EXPECT_EQ(m_api.Configure(text.c_str()), 0) << text;
}

std::string CConsoleRig::WriteFirmware(const CSyntheticFirmware& firmware)
{
    const std::string path = m_folder + "\\firmware" + std::to_string(++m_files) + ".bin";
    EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes())) << path;
    return path;
}

std::string CConsoleRig::MissingFile() const
{
    return m_folder + "\\never_written.bin";
}

RunOutcome CConsoleRig::Run(const std::string& path, bool discover, int failAllocation)
{
    CRecordingDisplay display;
    RunOutcome outcome;
    g_requests.clear();
    {
        CVersionUpdater updater(display, TestTiming());
        if (discover) {
            EXPECT_EQ(updater.FindPorts(), 1);
        }
        display = CRecordingDisplay();
        FailHeapAllocationAfter(failAllocation);
        updater.Load(path.c_str());
        FailHeapAllocationAfter(0);
        outcome.fileSize = updater.FileSize();
        outcome.journalAfterLoad = Journal();
    }
    // The machine was kept awake from the first text of the run to its end, and released.
    EXPECT_TRUE(display.awakeAtEveryStatus);
    EXPECT_EQ(g_requests, (std::vector<EXECUTION_STATE>{kAwake, ES_CONTINUOUS}));
    // Whatever the console did, the tool sent nothing malformed.
    EXPECT_EQ(Stats().violations, 0u);
    outcome.events = std::move(display.events);
    outcome.statuses = std::move(display.statuses);
    return outcome;
}

std::vector<std::string> CConsoleRig::Journal() const
{
    std::vector<std::string> lines;
    std::ifstream file(m_journal);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::vector<Bytes> CConsoleRig::Received() const
{
    std::vector<Bytes> messages;
    for (const std::string& line : Journal()) {
        if (line.rfind("rx ", 0) == 0)
            messages.push_back(ParseHex(line.substr(3)));
    }
    return messages;
}

Bytes CConsoleRig::Flash() const
{
    Bytes flash(kImageSize);
    EXPECT_EQ(m_api.ReadFlash(0, flash.data(), kImageSize), kImageSize);
    return flash;
}

VConsoleStats CConsoleRig::Stats() const
{
    VConsoleStats stats{};
    m_api.GetStats(&stats);
    return stats;
}

Bytes ExpectedFlash(const CSyntheticFirmware& firmware)
{
    Bytes image = firmware.ExpectedImage();
    if (ComputeRegionMask(image.data()).Test(5)) {
        EXPECT_EQ(BuildChecksumTable(image.data()), nullptr);
    }
    return image;
}

Bytes ParseHex(const std::string& text)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 3)
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<std::string> EventsBetween(const std::vector<std::string>& events, const std::string& from,
                                       const std::string& to)
{
    std::vector<std::string> slice;
    bool inside = false;
    for (const std::string& event : events) {
        if (event == from)
            inside = true;
        else if (inside && event == to)
            break;
        if (inside)
            slice.push_back(event);
    }
    return slice;
}

std::string Describe(const Bytes& message)
{
    const size_t p = sysex::kPayloadOffset;
    if (message.size() == 17 && message[p] == 0x55)
        return "U";
    if (message.size() == 19 && message[p] == 0x42 && message[p + 1] == 0x01)
        return "erase " + std::to_string(message[p + 2]);
    if (message.size() == 20 && message[p] == 0x42 && message[p + 1] == 0x00)
        return "final";
    if (message.size() > 23 && message[p] == 0x42 && message[p + 1] == 0x02) {
        char text[32];
        std::snprintf(text, sizeof text, "write %X", static_cast<unsigned>(PacketAddress(message)));
        return text;
    }
    return "other";
}

std::vector<std::string> Describe(const std::vector<Bytes>& messages)
{
    std::vector<std::string> names;
    for (const Bytes& message : messages)
        names.push_back(Describe(message));
    return names;
}

std::vector<std::string> RegionWrites(int region)
{
    std::vector<std::string> names;
    for (uint32_t offset = 0; offset < RegionLength(region); offset += 2048) {
        char text[32];
        std::snprintf(text, sizeof text, "write %X", static_cast<unsigned>(RegionOffset(region) + offset));
        names.push_back(text);
    }
    return names;
}

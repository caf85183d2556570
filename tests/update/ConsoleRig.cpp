#include "ConsoleRig.h"

#include <mmsystem.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FirmwareImage.h"
#include "HeapBlock.h"
#include "Journal.h"
#include "RegionMap.h"

namespace {

constexpr EXECUTION_STATE kAwake = ES_CONTINUOUS | ES_SYSTEM_REQUIRED;
std::vector<EXECUTION_STATE> g_requests;

EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state)
{
    g_requests.push_back(state);
    return ES_CONTINUOUS;
}

} // namespace

std::string Utf8(const std::wstring& text)
{
    const std::u8string utf8 = std::filesystem::path(text).u8string();
    return std::string(utf8.begin(), utf8.end());
}

void CRecordingDisplay::ShowStatus(const char* text)
{
    statuses += (statuses.empty() ? "" : "|") + std::string(text);
    awakeAtEveryStatus = awakeAtEveryStatus && !g_requests.empty() && g_requests.back() == kAwake;
}

void CConsoleRig::SetUp()
{
    // winmm loads its drivers on first use.
    ASSERT_EQ(midiOutGetNumDevs(), 6u) << "run through CTest, which names devices.txt in VCONSOLE_CONFIG";
    ASSERT_TRUE(m_console.Load()) << "the virtual console is not this process's MIDI driver";
    m_folder = (std::filesystem::temp_directory_path() / ("vu_rig_" + std::to_string(GetCurrentProcessId()))).string();
    std::filesystem::create_directories(m_folder);
    Configure();
}

void CConsoleRig::TearDown()
{
    std::error_code error;   // the driver keeps the last journal open: that one stays
    std::filesystem::remove_all(m_folder, error);
}

void CConsoleRig::Configure(const std::string& lines)
{
    m_journal = m_folder + "\\journal" + std::to_string(++m_files) + ".txt";
    const std::string text = "flash_fill FF\njournal " + m_journal + "\n" + lines + "\n";
    EXPECT_EQ(m_console.Configure(text.c_str()), 0) << text;
}

std::string CConsoleRig::WriteFirmware(const CSyntheticFirmware& firmware, const std::string& name)
{
    const std::string path = m_folder + "\\" + (name.empty() ? "fw" + std::to_string(++m_files) + ".bin" : name);
    EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes())) << path;
    return path;
}

WindowsTiming CConsoleRig::Timing()
{
    // Ample on a loaded machine; silent rows cost the reply time-out.
    return {.update = {.replyTimeoutMs = 1000, .settleStepMs = 0}, .sendTimeoutMs = 1000,
            .setExecutionState = &RecordExecutionState};
}

CRecordingDisplay CConsoleRig::Run(const std::string& path, int failAllocation)
{
    CRecordingDisplay display;
    CVersionUpdater updater(display, Timing());
    EXPECT_EQ(updater.FindPorts(), 1);
    Load(updater, display, path, failAllocation);
    return display;
}

void CConsoleRig::Load(CVersionUpdater& updater, CRecordingDisplay& display, const std::string& path, int failAllocation)
{
    display = CRecordingDisplay();
    g_requests.clear();
    FailHeapAllocationAfter(failAllocation);
    updater.Load(std::filesystem::path(path).c_str());
    FailHeapAllocationAfter(0);
    const Strings journal = ReadLines(m_journal);
    EXPECT_TRUE(journal.empty() || journal.back().starts_with("stats ")) << "ports left open";
    EXPECT_TRUE(display.awakeAtEveryStatus);
    EXPECT_EQ(g_requests, (std::vector<EXECUTION_STATE>{kAwake, ES_CONTINUOUS}));
    EXPECT_EQ(Stats().violations, 0u);
}

Strings ReadLines(const std::string& path)
{
    Strings lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

Strings CConsoleRig::Received() const
{
    Strings names;
    for (const std::string& line : ReadLines(m_journal)) {
        if (!line.starts_with("rx "))
            continue;
        Bytes m;
        for (size_t i = 3; i + 1 < line.size(); i += 3)
            m.push_back(static_cast<uint8_t>(std::stoul(line.substr(i, 2), nullptr, 16)));
        const uint8_t* payload = m.data() + sysex::kPayloadOffset;
        if (m == CommandU() || m == Final())
            names.push_back(m == Final() ? "F" : "U");
        else if (m.size() == 19 && m == Erase(payload[2]))
            names.push_back("E" + std::to_string(payload[2]));
        else if (m.size() > 23 && payload[0] == 0x42 && payload[1] == 0x02)
            names.push_back("W" + vconsole::Hex32(PacketAddress(m)));
        else
            names.push_back("?");
    }
    return names;
}

Bytes CConsoleRig::Flash() const
{
    Bytes flash(kImageSize);
    EXPECT_EQ(m_console.ReadFlash(0, flash.data(), kImageSize), kImageSize);
    return flash;
}

VConsoleStats CConsoleRig::Stats() const
{
    VConsoleStats stats{};
    m_console.GetStats(&stats);
    return stats;
}

Strings Expand(const std::string& names)
{
    Strings expanded;
    std::istringstream words(names);
    for (std::string word; words >> word;) {
        const int region = word[0] == 'R' ? std::stoi(word.substr(1)) : -1;
        const size_t colon = word.find(':');
        const uint32_t packets = region < 0 ? 0 : colon != std::string::npos ? std::stoul(word.substr(colon + 1))
                                                                             : RegionLength(region) / kPacketDataSize;
        for (uint32_t i = 0; i < packets; ++i)
            expanded.push_back("W" + vconsole::Hex32(RegionOffset(region) + i * kPacketDataSize));
        if (region < 0)
            expanded.push_back(word);
    }
    return expanded;
}


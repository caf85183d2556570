// What the update tests share: a display that records everything the update shows, a recorder
// in place of the power request, scratch files, and the virtual console that this process's
// winmm has loaded as its MIDI driver.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "FirmwareGenerator.h"
#include "SysexMessages.h"
#include "UpdateDisplay.h"
#include "UpdateTiming.h"
#include "VirtualConsoleApi.h"

// Every call in order: "status:TEXT", "range:L-U", "pos:P", "offset:D", "out:NAME", "in:NAME",
// "box:TEXT". Also notes whether the machine was held awake whenever a status was shown.
class CRecordingDisplay : public IUpdateDisplay {
public:
    void ShowStatus(const char* text) override;
    void SetRange(int lower, int upper) override;
    void SetPos(int position) override;
    void OffsetPos(int delta) override;
    void ShowOutputPortName(const char* name) override;
    void ShowInputPortName(const char* name) override;
    void ShowMessageBox(const char* text) override;

    std::vector<std::string> events;
    std::vector<std::string> statuses;
    bool awakeAtEveryStatus = true;
};

using Strings = std::vector<std::string>;

// The event of a status shown.
inline std::string Status(const char* text)
{
    return std::string("status:") + text;
}

// Appends `more` to `list`.
inline void Append(Strings& list, const Strings& more)
{
    list.insert(list.end(), more.begin(), more.end());
}

// Stands in for SetThreadExecutionState and keeps the requests.
EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state);
std::vector<EXECUTION_STATE>& ExecutionStateRequests();

// Short waits: no real pause after opening, and a console that is silent for 300 ms has failed.
UpdateTiming TestTiming();

struct RunOutcome {
    std::vector<std::string> events;
    std::vector<std::string> statuses;
    int32_t fileSize = 0;
    // The console's journal as the run left it, before the updater (and its port) went away.
    std::vector<std::string> journalAfterLoad;
};

class CConsoleRig {
public:
    // Loads winmm's MIDI drivers and finds the virtual console's test entry points.
    CConsoleRig();
    ~CConsoleRig();
    CConsoleRig(const CConsoleRig&) = delete;
    CConsoleRig& operator=(const CConsoleRig&) = delete;

    bool Ready() const { return m_ready; }

    // A healthy console over erased flash, plus the extra lines given; a fresh journal.
    void Configure(const std::string& extraLines = "");
    std::string WriteFirmware(const CSyntheticFirmware& firmware);
    // A path in the scratch folder that nobody has written.
    std::string MissingFile() const;

    // One whole update as the dialog runs it, with discovery first unless told otherwise, and
    // with the n-th heap block of the run failing when `failAllocation` is n. Checks on the way
    // that the machine is held awake exactly for the run and that no message was malformed.
    RunOutcome Run(const std::string& path, bool discover = true, int failAllocation = 0);

    std::vector<std::string> Journal() const;
    // The bytes of every message the console received, in order.
    std::vector<Bytes> Received() const;
    Bytes Flash() const;
    VConsoleStats Stats() const;

private:
    bool m_ready = false;
    CVirtualConsoleApi m_api;
    std::string m_folder;
    std::string m_journal;
    int m_files = 0;
};

// Each test starts with a healthy console and a fresh journal.
class CRigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(rig.Ready()) << "the virtual console is not this process's MIDI driver";
        rig.Configure();
    }

    CConsoleRig rig;
};

// What the console's flash holds after a complete update from an erased chip: the file's
// blocks, with the checksum table filled in when region 5 is present.
Bytes ExpectedFlash(const CSyntheticFirmware& firmware);
// Parses "F0 43 00" into bytes.
Bytes ParseHex(const std::string& text);
// The events from the first one equal to `from` on, up to but not including `to`.
std::vector<std::string> EventsBetween(const std::vector<std::string>& events, const std::string& from,
                                       const std::string& to);
// The console's view of a message: "U", "erase N", "write ADDR" (hexadecimal), "final", or
// "other" for anything else.
std::string Describe(const Bytes& message);
std::vector<std::string> Describe(const std::vector<Bytes>& messages);
// The packets that write region n, as Describe names them.
std::vector<std::string> RegionWrites(int region);

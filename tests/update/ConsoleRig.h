// The rig of the tests that run through the system's winmm against the virtual console (port,
// discovery, update, command line, driver): one process, whose device lists are devices.txt,
// with the console reconfigured between cases through its test entry points.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FirmwareGenerator.h"
#include "SysexMessages.h"
#include "UpdateDisplay.h"
#include "VersionUpdater.h"
#include "VirtualConsoleApi.h"

using Strings = std::vector<std::string>;

// The console's ports in devices.txt: the lowest-numbered that match.
constexpr uint32_t kConsoleOut = 4;
constexpr uint32_t kConsoleIn = 4;

std::string Utf8(const std::wstring& text);

// What was shown: the status texts joined by "|"; the bar as "|U:" for a range 0 to U, "P " for
// a position, "+" for a step; and in order "out:NAME", "in:NAME", "box:TEXT".
class CRecordingDisplay : public IUpdateDisplay {
public:
    void ShowStatus(const char* text) override;
    void SetRange(int /*lower*/, int upper) override { progress += "|" + std::to_string(upper) + ":"; }
    void SetPos(int position) override { progress += std::to_string(position) + " "; }
    void OffsetPos(int /*delta*/) override { progress += "+"; }
    void ShowOutputPortName(const wchar_t* name) override { shown.push_back("out:" + Utf8(name)); }
    void ShowInputPortName(const wchar_t* name) override { shown.push_back("in:" + Utf8(name)); }
    void ShowMessageBox(const char* text) override { shown.push_back(std::string("box:") + text); }

    std::string statuses;
    std::string progress;
    Strings shown;
    bool awakeAtEveryStatus = true;
};

class CConsoleRig : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A healthy console over erased flash, plus the lines given; a fresh journal.
    void Configure(const std::string& lines = "");
    std::string WriteFirmware(const CSyntheticFirmware& firmware, const std::string& name = "");
    // One whole update as the dialog runs it, discovery first, with the n-th heap block failing
    // when `failAllocation` is n. Checks that the machine is held awake exactly for the run, that
    // the ports are closed at its end and that the console heard nothing malformed.
    CRecordingDisplay Run(const std::string& path, int failAllocation = 0);
    // The update's waits in Run: short, but ample on a loaded machine.
    static WindowsTiming Timing();
    // One Load of an updater made with Timing() and showing on `display`, checked as in Run.
    void Load(CVersionUpdater& updater, CRecordingDisplay& display, const std::string& path, int failAllocation = 0);
    // What the console received: "U", "E<region>", "W<address in hex>", "F" or "?".
    Strings Received() const;
    Bytes Flash() const;
    VConsoleStats Stats() const;

    CVirtualConsoleApi m_console;
    std::string m_folder;

private:
    std::string m_journal;
    int m_files = 0;
};

Strings ReadLines(const std::string& path);

// Expands "R5" into the names of region 5's write packets and "R0:3" into its first three;
// other words stay as they are.
Strings Expand(const std::string& names);

// The device lists and open failures of a configuration named by a Unix path in VCONSOLE_CONFIG
// (devices.txt), which the driver reaches through Wine's drive Z:.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include "VirtualConsoleApi.h"

namespace {

void CALLBACK IgnoreOut(HMIDIOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
void CALLBACK IgnoreIn(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

} // namespace

TEST(VirtualConsoleDevices, ListsWhatTheConfigurationNames)
{
    ASSERT_EQ(midiOutGetNumDevs(), 2u);
    ASSERT_EQ(midiInGetNumDevs(), 1u);
    CVirtualConsoleApi api;
    ASSERT_TRUE(api.Load());
    VConsoleStats stats = {};
    api.GetStats(&stats);
    EXPECT_EQ(stats.configProblems, 0u);

    MIDIOUTCAPSW out = {};
    EXPECT_NE(midiOutGetDevCapsW(0, &out, sizeof out), MMSYSERR_NOERROR);
    ASSERT_EQ(midiOutGetDevCapsW(1, &out, sizeof out), MMSYSERR_NOERROR);
    EXPECT_EQ(out.wMid, 37);
    EXPECT_EQ(out.wPid, 4);
    EXPECT_STREQ(out.szPname, L"KALDIR USB OUT");
    MIDIINCAPSA in = {};
    ASSERT_EQ(midiInGetDevCapsA(0, &in, sizeof in), MMSYSERR_NOERROR);
    EXPECT_STREQ(in.szPname, "KALDIR USB IN");
}

TEST(VirtualConsoleDevices, TheInputRefusesToOpenWhileTheOutputOpens)
{
    HMIDIOUT out = nullptr;
    ASSERT_EQ(midiOutOpen(&out, 1, reinterpret_cast<DWORD_PTR>(&IgnoreOut), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    HMIDIIN in = nullptr;
    EXPECT_NE(midiInOpen(&in, 0, reinterpret_cast<DWORD_PTR>(&IgnoreIn), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutClose(out), MMSYSERR_NOERROR);

    // A test may lift the fault; the device lists stay as winmm read them.
    CVirtualConsoleApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.Configure(""), 0);
    ASSERT_EQ(midiInOpen(&in, 0, reinterpret_cast<DWORD_PTR>(&IgnoreIn), 0, CALLBACK_FUNCTION), MMSYSERR_NOERROR);
    EXPECT_EQ(midiInClose(in), MMSYSERR_NOERROR);
    EXPECT_EQ(midiOutGetNumDevs(), 2u);
}

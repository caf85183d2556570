// The driver as winmm's clients meet it: header states and calls with the answers Windows'
// drivers give, devices side by side, the console on chosen devices, the faults of the driver.
#include "ConsoleRig.h"
#include "MidiPort.h"

#include <mmsystem.h>

#include <cstddef>
#include <cstring>

namespace {

constexpr UINT kOld = offsetof(MIDIHDR, dwOffset), kFull = sizeof(MIDIHDR);
constexpr DWORD P = MHDR_PREPARED, Q = MHDR_INQUEUE, D = MHDR_DONE;
enum Kind { Out, In, Stream };
using State = std::pair<DWORD, MMRESULT>;   // a header's flags, then the answer to a call

// What a port's client is told, as "open done close" ("data" for MIM_LONGDATA). The driver's
// thread calls back only with MOM_DONE here, and adds to `heard` only before setting `done`.
struct CRecorder {
    std::string heard;
    CManualEvent done;
    static void CALLBACK OnMessage(HANDLE, UINT message, DWORD_PTR self, DWORD_PTR, DWORD_PTR)
    {
        auto* r = reinterpret_cast<CRecorder*>(self);
        r->heard += message == MOM_DONE ? "done " : message == MIM_LONGDATA ? "data "
                    : message == MOM_OPEN || message == MIM_OPEN ? "open " : "close ";
        if (message == MOM_DONE || message == MIM_LONGDATA)
            r->done.Set();
    }
};

// Prepares (`on`) or unprepares a header through winmm on an input, or an output or stream.
State Prepare(bool in, HANDLE handle, bool on, MIDIHDR& header, UINT size = kFull)
{
    const DWORD flags = header.dwFlags;
    return {flags, in ? (on ? midiInPrepareHeader : midiInUnprepareHeader)(HMIDIIN(handle), &header, size)
                      : (on ? midiOutPrepareHeader : midiOutUnprepareHeader)(HMIDIOUT(handle), &header, size)};
}

MIDIHDR Header(void* data, size_t size, DWORD flags = 0)
{
    return {static_cast<LPSTR>(data), DWORD(size), 0, 0, flags, nullptr, 0, 0, {}};
}

class Driver : public CConsoleRig {};

TEST_F(Driver, EachHeaderStateAndCallGivesWhatWindowsDriversGive)
{
    HMIDIOUT out = nullptr;
    HMIDIIN in = nullptr;
    HMIDISTRM stream = nullptr;
    UINT streamDevice = 1;   // beside `out`
    EXPECT_EQ(midiOutOpen(&out, 0, 0, 0, CALLBACK_NULL) + midiInOpen(&in, 0, 0, 0, CALLBACK_NULL) +
                  midiStreamOpen(&stream, &streamDevice, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    const HANDLE handles[] = {out, in, stream};
    const struct { Kind kind; bool prepare; UINT size; DWORD before; MMRESULT result; DWORD after; } rows[] = {
        {Out, true, kOld - 1, 0, MMSYSERR_INVALPARAM, 0}, {In, true, kOld - 1, 0, MMSYSERR_INVALPARAM, 0},
        {Stream, true, kOld - 1, 0, MMSYSERR_INVALPARAM, 0}, {Out, false, kOld - 1, P, MMSYSERR_INVALPARAM, P},
        {Out, true, kOld, 0, MMSYSERR_NOERROR, P}, {In, true, kOld, 0, MMSYSERR_NOERROR, P},
        {Stream, true, kOld, 0, MMSYSERR_NOERROR, P}, {In, false, kOld, P, MMSYSERR_NOERROR, 0},
        {Out, true, kFull, Q, MMSYSERR_NOERROR, P}, {In, true, kFull, Q | D, MMSYSERR_NOERROR, P},
        {Out, true, kFull, P | D | Q, MMSYSERR_NOERROR, P | D | Q},   // prepared: stays as it is
        {Out, false, kFull, Q, MMSYSERR_NOERROR, Q}, {In, false, kFull, Q, MMSYSERR_NOERROR, Q},
        {Out, false, kFull, P | D | Q, MIDIERR_STILLPLAYING, P | D | Q}, {Out, false, kFull, P | D, MMSYSERR_NOERROR, D},
    };
    for (const auto& r : rows) {
        char data[4] = {};
        MIDIHDR header = Header(data, sizeof data, r.before);
        EXPECT_EQ(Prepare(r.kind == In, handles[r.kind], r.prepare, header, r.size).second, r.result) << &r - rows;
        EXPECT_EQ(header.dwFlags, r.after) << &r - rows;
    }
    DWORD volume = 0;
    EXPECT_EQ(midiOutGetVolume(out, nullptr), MMSYSERR_INVALPARAM);
    EXPECT_EQ(midiOutGetVolume(out, &volume), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(midiStreamClose(stream) + midiInClose(in) + midiOutClose(out), MMSYSERR_NOERROR);
}

// A header really queued, then taken back by a reset or a close, lost by the driver, or done late.
TEST_F(Driver, AQueuedHeaderIsPlayingUntilItComesBack)
{
    const char* late = "fault erase 1 late_done 1500";
    const struct { Kind kind; const char* config; bool close; State after; MMRESULT end; const char* heard; } rows[] = {
        {In, "", false, {P | D, MMSYSERR_NOERROR}, MMSYSERR_NOERROR, "open data "},
        {In, "", true, {P | D, MMSYSERR_INVALHANDLE}, MIDIERR_STILLPLAYING, "open data close "},
        {In, "keep_input", false, {P | Q, MIDIERR_STILLPLAYING}, MMSYSERR_NOERROR, "open "},
        {In, "keep_input", true, {P | Q, MMSYSERR_INVALHANDLE}, MIDIERR_STILLPLAYING, "open close "},
        {Out, late, false, {P | Q, MIDIERR_STILLPLAYING}, MMSYSERR_NOERROR, "open done "},
        {Out, late, true, {P | Q, MMSYSERR_INVALHANDLE}, MMSYSERR_NOERROR, "open close done "},   // after the close
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(&r - rows);
        Configure(r.config);
        CRecorder recorder;
        const DWORD_PTR callback = DWORD_PTR(&CRecorder::OnMessage), self = DWORD_PTR(&recorder);
        HMIDIIN in = nullptr;
        HMIDIOUT out = nullptr;
        ASSERT_EQ(r.kind == In ? midiInOpen(&in, kConsoleIn, callback, self, CALLBACK_FUNCTION)
                               : midiOutOpen(&out, kConsoleOut, callback, self, CALLBACK_FUNCTION), 0u);
        const HANDLE handle = in ? HANDLE(in) : HANDLE(out);
        Bytes message = Erase(0);
        MIDIHDR header = Header(message.data(), message.size());
        EXPECT_EQ(Prepare(r.kind == In, handle, true, header), State(0, MMSYSERR_NOERROR));
        EXPECT_EQ(in ? midiInAddBuffer(in, &header, kFull) : midiOutLongMsg(out, &header, kFull), 0u);
        EXPECT_EQ(Prepare(r.kind == In, handle, true, header), State(P | Q, MMSYSERR_NOERROR));   // prepared: stays as it is
        EXPECT_EQ(Prepare(r.kind == In, handle, false, header), State(P | Q, MIDIERR_STILLPLAYING));
        EXPECT_EQ(r.close ? (in ? midiInClose(in) : midiOutClose(out)) : (in ? midiInReset(in) : midiOutReset(out)), r.end);
        EXPECT_EQ(Prepare(r.kind == In, handle, false, header), r.after);
        const bool back = std::strstr(r.heard, "done") || std::strstr(r.heard, "data");
        EXPECT_EQ(recorder.done.Wait(back ? 10000 : 0), back);
        EXPECT_EQ(recorder.heard, r.heard);
        if (!r.close)
            in ? midiInClose(in) : midiOutClose(out);
    }
}

// Two devices of one direction open side by side, each on its own; the console where it is set.
TEST_F(Driver, EachDeviceOpensByItselfAndTheConsoleIsWhereItIsSet)
{
    HMIDIOUT outs[3] = {};   // the last for a second open of device 1
    HMIDIIN ins[3] = {};
    EXPECT_EQ(midiOutOpen(&outs[0], 0, 0, 0, CALLBACK_NULL) + midiOutOpen(&outs[1], 1, 0, 0, CALLBACK_NULL), 0u);
    EXPECT_EQ(midiInOpen(&ins[0], 0, 0, 0, CALLBACK_NULL) + midiInOpen(&ins[1], 1, 0, 0, CALLBACK_NULL), 0u);
    EXPECT_EQ(midiOutOpen(&outs[2], 1, 0, 0, CALLBACK_NULL) + midiInOpen(&ins[2], 1, 0, 0, CALLBACK_NULL), 2u * MMSYSERR_ALLOCATED);
    EXPECT_TRUE(!midiOutClose(outs[0]) && !midiInStart(ins[0]) && !midiInClose(ins[0]));
    EXPECT_TRUE(!midiOutReset(outs[1]) && !midiInStart(ins[1]) && !midiInReset(ins[1]));
    EXPECT_TRUE(!midiOutClose(outs[1]) && !midiInClose(ins[1]));

    const struct { const char* config; uint32_t out, in; int replied; uint32_t received, dropped; } rows[] = {
        {"console_out 5\nconsole_in 5", 5, 5, 1, 1, 0},
        {"console_out 5", kConsoleOut, kConsoleIn, 0, 0, 0},   // heard by nobody
        {"console_in 5", kConsoleOut, kConsoleIn, 0, 1, 1},    // answered where nobody listens
    };
    for (const auto& r : rows) {
        Configure(r.config);
        CMidiPort port;
        ASSERT_EQ(port.Open(r.out, r.in), 1) << r.config;
        Bytes message = Erase(0), reply(CMidiPort::kBlockSize);
        port.SendLong(message.data(), uint32_t(message.size()), reply.data());
        uint32_t length = 0;
        EXPECT_EQ(port.WaitReply(r.replied ? 10000 : 300, length), r.replied) << r.config;
        port.Close();
        EXPECT_EQ(std::make_pair(Stats().received, Stats().dropped), std::make_pair(r.received, r.dropped)) << r.config;
    }
}

} // namespace

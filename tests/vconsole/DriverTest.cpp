// The virtual console as winmm's clients meet the driver: devices of one direction side by
// side, the console on chosen devices, and the faults that bend the driver itself.
#include "ConsoleRig.h"
#include "MidiPort.h"

#include <mmsystem.h>

#include <mutex>

namespace {

constexpr UINT kFull = sizeof(MIDIHDR);
constexpr DWORD P = MHDR_PREPARED, Q = MHDR_INQUEUE, D = MHDR_DONE;

// What a port's client is told, as "open done close" ("data" for MIM_LONGDATA).
struct CRecorder {
    std::mutex lock;
    std::string heard;
    CManualEvent done;
    static void CALLBACK OnMessage(HANDLE, UINT message, DWORD_PTR self, DWORD_PTR, DWORD_PTR)
    {
        auto* r = reinterpret_cast<CRecorder*>(self);
        const bool open = message == MOM_OPEN || message == MIM_OPEN, close = message == MOM_CLOSE || message == MIM_CLOSE;
        {
            std::lock_guard<std::mutex> hold(r->lock);
            r->heard += open ? "open " : close ? "close " : message == MOM_DONE ? "done " : "data ";
        }
        if (!open && !close)
            r->done.Set();
    }
    std::string Heard()
    {
        std::lock_guard<std::mutex> hold(lock);
        return heard;
    }
};

MIDIHDR Header(void* data, size_t size, DWORD flags = 0)
{
    MIDIHDR header{};
    header.lpData = static_cast<LPSTR>(data);
    header.dwBufferLength = DWORD(size);
    header.dwFlags = flags;
    return header;
}

class Driver : public CConsoleRig {};

// An input buffer really queued, then taken back by a reset or a close, or lost by the driver.
TEST_F(Driver, AQueuedInputBufferIsPlayingUntilItComesBack)
{
    const struct { const char* config; bool close; DWORD after; MMRESULT end, unprepare; const char* heard; } rows[] = {
        {"", false, P | D, MMSYSERR_NOERROR, MMSYSERR_NOERROR, "open data "},
        {"", true, P | D, MIDIERR_STILLPLAYING, MMSYSERR_INVALHANDLE, "open data close "},
        {"keep_input", false, P | Q, MMSYSERR_NOERROR, MIDIERR_STILLPLAYING, "open "},
        {"keep_input", true, P | Q, MIDIERR_STILLPLAYING, MMSYSERR_INVALHANDLE, "open close "},
    };
    for (const auto& r : rows) {
        Configure(r.config);
        CRecorder recorder;
        HMIDIIN in = nullptr;
        ASSERT_EQ(midiInOpen(&in, kConsoleIn, DWORD_PTR(&CRecorder::OnMessage), DWORD_PTR(&recorder), CALLBACK_FUNCTION), 0u);
        char data[16] = {};
        MIDIHDR header = Header(data, sizeof data);
        EXPECT_EQ(midiInPrepareHeader(in, &header, kFull) + midiInAddBuffer(in, &header, kFull), 0u);
        EXPECT_EQ(midiInUnprepareHeader(in, &header, kFull), MIDIERR_STILLPLAYING);
        EXPECT_EQ(r.close ? midiInClose(in) : midiInReset(in), r.end) << &r - rows;
        EXPECT_EQ(header.dwFlags, r.after) << &r - rows;
        EXPECT_EQ(midiInUnprepareHeader(in, &header, kFull), r.unprepare) << &r - rows;
        EXPECT_EQ(recorder.Heard(), r.heard) << &r - rows;
        if (!r.close)
            midiInClose(in);
    }
}

TEST_F(Driver, ALateDoneComesEvenAfterTheClose)
{
    const struct { const char* config; const char* heard; } rows[] = {
        {"", "open done close "}, {"fault erase 1 late_done 1500", "open close done "}, {"fault erase 1 keep", "open close "},
    };
    for (const auto& r : rows) {
        Configure(r.config);
        CRecorder recorder;
        HMIDIOUT out = nullptr;
        ASSERT_EQ(midiOutOpen(&out, kConsoleOut, DWORD_PTR(&CRecorder::OnMessage), DWORD_PTR(&recorder), CALLBACK_FUNCTION), 0u);
        Bytes message = Erase(0);
        MIDIHDR header = Header(message.data(), message.size());
        EXPECT_EQ(midiOutPrepareHeader(out, &header, kFull) + midiOutLongMsg(out, &header, kFull), 0u);
        EXPECT_EQ(midiOutReset(out), 0u);
        midiOutClose(out);
        const bool done = std::string(r.heard).find("done") != std::string::npos;
        EXPECT_EQ(recorder.done.Wait(done ? 10000 : 0), done) << r.config;
        EXPECT_EQ(recorder.Heard(), r.heard) << r.config;
    }
}

// Two devices of one direction open side by side, each on its own; the console where it is set.
TEST_F(Driver, EachDeviceOpensByItselfAndTheConsoleIsWhereItIsSet)
{
    HMIDIOUT outs[2] = {};
    HMIDIIN ins[2] = {};
    EXPECT_EQ(midiOutOpen(&outs[0], 0, 0, 0, CALLBACK_NULL) + midiOutOpen(&outs[1], 1, 0, 0, CALLBACK_NULL), 0u);
    EXPECT_EQ(midiInOpen(&ins[0], 0, 0, 0, CALLBACK_NULL) + midiInOpen(&ins[1], 1, 0, 0, CALLBACK_NULL), 0u);
    HMIDIOUT again = nullptr;
    HMIDIIN againIn = nullptr;
    EXPECT_EQ(midiOutOpen(&again, 1, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(midiInOpen(&againIn, 1, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED);
    EXPECT_EQ(midiOutClose(outs[0]) + midiInStart(ins[0]) + midiInClose(ins[0]), 0u);
    EXPECT_EQ(midiOutReset(outs[1]) + midiInStart(ins[1]) + midiInReset(ins[1]), 0u);
    EXPECT_EQ(midiOutClose(outs[1]) + midiInClose(ins[1]), 0u);

    const struct { const char* config; uint32_t out, in; int replied; uint32_t received, dropped; } rows[] = {
        {"", kConsoleOut, kConsoleIn, 1, 1, 0},   // every device is the console
        {"console_out 5\nconsole_in 5", 5, 5, 1, 1, 0},
        {"console_out 5", kConsoleOut, kConsoleIn, 0, 0, 0},   // heard by nobody
        {"console_in 5", kConsoleOut, kConsoleIn, 0, 1, 1},    // answered where nobody listens
    };
    for (const auto& r : rows) {
        Configure(r.config);
        CMidiPort port;
        ASSERT_EQ(port.Open(r.out, r.in), 1) << r.config;
        const Bytes message = Erase(0);
        Bytes reply(CMidiPort::kBlockSize);
        uint32_t length = 0;
        port.SendLong(message.data(), uint32_t(message.size()), reply.data());
        EXPECT_EQ(port.WaitReply(r.replied ? 10000 : 300, length), r.replied) << r.config;
        port.Close();
        EXPECT_EQ(std::make_pair(Stats().received, Stats().dropped), std::make_pair(r.received, r.dropped)) << r.config;
    }
}

} // namespace

// The virtual console as a WinMM MIDI driver: output and input devices, each open by at most one
// client, and a worker thread that plays the console's side of the wire.
//
// Three locks, always taken in this order and never held across a wait for the worker:
//   m_lifecycle  opening and closing ports, starting and stopping the worker;
//   m_delivery   held while callbacks go to the client, so that a close (which takes it before
//                sending MOM_CLOSE/MIM_CLOSE) can never be followed by a late callback
//                (but the MOM_DONE of a late_done fault, which is one on purpose);
//   m_state      the engine, the ports, their queued input buffers and the pending jobs.
// Callbacks are made without m_state, because the client's handler calls back into the driver
// (midiInAddBuffer) from inside them.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <deque>
#include <vector>

#include "Answer.h"
#include "ConsoleConfig.h"
#include "ConsoleEngine.h"
#include "Lock.h"
#include "VirtualConsoleApi.h"

class CConsoleDriver {
public:
    // The one driver of the process, configured from VCONSOLE_CONFIG on first use.
    static CConsoleDriver& Instance();

    DWORD OutMessage(UINT device, UINT message, DWORD_PTR param1, DWORD_PTR param2);
    DWORD InMessage(UINT device, UINT message, DWORD_PTR param1, DWORD_PTR param2);
    // The driver is being unloaded: stop the worker if a client left its ports open.
    void Unload();

    int Configure(const char* text);
    uint32_t ReadFlash(uint32_t address, uint8_t* out, uint32_t count);
    void GetStats(VConsoleStats* stats);
    int GetViolation(uint32_t index, char* text, uint32_t size);

private:
    struct Client {
        bool open = false;
        DWORD_PTR callback = 0;
        DWORD flags = 0;
        HDRVR handle = nullptr;
        DWORD_PTR instance = 0;
    };
    struct InPort {
        Client client;
        bool started = false;
        LONGLONG startTime = 0;
        std::deque<MIDIHDR*> buffers;
    };
    // One message taken from the client of output `device`: its header until MOM_DONE, then
    // its answer when due.
    struct Job {
        UINT device = 0;
        MIDIHDR* outHeader = nullptr;
        LONGLONG arrival = 0;
        vconsole::Answer answer;
    };
    // A header whose MOM_DONE comes when due whatever the client does meanwhile (late_done).
    struct LateDone {
        Client client;
        MIDIHDR* header = nullptr;
        LONGLONG due = 0;
    };

    CConsoleDriver();
    void LoadConfiguration();

    DWORD GetOutCaps(UINT device, MIDIOUTCAPSW* caps, DWORD_PTR size);
    DWORD GetInCaps(UINT device, MIDIINCAPSW* caps, DWORD_PTR size);
    DWORD OpenOut(UINT device, const MIDIOPENDESC* desc, DWORD flags);
    DWORD OpenIn(UINT device, const MIDIOPENDESC* desc, DWORD flags);
    // Closes the device whose queued headers `returnQueued` (ReturnOutHeaders or
    // ReturnInBuffers) hands back.
    DWORD Close(UINT device, DWORD (CConsoleDriver::*returnQueued)(UINT device, bool close));
    DWORD ShortData(UINT device, DWORD packed);
    DWORD LongData(UINT device, MIDIHDR* header);
    DWORD AddBuffer(UINT device, MIDIHDR* header);
    DWORD StartIn(UINT device, bool start);
    // Under m_delivery: hand every queued header back to the client (MOM_DONE, or MIM_LONGDATA
    // with nothing recorded); with `close`, then close the device. MMSYSERR_INVALHANDLE when
    // it is not open.
    DWORD ReturnOutHeaders(UINT device, bool close);
    DWORD ReturnInBuffers(UINT device, bool close);
    // Under m_state: the device's client if it is open, else null.
    Client* OpenedOut(UINT device);
    InPort* OpenedIn(UINT device);
    bool AnyOpen() const;
    // Under m_state: whether the console listens on that output, and the open input it
    // answers on (the lowest-numbered), or null.
    bool ConsoleHears(UINT outDevice) const;
    InPort* AnsweringInput();

    // Worker.cpp: the thread and what it delivers.
    bool StartWorker();
    // Waits for the worker at most `waitMs`: unloading must not hang on it. A worker that still
    // owes a late MOM_DONE goes on until the next time every device is closed, or the unload.
    void StopWorkerWhenAllClosed(DWORD waitMs = INFINITE);
    static DWORD WINAPI WorkerMain(void* generation);
    void RunWorker(uint32_t generation);
    void DeliverOutDone();
    void DeliverLateDone();
    void DeliverAnswer(const vconsole::Answer& answer, LONGLONG arrival);
    void DeliverMessage(const vconsole::OutEvent& event, LONGLONG arrival);
    void DeliverShort(const vconsole::OutEvent& event);
    static void Callback(const Client& client, UINT message, DWORD_PTR param1, DWORD_PTR param2);
    static LONGLONG Now();
    static LONGLONG TicksPerSecond();
    static uint64_t Microseconds(LONGLONG ticks);
    static DWORD InputTimestamp(const InPort& in);

    CCriticalSection m_lifecycle;
    CCriticalSection m_delivery;
    CCriticalSection m_state;
    CONDITION_VARIABLE m_jobsChanged = CONDITION_VARIABLE_INIT;

    std::vector<vconsole::DeviceEntry> m_outputs;
    std::vector<vconsole::DeviceEntry> m_inputs;
    vconsole::CConsoleEngine m_engine;
    int m_configProblems = 0;

    std::vector<Client> m_outPorts;   // one per output device
    std::vector<InPort> m_inPorts;    // one per input device
    std::deque<Job> m_jobs;
    std::vector<LateDone> m_lateDones;
    // When the last reply went to the tool, until its next message arrives (0: none pending).
    LONGLONG m_replyHandedOver = 0;

    HANDLE m_worker = nullptr;
    DWORD m_workerId = 0;
    // Under m_state. Each worker runs for one generation and leaves at its next look at the jobs
    // once a stop has moved it on, even a worker that was not waited for (a client closing
    // from inside a callback runs on the worker itself).
    uint32_t m_workerGeneration = 0;
};

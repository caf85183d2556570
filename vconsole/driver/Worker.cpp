// The console's side of the wire: a thread of the driver's own that reports sent messages
// (MOM_DONE) and delivers each reply when it is due, as a real USB-MIDI driver does from its
// own thread rather than from inside the client's calls.
#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "ConsoleDriver.h"
#include "HeaderFlags.h"

using namespace vconsole;

// DriverCallback is exported by winmm but declared in no MinGW header.
extern "C" BOOL WINAPI DriverCallback(DWORD_PTR callback, DWORD flags, HDRVR device, DWORD message,
                                      DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

LONGLONG CConsoleDriver::Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LONGLONG CConsoleDriver::TicksPerSecond()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

uint64_t CConsoleDriver::Microseconds(LONGLONG ticks)
{
    return static_cast<uint64_t>(ticks * 1000000 / TicksPerSecond());
}

// Milliseconds since midiInStart, as MIM_DATA and MIM_LONGDATA carry them. Under m_state.
DWORD CConsoleDriver::InputTimestamp(const InPort& in)
{
    if (!in.started)
        return 0;
    return static_cast<DWORD>((Now() - in.startTime) * 1000 / TicksPerSecond());
}

void CConsoleDriver::Callback(const Client& client, UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    DriverCallback(client.callback, HIWORD(client.flags), client.handle, message, client.instance, param1, param2);
}

// Under m_lifecycle.
bool CConsoleDriver::StartWorker()
{
    if (m_worker)
        return true;
    uint32_t generation = 0;
    {
        CHold hold(m_state);
        generation = m_workerGeneration;
    }
    m_worker = CreateThread(nullptr, 0, &CConsoleDriver::WorkerMain,
                            reinterpret_cast<void*>(static_cast<uintptr_t>(generation)), 0, &m_workerId);
    return m_worker != nullptr;
}

// Under m_lifecycle, without m_delivery and m_state: the worker may need both to finish.
void CConsoleDriver::StopWorkerWhenAllClosed(DWORD waitMs)
{
    std::deque<Job> abandoned;
    bool stop = false;
    {
        CHold hold(m_state);
        if (AnyOpen())
            return;
        stop = m_lateDones.empty();
        if (stop)
            ++m_workerGeneration;
        abandoned.swap(m_jobs);
        WakeAllConditionVariable(&m_jobsChanged);
    }
    if (m_worker && stop) {
        // A client that closes from inside a callback is on the worker itself, which then
        // leaves by itself once the callback returns.
        if (GetCurrentThreadId() != m_workerId)
            WaitForSingleObject(m_worker, waitMs);
        CloseHandle(m_worker);
        m_worker = nullptr;
        m_workerId = 0;
    }
    CHold hold(m_state);
    m_replyHandedOver = 0;
    for (const Job& job : abandoned) {
        for (const OutEvent& event : job.answer.events)
            m_engine.NoteDropped(event);
    }
    m_engine.Closed();
}

DWORD WINAPI CConsoleDriver::WorkerMain(void* generation)
{
    Instance().RunWorker(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(generation)));
    return 0;
}

// Only the worker removes jobs, so the front job stays the front while m_state is let go.
void CConsoleDriver::RunWorker(uint32_t generation)
{
    const LONGLONG ticksPerMs = std::max<LONGLONG>(TicksPerSecond() / 1000, 1);
    m_state.Enter();
    while (m_workerGeneration == generation) {
        LONGLONG now = Now();
        if (!m_lateDones.empty() && m_lateDones.front().due <= now) {
            m_state.Leave();
            DeliverLateDone();
            m_state.Enter();
            continue;
        }
        LONGLONG due = m_lateDones.empty() ? LLONG_MAX : m_lateDones.front().due;
        Job* front = m_jobs.empty() ? nullptr : &m_jobs.front();
        if (front && front->outHeader) {
            m_state.Leave();
            DeliverOutDone();
            m_state.Enter();
            continue;
        }
        // A message with nothing to answer does not hold up the ones behind it.
        if (front) {
            LONGLONG delay = front->answer.events.empty() ? 0 : static_cast<LONGLONG>(front->answer.delayMs) * ticksPerMs;
            due = std::min<LONGLONG>(due, front->arrival + delay);
        }
        if (!front || now < due) {
            DWORD wait = due == LLONG_MAX ? INFINITE : static_cast<DWORD>((due - now + ticksPerMs - 1) / ticksPerMs);
            SleepConditionVariableCS(&m_jobsChanged, m_state.Native(), wait);
            continue;
        }
        Job& job = m_jobs.front();
        Answer answer = std::move(job.answer);
        LONGLONG arrival = job.arrival;
        // The events behind a pause stay in the job, due once the pause is over.
        const auto pause = answer.events.empty() ? answer.events.end()
                                                 : std::find_if(answer.events.begin() + 1, answer.events.end(),
                                                                [](const OutEvent& e) { return e.pauseMs > 0; });
        if (pause == answer.events.end()) {
            m_jobs.pop_front();
        } else {
            job.answer.events.assign(std::make_move_iterator(pause), std::make_move_iterator(answer.events.end()));
            job.answer.delayMs = std::exchange(job.answer.events.front().pauseMs, 0);
            job.arrival = now;
            answer.events.erase(pause, answer.events.end());
        }
        m_state.Leave();
        DeliverAnswer(answer, arrival);
        m_state.Enter();
    }
    m_state.Leave();
}

void CConsoleDriver::DeliverOutDone()
{
    CHold delivery(m_delivery);
    MIDIHDR* header = nullptr;
    Client client;
    {
        CHold hold(m_state);
        if (m_jobs.empty())
            return;
        header = std::exchange(m_jobs.front().outHeader, nullptr);
        client = m_outPorts[m_jobs.front().device];
    }
    if (!header)
        return;   // midiOutReset handed it back meanwhile
    MarkDone(*header);
    Callback(client, MOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
}

// The client may have closed its port meanwhile: the callback goes to it all the same.
void CConsoleDriver::DeliverLateDone()
{
    CHold delivery(m_delivery);
    LateDone late;
    {
        CHold hold(m_state);
        if (m_lateDones.empty())
            return;   // the driver is being unloaded
        late = m_lateDones.front();
        m_lateDones.erase(m_lateDones.begin());
    }
    MarkDone(*late.header);
    Callback(late.client, MOM_DONE, reinterpret_cast<DWORD_PTR>(late.header), 0);
}

void CConsoleDriver::DeliverAnswer(const Answer& answer, LONGLONG arrival)
{
    CHold delivery(m_delivery);
    for (const OutEvent& event : answer.events) {
        if (event.kind == EventKind::Short)
            DeliverShort(event);
        else
            DeliverMessage(event, arrival);
    }
}

void CConsoleDriver::DeliverShort(const OutEvent& event)
{
    DWORD packed = 0;
    for (size_t i = 0; i < event.bytes.size() && i < 3; ++i)
        packed |= static_cast<DWORD>(event.bytes[i]) << (8 * i);
    Client client;
    DWORD timestamp = 0;
    {
        CHold hold(m_state);
        InPort* in = AnsweringInput();
        if (!in || !in->started) {
            m_engine.NoteDropped(event);
            return;
        }
        m_engine.NoteDelivered(event);
        client = in->client;
        timestamp = InputTimestamp(*in);
    }
    Callback(client, MIM_DATA, packed, timestamp);
}

// A SysEx reply fills as many input buffers as it needs, in order, each returned on its own, and
// with `pieces` none holds more than that. A damaged one, without its end byte, returns its last
// buffer with MIM_LONGERROR; without `pieces` that is its first.
void CConsoleDriver::DeliverMessage(const OutEvent& event, LONGLONG arrival)
{
    const bool damaged = event.kind == EventKind::LongError;
    const bool reply = event.kind != EventKind::Fragment;
    const size_t total = damaged && !event.bytes.empty() ? event.bytes.size() - 1 : event.bytes.size();
    size_t sent = 0;
    bool ended = false;
    do {
        size_t pieceBytes = 0;
        MIDIHDR* header = nullptr;
        Client client;
        DWORD timestamp = 0;
        {
            CHold hold(m_state);
            InPort* in = AnsweringInput();
            if (!in || !in->started || in->buffers.empty()) {
                m_engine.NoteDropped(event);
                return;
            }
            header = in->buffers.front();
            in->buffers.pop_front();
            pieceBytes = m_engine.Settings().pieceBytes;
            if (sent == 0)
                m_engine.NoteDelivered(event);
            if (sent == 0 && reply) {
                m_replyHandedOver = Now();
                m_engine.NoteReplyDelay(Microseconds(m_replyHandedOver - arrival));
            }
            client = in->client;
            timestamp = InputTimestamp(*in);
        }
        size_t n = std::min<size_t>(total - sent, header->dwBufferLength);
        if (pieceBytes != 0)
            n = std::min<size_t>(n, pieceBytes);
        std::memcpy(header->lpData, event.bytes.data() + sent, n);
        sent += n;
        ended = sent == total || (damaged && pieceBytes == 0);
        header->dwBytesRecorded = static_cast<DWORD>(n);
        MarkDone(*header);
        Callback(client, damaged && ended ? MIM_LONGERROR : MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), timestamp);
    } while (!ended);
}

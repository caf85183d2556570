// Both MIDI ports opened through plain winmm, with callbacks that record everything the driver
// delivers: the way any client sees the virtual console, without the tool's own port class.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <vector>

using Bytes = std::vector<uint8_t>;

class CRawMidi {
public:
    static constexpr int kBuffers = 8;
    static constexpr DWORD kBufferBytes = 4096;

    struct Delivery {
        UINT message;
        Bytes data;            // MIM_LONGDATA/MIM_LONGERROR: the recorded bytes; MIM_DATA: 1 byte
        DWORD flags;           // the header's flags as handed back
        DWORD threadId;
    };

    CRawMidi();
    ~CRawMidi();
    CRawMidi(const CRawMidi&) = delete;
    CRawMidi& operator=(const CRawMidi&) = delete;

    // Opens both ports, queues the buffers and starts input; false on any failure.
    bool Open(UINT outDevice = 0, UINT inDevice = 0);
    // Stops and resets both ports, unprepares every header and closes, in the port's order.
    void Close();

    // midiInClose alone, with the buffers still queued; returns its result.
    MMRESULT CloseInputOnly();

    // Sends one message and returns midiOutLongMsg's result; does not wait for MOM_DONE.
    MMRESULT Send(const Bytes& message);
    // Waits for MOM_DONE of the last send.
    bool WaitSent(DWORD timeoutMs);
    // Waits until `count` input deliveries have been recorded.
    bool WaitDeliveries(size_t count, DWORD timeoutMs);

    std::vector<Delivery> Deliveries();
    size_t DeliveryCount();
    // Callbacks that arrived after MOM_CLOSE or MIM_CLOSE.
    int LateCallbacks();
    // Completed input buffers are queued again (as the tool's port does) while this is set.
    void SetRequeue(bool requeue);

    HMIDIOUT Out() const { return m_out; }
    HMIDIIN In() const { return m_in; }
    MIDIHDR& InHeader(int i) { return m_inHeaders[i]; }

private:
    static void CALLBACK OutProc(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);
    static void CALLBACK InProc(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

    HMIDIOUT m_out = nullptr;
    HMIDIIN m_in = nullptr;
    MIDIHDR m_outHeader = {};
    Bytes m_outData;
    MIDIHDR m_inHeaders[kBuffers] = {};
    std::vector<char> m_inData[kBuffers];
    HANDLE m_sent;
    HANDLE m_delivered;

    std::mutex m_mutex;        // guards everything below; taken inside the callbacks
    std::vector<Delivery> m_deliveries;
    bool m_requeue = true;
    bool m_outClosed = false;
    bool m_inClosed = false;
    int m_late = 0;
};

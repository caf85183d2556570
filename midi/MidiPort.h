// The console's pair of MIDI ports: complete SysEx messages go out on the output, and the next
// SysEx message that comes in after a send is captured as the console's reply.
#pragma once

#include "Event.h"
#include "HeapBlock.h"

#include <atomic>
#include <cstdint>

#include <windows.h>
#include <mmsystem.h>

class CMidiPort {
public:
    // One input block: the most of a reply that is kept, the size every reply buffer must have,
    // and the longest message the port sends.
    static constexpr uint32_t kBlockSize = 4096;
    static constexpr int kInputBlocks = 8;
    // How long a send may take before the port gives up on the driver's report: a message of at
    // most 4096 bytes is out within milliseconds over USB, and within 1.4 s even at the MIDI
    // cable's 31250 baud.
    static constexpr uint32_t kSendTimeoutMs = 5000;

    explicit CMidiPort(uint32_t sendTimeoutMs = kSendTimeoutMs);
    virtual ~CMidiPort();
    CMidiPort(const CMidiPort&) = delete;
    CMidiPort& operator=(const CMidiPort&) = delete;

    // Opens output and input and starts input: 1 on success; otherwise 0 with both closed.
    // An open port stays as it is and gives 1. Once the driver has kept a message, the port
    // never opens again (0).
    int Open(uint32_t outDevice, uint32_t inDevice);
    // Closes both ports; always 1.
    int Close();
    // Sends one complete SysEx message; the driver gets the port's own copy of `data`, so the
    // caller may release it as soon as this returns. With a reply buffer of kBlockSize bytes,
    // the next SysEx message that arrives is copied into it. A message the port cannot send
    // (port closed, empty, longer than kBlockSize, refused by the driver) returns at once, and
    // one the driver does not report sent within the send time-out is taken back from it;
    // either way no capture stays armed. A message the driver does not give back even then
    // stays the driver's, and the port is closed for good.
    void SendLong(const uint8_t* data, uint32_t length, uint8_t* reply);
    // 1 when the reply came within the time-out (without data if the driver reported the
    // incoming message damaged), else 0; `replyLength` is the number of bytes copied into the
    // reply buffer (0 without a reply or data). Either way the reply buffer is free again on
    // return. Returns 0 at once when no capture is armed, e.g. after a send that did not go out.
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength);

private:
    friend class CMidiPortTestAccess;

    static void CALLBACK OutCallback(HMIDIOUT handle, UINT message, DWORD_PTR instance,
                                     DWORD_PTR param1, DWORD_PTR param2);
    static void CALLBACK InCallback(HMIDIIN handle, UINT message, DWORD_PTR instance,
                                    DWORD_PTR param1, DWORD_PTR param2);
    void OnOutMessage(HMIDIOUT handle, UINT message, DWORD_PTR param1, DWORD_PTR param2);
    void OnInMessage(HMIDIIN handle, UINT message, DWORD_PTR param1, DWORD_PTR param2);

    bool HasBuffers() const;
    MIDIHDR* OutHeader();
    MIDIHDR* InHeader(int slot);
    void DisarmCapture();
    void UnprepareOutHeader();
    void CancelCapture();
    void WaitForInputHandlers() const;

    // Set while the ports carry traffic. Cleared by Close before it resets the input, so that the
    // buffers the driver hands back then are neither copied from nor queued again.
    std::atomic<bool> m_open{false};
    HMIDIOUT m_hOut = nullptr;
    CHeapBlock m_outHeader;
    CManualEvent m_sendDone;
    HMIDIIN m_hIn = nullptr;
    CHeapBlock m_inHeaders[kInputBlocks];
    // Set (release) after m_replyBuffer is stored: whoever sees it set and takes it (acquire)
    // sees the buffer pointer. Taking it by exchange makes exactly one side the owner of the
    // buffer: the input handler, which then copies, or the caller's thread, which disarms.
    std::atomic<bool> m_awaitingReply{false};
    // Set only after the reply is complete in m_replyBuffer (or a damaged one ended the wait).
    CManualEvent m_replyEvent;
    // The reply's length, stored by the handler that took the capture before it sets
    // m_replyEvent, and read by the caller's thread only after it saw that event: it travels
    // with the buffer's bytes.
    std::atomic<uint32_t> m_replyLength{0};
    // The caller's reply buffer; published by m_awaitingReply.
    std::atomic<uint8_t*> m_replyBuffer{nullptr};
    // The data blocks that the input headers point to.
    CHeapBlock m_inBlocks[kInputBlocks];
    // Input handlers between their check of m_open and their return. Once this is 0 after
    // m_open was cleared or the capture disarmed, no handler touches the buffers or the reply
    // buffer any more.
    std::atomic<int> m_inHandlersRunning{0};
    // The message in flight: the driver sends from this copy.
    CHeapBlock m_outBlock;
    // Set when the driver kept a message even after a reset: the output header and m_outBlock
    // are the driver's from then on, never used, unprepared or released again. The caller's
    // thread alone reads and writes it.
    bool m_outKept = false;
    const uint32_t m_sendTimeoutMs;
};

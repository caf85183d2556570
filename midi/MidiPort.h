// The console's pair of MIDI ports: complete SysEx messages go out on the output, and the next
// SysEx message that comes in after a send is captured as the console's reply.
//
// What counts as the reply is CReplyRules' business; the port hands it each input buffer as the
// driver gives it back: classic drivers give a buffer back when it is full or the message ends,
// but some USB-MIDI drivers and newer MIDI stacks give one back at every USB packet or pause, a
// few bytes each.
#pragma once

#include "Event.h"
#include "HeapBlock.h"
#include "ReplyRules.h"

#include <atomic>
#include <cstdint>

#include <windows.h>
#include <mmsystem.h>

class CMidiPort {
public:
    // One input block: the most of a reply that is kept, the size every reply buffer must have,
    // and the longest message the port sends.
    static constexpr uint32_t kBlockSize = CReplyRules::kLongest;
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
    // An open port stays as it is and gives 1. Once the driver has kept a message or an input
    // buffer, the port never opens again (0).
    int Open(uint32_t outDevice, uint32_t inDevice);
    // Closes both ports; always 1.
    int Close();
    // Sends one complete SysEx message; the driver gets the port's own copy of `data`, so the
    // caller may release it as soon as this returns. With a reply buffer of kBlockSize bytes,
    // the next SysEx message that arrives and counts as a reply is copied into it, at most
    // kBlockSize bytes: an echo of this or the message before (a loopback port, MIDI thru), or
    // a message cut short by the start of another, is not; the wait goes on.
    // A message the port cannot send (port closed, empty, longer than kBlockSize, refused by the
    // driver) returns at once, and one the driver does not report sent within the send time-out
    // is taken back from it; either way no capture stays armed. A message the driver does not give back even then
    // stays the driver's, and the port is closed for good.
    void SendLong(const uint8_t* data, uint32_t length, uint8_t* reply);
    // 1 when the reply came within the time-out (without data if the driver reported the
    // incoming message damaged), else 0; a message begun but not ended by the time-out is the
    // reply as it stands, unless it is the start of an echo. `replyLength` is the number of
    // bytes copied into the reply buffer (0 without a reply or data). Either way the reply
    // buffer is free again on return. Returns 0 at once when no capture is armed, e.g. after a
    // send that did not go out.
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength);

private:
    friend class CMidiPortTestAccess;

    struct CallbackTarget;

    static void CALLBACK OutCallback(HMIDIOUT handle, UINT message, DWORD_PTR instance,
                                     DWORD_PTR param1, DWORD_PTR param2);
    static void CALLBACK InCallback(HMIDIIN handle, UINT message, DWORD_PTR instance,
                                    DWORD_PTR param1, DWORD_PTR param2);
    void OnOutMessage(HMIDIOUT handle, UINT message, DWORD_PTR param1, DWORD_PTR param2);
    void OnInMessage(HMIDIIN handle, UINT message, DWORD_PTR param1, DWORD_PTR param2);

    bool HasBuffers() const;
    MIDIHDR* OutHeader();
    MIDIHDR* InHeader(int slot);
    void Collect(UINT message, const MIDIHDR& header);
    void EndCapture();
    void HandOver();
    void UnprepareOutHeader();
    void CancelCapture();
    void CloseInput();
    void WaitForInputHandlers() const;

    // Set while the ports carry traffic. Cleared by Close before it resets the input, so that the
    // buffers the driver hands back then are neither copied from nor queued again.
    std::atomic<bool> m_open{false};
    HMIDIOUT m_hOut = nullptr;
    CHeapBlock m_outHeader;
    CManualEvent m_sendDone;
    HMIDIIN m_hIn = nullptr;
    CHeapBlock m_inHeaders[kInputBlocks];
    // Set after m_replyBuffer is stored and m_rules' capture started: a handler that sees it set
    // sees them. Clearing it by exchange makes exactly one side the owner of the caller's
    // buffer: the input handler that ends the reply and copies it, or the caller's thread,
    // which takes the capture back. Handlers count themselves in m_inHandlersRunning before
    // they look at it, so once the caller has cleared it and seen no handler running, none is
    // collecting any more.
    std::atomic<bool> m_awaitingReply{false};
    // Set only after the reply is complete in m_replyBuffer (or a damaged one ended the wait).
    CManualEvent m_replyEvent;
    // The reply's length, stored by the handler that took the capture before it sets
    // m_replyEvent, and read by the caller's thread only after it saw that event: it travels
    // with the buffer's bytes.
    std::atomic<uint32_t> m_replyLength{0};
    // The caller's reply buffer; published by m_awaitingReply.
    std::atomic<uint8_t*> m_replyBuffer{nullptr};
    // The reply as it comes in, piece by piece: the caller's buffer gets it only once it ends,
    // so a wait that ends without data leaves that buffer as it was. Used by one side at a
    // time: by the input handlers while m_awaitingReply is set (the driver hands buffers back
    // one at a time), otherwise by the caller's thread, which first clears that flag and waits
    // out the handlers running (CancelCapture, the time-out in WaitReply).
    CReplyRules m_rules;
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
    // Set when the driver did not give back the input buffers at close (or would not close):
    // the input headers and blocks are the driver's from then on, likewise.
    bool m_inKept = false;
    // What the driver's callbacks reach; it outlives the port when the driver kept anything.
    CallbackTarget* m_target = nullptr;
    const uint32_t m_sendTimeoutMs;
};

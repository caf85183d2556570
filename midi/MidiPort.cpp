#include "MidiPort.h"

#include <algorithm>
#include <cstring>
#include <new>

// What the driver's callbacks are given as their instance value. A driver that kept a message
// or a buffer of ours may still call back after the port is gone (a late MOM_DONE, or input it
// hands back at last): then the target stays for the rest of the process and finds no port.
struct CMidiPort::CallbackTarget {
    std::atomic<CMidiPort*> port;
    // Callbacks between their look at `port` and their return.
    std::atomic<int> running{0};

    template <typename Handle, typename Handler>
    static void Forward(DWORD_PTR instance, Handler handler, Handle handle, UINT message, DWORD_PTR param1,
                        DWORD_PTR param2)
    {
        auto* target = reinterpret_cast<CallbackTarget*>(instance);
        target->running.fetch_add(1);
        if (CMidiPort* port = target->port.load())
            (port->*handler)(handle, message, param1, param2);
        target->running.fetch_sub(1);
    }
};

CMidiPort::CMidiPort(uint32_t sendTimeoutMs)
    : m_outHeader(sizeof(MIDIHDR)), m_outBlock(kBlockSize),
      m_target(new (std::nothrow) CallbackTarget{this}), m_sendTimeoutMs(sendTimeoutMs)
{
    for (int slot = 0; slot < kInputBlocks; ++slot) {
        m_inHeaders[slot] = CHeapBlock(sizeof(MIDIHDR));
        m_inBlocks[slot] = CHeapBlock(kBlockSize);
        if (m_inHeaders[slot].Valid()) {
            InHeader(slot)->lpData = reinterpret_cast<LPSTR>(m_inBlocks[slot].Data());
            InHeader(slot)->dwBufferLength = kBlockSize;
        }
    }
}

CMidiPort::~CMidiPort()
{
    Close();
    if (m_target) {
        m_target->port.store(nullptr);
        while (m_target->running.load() != 0)
            SwitchToThread();
        // A driver that kept something of ours may still call back, and write to what it kept:
        // the target and that memory must outlive the port.
        if (!m_outKept && !m_inKept)
            delete m_target;
    }
    if (m_outKept) {
        m_outHeader.Abandon();
        m_outBlock.Abandon();
    }
    if (m_inKept) {
        for (int slot = 0; slot < kInputBlocks; ++slot) {
            m_inHeaders[slot].Abandon();
            m_inBlocks[slot].Abandon();
        }
    }
}

int CMidiPort::Open(uint32_t outDevice, uint32_t inDevice)
{
    if (m_hOut && m_hIn)
        return 1;
    // Memory was short when the port was made: there is nothing to send from or receive into.
    // Or the driver kept a message or the input buffers: they are not ours to use any more.
    if (!HasBuffers() || m_outKept || m_inKept)
        return 0;

    HMIDIOUT out = nullptr;
    if (midiOutOpen(&out, outDevice, reinterpret_cast<DWORD_PTR>(&OutCallback),
                    reinterpret_cast<DWORD_PTR>(m_target), CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
        return 0;
    m_hOut = out;

    HMIDIIN in = nullptr;
    bool ok = midiInOpen(&in, inDevice, reinterpret_cast<DWORD_PTR>(&InCallback),
                         reinterpret_cast<DWORD_PTR>(m_target), CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
    if (ok) {
        m_hIn = in;
        ok = midiInReset(m_hIn) == MMSYSERR_NOERROR;
    }
    m_open.store(true);
    for (int slot = 0; ok && slot < kInputBlocks; ++slot) {
        MIDIHDR* header = InHeader(slot);
        header->dwFlags = 0;
        ok = midiInPrepareHeader(m_hIn, header, sizeof(MIDIHDR)) == MMSYSERR_NOERROR &&
             midiInAddBuffer(m_hIn, header, sizeof(MIDIHDR)) == MMSYSERR_NOERROR;
    }
    m_replyEvent.Reset();
    if (ok)
        ok = midiInStart(m_hIn) == MMSYSERR_NOERROR;
    if (!ok) {
        Close();
        return 0;
    }
    return 1;
}

int CMidiPort::Close()
{
    if (!m_hOut && !m_hIn)
        return 1;
    m_open.store(false);
    // A handler that saw the ports still open finishes first: none then queues a buffer again
    // behind the reset, all 8 are back for unpreparing, and the reply buffer is left alone.
    WaitForInputHandlers();
    m_awaitingReply.store(false, std::memory_order_relaxed);

    // Every send has unprepared the output header already, or left it to a driver that kept it.
    if (m_hOut) {
        midiOutReset(m_hOut);
        midiOutClose(m_hOut);
        m_hOut = nullptr;
    }
    if (m_hIn)
        CloseInput();
    m_replyEvent.Reset();
    return 1;
}

// The reset hands every input buffer back. One that does not unprepare is still the driver's,
// as is everything when the input will not close (a pulled cable can leave a driver so): the
// driver may still write to them, so they are never prepared, queued or released again.
void CMidiPort::CloseInput()
{
    midiInStop(m_hIn);
    midiInReset(m_hIn);
    for (int slot = 0; slot < kInputBlocks; ++slot) {
        if (midiInUnprepareHeader(m_hIn, InHeader(slot), sizeof(MIDIHDR)) != MMSYSERR_NOERROR)
            m_inKept = true;
    }
    if (midiInClose(m_hIn) != MMSYSERR_NOERROR)
        m_inKept = true;
    m_hIn = nullptr;
}

void CMidiPort::SendLong(const uint8_t* data, uint32_t length, uint8_t* reply)
{
    m_sendDone.Reset();
    // Each send starts a fresh capture: a buffer armed earlier is not ours to write any more.
    CancelCapture();
    if (!m_hOut || m_outKept || !data || length == 0 || length > kBlockSize)
        return;

    // The driver sends from our copy: a message it keeps never holds on to the caller's memory.
    std::memcpy(m_outBlock.Data(), data, length);
    MIDIHDR* header = OutHeader();
    header->lpData = reinterpret_cast<LPSTR>(m_outBlock.Data());
    header->dwBufferLength = length;
    header->dwFlags = 0;
    if (midiOutPrepareHeader(m_hOut, header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR)
        return;
    // Noted and armed before the message leaves: its echo, or the console's answer, may come
    // before midiOutLongMsg returns.
    m_rules.NoteSent(data, length);
    if (reply) {
        m_replyBuffer.store(reply, std::memory_order_relaxed);
        m_rules.StartCapture();
        m_awaitingReply.store(true, std::memory_order_release);
    }
    if (midiOutLongMsg(m_hOut, header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        // Refused: no MOM_DONE will come, and the console will not answer a message it never got.
        CancelCapture();
        UnprepareOutHeader();
        return;
    }
    if (!m_sendDone.Wait(m_sendTimeoutMs)) {
        // The driver has lost the message. Its reset hands the header back with a MOM_DONE;
        // that report is waited out here, so that it cannot end the next send's wait early.
        midiOutReset(m_hOut);
        const bool handedBack = m_sendDone.Wait(m_sendTimeoutMs);
        CancelCapture();
        if (!handedBack) {
            // Not even the reset brought it back: the driver keeps it, and the output with it.
            m_outKept = true;
            return;
        }
    }
    UnprepareOutHeader();
}

int CMidiPort::WaitReply(uint32_t timeoutMs, uint32_t& replyLength)
{
    // Nothing armed: either a handler has already taken the capture (its event is set or about
    // to be, see below) or no reply can come, so there is nothing to wait for.
    const bool armed = m_awaitingReply.load(std::memory_order_acquire);
    bool replied = m_replyEvent.Wait(armed ? timeoutMs : 0);
    if (!replied) {
        // Time-out: take the capture back. A handler that ended the reply first is copying it
        // right now; once it is done the reply is complete and counts. Otherwise the rules say
        // whether what came stands as the reply.
        const bool takenBack = m_awaitingReply.exchange(false);
        WaitForInputHandlers();
        if (takenBack && m_rules.EndAtTimeOut())
            HandOver();
        replied = m_replyEvent.Wait(0);
    }
    m_replyEvent.Reset();
    replyLength = replied ? m_replyLength.load(std::memory_order_relaxed) : 0;
    return replied ? 1 : 0;
}

void CALLBACK CMidiPort::OutCallback(HMIDIOUT handle, UINT message, DWORD_PTR instance,
                                     DWORD_PTR param1, DWORD_PTR param2)
{
    CallbackTarget::Forward(instance, &CMidiPort::OnOutMessage, handle, message, param1, param2);
}

void CALLBACK CMidiPort::InCallback(HMIDIIN handle, UINT message, DWORD_PTR instance,
                                    DWORD_PTR param1, DWORD_PTR param2)
{
    CallbackTarget::Forward(instance, &CMidiPort::OnInMessage, handle, message, param1, param2);
}

void CMidiPort::OnOutMessage(HMIDIOUT, UINT message, DWORD_PTR, DWORD_PTR)
{
    if (message == MOM_DONE)
        m_sendDone.Set();
}

void CMidiPort::OnInMessage(HMIDIIN handle, UINT message, DWORD_PTR param1, DWORD_PTR)
{
    // Short messages (clock, active sensing, channel messages) neither end nor disturb a wait.
    if (message != MIM_LONGDATA && message != MIM_LONGERROR)
        return;
    m_inHandlersRunning.fetch_add(1);
    if (m_open.load()) {
        auto* header = reinterpret_cast<MIDIHDR*>(param1);
        if (m_awaitingReply.load())
            Collect(message, *header);
        // Straight back to the driver, flags as they are, so that its queue stays full.
        midiInPrepareHeader(handle, header, sizeof(MIDIHDR));
        midiInAddBuffer(handle, header, sizeof(MIDIHDR));
    }
    m_inHandlersRunning.fetch_sub(1, std::memory_order_release);
}

bool CMidiPort::HasBuffers() const
{
    return m_target && m_outHeader.Valid() && m_outBlock.Valid() && m_rules.Valid() &&
           std::all_of(std::begin(m_inHeaders), std::end(m_inHeaders),
                       [](const CHeapBlock& block) { return block.Valid(); }) &&
           std::all_of(std::begin(m_inBlocks), std::end(m_inBlocks),
                       [](const CHeapBlock& block) { return block.Valid(); });
}

MIDIHDR* CMidiPort::OutHeader()
{
    return reinterpret_cast<MIDIHDR*>(m_outHeader.Data());
}

MIDIHDR* CMidiPort::InHeader(int slot)
{
    return reinterpret_cast<MIDIHDR*>(m_inHeaders[slot].Data());
}

// One input buffer while a reply is awaited. The driver hands buffers back one at a time and in
// order, so the pieces of a message come here one after the other.
void CMidiPort::Collect(UINT message, const MIDIHDR& header)
{
    const auto* piece = reinterpret_cast<const uint8_t*>(header.lpData);
    const uint32_t recorded = std::min<uint32_t>(header.dwBytesRecorded, kBlockSize);
    const CReplyRules::Verdict verdict =
        message == MIM_LONGERROR ? m_rules.Damaged() : m_rules.TakePiece(piece, recorded);
    if (verdict == CReplyRules::Verdict::Complete)
        EndCapture();
}

// The reply goes to the caller's buffer unless the caller's thread took the capture back first;
// it then ends the reply itself from what was collected.
void CMidiPort::EndCapture()
{
    if (m_awaitingReply.exchange(false))
        HandOver();
}

// By the side that owns the caller's buffer: the reply is complete there before the event is set.
void CMidiPort::HandOver()
{
    const uint32_t length = m_rules.ReplyLength();
    std::memcpy(m_replyBuffer.load(std::memory_order_relaxed), m_rules.Reply(), length);
    m_replyLength.store(length, std::memory_order_relaxed);
    m_replyEvent.Set();
}

// A header the driver has given back unprepares; one it still holds does not, and stays its own.
void CMidiPort::UnprepareOutHeader()
{
    if (midiOutUnprepareHeader(m_hOut, OutHeader(), sizeof(MIDIHDR)) != MMSYSERR_NOERROR)
        m_outKept = true;
}

// No handler collects any more when this returns, so a new capture starts from nothing.
void CMidiPort::CancelCapture()
{
    m_awaitingReply.store(false);
    WaitForInputHandlers();
    m_replyEvent.Reset();
}

void CMidiPort::WaitForInputHandlers() const
{
    // Handlers copy at most 4096 bytes and queue one buffer: this spin is short.
    while (m_inHandlersRunning.load() != 0)
        SwitchToThread();
}

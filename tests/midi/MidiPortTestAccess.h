// Lets the port tests look at the state the port shares with the driver's callback thread.
#pragma once

#include "MidiPort.h"

class CMidiPortTestAccess {
public:
    static bool IsOpen(const CMidiPort& port) { return port.m_open.load(); }
    static bool HandlesNull(const CMidiPort& port) { return !port.m_hOut && !port.m_hIn; }
    static bool HandlesOpen(const CMidiPort& port) { return port.m_hOut && port.m_hIn; }
    static HMIDIOUT OutHandle(const CMidiPort& port) { return port.m_hOut; }
    static HMIDIIN InHandle(const CMidiPort& port) { return port.m_hIn; }
    static bool ReplyEventSet(const CMidiPort& port) { return port.m_replyEvent.Wait(0); }
    static bool AwaitingReply(const CMidiPort& port) { return port.m_awaitingReply.load(); }
    // The port's record of MOM_DONE, for a message sent past the port on its output handle.
    static void ForgetSendDone(CMidiPort& port) { port.m_sendDone.Reset(); }
    static bool WaitSendDone(const CMidiPort& port, uint32_t timeoutMs) { return port.m_sendDone.Wait(timeoutMs); }
    static DWORD OutFlags(const CMidiPort& port)
    {
        return reinterpret_cast<const MIDIHDR*>(port.m_outHeader.Data())->dwFlags;
    }
    // 0 for a header that memory was too short for.
    static DWORD InputFlags(const CMidiPort& port, int slot)
    {
        const auto* header = reinterpret_cast<const MIDIHDR*>(port.m_inHeaders[slot].Data());
        return header ? header->dwFlags : 0;
    }
};

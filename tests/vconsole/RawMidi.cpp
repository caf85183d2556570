#include "RawMidi.h"

CRawMidi::CRawMidi()
    : m_sent(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_delivered(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    for (auto& data : m_inData)
        data.assign(kBufferBytes, 0);
}

CRawMidi::~CRawMidi()
{
    Close();
    CloseHandle(m_sent);
    CloseHandle(m_delivered);
}

bool CRawMidi::Open(UINT outDevice, UINT inDevice)
{
    if (midiOutOpen(&m_out, outDevice, reinterpret_cast<DWORD_PTR>(&OutProc), reinterpret_cast<DWORD_PTR>(this),
                    CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        m_out = nullptr;
        return false;
    }
    if (midiInOpen(&m_in, inDevice, reinterpret_cast<DWORD_PTR>(&InProc), reinterpret_cast<DWORD_PTR>(this),
                   CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        m_in = nullptr;
        return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
        m_inHeaders[i] = {};
        m_inHeaders[i].lpData = m_inData[i].data();
        m_inHeaders[i].dwBufferLength = kBufferBytes;
        if (midiInPrepareHeader(m_in, &m_inHeaders[i], sizeof(MIDIHDR)) != MMSYSERR_NOERROR ||
            midiInAddBuffer(m_in, &m_inHeaders[i], sizeof(MIDIHDR)) != MMSYSERR_NOERROR)
            return false;
    }
    return midiInStart(m_in) == MMSYSERR_NOERROR;
}

void CRawMidi::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requeue = false;
    }
    if (m_out) {
        midiOutReset(m_out);
        midiOutUnprepareHeader(m_out, &m_outHeader, sizeof(MIDIHDR));
        EXPECT_EQ(midiOutClose(m_out), MMSYSERR_NOERROR);
        m_out = nullptr;
    }
    if (m_in) {
        midiInStop(m_in);
        midiInReset(m_in);
        for (MIDIHDR& header : m_inHeaders)
            midiInUnprepareHeader(m_in, &header, sizeof(MIDIHDR));
        EXPECT_EQ(midiInClose(m_in), MMSYSERR_NOERROR);
        m_in = nullptr;
    }
}

MMRESULT CRawMidi::CloseInputOnly()
{
    MMRESULT result = midiInClose(m_in);
    m_in = nullptr;
    return result;
}

MMRESULT CRawMidi::Send(const Bytes& message)
{
    ResetEvent(m_sent);
    m_outData = message;
    m_outHeader = {};
    m_outHeader.lpData = reinterpret_cast<LPSTR>(m_outData.data());
    m_outHeader.dwBufferLength = static_cast<DWORD>(m_outData.size());
    midiOutPrepareHeader(m_out, &m_outHeader, sizeof(MIDIHDR));
    return midiOutLongMsg(m_out, &m_outHeader, sizeof(MIDIHDR));
}

bool CRawMidi::WaitSent(DWORD timeoutMs)
{
    return WaitForSingleObject(m_sent, timeoutMs) == WAIT_OBJECT_0;
}

bool CRawMidi::WaitDeliveries(size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (DeliveryCount() < count) {
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs)
            return false;
        WaitForSingleObject(m_delivered, timeoutMs - spent);
    }
    return true;
}

std::vector<CRawMidi::Delivery> CRawMidi::Deliveries()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deliveries;
}

size_t CRawMidi::DeliveryCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_deliveries.size();
}

int CRawMidi::LateCallbacks()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_late;
}

void CRawMidi::SetRequeue(bool requeue)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requeue = requeue;
}

void CALLBACK CRawMidi::OutProc(HMIDIOUT, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    auto* self = reinterpret_cast<CRawMidi*>(instance);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    if (self->m_outClosed)
        ++self->m_late;
    if (message == MOM_CLOSE)
        self->m_outClosed = true;
    if (message == MOM_DONE)
        SetEvent(self->m_sent);
}

void CALLBACK CRawMidi::InProc(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    auto* self = reinterpret_cast<CRawMidi*>(instance);
    bool requeue = false;
    MIDIHDR* header = nullptr;
    {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        if (self->m_inClosed)
            ++self->m_late;
        if (message == MIM_CLOSE)
            self->m_inClosed = true;
        if (message == MIM_DATA) {
            self->m_deliveries.push_back({message, {static_cast<uint8_t>(param1)}, 0, GetCurrentThreadId()});
        } else if (message == MIM_LONGDATA || message == MIM_LONGERROR) {
            header = reinterpret_cast<MIDIHDR*>(param1);
            const auto* data = reinterpret_cast<const uint8_t*>(header->lpData);
            self->m_deliveries.push_back(
                {message, Bytes(data, data + header->dwBytesRecorded), header->dwFlags, GetCurrentThreadId()});
            requeue = self->m_requeue;
        } else {
            return;
        }
    }
    if (requeue) {
        midiInPrepareHeader(handle, header, sizeof(MIDIHDR));
        midiInAddBuffer(handle, header, sizeof(MIDIHDR));
    }
    SetEvent(self->m_delivered);
}

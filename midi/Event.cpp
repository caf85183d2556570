#include "Event.h"

CManualEvent::CManualEvent()
    : m_handle(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
}

CManualEvent::~CManualEvent()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void CManualEvent::Set()
{
    SetEvent(m_handle);
}

void CManualEvent::Reset()
{
    ResetEvent(m_handle);
}

bool CManualEvent::Wait(uint32_t timeoutMs) const
{
    return WaitForSingleObject(m_handle, timeoutMs) == WAIT_OBJECT_0;
}

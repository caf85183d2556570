#include "Event.h"

CManualEvent::CManualEvent()
{
    InitializeCriticalSection(&m_lock);
}

CManualEvent::~CManualEvent()
{
    DeleteCriticalSection(&m_lock);
}

void CManualEvent::Set()
{
    if (m_state.fetch_or(kSet, std::memory_order_acq_rel) < kOneWaiter)
        return;
    EnterCriticalSection(&m_lock);
    LeaveCriticalSection(&m_lock);
    WakeAllConditionVariable(&m_wake);
}

void CManualEvent::Reset()
{
    m_state.fetch_and(~kSet, std::memory_order_acq_rel);
}

bool CManualEvent::Wait(uint32_t timeoutMs) const
{
    if (IsSet())
        return true;
    if (timeoutMs == 0)
        return false;
    return SpinUntilSet() || BlockUntilSet(timeoutMs);
}

bool CManualEvent::IsSet() const
{
    return (m_state.load(std::memory_order_acquire) & kSet) != 0;
}

bool CManualEvent::SpinUntilSet() const
{
    static const int64_t ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t end = now.QuadPart + ticksPerSecond * kSpinMicroseconds / 1000000;
    do {
        for (int i = 0; i < 64; ++i) {
            if (IsSet())
                return true;
            YieldProcessor();
        }
        QueryPerformanceCounter(&now);
    } while (now.QuadPart < end);
    return false;
}

bool CManualEvent::BlockUntilSet(uint32_t timeoutMs) const
{
    const ULONGLONG start = GetTickCount64();
    EnterCriticalSection(&m_lock);
    m_state.fetch_add(kOneWaiter, std::memory_order_acq_rel);
    // Woken early or for nothing, it sleeps on for the rest of the time.
    while (!IsSet()) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeoutMs)
                break;
            left = static_cast<DWORD>(timeoutMs - elapsed);
        }
        SleepConditionVariableCS(&m_wake, &m_lock, left);
    }
    m_state.fetch_sub(kOneWaiter, std::memory_order_acq_rel);
    LeaveCriticalSection(&m_lock);
    return IsSet();
}

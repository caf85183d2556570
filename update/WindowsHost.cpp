#include "WindowsHost.h"

CWindowsHost::CWindowsHost(SetExecutionStateFn setExecutionState) : m_setExecutionState(setExecutionState)
{
}

LockResult CWindowsHost::AcquireUpdateLock()
{
    return m_lock.emplace().Acquire();
}

void CWindowsHost::ReleaseUpdateLock()
{
    m_lock.reset();
}

void CWindowsHost::KeepAwake(bool awake)
{
    m_setExecutionState(awake ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

void CWindowsHost::Pause(uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}

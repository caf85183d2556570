#include "UpdateLock.h"

LockResult CUpdateLock::Acquire()
{
    // Only the rights to wait and to release: the mutex may be one that an update of another
    // user made, whose default security refuses us more. If it refuses even these, that update
    // holds it now, as it exists only while an update holds it or asks for it.
    m_mutex = ::CreateMutexExW(nullptr, kUpdateLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    if (m_mutex == nullptr)
        return ::GetLastError() == ERROR_ACCESS_DENIED ? LockResult::kHeldByAnotherUpdate : LockResult::kUnavailable;
    switch (::WaitForSingleObject(m_mutex, 0)) {
    case WAIT_OBJECT_0:
    // Its holder ended without releasing it (a crash, a killed process): that update is over.
    case WAIT_ABANDONED:
        m_owned = true;
        return LockResult::kAcquired;
    case WAIT_TIMEOUT:
        return LockResult::kHeldByAnotherUpdate;
    default:
        return LockResult::kUnavailable;
    }
}

CUpdateLock::~CUpdateLock()
{
    if (m_owned)
        ::ReleaseMutex(m_mutex);
    if (m_mutex != nullptr)
        ::CloseHandle(m_mutex);
}

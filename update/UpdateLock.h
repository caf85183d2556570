// One update at a time on this machine. Every update, from the dialog or the headless front
// end, takes this lock before it opens the console's ports and holds it until they are closed:
// on MIDI stacks that let a port have several clients, a second update would otherwise talk to
// the console in the middle of the first.
#pragma once

#include <windows.h>

#include "UpdateHost.h"

// In the Global namespace because the console hangs off the machine, not off a logon session:
// an update under another user (fast user switching, a remote session, a bench script run as a
// service) reaches the same ports. The mutex exists only while some update holds or asks for it.
inline constexpr wchar_t kUpdateLockName[] = L"Global\\PQ4400VersionUpProgramUpdate";

class CUpdateLock {
public:
    CUpdateLock() = default;
    // Releases the lock if it was acquired.
    ~CUpdateLock();

    CUpdateLock(const CUpdateLock&) = delete;
    CUpdateLock& operator=(const CUpdateLock&) = delete;

    // Does not wait: an update that finds the lock held ends at once.
    LockResult Acquire();

private:
    HANDLE m_mutex = nullptr;
    bool m_owned = false;
};

// This machine's services for an update: the update lock shared by every program and user, the
// system's power request and a plain sleep.
#pragma once

#include <windows.h>

#include <optional>

#include "UpdateHost.h"
#include "UpdateLock.h"

// The power request call; tests put a recorder in its place.
using SetExecutionStateFn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);

class CWindowsHost : public IUpdateHost {
public:
    explicit CWindowsHost(SetExecutionStateFn setExecutionState = &SetThreadExecutionState);

    LockResult AcquireUpdateLock() override;
    void ReleaseUpdateLock() override;
    // The request holds until this thread clears it; the display may still turn off.
    void KeepAwake(bool awake) override;
    void Pause(uint32_t milliseconds) override;

private:
    SetExecutionStateFn m_setExecutionState;
    std::optional<CUpdateLock> m_lock;
};

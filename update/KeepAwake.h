// Keeps the machine from going to sleep while the console's flash is being rewritten: a system
// that suspends in the middle of an update leaves the console with erased regions.
#pragma once

#include <windows.h>

// The power request call; tests put a recorder in its place.
using SetExecutionStateFn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);

class CKeepAwake {
public:
    explicit CKeepAwake(SetExecutionStateFn setExecutionState = &SetThreadExecutionState);
    ~CKeepAwake();

    CKeepAwake(const CKeepAwake&) = delete;
    CKeepAwake& operator=(const CKeepAwake&) = delete;

private:
    SetExecutionStateFn m_setExecutionState;
};

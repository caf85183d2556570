// A manual-reset event: once set it stays set until reset, so a signal given before anyone
// waits is not lost. Unnamed and not signalled when made.
#pragma once

#include <cstdint>

#include <windows.h>

class CManualEvent {
public:
    CManualEvent();
    ~CManualEvent();
    CManualEvent(const CManualEvent&) = delete;
    CManualEvent& operator=(const CManualEvent&) = delete;

    void Set();
    void Reset();
    // True when the event is set, or becomes set within timeoutMs.
    bool Wait(uint32_t timeoutMs) const;

private:
    HANDLE m_handle;
};

// A manual-reset event: once set it stays set until reset, so a signal given before anyone
// waits is not lost. Not set when made.
//
// The state is an atomic word, so that setting, resetting and finding it set take no call to
// the system. A wait first spins a short while for a thread that is about to set it; only then
// does it block, on a condition variable, which the setter wakes only when someone blocks. (The
// platform's event objects cost a kernel call for every set, reset and wait, and under Wine a
// trip to the Wine server.)
#pragma once

#include <atomic>
#include <cstdint>

#include <windows.h>

class CManualEvent {
public:
    // How long a wait spins before it blocks: about what the MIDI driver's thread takes to
    // report back at once, short beside a console that answers in milliseconds.
    static constexpr int64_t kSpinMicroseconds = 100;

    CManualEvent();
    ~CManualEvent();
    CManualEvent(const CManualEvent&) = delete;
    CManualEvent& operator=(const CManualEvent&) = delete;

    // What the setting thread wrote before Set is visible to whoever then finds the event set.
    void Set();
    void Reset();
    // True when the event is set, or becomes set within timeoutMs (INFINITE: no limit).
    bool Wait(uint32_t timeoutMs) const;

private:
    bool IsSet() const;
    bool SpinUntilSet() const;
    bool BlockUntilSet(uint32_t timeoutMs) const;

    // Bit 0: set. Above it, the number of waiters that block (or are about to).
    static constexpr uint32_t kSet = 1;
    static constexpr uint32_t kOneWaiter = 2;
    mutable std::atomic<uint32_t> m_state{0};
    // A blocking waiter holds the lock from counting itself to falling asleep, so a Set that
    // counts it takes the lock only once it sleeps and cannot wake it too early.
    mutable CRITICAL_SECTION m_lock;
    mutable CONDITION_VARIABLE m_wake = CONDITION_VARIABLE_INIT;
};

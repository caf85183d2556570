// What an update needs of the machine it runs on, besides the console's link: one update at a
// time, the console's settling pause, and a machine that stays awake while the flash is rewritten.
#pragma once

#include <cstdint>

enum class LockResult {
    kAcquired,
    // Another update is running, on this machine (any user, any program) or in another window.
    kHeldByAnotherUpdate,
    // The lock could not be made; no update is let through without it.
    kUnavailable,
};

class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;
    // Taken before the console's ports open, without waiting; held until released.
    virtual LockResult AcquireUpdateLock() = 0;
    virtual void ReleaseUpdateLock() = 0;
    // While set, the machine does not go to sleep on its own: a machine that suspends in the
    // middle of an update leaves the console with erased regions.
    virtual void KeepAwake(bool awake) = 0;
    virtual void Pause(uint32_t milliseconds) = 0;
};

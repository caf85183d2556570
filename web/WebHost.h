// The browser's services for an update: one update at a time across the page's tabs and
// windows (Web Locks), the screen kept on (Screen Wake Lock), and the console's settling pause.
#pragma once

#include "UpdateHost.h"

class CWebHost : public IUpdateHost {
public:
    LockResult AcquireUpdateLock() override;
    void ReleaseUpdateLock() override;
    // Also asks before the page is left or closed.
    void KeepAwake(bool awake) override;
    // Measured by the clock: a tab in the background may have its timers held back.
    void Pause(uint32_t milliseconds) override;
};

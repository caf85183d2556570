#include "WebHost.h"

#include <emscripten.h>

// The page answers 0 (taken), 1 (another update holds it) or 2 (no lock to be had).
EM_ASYNC_JS(int, AcquireLockOnPage, (), { return await Module.page.acquireUpdateLock(); });
EM_JS(void, ReleaseLockOnPage, (), { Module.page.releaseUpdateLock(); });
EM_JS(void, KeepAwakeOnPage, (int awake), { Module.page.keepAwake(awake !== 0); });
EM_ASYNC_JS(void, PauseOnPage, (double milliseconds), { await Module.page.pause(milliseconds); });

LockResult CWebHost::AcquireUpdateLock()
{
    switch (AcquireLockOnPage()) {
    case 0:
        return LockResult::kAcquired;
    case 1:
        return LockResult::kHeldByAnotherUpdate;
    default:
        return LockResult::kUnavailable;
    }
}

void CWebHost::ReleaseUpdateLock()
{
    ReleaseLockOnPage();
}

void CWebHost::KeepAwake(bool awake)
{
    KeepAwakeOnPage(awake ? 1 : 0);
}

void CWebHost::Pause(uint32_t milliseconds)
{
    PauseOnPage(milliseconds);
}

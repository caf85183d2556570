// One update run, from the firmware file to the final command. The run owns the file buffer,
// the working copy and the flash image, and the update lock once taken; they go when the run
// object goes.
#pragma once

#include <cstdint>

#include "ConsoleLink.h"
#include "FilePath.h"
#include "PreparedImage.h"
#include "UpdateCommands.h"
#include "UpdateDisplay.h"
#include "UpdateHost.h"
#include "UpdatePlan.h"
#include "UpdateTiming.h"

class CUpdateRun {
public:
    CUpdateRun(IUpdateDisplay& display, IConsoleLink& link, IUpdateHost& host, const UpdateTiming& timing);
    // Gives the update lock back; the caller has closed the link by then.
    ~CUpdateRun();
    CUpdateRun(const CUpdateRun&) = delete;
    CUpdateRun& operator=(const CUpdateRun&) = delete;

    // Runs the stages in order and stops at the first failure, whose text is then on the
    // status line. `fileSize` receives the file's length once it is known. The link may be
    // left open: the caller closes it before the run goes, and with it the update lock.
    void Execute(const PathChar* path, uint32_t outDevice, uint32_t inDevice, int32_t& fileSize);
    // True when the run stopped because another update held the lock; no port was opened.
    bool FoundAnotherUpdate() const { return m_lockResult == LockResult::kHeldByAnotherUpdate; }

private:
    bool ReadImage(const PathChar* path, int32_t& fileSize);
    bool OpenDevice(uint32_t outDevice, uint32_t inDevice);
    void SendCommandUIfDue();
    bool EraseRegions();
    bool WriteRegions();
    void Finish();

    IUpdateDisplay& m_display;
    IConsoleLink& m_link;
    IUpdateHost& m_host;
    const UpdateTiming& m_timing;
    CUpdateCommands m_commands;
    CPreparedImage m_prepared;
    UpdatePlan m_plan;
    LockResult m_lockResult = LockResult::kUnavailable;
};

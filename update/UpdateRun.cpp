#include "UpdateRun.h"

#include <cstdio>

#include "StatusTexts.h"

namespace {

constexpr int kSettleSteps = 5;

} // namespace

CUpdateRun::CUpdateRun(IUpdateDisplay& display, IConsoleLink& link, IUpdateHost& host, const UpdateTiming& timing)
    : m_display(display), m_link(link), m_host(host), m_timing(timing), m_commands(link, display, timing.replyTimeoutMs)
{
}

CUpdateRun::~CUpdateRun()
{
    if (m_lockResult == LockResult::kAcquired)
        m_host.ReleaseUpdateLock();
}

void CUpdateRun::Execute(const PathChar* path, uint32_t outDevice, uint32_t inDevice, int32_t& fileSize)
{
    if (!ReadImage(path, fileSize) || !OpenDevice(outDevice, inDevice))
        return;
    SendCommandUIfDue();
    if (!EraseRegions() || !WriteRegions())
        return;
    Finish();
}

bool CUpdateRun::ReadImage(const PathChar* path, int32_t& fileSize)
{
    m_display.SetRange(0, 3);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kFileReading);
    const char* failure = m_prepared.Prepare(path, &m_display);
    fileSize = m_prepared.FileSize();
    if (failure) {
        m_display.ShowStatus(failure);
        return false;
    }
    m_plan = PlanUpdate(m_prepared.Mask(), m_prepared.Image());
    m_display.SetPos(3);
    return true;
}

bool CUpdateRun::OpenDevice(uint32_t outDevice, uint32_t inDevice)
{
    m_display.SetRange(0, kSettleSteps);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kDeviceOpen);
    // Another update talking to the console is, to this one, a port it cannot open.
    m_lockResult = m_host.AcquireUpdateLock();
    if (m_lockResult != LockResult::kAcquired || !m_link.Open(outDevice, inDevice)) {
        m_display.ShowStatus(texts::kDeviceOpenFailed);
        return false;
    }
    // The console needs these seconds after its ports open before it takes the first command.
    for (int step = 1; step <= kSettleSteps; ++step) {
        m_display.SetPos(step);
        m_host.Pause(m_timing.settleStepMs);
    }
    return true;
}

void CUpdateRun::SendCommandUIfDue()
{
    if (m_plan.sendCommandU)
        m_commands.SendCommandU();
}

bool CUpdateRun::EraseRegions()
{
    const int count = m_plan.eraseCount;
    m_display.SetRange(0, count);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kUninstalling);
    for (int i = 0; i < count; ++i) {
        m_display.SetPos(i + 1);
        if (m_commands.EraseRegion(m_plan.eraseRegions[i]) != 0) {
            m_display.ShowStatus(texts::kUninstallFailed);
            return false;
        }
    }
    return true;
}

bool CUpdateRun::WriteRegions()
{
    const RegionMask& mask = m_prepared.Mask();
    const int total = mask.Count();
    int counter = 0;
    char text[64] = {};
    for (int region = 0; region < kRegionCount; ++region) {
        if (!mask.Test(region))
            continue;
        ++counter;
        std::snprintf(text, sizeof text, texts::kInstallingFormat, counter, total);
        m_display.ShowStatus(text);
        const uint32_t offset = RegionOffset(region);
        if (m_commands.WriteRegion(offset, m_prepared.Image() + offset, RegionLength(region)) != 0) {
            m_display.ShowStatus(texts::kInstallFailed);
            return false;
        }
    }
    return true;
}

void CUpdateRun::Finish()
{
    m_display.ShowStatus(m_commands.FinishUpdate() == 0 ? texts::kComplete : texts::kCompleteRestart);
}

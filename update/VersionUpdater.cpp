#include "VersionUpdater.h"

#include "KeepAwake.h"
#include "UpdateRun.h"

CVersionUpdater::CVersionUpdater(IUpdateDisplay& display, const UpdateTiming& timing)
    : m_display(display), m_timing(timing), m_port(timing.sendTimeoutMs)
{
}

int CVersionUpdater::FindPorts()
{
    return ::FindPorts(m_display, m_outDevice, m_inDevice);
}

void CVersionUpdater::Load(const char* path)
{
    LoadOnPorts(path, m_outDevice, m_inDevice);
}

void CVersionUpdater::LoadOnPorts(const char* path, uint32_t outDevice, uint32_t inDevice)
{
    // Declared first, so the machine may sleep again only after the clean-up.
    CKeepAwake awake(m_timing.setExecutionState);
    CUpdateRun run(m_display, m_port, m_timing);
    run.Execute(path, outDevice, inDevice, m_fileSize);
    // Every path ends here; the run's buffers follow when it goes out of scope.
    m_port.Close();
}

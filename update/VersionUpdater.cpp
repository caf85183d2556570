#include "VersionUpdater.h"

#include "KeepAwake.h"
#include "UpdateRun.h"

CVersionUpdater::CVersionUpdater(IUpdateDisplay& display, const UpdateTiming& timing, IMidiDeviceList& devices)
    : m_display(display), m_timing(timing), m_port(timing.sendTimeoutMs), m_ports(devices)
{
}

int CVersionUpdater::FindPorts()
{
    return m_ports.Find(m_display);
}

bool CVersionUpdater::Load(const PathChar* path)
{
    // The ports found at start may have moved or gone since (a cable pulled and plugged again):
    // only devices that are still the console's are opened, and without them the open fails.
    const bool confirmed = m_ports.Confirm(m_display);
    return LoadOnPorts(path, confirmed ? m_ports.OutDevice() : kNoDevice, confirmed ? m_ports.InDevice() : kNoDevice);
}

bool CVersionUpdater::LoadOnPorts(const PathChar* path, uint32_t outDevice, uint32_t inDevice)
{
    // Declared first, so the machine may sleep again only after the clean-up.
    CKeepAwake awake(m_timing.setExecutionState);
    CUpdateRun run(m_display, m_port, m_timing);
    run.Execute(path, outDevice, inDevice, m_fileSize);
    // Every path ends here, the ports closed before the run's buffers and update lock go with it.
    m_port.Close();
    return !run.FoundAnotherUpdate();
}

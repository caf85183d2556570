#include "VersionUpdater.h"

#include "KeepAwake.h"
#include "UpdateRun.h"

CVersionUpdater::CVersionUpdater(IUpdateDisplay& display, const UpdateTiming& timing, IMidiDeviceList& devices,
                                 IPortMemory& memory)
    : m_display(display), m_timing(timing), m_port(timing.sendTimeoutMs), m_ports(devices, memory)
{
}

int CVersionUpdater::FindPorts()
{
    return m_ports.Find(m_display);
}

bool CVersionUpdater::ConfirmPorts()
{
    return m_ports.Confirm(m_display);
}

bool CVersionUpdater::ChoosePorts(const PortNames& shown)
{
    return m_ports.Choose(shown, m_display);
}

bool CVersionUpdater::Load(const PathChar* path)
{
    // The ports in use may have moved or gone since (a cable pulled and plugged again), or none
    // were found at start: only devices that are still the ones taken are opened, and without
    // them the open fails.
    const bool confirmed = ConfirmPorts();
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

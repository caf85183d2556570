#include "ConsoleUpdater.h"

#include "KeepAwake.h"
#include "UpdateRun.h"

CConsoleUpdater::CConsoleUpdater(IUpdateDisplay& display, IConsoleLink& link, IUpdateHost& host,
                                 IMidiDeviceList& devices, IPortMemory& memory, const UpdateTiming& timing)
    : m_display(display), m_link(link), m_host(host), m_timing(timing), m_ports(devices, memory)
{
}

int CConsoleUpdater::FindPorts()
{
    return m_ports.Find(m_display);
}

bool CConsoleUpdater::ConfirmPorts()
{
    return m_ports.Confirm(m_display);
}

bool CConsoleUpdater::ChoosePorts(const PortNames& shown)
{
    return m_ports.Choose(shown, m_display);
}

bool CConsoleUpdater::Load(const PathChar* path)
{
    // The ports in use may have moved or gone since (a cable pulled and plugged again), or none
    // were found at start: only devices that are still the ones taken are opened, and without
    // them the open fails.
    const bool confirmed = ConfirmPorts();
    return LoadOnPorts(path, confirmed ? m_ports.OutDevice() : kNoDevice, confirmed ? m_ports.InDevice() : kNoDevice);
}

bool CConsoleUpdater::LoadOnPorts(const PathChar* path, uint32_t outDevice, uint32_t inDevice)
{
    // Declared first, so the machine may sleep again only after the clean-up.
    CKeepAwake awake(m_host);
    CUpdateRun run(m_display, m_link, m_host, m_timing);
    run.Execute(path, outDevice, inDevice, m_fileSize);
    // Every path ends here, the ports closed before the run's buffers and update lock go with it.
    m_link.Close();
    return !run.FoundAnotherUpdate();
}

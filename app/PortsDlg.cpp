#include "PortsDlg.h"

#include "resource.h"

#include <cwchar>

CPortsDlg::CPortsDlg(HWND owner, CVersionUpdater& updater) : CModalDialog(IDD_PORTS, owner), m_updater(updater)
{
}

BOOL CPortsDlg::OnInitDialog()
{
    m_outs.box.Attach(::GetDlgItem(m_hWnd, IDC_OUTPUT_LIST));
    m_ins.box.Attach(::GetDlgItem(m_hWnd, IDC_INPUT_LIST));
    Fill();
    return TRUE;
}

bool CPortsDlg::OnCommand(UINT id, UINT code)
{
    if (id == IDOK) {
        LPARAM out = 0;
        LPARAM in = 0;
        if (!m_outs.box.SelectedData(out) || !m_ins.box.SelectedData(in))
            return true;
        const ListedDevice& output = m_outs.shown[static_cast<size_t>(out)];
        const ListedDevice& input = m_ins.shown[static_cast<size_t>(in)];
        // A port unplugged since the lists were read: the user chooses again from the devices as
        // they are now.
        if (!m_updater.ChoosePorts({output.caps.name, input.caps.name, output.place, input.place})) {
            ::ShowWindow(::GetDlgItem(m_hWnd, IDC_PORT_GONE), SW_SHOW);
            Fill();
            return true;
        }
    }
    return CModalDialog::OnCommand(id, code);
}

// The lists show the devices as they are now; the ports in use are first looked for again as a
// Load would (moved, or plugged in after the start), so that the right entries are preselected.
void CPortsDlg::Fill()
{
    m_updater.ConfirmPorts();
    const CConsolePorts& ports = m_updater.Ports();
    FillList(m_outs, MidiDirection::Output, ports.OutDevice());
    FillList(m_ins, MidiDirection::Input, ports.InDevice());
    // Without an output and an input there is no pair to choose.
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), m_outs.box.Count() > 0 && m_ins.box.Count() > 0 ? TRUE : FALSE);
}

// The name with the maker and product IDs, as versionup-cli --list-ports shows them. A device
// whose capabilities cannot be read has no name to be chosen by: it is left out. The port in
// use is selected, else the first.
void CPortsDlg::FillList(PortList& list, MidiDirection direction, uint32_t inUse) const
{
    const std::vector<ListedDevice> devices = ListDevices(m_updater.Ports().Devices(), direction);
    list.box.Clear();
    list.shown.clear();
    int selected = 0;
    for (uint32_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].readable)
            continue;
        const MidiDeviceCaps& caps = devices[i].caps;
        wchar_t entry[96];
        std::swprintf(entry, std::size(entry), L"%ls  (manufacturer %u, product %u)", caps.name.c_str(),
                      unsigned{caps.mid}, unsigned{caps.pid});
        if (i == inUse)
            selected = list.box.Count();
        list.box.AddEntry(entry, static_cast<LPARAM>(list.shown.size()));
        list.shown.push_back(devices[i]);
    }
    list.box.Select(selected);
}

#include "PortsDlg.h"

#include "resource.h"

#include <cwchar>
#include <vector>

CPortsDlg::CPortsDlg(HWND owner, IMidiDeviceList& devices, uint32_t outDevice, uint32_t inDevice)
    : CModalDialog(IDD_PORTS, owner), m_devices(devices), m_outDevice(outDevice), m_inDevice(inDevice)
{
}

BOOL CPortsDlg::OnInitDialog()
{
    m_outList.Attach(::GetDlgItem(m_hWnd, IDC_OUTPUT_LIST));
    m_inList.Attach(::GetDlgItem(m_hWnd, IDC_INPUT_LIST));
    Fill(m_outList, MidiDirection::Output, m_outDevice);
    Fill(m_inList, MidiDirection::Input, m_inDevice);
    // Without an output and an input there is no pair to choose.
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), m_outList.Count() > 0 && m_inList.Count() > 0 ? TRUE : FALSE);
    return TRUE;
}

bool CPortsDlg::OnCommand(UINT id, UINT code)
{
    if (id == IDOK) {
        LPARAM out = 0;
        LPARAM in = 0;
        if (!m_outList.SelectedData(out) || !m_inList.SelectedData(in))
            return true;
        m_outDevice = static_cast<uint32_t>(out);
        m_inDevice = static_cast<uint32_t>(in);
    }
    return CModalDialog::OnCommand(id, code);
}

// The name with the maker and product IDs, as versionup-cli --list-ports shows them. A device
// whose capabilities cannot be read has no name to be chosen by: it is left out. The port in
// use is selected, else the first.
void CPortsDlg::Fill(const CComboBox& list, MidiDirection direction, uint32_t inUse) const
{
    const std::vector<ListedDevice> devices = ListDevices(m_devices, direction);
    int selected = 0;
    for (uint32_t i = 0; i < devices.size(); ++i) {
        if (!devices[i].readable)
            continue;
        const MidiDeviceCaps& caps = devices[i].caps;
        wchar_t entry[96];
        std::swprintf(entry, std::size(entry), L"%ls  (manufacturer %u, product %u)", caps.name.c_str(),
                      unsigned{caps.mid}, unsigned{caps.pid});
        if (i == inUse)
            selected = list.Count();
        list.AddEntry(entry, static_cast<LPARAM>(i));
    }
    list.Select(selected);
}

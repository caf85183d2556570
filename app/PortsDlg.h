// The chooser of the console's ports: every MIDI output and input as Windows lists them, the
// ports in use preselected, OK and Cancel.
#pragma once

#include "framework/Controls.h"
#include "framework/ModalDialog.h"

#include "MidiDevices.h"

#include <cstdint>

class CPortsDlg : public CModalDialog {
public:
    // `outDevice` and `inDevice` are the ports in use, kNoDevice when there are none.
    CPortsDlg(HWND owner, IMidiDeviceList& devices, uint32_t outDevice, uint32_t inDevice);

    // The pair chosen, once DoModal returned IDOK.
    uint32_t OutDevice() const { return m_outDevice; }
    uint32_t InDevice() const { return m_inDevice; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code) override;

private:
    void Fill(const CComboBox& list, MidiDirection direction, uint32_t inUse) const;

    IMidiDeviceList& m_devices;
    uint32_t m_outDevice;
    uint32_t m_inDevice;
    CComboBox m_outList;
    CComboBox m_inList;
};

// The chooser of the console's ports: every MIDI output and input as Windows lists them, the
// ports in use preselected, OK and Cancel. OK takes the pair shown, by name and place among the
// devices of that name, not by number: devices plugged in or out meanwhile renumber the others.
#pragma once

#include "framework/Controls.h"
#include "framework/ModalDialog.h"

#include "MidiDevices.h"
#include "VersionUpdater.h"

#include <vector>

class CPortsDlg : public CModalDialog {
public:
    CPortsDlg(HWND owner, CVersionUpdater& updater);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code) override;

private:
    // A drop-down list and the devices its entries show, in the order of the entries.
    struct PortList {
        CComboBox box;
        std::vector<ListedDevice> shown;
    };
    void Fill();
    void FillList(PortList& list, MidiDirection direction, uint32_t inUse) const;

    CVersionUpdater& m_updater;
    PortList m_outs;
    PortList m_ins;
};

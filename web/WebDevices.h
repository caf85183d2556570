// The MIDI ports the browser lists, as port discovery reads them: the page's snapshot of the
// connected outputs and inputs, in the order the browser gives them, refreshed at every change.
#pragma once

#include "MidiDevices.h"

// Room for a port name as the page hands it over, in wide characters; a longer one is cut.
inline constexpr int kPageNameCharacters = 256;

class CWebDevices : public IMidiDeviceList {
public:
    uint32_t Count(MidiDirection direction) override;
    bool Read(MidiDirection direction, uint32_t index, MidiDeviceCaps& caps) override;
    // Web MIDI gives a port's name and its maker's name, no IDs.
    bool GivesIds() const override { return false; }
};

// What the console sends back for one received message, and when.
#pragma once

#include <cstdint>
#include <vector>

namespace vconsole {

enum class EventKind {
    Sysex,      // a complete SysEx message, spread over as many input buffers as it needs
    Short,      // a short MIDI message (1 to 3 bytes), delivered as MIM_DATA
    LongError,  // a damaged SysEx message: its last input buffer returned with MIM_LONGERROR
    Fragment    // part of a SysEx message whose start went before: no reply of its own
};

struct OutEvent {
    EventKind kind = EventKind::Sysex;
    std::vector<uint8_t> bytes;
    uint32_t pauseMs = 0;      // after the event before it
};

struct Answer {
    bool refused = false;      // the driver refuses the message: no MOM_DONE, no reply
    bool early = false;        // the reply goes out before midiOutLongMsg returns
    bool kept = false;         // the driver keeps the message: no MOM_DONE, not even on reset
    bool lateDone = false;     // MOM_DONE only doneDelayMs after arrival, not on reset nor at close
    uint32_t doneDelayMs = 0;
    uint32_t delayMs = 0;      // from the message's arrival to the reply; ignored when early
    std::vector<OutEvent> events;
};

} // namespace vconsole

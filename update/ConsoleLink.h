// The console's pair of MIDI ports as an update uses them: opened by device number for one run,
// a message sent and its reply awaited, closed at the run's end.
#pragma once

#include <cstdint>

#include "ReplyLink.h"

class IConsoleLink : public IReplyLink {
public:
    // Opens the output and the input, numbered as the device list numbers them: 1 when both
    // are open, else 0 with neither.
    virtual int Open(uint32_t outDevice, uint32_t inDevice) = 0;
    // Closes whatever is open; closing a closed link does nothing.
    virtual void Close() = 0;
};

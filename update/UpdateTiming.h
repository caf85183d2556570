// The update's waits: real in the shipped programs, shortened by tests.
#pragma once

#include <cstdint>

#include "KeepAwake.h"
#include "MidiPort.h"
#include "UpdateCommands.h"

struct UpdateTiming {
    uint32_t replyTimeoutMs = kReplyTimeoutMs;
    // How long the driver may take to report a message sent.
    uint32_t sendTimeoutMs = CMidiPort::kSendTimeoutMs;
    // The console gets five steps of a second after the ports open before the first command.
    uint32_t settleStepMs = 1000;
    // Holds the machine awake for the length of a run; tests watch the requests here.
    SetExecutionStateFn setExecutionState = &SetThreadExecutionState;
};

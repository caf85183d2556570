// The update's waits: the console's in the shipped programs, shortened by tests.
#pragma once

#include <cstdint>

#include "UpdateCommands.h"

struct UpdateTiming {
    uint32_t replyTimeoutMs = kReplyTimeoutMs;
    // The console gets five steps of this length after the ports open before the first command.
    uint32_t settleStepMs = 1000;
};

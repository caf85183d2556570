// The console's reply to a well-formed command, bent by the faults configured for it, and the
// echo a device with MIDI thru adds to what the console sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Answer.h"
#include "ConsoleConfig.h"
#include "MessageCheck.h"

namespace vconsole {

// `received` is the command's message as it arrived; `faults` are the ones that apply to it.
// Returns the events to send and their timing; `refused` is left to the caller.
Answer BuildAnswer(const ReceivedCommand& command, const uint8_t* received, size_t length,
                   const std::vector<Fault>& faults, const Behaviour& behaviour);

// Adds `echo` to the answer, due `atMs` after the message arrived, ahead of any event due then.
void AddEcho(Answer& answer, std::vector<uint8_t> echo, uint32_t atMs);

} // namespace vconsole

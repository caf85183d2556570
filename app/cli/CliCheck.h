// versionup-cli --check FILE: the firmware file read and verified by the update's own first
// stage, and what an update with it would send. Opens no MIDI device.
#pragma once

#include "FilePath.h"

// Prints the summary and returns 0 for a valid file; otherwise prints the status text the
// update would show and returns 1.
int CheckFirmware(const PathChar* path);

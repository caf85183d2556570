// Everything the main window shows: status line, progress bar and the two port fields.
#pragma once

#include "PortDisplay.h"
#include "ProgressDisplay.h"

class IUpdateDisplay : public IProgressDisplay, public IPortDisplay {
public:
    // One status line serves both the update and port discovery.
    void ShowStatus(const char* text) override = 0;
};

// What the update and port discovery show, on the page: the status line, the progress bar, the
// port fields and the message box, drawn by the page's script.
#pragma once

#include "UpdateDisplay.h"

class CWebDisplay : public IUpdateDisplay {
public:
    void ShowStatus(const char* text) override;
    void SetRange(int lower, int upper) override;
    void SetPos(int position) override;
    void OffsetPos(int delta) override;
    void ShowOutputPortName(const wchar_t* name) override;
    void ShowInputPortName(const wchar_t* name) override;
    // Modal, as the dialog's: the update waits until the user dismissed it.
    void ShowMessageBox(const char* text) override;
};

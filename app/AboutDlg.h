// The About box: the program's icon, name and version, and OK.
#pragma once

#include "framework/ModalDialog.h"

class CAboutDlg : public CModalDialog {
public:
    explicit CAboutDlg(HWND owner);
};

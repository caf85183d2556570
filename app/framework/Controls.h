// The dialog's controls: thin forwards to the platform's control messages.
#pragma once

#include "Window.h"

#include <commctrl.h>

class CStaticText : public CWindow {
};

class CEditField : public CWindow {
};

class CProgressBar : public CWindow {
public:
    // The bounds travel as 16-bit halves of one parameter.
    void SetRange(int lower, int upper) const { SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
    void SetPos(int position) const { SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)); }
    void OffsetPos(int delta) const { SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta)); }
};

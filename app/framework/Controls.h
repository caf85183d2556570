// The dialog's controls. Every change is painted before the call returns (see UpdateWindow).
#pragma once

#include "Window.h"

#include <commctrl.h>

class CStaticText : public CWindow {
public:
    void SetText(const char* text) const
    {
        SetWindowText(text);
        UpdateWindow();
    }
};

class CEditField : public CWindow {
public:
    void SetText(const char* text) const
    {
        SetWindowText(text);
        UpdateWindow();
    }
    std::string GetText() const { return GetWindowText(); }
};

class CProgressBar : public CWindow {
public:
    // The bounds travel as 16-bit halves of one parameter.
    void SetRange(int lower, int upper) const
    {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
        UpdateWindow();
    }
    void SetPos(int position) const
    {
        SendMessage(PBM_SETPOS, static_cast<WPARAM>(position));
        UpdateWindow();
    }
    void OffsetPos(int delta) const
    {
        SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta));
        UpdateWindow();
    }
};

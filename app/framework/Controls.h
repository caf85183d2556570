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

// A drop-down list whose entries each carry a number of the caller's.
class CComboBox : public CWindow {
public:
    // Wide, so that an entry keeps every character.
    void AddEntry(const wchar_t* text, LPARAM data) const
    {
        const LRESULT at = ::SendMessageW(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (at >= 0)
            SendMessage(CB_SETITEMDATA, static_cast<WPARAM>(at), data);
    }
    void Clear() const { SendMessage(CB_RESETCONTENT); }
    int Count() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void Select(int index) const { SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)); }
    // The number of the selected entry; false when none is selected.
    bool SelectedData(LPARAM& data) const
    {
        const LRESULT at = SendMessage(CB_GETCURSEL);
        if (at < 0)
            return false;
        data = SendMessage(CB_GETITEMDATA, static_cast<WPARAM>(at));
        return true;
    }
};

// A window handle with the few operations the dialog program needs, each a thin forward to
// the platform.
#pragma once

#include <windows.h>

#include <string>

class CWindow {
public:
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    void Detach() { m_hWnd = nullptr; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    void SetWindowText(const char* text) const { ::SetWindowTextA(m_hWnd, text); }
    // Wide, for texts such as file paths that may hold any character.
    void SetWindowText(const wchar_t* text) const { ::SetWindowTextW(m_hWnd, text); }
    std::wstring GetWindowText() const;
    // Paints every pending part of the window and its children now, without the message loop.
    void PaintNow() const { ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

protected:
    HWND m_hWnd = nullptr;
};

// A modal dialog built on a dialog template, with virtual handlers for the messages the
// program's dialogs take. IDOK and IDCANCEL end the dialog unless a subclass takes them.
#pragma once

#include "Window.h"

class CModalDialog : public CWindow {
public:
    CModalDialog(UINT templateId, HWND parent);
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Runs the dialog until it ends; IDOK or IDCANCEL, or -1 when it cannot be shown.
    INT_PTR DoModal();

protected:
    // The window and its controls exist. Nonzero lets the platform focus the first tab stop.
    virtual BOOL OnInitDialog() { return TRUE; }
    // WM_COMMAND; true when handled.
    virtual bool OnCommand(UINT id, UINT code);
    // WM_SYSCOMMAND; false leaves the command to the platform's default processing.
    virtual bool OnSysCommand(UINT /*id*/, LPARAM /*lParam*/) { return false; }
    // WM_PAINT; false leaves the painting to the platform.
    virtual bool OnPaint() { return false; }
    // WM_QUERYDRAGICON; nullptr leaves the choice to the platform.
    virtual HICON OnQueryDragIcon() { return nullptr; }

    void EndDialog(INT_PTR result) const { ::EndDialog(m_hWnd, result); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void CenterWindow() const;

    UINT m_templateId;
    HWND m_parent;
};

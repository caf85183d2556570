// The main window: the console's port names and Ports..., the firmware file, the status line and
// progress bar, Browse and Load. It owns the updater, which reports through the window's controls.
#pragma once

#include "framework/Controls.h"
#include "framework/ModalDialog.h"

#include "FilePath.h"
#include "UpdateDisplay.h"
#include "VersionUpdater.h"

#include <string>

class CVersionUpDlg : public CModalDialog, public IUpdateDisplay {
public:
    explicit CVersionUpDlg(HWND parent = nullptr);
    ~CVersionUpDlg() override = default;

    // What the update and port discovery show; each change is on screen when the call returns.
    void ShowStatus(const char* text) override;
    void SetRange(int lower, int upper) override;
    void SetPos(int position) override;
    void OffsetPos(int delta) override;
    void ShowOutputPortName(const wchar_t* name) override;
    void ShowInputPortName(const wchar_t* name) override;
    void ShowMessageBox(const char* text) override;

protected:
    // Nonzero when both console ports were found, so that Browse gets the focus.
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    bool OnPaint() override;
    HICON OnQueryDragIcon() override;

private:
    void DoDataExchange();
    void AddAboutEntry() const;
    void OnBrowse();
    void OnLoad();
    void OnPorts();
    void EnableButtons(bool enable) const;
    void DiscardQueuedClicks() const;

    CStaticText m_outName;
    CStaticText m_inName;
    CStaticText m_status;
    CProgressBar m_progress;
    CEditField m_fileName;
    HICON m_hIcon;
    CVersionUpdater m_updater;
    // Set by Browse only; the File Name field, read-only, shows it.
    FilePath m_path;
};

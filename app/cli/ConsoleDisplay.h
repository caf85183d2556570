// The update's display on a console: status texts as lines, the progress as a text bar kept
// on the last line of a terminal and redrawn in place, or as plain lines when the output goes
// to a file or a pipe.
#pragma once

#include <cstdio>
#include <string>

#include "UpdateDisplay.h"

class CConsoleDisplay : public IUpdateDisplay {
public:
    CConsoleDisplay();
    // `terminal`: the bar is drawn in place, as on a terminal, whatever stdout is.
    explicit CConsoleDisplay(bool terminal);
    // Leaves the terminal's cursor on a fresh line below the bar.
    ~CConsoleDisplay() override;
    CConsoleDisplay(const CConsoleDisplay&) = delete;
    CConsoleDisplay& operator=(const CConsoleDisplay&) = delete;

    void ShowStatus(const char* text) override;
    void SetRange(int lower, int upper) override;
    void SetPos(int position) override;
    void OffsetPos(int delta) override;
    void ShowOutputPortName(const wchar_t* name) override;
    void ShowInputPortName(const wchar_t* name) override;
    void ShowMessageBox(const char* text) override;

    // The status text shown last; empty before the first.
    const char* LastStatus() const { return m_lastStatus; }

private:
    void PrintLine(std::FILE* stream, const std::wstring& line);
    void DrawProgress();
    void ClearBar();

    bool m_terminal;
    bool m_barOnLine = false;       // the terminal's last line holds the bar
    int m_upper = 0;
    int m_position = 0;
    int m_drawnUpper = -1;          // what the last plain progress line said
    int m_drawnPosition = -1;
    char m_lastStatus[64] = {};
};

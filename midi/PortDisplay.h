// What port discovery shows: the ports' names, and the missing-driver text in the status line
// and in a message box.
#pragma once

class IPortDisplay {
public:
    virtual ~IPortDisplay() = default;
    virtual void ShowStatus(const char* text) = 0;
    // Names as the devices give them; they may hold any character.
    virtual void ShowOutputPortName(const wchar_t* name) = 0;
    virtual void ShowInputPortName(const wchar_t* name) = 0;
    // A modal message box with an OK button only.
    virtual void ShowMessageBox(const char* text) = 0;
};

// What port discovery shows: the ports' names, and the missing-driver text in the status line
// and in a message box.
#pragma once

class IPortDisplay {
public:
    virtual ~IPortDisplay() = default;
    virtual void ShowStatus(const char* text) = 0;
    virtual void ShowOutputPortName(const char* name) = 0;
    virtual void ShowInputPortName(const char* name) = 0;
    // A modal message box with an OK button only.
    virtual void ShowMessageBox(const char* text) = 0;
};

// The program's one application object. Its constructor registers it; the entry point runs its
// InitInstance once the platform's controls are ready.
#pragma once

#include <windows.h>

class CApplication {
public:
    CApplication();
    virtual ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Runs the program. FALSE: there is no message loop to run afterwards.
    virtual BOOL InitInstance() = 0;

    static CApplication* Instance();
};

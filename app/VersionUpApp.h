// The application object: runs the main window modally; its end ends the program.
#pragma once

#include "framework/Application.h"

class CVersionUpApp : public CApplication {
public:
    CVersionUpApp() = default;
    ~CVersionUpApp() override = default;

    BOOL InitInstance() override;
};

// The Windows entry point: prepares the process for the dialog program and hands over to the
// application object.
#include "Application.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // An update holds the window's thread for minutes without reading messages. The platform
    // would then swap the window for a frozen "not responding" copy and hide the progress that
    // the dialog paints while it works.
    ::DisableProcessWindowsGhosting();

    // The progress bar is a common control: its window class must be registered first.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    ::InitCommonControlsEx(&controls);

    CApplication* application = CApplication::Instance();
    if (application != nullptr)
        application->InitInstance();
    return 0;
}

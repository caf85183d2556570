// The Windows entry point: prepares the process for the dialog program and hands over to the
// application object.
#include "Application.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
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

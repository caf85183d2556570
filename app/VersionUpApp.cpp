#include "VersionUpApp.h"

#include "VersionUpDlg.h"

// The one application object, registered before the entry point runs.
CVersionUpApp theApp;

BOOL CVersionUpApp::InitInstance()
{
    CVersionUpDlg dlg;
    dlg.DoModal();
    // The dialog was the whole program: no message loop follows.
    return FALSE;
}

#include "AboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(HWND owner) : CModalDialog(IDD_ABOUTBOX, owner)
{
}

#include "VersionUpDlg.h"

#include "AboutDlg.h"
#include "PortsDlg.h"
#include "resource.h"

#include "framework/MessageBox.h"
#include "framework/OpenFileDialog.h"
#include "framework/ResourceString.h"

#include <uxtheme.h>

#include <algorithm>
#include <iterator>

namespace {
// Firmware files are *.bin; a name typed without an extension gets "sdy" appended all the same.
constexpr wchar_t kFirmwareFilter[] = L"binaly files (*.bin)|*.bin|All Files (*.*)|*.*||";
constexpr wchar_t kTypedNameExtension[] = L"sdy";
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_SHAREAWARE;
// The buttons that start something: none of them while an update runs.
constexpr int kButtons[] = {IDC_BROWSE, IDC_LOAD, IDC_PORTS};
} // namespace

CVersionUpDlg::CVersionUpDlg(HWND parent)
    : CModalDialog(IDD_VERSIONUP_DIALOG, parent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_updater(*this)
{
}

void CVersionUpDlg::DoDataExchange()
{
    m_outName.Attach(::GetDlgItem(m_hWnd, IDC_OUTPUT_PORT));
    m_inName.Attach(::GetDlgItem(m_hWnd, IDC_INPUT_PORT));
    m_status.Attach(::GetDlgItem(m_hWnd, IDC_STATUS));
    m_progress.Attach(::GetDlgItem(m_hWnd, IDC_PROGRESS));
    m_fileName.Attach(::GetDlgItem(m_hWnd, IDC_FILENAME));
}

BOOL CVersionUpDlg::OnInitDialog()
{
    DoDataExchange();
    // The classic bar, as Windows draws it for this program. Wine would otherwise draw it in its
    // desktop theme, stretching the theme's bitmaps at every step: a blank class list matches no
    // theme class. The classic frame then needs laying out anew.
    const HWND bar = ::GetDlgItem(m_hWnd, IDC_PROGRESS);
    ::SetWindowTheme(bar, L" ", L" ");
    ::SetWindowPos(bar, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    AddAboutEntry();
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SetRange(0, 35);
    SetPos(0);
    // Zero when a port is missing: the platform then sets no focus, and the window opens anyway.
    return m_updater.FindPorts();
}

// The entry and its separator go in together or not at all.
void CVersionUpDlg::AddAboutEntry() const
{
    const HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu == nullptr)
        return;
    const std::string about = LoadResourceString(IDS_ABOUTBOX);
    if (about.empty())
        return;
    ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

bool CVersionUpDlg::OnCommand(UINT id, UINT code)
{
    // A button the update disabled may still be sent a click (BM_CLICK from another program,
    // handled while the update clears the queue): it does nothing.
    if (code == BN_CLICKED && std::ranges::find(kButtons, static_cast<int>(id)) != std::end(kButtons) &&
        !::IsWindowEnabled(::GetDlgItem(m_hWnd, static_cast<int>(id))))
        return true;
    if (code == BN_CLICKED && id == IDC_BROWSE) {
        OnBrowse();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_LOAD) {
        OnLoad();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_PORTS) {
        OnPorts();
        return true;
    }
    return CModalDialog::OnCommand(id, code);
}

// The platform keeps the low four bits of a system command for itself.
bool CVersionUpDlg::OnSysCommand(UINT id, LPARAM /*lParam*/)
{
    if ((id & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutDlg about(m_hWnd);
    about.DoModal();
    return true;
}

// Only the minimised window is painted here: the icon, centred in the client area.
bool CVersionUpDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd))
        return false;
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cx = ::GetSystemMetrics(SM_CXICON);
    const int cy = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - cx + 1) / 2;
    const int y = (client.bottom - client.top - cy + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

HICON CVersionUpDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

// Field and path always end up equal: a cancelled Browse empties both.
void CVersionUpDlg::OnBrowse()
{
    COpenFileDialog dialog(kTypedNameExtension, kOpenFlags, kFirmwareFilter, m_hWnd);
    dialog.DoModal();
    m_fileName.SetWindowText(dialog.GetPathName().c_str());
    m_path = m_fileName.GetWindowText();
}

// The chooser takes the pair itself: a port gone meanwhile keeps it open.
void CVersionUpDlg::OnPorts()
{
    CPortsDlg chooser(m_hWnd, m_updater);
    chooser.DoModal();
}

// The update holds this thread, so whatever the user does meanwhile waits in its queue. A user
// who clicks or types at a window that looks stuck means no second update: the buttons are
// disabled for the run, and what was queued meanwhile is dropped before they come back.
void CVersionUpDlg::OnLoad()
{
    const HWND focus = ::GetFocus();
    EnableButtons(false);
    m_updater.Load(m_path.c_str());
    DiscardQueuedClicks();
    EnableButtons(true);
    // Disabling took the focus from the button that had it; without a focus, Enter would end
    // the program.
    if (focus != nullptr)
        SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
}

void CVersionUpDlg::EnableButtons(bool enable) const
{
    for (int id : kButtons)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable ? TRUE : FALSE);
}

// Keyboard and mouse input of this thread, client and frame alike, and clicks that another
// program posted to a button: none of it may reach a button once it is enabled again.
void CVersionUpDlg::DiscardQueuedClicks() const
{
    constexpr UINT kInputRanges[][2] = {
        {WM_KEYFIRST, WM_KEYLAST}, {WM_MOUSEFIRST, WM_MOUSELAST}, {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}};
    MSG message;
    for (const auto& range : kInputRanges) {
        while (::PeekMessageA(&message, nullptr, range[0], range[1], PM_REMOVE)) {
        }
    }
    for (int id : kButtons) {
        while (::PeekMessageA(&message, ::GetDlgItem(m_hWnd, id), BM_CLICK, BM_CLICK, PM_REMOVE)) {
        }
    }
}

// The update runs on this thread without returning to the message loop: each change is painted
// at once, and with it whatever else of the window waits for painting (say, a part that another
// window uncovered since), or nothing would show until the update ended.
void CVersionUpDlg::ShowStatus(const char* text)
{
    m_status.SetWindowText(text);
    PaintNow();
}

void CVersionUpDlg::SetRange(int lower, int upper)
{
    m_progress.SetRange(lower, upper);
    PaintNow();
}

void CVersionUpDlg::SetPos(int position)
{
    m_progress.SetPos(position);
    PaintNow();
}

void CVersionUpDlg::OffsetPos(int delta)
{
    m_progress.OffsetPos(delta);
    PaintNow();
}

void CVersionUpDlg::ShowOutputPortName(const wchar_t* name)
{
    m_outName.SetWindowText(name);
    PaintNow();
}

void CVersionUpDlg::ShowInputPortName(const wchar_t* name)
{
    m_inName.SetWindowText(name);
    PaintNow();
}

void CVersionUpDlg::ShowMessageBox(const char* text)
{
    ShowAppMessageBox(m_hWnd, text);
}

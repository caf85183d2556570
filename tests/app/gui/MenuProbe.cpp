// A message hook that the GUI tests put into the dialog program's thread, to read from inside
// what another process cannot read: the system menu, and the font the dialog really got. On
// the message "vu.ReadSystemMenu" it writes to the file named by VU_MENU_PROBE_FILE one line per
// system-menu item, "separator" or the item's command id and text, then "font " and the face
// the platform chose for the dialog's font.
#include <windows.h>

#include <string>

namespace {
void WriteSystemMenu(HWND window)
{
    char path[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("VU_MENU_PROBE_FILE", path, MAX_PATH) == 0)
        return;
    std::string lines;
    const HMENU menu = ::GetSystemMenu(window, FALSE);
    const int count = menu != nullptr ? ::GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        char text[128] = {};
        MENUITEMINFOA item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = sizeof(text);
        ::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item);
        lines += (item.fType & MFT_SEPARATOR) ? std::string("separator") : std::to_string(item.wID) + " " + text;
        lines += "\n";
    }
    const HDC dc = ::GetDC(window);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(window, WM_GETFONT, 0, 0)));
    char face[LF_FACESIZE] = {};
    ::GetTextFaceA(dc, LF_FACESIZE, face);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    lines += std::string("font ") + face + "\n";

    const HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
    ::CloseHandle(file);
}
} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuProbeHook(int code, WPARAM wParam, LPARAM lParam)
{
    static const UINT readMenu = ::RegisterWindowMessageA("vu.ReadSystemMenu");
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (message->message == readMenu)
            WriteSystemMenu(message->hwnd);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

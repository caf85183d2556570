#include "Probe.h"

#include <commctrl.h>


namespace gui {

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}

std::string Text(HWND window)
{
    wchar_t wide[512] = {};
    const int length = ::InternalGetWindowText(window, wide, 512);
    char narrow[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, wide, length, narrow, sizeof(narrow) - 1, nullptr, nullptr);
    return narrow;
}

std::string EditText(HWND edit)
{
    char text[1024] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(edit, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 2000, &result);
    return text;
}

std::string ClassName(HWND window)
{
    char name[128] = {};
    ::GetClassNameA(window, name, sizeof(name));
    return name;
}

namespace {
struct TopLevelSearch {
    DWORD pid;
    std::function<bool(HWND)> match;
    HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !::IsWindowVisible(window) || !search->match(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevelWhere(DWORD pid, std::function<bool(HWND)> match)
{
    TopLevelSearch search{pid, std::move(match), nullptr};
    ::EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ChildSearch {
    std::function<bool(HWND)> match;
    HWND found;
};

BOOL CALLBACK VisitChild(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (!search->match(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK DescribeChild(HWND window, LPARAM param)
{
    auto* lines = reinterpret_cast<std::string*>(param);
    *lines += "  " + ClassName(window) + " id " + std::to_string(::GetDlgCtrlID(window)) + " \"" + Text(window) + "\"\n";
    return TRUE;
}
} // namespace

HWND FindTopLevel(DWORD pid, const char* className, const std::string& caption)
{
    return FindTopLevelWhere(pid, [&](HWND w) { return ClassName(w) == className && Text(w) == caption; });
}

HWND FindOwnedDialog(DWORD pid, HWND owner)
{
    return FindTopLevelWhere(pid, [&](HWND w) { return ::GetWindow(w, GW_OWNER) == owner && ClassName(w) == "#32770"; });
}

HWND FindChildWhere(HWND parent, std::function<bool(HWND)> match)
{
    ChildSearch search{std::move(match), nullptr};
    ::EnumChildWindows(parent, VisitChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindChild(HWND parent, const char* className, const std::string& text)
{
    return FindChildWhere(parent, [&](HWND w) { return ::lstrcmpiA(ClassName(w).c_str(), className) == 0 && Text(w) == text; });
}

std::string DescribeChildren(HWND parent)
{
    std::string lines;
    ::EnumChildWindows(parent, DescribeChild, reinterpret_cast<LPARAM>(&lines));
    return lines;
}

bool Responds(HWND window, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

namespace {
int Ask(HWND window, UINT message, WPARAM wParam)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(window, message, wParam, 0, SMTO_NORMAL, 2000, &result))
        return -1;
    return static_cast<int>(result);
}
} // namespace

std::pair<int, int> ProgressRange(HWND progress)
{
    // With no structure to fill (it would be in the wrong process), the bound comes back as
    // the result: TRUE asks for the lower one.
    return {Ask(progress, PBM_GETRANGE, TRUE), Ask(progress, PBM_GETRANGE, FALSE)};
}

int ProgressPos(HWND progress)
{
    return Ask(progress, PBM_GETPOS, 0);
}

HWND Focus(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

void Click(HWND button)
{
    ::PostMessageA(button, BM_CLICK, 0, 0);
}

void PostCommand(HWND dialog, int id)
{
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

bool SetText(HWND window, const std::string& text)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 5000, &result) != 0;
}

} // namespace gui

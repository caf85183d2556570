#include "Screen.h"

#include "Png.h"

namespace gui {

std::vector<uint8_t> ScreenPixels(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<uint8_t> rgb;
    if (width <= 0 || height <= 0)
        return rgb;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        const HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        ::GdiFlush();
        const auto* bgrx = static_cast<const uint8_t*>(bits);
        rgb.reserve(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            rgb.push_back(bgrx[4 * i + 2]);
            rgb.push_back(bgrx[4 * i + 1]);
            rgb.push_back(bgrx[4 * i]);
        }
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
    }
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return rgb;
}

namespace {
struct Bounds {
    DWORD pid;
    RECT area;
    bool any;
};

BOOL CALLBACK AddWindow(HWND window, LPARAM param)
{
    auto* bounds = reinterpret_cast<Bounds*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    RECT rect{};
    if (pid != bounds->pid || !::IsWindowVisible(window) || !::GetWindowRect(window, &rect))
        return TRUE;
    if (bounds->any)
        ::UnionRect(&bounds->area, &bounds->area, &rect);
    else
        bounds->area = rect;
    bounds->any = true;
    return TRUE;
}
} // namespace

namespace {
BOOL CALLBACK RepaintWindow(HWND window, LPARAM pid)
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(pid) && ::IsWindowVisible(window))
        ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return TRUE;
}
} // namespace

void RepaintWindows(DWORD pid)
{
    ::EnumWindows(RepaintWindow, static_cast<LPARAM>(pid));
}

bool SaveScreenshot(DWORD pid, const std::string& path)
{
    Bounds bounds{pid, {}, false};
    ::EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&bounds));
    if (!bounds.any)
        return false;
    RECT area = bounds.area;
    ::InflateRect(&area, 8, 8);
    RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::IntersectRect(&area, &area, &screen);
    return WritePng(path, area.right - area.left, area.bottom - area.top, ScreenPixels(area));
}

} // namespace gui

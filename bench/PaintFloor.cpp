#include "PaintFloor.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr int kBatches = 5;
constexpr int kRepeats = 200;

// The median of a few batches: the machine is shared, and a floor should not carry another
// program's moment of load.
double MicrosecondsEach(const std::function<void(int)>& step)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> batches;
    for (int batch = 0; batch < kBatches; ++batch) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kRepeats; ++i)
            step(i);
        QueryPerformanceCounter(&end);
        batches.push_back(static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                          static_cast<double>(frequency.QuadPart) / kRepeats);
    }
    std::nth_element(batches.begin(), batches.begin() + kBatches / 2, batches.end());
    return batches[kBatches / 2];
}

// Paints exactly what was invalidated, in one colour: no drawing can be cheaper.
LRESULT CALLBACK SliverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return 1;
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(window, &paint);
        FillRect(dc, &paint.rcPaint, GetSysColorBrush(COLOR_HIGHLIGHT));
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

PaintFloor MeasurePaintFloor()
{
    WNDCLASSA sliverClass{};
    sliverClass.lpfnWndProc = SliverProc;
    sliverClass.lpszClassName = "bench_sliver";
    RegisterClassA(&sliverClass);
    const HWND top = CreateWindowExA(0, "#32770", "paint floor", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 100, 100,
                                     400, 200, nullptr, nullptr, nullptr, nullptr);
    const HWND hiddenText = CreateWindowExA(WS_EX_STATICEDGE, "STATIC", "", WS_CHILD | SS_CENTER | SS_CENTERIMAGE, 10,
                                            10, 310, 30, top, nullptr, nullptr, nullptr);
    const HWND sliver = CreateWindowExA(0, "bench_sliver", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 60, 312, 17, top,
                                        nullptr, nullptr, nullptr);
    // Shown and painted; then busy for longer than an idle spell, as in an update.
    const ULONGLONG settled = GetTickCount64() + 300;
    for (MSG message; GetTickCount64() < settled; Sleep(5)) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    Sleep(100);

    PaintFloor floor;
    floor.textUs = MicrosecondsEach(
        [&](int i) { SetWindowTextA(hiddenText, i % 2 ? "Installing.... ( 1/35)" : "Installing.... ( 2/35)"); });
    floor.repaintUs = MicrosecondsEach([&](int i) {
        const RECT step{(i % 31) * 10, 0, (i % 31) * 10 + 10, 15};
        RedrawWindow(sliver, &step, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    DestroyWindow(top);
    return floor;
}

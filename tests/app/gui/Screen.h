// What is on the screen: pixels of a rectangle, and screenshots of a program's windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gui {

// RGB pixels of a screen rectangle, top row first.
std::vector<uint8_t> ScreenPixels(const RECT& area);
// Has every visible window of `pid` paint itself now; each must be idle.
void RepaintWindows(DWORD pid);
// Saves the smallest rectangle around every visible window of `pid` as a PNG.
bool SaveScreenshot(DWORD pid, const std::string& path);

} // namespace gui

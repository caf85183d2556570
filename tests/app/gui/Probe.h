// Looking at and operating another process's windows the way a user's actions reach them:
// texts read without disturbing a busy thread, clicks posted, waits bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

namespace gui {

// Generous bounds for a program under Wine on a loaded machine; nothing is timed by them.
constexpr DWORD kShortWaitMs = 20000;
constexpr DWORD kUpdateWaitMs = 120000;

// Polls `condition` until it holds or `timeoutMs` passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kShortWaitMs);

// Text of a window of any process, read without a message to its thread.
std::string Text(HWND window);
// An edit control keeps its text to itself: asked with WM_GETTEXT, so its thread must be idle.
std::string EditText(HWND edit);
std::string ClassName(HWND window);

// A visible top-level window of process `pid` with this window class and caption, or nullptr.
HWND FindTopLevel(DWORD pid, const char* className, const std::string& caption);
// A visible top-level dialog of `pid` owned by `owner`, or nullptr.
HWND FindOwnedDialog(DWORD pid, HWND owner);
// The first child (at any depth) of `parent` whose class is `className` and text `text`.
HWND FindChild(HWND parent, const char* className, const std::string& text);
HWND FindChildWhere(HWND parent, std::function<bool(HWND)> match);
// One line per child window: class, id and text; for failure messages.
std::string DescribeChildren(HWND parent);

// True when the window's thread answered within `timeoutMs`: it is back in its message loop.
bool Responds(HWND window, DWORD timeoutMs = 200);
// Progress bar range and position; {-1, -1} / -1 when the thread did not answer.
std::pair<int, int> ProgressRange(HWND progress);
int ProgressPos(HWND progress);
// The window that has the keyboard focus in `window`'s thread.
HWND Focus(HWND window);

void Click(HWND button);
void PostCommand(HWND dialog, int id);
// WM_SETTEXT, which the platform carries across processes.
bool SetText(HWND window, const std::string& text);

} // namespace gui

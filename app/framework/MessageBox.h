// Message boxes captioned with the program's name, the executable's file name without its
// extension (the program has no title resource of its own).
#pragma once

#include <windows.h>

#include <string>

// A modal box with an OK button only and the exclamation icon; `owner` is disabled meanwhile.
void ShowAppMessageBox(HWND owner, const char* text);

// "C:\dir\versionup.exe" -> "versionup".
std::string ApplicationName();
std::string NameWithoutExtension(const std::string& path);

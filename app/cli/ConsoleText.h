// Text out of versionup-cli whatever characters it holds (paths and port names may hold any).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Writes `text` to stdout or stderr: as UTF-16 to a console window, which shows every character
// as it is, and as UTF-8 to a file or a pipe.
void WriteText(std::FILE* stream, std::wstring_view text);

// `text` in the system's ANSI code page, as the narrow Windows and runtime functions take it;
// a character the code page lacks becomes '?'.
std::string AnsiText(std::wstring_view text);

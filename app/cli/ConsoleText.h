// Text out of versionup-cli whatever characters it holds (paths and port names may hold any).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Writes `text` to stdout or stderr: as UTF-16 to a console window, which shows every character
// as it is, and as UTF-8 to a file or a pipe.
void WriteText(std::FILE* stream, std::wstring_view text);

// A file path as the platform's file functions take it: UTF-16 on Windows, where any character
// of any script and any length must reach the file system unchanged, and UTF-8 elsewhere.
#pragma once

#include <string>

#ifdef _WIN32
using PathChar = wchar_t;
#else
using PathChar = char;
#endif
using FilePath = std::basic_string<PathChar>;

#ifdef _WIN32
// `path` in the form the platform opens at any length: a full path of MAX_PATH characters or
// more gets the extended-length prefix ("\\?\C:\..." or "\\?\UNC\server\share\..."); any
// other path comes back as it is.
FilePath ExtendedLengthPath(const PathChar* path);
#endif

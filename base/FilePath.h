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
// `path` in the extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."), which the
// platform opens at any length and exactly as named. A fully qualified path ("C:\..." or
// "\\server\share\...", in either slash) keeps every name as written, trailing dots and blanks
// included, and so does any other path, once made full against the current folder (of the drive
// it names, if any). Paths that already carry "\\?\" or "\\.\" come back as they are.
FilePath ExtendedLengthPath(const PathChar* path);
#endif

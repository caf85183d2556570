// The build hands over host paths; under Wine the host's file system is drive Z:.
#pragma once

#include <string>

inline std::string ToWindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

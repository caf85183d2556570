// The build hands over host paths. Cross-built tests run under Wine, which shows the host's
// file system as drive Z:.
#pragma once

#include <string>

inline std::string ToWindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return path;
}

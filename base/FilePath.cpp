#include "FilePath.h"

#include <windows.h>

namespace {
constexpr wchar_t kExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t kDevicePrefix[] = L"\\\\.\\";
constexpr wchar_t kUncPrefix[] = L"\\\\";
} // namespace

FilePath ExtendedLengthPath(const PathChar* path)
{
    const FilePath given(path);
    if (given.starts_with(kExtendedPrefix) || given.starts_with(kDevicePrefix))
        return given;
    // The extended form is passed to the file system as it stands, without the usual clean-up
    // of relative parts and forward slashes: the full path is made first. A relative path may
    // become long only here, with the current folder in front of it.
    const DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    FilePath full(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetFullPathNameW(path, size, full.data(), nullptr);
    if (length == 0 || length >= size || length < MAX_PATH)
        return given;
    full.resize(length);
    if (full.starts_with(kUncPrefix))
        return kExtendedPrefix + FilePath(L"UNC\\") + full.substr(2);
    return kExtendedPrefix + full;
}

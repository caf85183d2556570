#include "FilePath.h"

#include <windows.h>

namespace {
constexpr wchar_t kExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t kDevicePrefix[] = L"\\\\.\\";

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool StartsAsUnc(const FilePath& path)
{
    return path.size() >= 3 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

// "\\.\" or "\\?\" in either slash.
bool StartsAsDevice(const FilePath& path)
{
    return StartsAsUnc(path) && (path[2] == L'.' || path[2] == L'?') && path.size() >= 4 && IsSeparator(path[3]);
}

// "C:\..." or "\\server\share\..." in either slash: the path names one file whatever the current
// drive and folder are.
bool IsFullyQualified(const FilePath& path)
{
    const bool drive = path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]);
    return drive || (StartsAsUnc(path) && !StartsAsDevice(path));
}

// The extended form of a fully qualified path: backslashes only, "." and ".." resolved, every name
// kept as written. The platform's own clean-up would also drop a name's trailing dots and blanks
// and so open another file, or none.
FilePath Verbatim(const FilePath& path)
{
    const bool unc = StartsAsUnc(path);
    FilePath out = unc ? kExtendedPrefix + FilePath(L"UNC") : FilePath(L"\\\\?");
    // The drive, or the server and the share, which ".." does not climb above.
    int rootNames = unc ? 2 : 1;
    size_t rootEnd = out.size();
    for (size_t begin = 0; begin < path.size();) {
        size_t end = begin;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const FilePath name = path.substr(begin, end - begin);
        if (rootNames > 0 && !name.empty()) {
            out += L'\\' + name;
            rootEnd = out.size();
            --rootNames;
        } else if (name == L"..") {
            if (out.size() > rootEnd)
                out.erase(out.rfind(L'\\'));
        } else if (!name.empty() && name != L".") {
            out += L'\\' + name;
        }
        begin = end + 1;
    }
    if (out.size() == rootEnd || IsSeparator(path.back()))
        out += L'\\';
    return out;
}

// What the platform makes of `path` when it makes it full, or nothing when it cannot.
FilePath PlatformFullPath(const wchar_t* path)
{
    const DWORD size = ::GetFullPathNameW(path, 0, nullptr, nullptr);
    FilePath full(size, L'\0');
    const DWORD length = size == 0 ? 0 : ::GetFullPathNameW(path, size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    return full;
}

} // namespace

FilePath ExtendedLengthPath(const PathChar* path)
{
    const FilePath given(path);
    if (given.empty() || given.starts_with(kExtendedPrefix) || given.starts_with(kDevicePrefix))
        return given;
    if (IsFullyQualified(given))
        return Verbatim(given);
    // A device path in forward slashes: the platform makes it full by its own rules for such names.
    // "\\.\" and "\\?\" name the same objects once the path is clean: not a server called "." or "?".
    if (StartsAsDevice(given)) {
        const FilePath full = PlatformFullPath(path);
        return full.empty() ? given : kExtendedPrefix + full.substr(4);
    }
    // Any other path starts from a folder that the platform knows: the current folder ("fw.bin"),
    // the current folder of the drive named ("Z:fw.bin") or the root of the current one
    // ("\dir\fw.bin"). Only that folder is the platform's to make full; the names that follow are
    // then kept as written, as in any full path. A relative path may become long only here.
    const bool onDrive = given.size() >= 2 && given[1] == L':';
    const size_t rest = onDrive ? 2 : IsSeparator(given[0]) ? 1 : 0;
    const FilePath folder = PlatformFullPath(onDrive ? given.substr(0, 2).c_str() : rest ? L"\\" : L".");
    return folder.empty() ? given : Verbatim(folder + L'\\' + given.substr(rest));
}

#include "ConsoleText.h"

#include <io.h>
#include <windows.h>

namespace {

std::string Narrow(UINT codePage, std::wstring_view text)
{
    if (text.empty())
        return {};
    const int wideLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(codePage, 0, text.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), wideLength, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

} // namespace

void WriteText(std::FILE* stream, std::wstring_view text)
{
    // What the runtime still buffers goes first, so that lines keep their order.
    std::fflush(stream);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string utf8 = Narrow(CP_UTF8, text);
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

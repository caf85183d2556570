#include "OpenFileDialog.h"

#include <commdlg.h>

namespace {
// The longest path the platform's wide functions take, with its terminating NUL.
constexpr DWORD kLongestPath = 32768;
} // namespace

COpenFileDialog::COpenFileDialog(const wchar_t* defaultExtension, DWORD flags, const wchar_t* filter, HWND owner)
    : m_defaultExtension(defaultExtension), m_filter(ToDoubleNullFilter(filter)), m_flags(flags), m_owner(owner)
{
}

INT_PTR COpenFileDialog::DoModal()
{
    std::wstring file(kLongestPath, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_owner;
    ofn.lpstrFilter = m_filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kLongestPath;
    ofn.lpstrDefExt = m_defaultExtension.c_str();
    // Explorer style: the long-name dialog of the current platform.
    ofn.Flags = m_flags | OFN_EXPLORER;
    // After Cancel the buffer is not a result, whatever the platform left in it.
    m_path = ::GetOpenFileNameW(&ofn) ? file.c_str() : L"";
    return m_path.empty() ? IDCANCEL : IDOK;
}

std::wstring COpenFileDialog::GetPathName() const
{
    return m_path;
}

std::wstring ToDoubleNullFilter(const wchar_t* filter)
{
    std::wstring converted(filter);
    for (wchar_t& c : converted) {
        if (c == L'|')
            c = L'\0';
    }
    // The terminating "||" gives the last two NULs; a filter without it still ends properly.
    if (converted.size() < 2 || converted[converted.size() - 1] != L'\0' || converted[converted.size() - 2] != L'\0')
        converted.append(2, L'\0');
    return converted;
}

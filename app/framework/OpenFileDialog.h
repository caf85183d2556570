// The platform's Open File dialog for one existing file, in its wide form: any file name, and
// a path as long as the platform allows.
#pragma once

#include <windows.h>

#include <string>

class COpenFileDialog {
public:
    // `filter` is pairs of "description|pattern|" ending with an extra "|"; `defaultExtension`
    // is appended to a typed name that has none.
    COpenFileDialog(const wchar_t* defaultExtension, DWORD flags, const wchar_t* filter, HWND owner);

    // IDOK when a file was chosen, else IDCANCEL.
    INT_PTR DoModal();
    // The chosen file's full path; empty when nothing was chosen.
    std::wstring GetPathName() const;

private:
    std::wstring m_defaultExtension;
    std::wstring m_filter;
    DWORD m_flags;
    HWND m_owner;
    std::wstring m_path;
};

// "a|b|c|d||" -> "a\0b\0c\0d\0\0", the form the platform wants its filter in.
std::wstring ToDoubleNullFilter(const wchar_t* filter);

// The platform's Open File dialog for one existing file.
#pragma once

#include <windows.h>

#include <string>

class COpenFileDialog {
public:
    // `filter` is pairs of "description|pattern|" ending with an extra "|"; `defaultExtension`
    // is appended to a typed name that has none.
    COpenFileDialog(const char* defaultExtension, DWORD flags, const char* filter, HWND owner);

    // IDOK when a file was chosen, else IDCANCEL.
    INT_PTR DoModal();
    // The chosen file's full path; empty when nothing was chosen.
    std::string GetPathName() const;

private:
    std::string m_defaultExtension;
    std::string m_filter;
    DWORD m_flags;
    HWND m_owner;
    std::string m_path;
};

// "a|b|c|d||" -> "a\0b\0c\0d\0\0", the form the platform wants its filter in.
std::string ToDoubleNullFilter(const char* filter);

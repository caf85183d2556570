#include "OpenFileDialog.h"

#include <commdlg.h>

COpenFileDialog::COpenFileDialog(const char* defaultExtension, DWORD flags, const char* filter, HWND owner)
    : m_defaultExtension(defaultExtension), m_filter(ToDoubleNullFilter(filter)), m_flags(flags), m_owner(owner)
{
}

INT_PTR COpenFileDialog::DoModal()
{
    char file[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = m_owner;
    ofn.lpstrFilter = m_filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = m_defaultExtension.c_str();
    // Explorer style: the long-name dialog of the current platform.
    ofn.Flags = m_flags | OFN_EXPLORER;
    // After Cancel the buffer is not a result, whatever the platform left in it.
    m_path = ::GetOpenFileNameA(&ofn) ? file : "";
    return m_path.empty() ? IDCANCEL : IDOK;
}

std::string COpenFileDialog::GetPathName() const
{
    return m_path;
}

std::string ToDoubleNullFilter(const char* filter)
{
    std::string converted(filter);
    for (char& c : converted) {
        if (c == '|')
            c = '\0';
    }
    // The terminating "||" gives the last two NULs; a filter without it still ends properly.
    if (converted.size() < 2 || converted[converted.size() - 1] != '\0' || converted[converted.size() - 2] != '\0')
        converted.append(2, '\0');
    return converted;
}

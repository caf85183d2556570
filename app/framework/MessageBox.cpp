#include "MessageBox.h"

void ShowAppMessageBox(HWND owner, const char* text)
{
    ::MessageBoxA(owner, text, ApplicationName().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

std::string ApplicationName()
{
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return NameWithoutExtension(path);
}

std::string NameWithoutExtension(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/:");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return name;
}

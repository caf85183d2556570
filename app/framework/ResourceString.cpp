#include "ResourceString.h"

std::string LoadResourceString(UINT id)
{
    char text[256] = {};
    const int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, text, static_cast<int>(sizeof(text)));
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

// The pair of ports the user chose, remembered between runs of both programs, by whole name:
// a device's number changes when devices are plugged in, its name stays.
#pragma once

#include <string>

struct PortNames {
    std::wstring out;
    std::wstring in;
};

class IPortMemory {
public:
    virtual ~IPortMemory() = default;
    // False when no pair is remembered (or it cannot be read).
    virtual bool Recall(PortNames& names) = 0;
    // False when the pair could not be stored; it is then used for this run only.
    virtual bool Remember(const PortNames& names) = 0;
};

// The user's own memory: the values "Output Port" and "Input Port" of the registry key
// HKEY_CURRENT_USER\Software\PQ4400 update tools\PQ4400 Version up Program.
IPortMemory& UserPortMemory();

inline constexpr wchar_t kPortMemoryKey[] = L"Software\\PQ4400 update tools\\PQ4400 Version up Program";
inline constexpr wchar_t kOutputPortValue[] = L"Output Port";
inline constexpr wchar_t kInputPortValue[] = L"Input Port";

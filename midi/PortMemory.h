// The pair of ports the user chose, remembered between runs of both programs. A device's number
// changes when devices are plugged in, its name stays; identical interfaces give several devices
// of one name, told apart by their order in the system's list, which stays as they stay.
#pragma once

#include <cstdint>
#include <string>

// Each port by its whole name and its place among the devices of that name that can be read
// (0 the first, in the order the system lists them).
struct PortNames {
    std::wstring out;
    std::wstring in;
    uint32_t outPlace = 0;
    uint32_t inPlace = 0;
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
// HKEY_CURRENT_USER\Software\PQ4400 update tools\PQ4400 Version up Program, with the places in
// "Output Port Place" and "Input Port Place" beside them. A pair stored before places were has
// none: it reads as the first device of each name, as it was used then.
IPortMemory& UserPortMemory();

inline constexpr wchar_t kPortMemoryKey[] = L"Software\\PQ4400 update tools\\PQ4400 Version up Program";
inline constexpr wchar_t kOutputPortValue[] = L"Output Port";
inline constexpr wchar_t kInputPortValue[] = L"Input Port";
inline constexpr wchar_t kOutputPlaceValue[] = L"Output Port Place";
inline constexpr wchar_t kInputPlaceValue[] = L"Input Port Place";

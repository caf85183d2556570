#include "PortMemory.h"

#include "MidiDevices.h"

#include <windows.h>

#include <string_view>

namespace {

// Nothing makes a REG_SZ end within its data, and Wine adds no end to one that fills the buffer:
// the name is taken from what was read, never beyond. The buffer holds one character more than a
// device name can have, so that a longer value shows as longer: it names no device.
bool ReadName(const wchar_t* value, std::wstring& name)
{
    wchar_t text[kLongestDeviceName + 1] = {};
    DWORD size = sizeof(text);
    if (::RegGetValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS)
        return false;
    const std::wstring_view read(text, size / sizeof(wchar_t));
    name = read.substr(0, read.find(L'\0'));
    return !name.empty() && name.size() <= kLongestDeviceName;
}

// A pair stored before places were has none: the first device of each name.
bool ReadPlace(const wchar_t* value, uint32_t& place)
{
    DWORD read = 0;
    DWORD size = sizeof(read);
    const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, RRF_RT_REG_DWORD, nullptr, &read, &size);
    place = status == ERROR_SUCCESS ? read : 0;
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool WriteName(HKEY key, const wchar_t* value, const std::wstring& name)
{
    const DWORD size = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()), size) == ERROR_SUCCESS;
}

bool WritePlace(HKEY key, const wchar_t* value, uint32_t place)
{
    const DWORD data = place;
    return ::RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
}

class CRegistryPortMemory : public IPortMemory {
public:
    bool Recall(PortNames& names) override
    {
        PortNames read;
        if (!ReadName(kOutputPortValue, read.out) || !ReadName(kInputPortValue, read.in) ||
            !ReadPlace(kOutputPlaceValue, read.outPlace) || !ReadPlace(kInputPlaceValue, read.inPlace))
            return false;
        names = read;
        return true;
    }

    bool Remember(const PortNames& names) override
    {
        HKEY key = nullptr;
        if (::RegCreateKeyExW(HKEY_CURRENT_USER, kPortMemoryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr) != ERROR_SUCCESS)
            return false;
        const bool written = WriteName(key, kOutputPortValue, names.out) && WriteName(key, kInputPortValue, names.in) &&
                             WritePlace(key, kOutputPlaceValue, names.outPlace) &&
                             WritePlace(key, kInputPlaceValue, names.inPlace);
        ::RegCloseKey(key);
        return written;
    }
};

} // namespace

IPortMemory& UserPortMemory()
{
    static CRegistryPortMemory memory;
    return memory;
}

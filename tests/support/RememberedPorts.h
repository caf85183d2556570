// The user's remembered pair of ports in the registry, set for a test and put back as it was
// when the test ends: a test's Wine prefix outlives the test.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "PortMemory.h"

class CRememberedPorts {
public:
    // Remembers `names`, or nothing when they are empty.
    explicit CRememberedPorts(const PortNames& names)
    {
        HKEY key = nullptr;
        m_existed = ::RegOpenKeyExW(HKEY_CURRENT_USER, kCompanyKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        m_saved = {Read(kOutputPortValue), Read(kInputPortValue)};
        Write(names);
    }
    ~CRememberedPorts()
    {
        if (m_existed)
            Write(m_saved);
        else
            ::RegDeleteTreeW(HKEY_CURRENT_USER, kCompanyKey);
    }
    CRememberedPorts(const CRememberedPorts&) = delete;
    CRememberedPorts& operator=(const CRememberedPorts&) = delete;

private:
    static constexpr wchar_t kCompanyKey[] = L"Software\\PQ4400 update tools";

    static std::wstring Read(const wchar_t* value)
    {
        wchar_t text[256] = {};
        DWORD size = sizeof text;
        ::RegGetValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, RRF_RT_REG_SZ, nullptr, text, &size);
        return text;
    }
    // An empty name deletes its value.
    static void Write(const PortNames& names)
    {
        for (const auto& [value, name] : {std::pair{kOutputPortValue, names.out}, std::pair{kInputPortValue, names.in}}) {
            if (name.empty())
                ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kPortMemoryKey, value);
            else
                ::RegSetKeyValueW(HKEY_CURRENT_USER, kPortMemoryKey, value, REG_SZ, name.c_str(),
                                  static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
        }
    }

    bool m_existed = false;
    PortNames m_saved;
};

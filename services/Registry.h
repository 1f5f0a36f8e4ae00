// One open registry key that closes itself, with a read of a string value.
#pragma once

#include <string>

#include "platform/registry.h"

class CRegistry {
public:
    CRegistry() = default;
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    // Opens the toolbar's per-user key for reading and writing, in the 64-bit view first and then in
    // the default view; false when it does not exist.
    bool OpenToolbarKey();
    // Opens the key with the first access, else with the second; false when neither opens it.
    bool Open(HKEY hRoot, const wchar_t* pszSubKey, REGSAM samFirst, REGSAM samThen);
    // Opens the per-user key with all access, in the default view and then in the 64-bit one, else
    // creates it; false when all three fail.
    bool OpenOrCreateUserKey(const wchar_t* pszSubKey);
    // Reads the named value as text up to its first zero character; false when absent.
    bool QueryStringValue(const wchar_t* pszName, std::wstring& strValue) const;
    // Reads the named REG_DWORD value; false, the value unchanged, when it is absent or of another type.
    bool QueryDwordValue(const wchar_t* pszName, DWORD& dwValue) const;

    HKEY m_hKey = nullptr;
};

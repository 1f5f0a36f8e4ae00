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

    // Reads the named value as text up to its first zero character; false when absent.
    bool QueryStringValue(const wchar_t* pszName, std::wstring& strValue) const;

    HKEY m_hKey = nullptr;
};

#include "services/Registry.h"

#include <vector>

CRegistry::~CRegistry() {
    if (m_hKey) {
        RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }
}

bool CRegistry::OpenToolbarKey() {
    const wchar_t* const pszKey = L"SOFTWARE\\Corvex\\Ampwise";
    return RegOpenKeyExW(HKEY_CURRENT_USER, pszKey, 0, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, &m_hKey) ==
               ERROR_SUCCESS ||
           RegOpenKeyExW(HKEY_CURRENT_USER, pszKey, 0, KEY_READ | KEY_WRITE, &m_hKey) == ERROR_SUCCESS;
}

bool CRegistry::Open(HKEY hRoot, const wchar_t* pszSubKey, REGSAM samFirst, REGSAM samThen) {
    return RegOpenKeyExW(hRoot, pszSubKey, 0, samFirst, &m_hKey) == ERROR_SUCCESS ||
           RegOpenKeyExW(hRoot, pszSubKey, 0, samThen, &m_hKey) == ERROR_SUCCESS;
}

bool CRegistry::OpenOrCreateUserKey(const wchar_t* pszSubKey) {
    return Open(HKEY_CURRENT_USER, pszSubKey, KEY_ALL_ACCESS, KEY_ALL_ACCESS | KEY_WOW64_64KEY) ||
           RegCreateKeyExW(HKEY_CURRENT_USER, pszSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_hKey,
                           nullptr) == ERROR_SUCCESS;
}

bool CRegistry::QueryStringValue(const wchar_t* pszName, std::wstring& strValue) const {
    strValue.clear();
    DWORD cbData = 0;
    if (RegQueryValueExW(m_hKey, pszName, nullptr, nullptr, nullptr, &cbData) != ERROR_SUCCESS) {
        return false;
    }
    // One character more than reported, zero-filled: the text ends even when the data does not.
    std::vector<wchar_t> buffer(cbData / sizeof(wchar_t) + 2, L'\0');
    DWORD cbBuffer = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    if (RegQueryValueExW(m_hKey, pszName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                         &cbBuffer) != ERROR_SUCCESS) {
        return false;
    }
    strValue = buffer.data();
    return true;
}

bool CRegistry::QueryDwordValue(const wchar_t* pszName, DWORD& dwValue) const {
    DWORD dwType = REG_NONE;
    DWORD dwData = 0;
    DWORD cbData = sizeof(dwData);
    if (RegQueryValueExW(m_hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwData), &cbData) !=
            ERROR_SUCCESS ||
        dwType != REG_DWORD || cbData != sizeof(dwData)) {
        return false;
    }
    dwValue = dwData;
    return true;
}

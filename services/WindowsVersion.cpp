#include "services/WindowsVersion.h"

#include "platform/strings.h"
#include "services/Registry.h"

bool IsWindowsBuild21OrLater() {
    CRegistry key;
    std::wstring strBuild;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ,
                      &key.m_hKey) == ERROR_SUCCESS) {
        key.QueryStringValue(L"CurrentBuildNumber", strBuild);
    }
    int nBuild = _wtoi(strBuild.c_str());
    while (nBuild > 100) {
        nBuild /= 10;
    }
    return nBuild >= 21;
}

#include "services/WindowsVersion.h"

#include "platform/strings.h"
#include "platform/version.h"
#include "services/Registry.h"

bool IsWindows8OrLater() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 6;
    info.dwMinorVersion = 2;
    info.wServicePackMajor = 0;
    DWORDLONG dwlConditions = 0;
    dwlConditions = VerSetConditionMask(dwlConditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    dwlConditions = VerSetConditionMask(dwlConditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    dwlConditions = VerSetConditionMask(dwlConditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              dwlConditions) != FALSE;
}

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

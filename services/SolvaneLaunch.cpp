#include "services/SolvaneLaunch.h"

#include <cwchar>
#include <vector>

#include "platform/packages.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "platform/window.h"
#include "services/Registry.h"

namespace {

const wchar_t* const kSolvaneUriSchemes[] = {L"corvex-consort",         L"corvex-metro-consort",
                                             L"corvex-metro-discovery", L"corvex-solvane3",
                                             L"corvex-metro-settings",  L"corvex-settings"};

const wchar_t kProtocolRepositoryKey[] = L"SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\"
                                         L"CurrentVersion\\AppModel\\PackageRepository\\Extensions\\"
                                         L"windows.protocol\\";

// The major version of an installed package, 0 when its identity cannot be read.
WORD PackageMajorVersion(const wchar_t* pszFullName) {
    UINT32 nLength = 0;
    if (PackageIdFromFullName(pszFullName, 0, &nLength, nullptr) != ERROR_INSUFFICIENT_BUFFER ||
        nLength < sizeof(PACKAGE_ID)) {
        return 0;
    }
    // Kept in 64-bit units, so that the identity at its start is aligned.
    std::vector<UINT64> buffer((nLength + sizeof(UINT64) - 1) / sizeof(UINT64));
    if (PackageIdFromFullName(pszFullName, 0, &nLength, reinterpret_cast<BYTE*>(buffer.data())) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return reinterpret_cast<const PACKAGE_ID*>(buffer.data())->version.Major;
}

} // namespace

bool IsSolvaneUriScheme(const wchar_t* pszScheme) {
    if (pszScheme == nullptr) {
        return false;
    }
    for (const wchar_t* pszKnown : kSolvaneUriSchemes) {
        if (_wcsicmp(pszScheme, pszKnown) == 0) {
            return true;
        }
    }
    return false;
}

bool CanLaunchSolvaneUri(std::wstring strUri) {
    if (strUri.empty()) {
        return false;
    }
    const std::wstring strScheme = strUri.substr(0, strUri.find(L':'));
    return IsSolvaneUriScheme(strScheme.c_str());
}

bool LaunchSolvaneUri(const wchar_t* pszUri) {
    if (pszUri == nullptr || !CanLaunchSolvaneUri(pszUri)) {
        return false;
    }
    ShellExecuteW(nullptr, nullptr, pszUri, nullptr, nullptr, SW_SHOWMAXIMIZED);
    return true;
}

bool IsUriSchemeRegistered(const wchar_t* pszScheme) {
    // An empty scheme or one with a backslash would name the repository key itself or a key below another.
    if (pszScheme == nullptr || *pszScheme == L'\0' || std::wcschr(pszScheme, L'\\') != nullptr) {
        return false;
    }
    const std::wstring strKey = std::wstring(kProtocolRepositoryKey) + pszScheme;
    CRegistry key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, strKey.c_str(), 0, KEY_READ, &key.m_hKey) == ERROR_SUCCESS;
}

bool IsPackageFamilyInstalled(const wchar_t* pszFamilyName, WORD& wMajorVersion) {
    wMajorVersion = 0;
    UINT32 nCount = 0;
    UINT32 nLength = 0;
    FindPackagesByPackageFamily(pszFamilyName, PACKAGE_FILTER_HEAD, &nCount, nullptr, &nLength, nullptr,
                                nullptr);
    if (nCount == 0) {
        return false;
    }
    std::vector<PWSTR> fullNames(nCount);
    std::vector<WCHAR> names(nLength);
    std::vector<UINT32> properties(nCount);
    // The packages may change between the two calls: only a whole answer is read for the version, and the
    // first call has told that the family is installed.
    if (FindPackagesByPackageFamily(pszFamilyName, PACKAGE_FILTER_HEAD, &nCount, fullNames.data(), &nLength,
                                    names.data(), properties.data()) == ERROR_SUCCESS &&
        nCount > 0 && fullNames[0]) {
        wMajorVersion = PackageMajorVersion(fullNames[0]);
    }
    return true;
}

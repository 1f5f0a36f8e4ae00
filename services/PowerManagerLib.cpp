#include "services/PowerManagerLib.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "services/LibraryTrustCheck.h"
#include "services/Registry.h"

namespace {

const wchar_t kLibraryFileName[] = L"VOLTLINK.DLL";
const wchar_t kInstallPathKey[] = L"SOFTWARE\\Corvex\\VOLTARV\\Path";
constexpr DWORD kInstallPathChars = 260;

constexpr size_t kTimeValidOffset = 16;
constexpr size_t kMinutesOffset = 60;

using PFN_SM_GETSMARTBATTERYSTATUSEX = int (*)(int nBattery, void* pStatusRecord, void* pExtraRecord);

// What the application's key says of its folder.
enum class InstallFolder { NoKey, Unusable, Found };

// The application's folder from its key: the default value, when it is a text that fits and is not
// empty. An expandable text is refused: nothing here expands it.
InstallFolder ReadInstallFolder(std::wstring& strFolder) {
    CRegistry key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallPathKey, 0, KEY_READ, &key.m_hKey) != ERROR_SUCCESS) {
        return InstallFolder::NoKey;
    }
    // One character more than the read may fill, so that the text always ends.
    wchar_t szFolder[kInstallPathChars + 1] = {};
    DWORD dwType = REG_NONE;
    DWORD cbData = kInstallPathChars * sizeof(wchar_t);
    if (RegQueryValueExW(key.m_hKey, nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szFolder), &cbData) !=
            ERROR_SUCCESS ||
        dwType != REG_SZ) {
        return InstallFolder::Unusable;
    }
    strFolder = szFolder;
    return strFolder.empty() ? InstallFolder::Unusable : InstallFolder::Found;
}

// The library beside the executable: its drive and folder.
std::wstring LibraryBesideExecutable() {
    wchar_t szModule[MAX_PATH] = {};
    const DWORD nLength = GetModuleFileNameW(nullptr, szModule, MAX_PATH);
    wchar_t szDrive[_MAX_DRIVE] = {};
    wchar_t szFolder[MAX_PATH] = {};
    if (nLength == 0 || nLength >= MAX_PATH ||
        _wsplitpath_s(szModule, szDrive, _MAX_DRIVE, szFolder, MAX_PATH, nullptr, 0, nullptr, 0) != 0 ||
        szFolder[0] == L'\0') {
        return std::wstring();
    }
    return std::wstring(szDrive) + szFolder + kLibraryFileName;
}

// The full path of the library to check and load, so that both name the same file; empty without one.
// Only an application without its key has the library beside the program.
std::wstring FindLibraryPath() {
    std::wstring strFolder;
    std::wstring strPath;
    switch (ReadInstallFolder(strFolder)) {
    case InstallFolder::NoKey:
        strPath = LibraryBesideExecutable();
        break;
    case InstallFolder::Found:
        strPath = strFolder + L"\\" + kLibraryFileName;
        break;
    case InstallFolder::Unusable:
        break;
    }
    return strPath.empty() ? strPath : GetFullPathString(strPath);
}

int IntAt(const BYTE* pRecord, size_t nOffset) {
    int nValue = 0;
    std::memcpy(&nValue, pRecord + nOffset, sizeof(nValue));
    return nValue;
}

void PutSizeWord(BYTE* pRecord, DWORD nSize) {
    std::memcpy(pRecord, &nSize, sizeof(nSize));
}

bool IsSecondBatteryPresentStatus(int nStatus) {
    return nStatus == 1 || nStatus == 5 || nStatus == 7;
}

} // namespace

CPowerManagerLib::~CPowerManagerLib() {
    if (m_hModule != nullptr) {
        FreeLibrary(m_hModule);
    }
}

bool CPowerManagerLib::LoadPowerManagerDll() {
    if (m_hModule != nullptr) {
        return true;
    }
    const std::wstring strPath = FindLibraryPath();
    if (!strPath.empty() && _waccess_s(strPath.c_str(), 0) == 0 && IsTrustedModuleFile(strPath.c_str())) {
        m_hModule = LoadLibraryW(strPath.c_str());
    }
    return m_hModule != nullptr;
}

int CPowerManagerLib::GetSmartBatteryStatus(int nBattery, void* pStatusRecord, void* pExtraRecord) const {
    if (m_hModule == nullptr || pStatusRecord == nullptr || pExtraRecord == nullptr) {
        return -1;
    }
    const auto pfnGetStatus = reinterpret_cast<PFN_SM_GETSMARTBATTERYSTATUSEX>(
        GetProcAddress(m_hModule, "SM_GetSmartBatteryStatusEx"));
    if (pfnGetStatus == nullptr) {
        return -2;
    }
    return pfnGetStatus(nBattery, pStatusRecord, pExtraRecord) & 0xFFFF;
}

int CPowerManagerLib::QueryBatteryStatus(int nIndex) {
    alignas(4) BYTE statusRecord[kStatusRecordSize] = {};
    alignas(4) BYTE extraRecord[kExtraRecordSize] = {};
    int nStatus = -1;
    if (m_hModule != nullptr) {
        PutSizeWord(statusRecord, kStatusRecordSize);
        PutSizeWord(extraRecord, kExtraRecordSize);
        nStatus = GetSmartBatteryStatus(nIndex + 1, statusRecord, extraRecord);
    }
    const int nValue = IntAt(statusRecord, kTimeValidOffset) != 0 ? IntAt(statusRecord, kMinutesOffset) : 0;
    if (nIndex == 1) {
        m_nSecondBattery = m_hModule != nullptr && IsSecondBatteryPresentStatus(nStatus) ? 1 : 0;
    }
    return std::max(nValue, 0);
}

bool CPowerManagerLib::GetTotalBatteryValue(int& nTotal) {
    const long long nSum = static_cast<long long>(QueryBatteryStatus(0)) + QueryBatteryStatus(1);
    nTotal = static_cast<int>(std::min<long long>(nSum, INT_MAX));
    return nTotal > 0;
}

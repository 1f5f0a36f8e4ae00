#include "services/SystemRoutines.h"

#include <vector>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/resources.h"
#include "platform/servicecontrol.h"
#include "platform/strings.h"
#include "platform/threads.h"
#include "platform/version.h"
#include "services/Folders.h"
#include "services/Registry.h"

namespace {

struct ServiceHandle {
    SC_HANDLE hHandle = nullptr;
    ~ServiceHandle() {
        if (hHandle) {
            CloseServiceHandle(hHandle);
        }
    }
};

struct UiLanguage {
    const wchar_t* pszName;
    LANGID nLangId;
};

const UiLanguage kUiLanguages[] = {
    {L"CHINESE_SIMPLIFIED", 0x0804},   {L"ARABIC_SAUDI_ARABIA", 0x0401},
    {L"POLISH_POLAND", 0x0415},        {L"KOREAN", 0x0412},
    {L"DANISH_DENMARK", 0x0406},       {L"GERMAN", 0x0407},
    {L"RUSSIAN_RUSSIA", 0x0419},       {L"FRENCH", 0x040C},
    {L"FINNISH_FINLAND", 0x040B},      {L"DUTCH", 0x0413},
    {L"CZECH_CZECH_REPUBLIC", 0x0405}, {L"CROATIAN_CROATIA", 0x041A},
    {L"ROMANIAN_ROMANIA", 0x0418},     {L"NORWEGIAN_BOKMAL", 0x0414},
    {L"PORTUGUESE_BRAZILIAN", 0x0416}, {L"PORTUGUESE", 0x0816},
    {L"JAPANESE_JAPAN", 0x0411},       {L"SWEDISH", 0x041D},
    {L"SERBIAN_SERBIA_LATIN", 0x241A}, {L"SLOVAK_SLOVAKIA", 0x041B},
    {L"SLOVENIAN_SLOVENIA", 0x0424},   {L"TURKISH_TURKEY", 0x041F},
    {L"UKRAINIAN_UKRAINE", 0x0422},    {L"SPANISH_MODERN", 0x0C0A},
    {L"HEBREW_ISRAEL", 0x040D},        {L"GREEK_GREECE", 0x0408},
    {L"HUNGARIAN_HUNGARY", 0x040E},    {L"ITALIAN", 0x0410},
    {L"ENGLISH_US", 0x0409},           {L"CHINESE_TRADITIONAL", 0x0404},
};

// Cuts the text at its last backslash; keeps that backslash when asked.
bool CutAtLastBackslash(std::wstring& strPath, bool bKeepBackslash) {
    const size_t nSlash = strPath.rfind(L'\\');
    if (nSlash == std::wstring::npos) {
        return false;
    }
    strPath.resize(bKeepBackslash ? nSlash + 1 : nSlash);
    return true;
}

bool StartsWithNoCase(const std::wstring& strText, const std::wstring& strPrefix) {
    return strText.size() >= strPrefix.size() &&
           IsEqualNoCaseW(strText.substr(0, strPrefix.size()), strPrefix);
}

} // namespace

bool IsServiceRunning(const wchar_t* pszServiceName) {
    ServiceHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (!manager.hHandle) {
        return false;
    }
    ServiceHandle service{OpenServiceW(manager.hHandle, pszServiceName, SERVICE_QUERY_STATUS)};
    if (!service.hHandle) {
        return false;
    }
    SERVICE_STATUS_PROCESS status = {};
    DWORD cbNeeded = 0;
    if (!QueryServiceStatusEx(service.hHandle, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                              sizeof(status), &cbNeeded)) {
        return false;
    }
    return status.dwCurrentState == SERVICE_RUNNING;
}

bool GetPluginRootFolder(std::wstring& strFolder) {
    strFolder.clear();
    wchar_t szPath[MAX_PATH + 1] = {};
    if (GetModuleFileNameW(nullptr, szPath, MAX_PATH + 1) == 0) {
        return false;
    }
    std::wstring strPath = szPath;
    // A path with fewer than three backslashes has no plug-ins folder.
    if (CutAtLastBackslash(strPath, false) && CutAtLastBackslash(strPath, false) &&
        CutAtLastBackslash(strPath, true)) {
        strFolder = strPath;
    }
    return !strFolder.empty();
}

bool GetFileVersionString(std::wstring& strVersion, bool bPadded, const std::wstring& strPath) {
    strVersion.clear();
    if (_waccess_s(strPath.c_str(), 0) != 0) {
        strVersion = L"File not found";
        return false;
    }
    DWORD dwHandle = 0;
    const DWORD cbInfo = GetFileVersionInfoSizeW(strPath.c_str(), &dwHandle);
    if (cbInfo == 0) {
        return false;
    }
    std::vector<BYTE> info(cbInfo);
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    if (!GetFileVersionInfoW(strPath.c_str(), 0, cbInfo, info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<LPVOID*>(&pFixed), &cbFixed) || !pFixed ||
        cbFixed < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    wchar_t szVersion[52] = {};
    swprintf_s(szVersion, 52, bPadded ? L"%03d.%03d.%03d.%03d" : L"%d.%d.%d.%d",
               HIWORD(pFixed->dwFileVersionMS), LOWORD(pFixed->dwFileVersionMS),
               HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS));
    strVersion = szVersion;
    return !strVersion.empty();
}

void GetVisionProtectionPluginVersion(std::wstring& strVersion) {
    std::wstring strRoot;
    if (!GetPluginRootFolder(strRoot)) {
        return;
    }
    const std::wstring strPlugin = strRoot + L"CorvexVisionProtectionPlugin";
    if (!GetFileVersionString(strVersion, true, strPlugin + L"\\x64\\CorvexVisionProtectionPlugin.dll")) {
        GetFileVersionString(strVersion, true, strPlugin + L"\\x86\\CorvexVisionProtectionPlugin.dll");
    }
}

bool KillInstancesFromPluginFolder(const wchar_t* pszExeName) {
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool bSeen = false;
    const DWORD dwSelf = GetCurrentProcessId();
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Process32FirstW(hSnapshot, &entry); bMore; bMore = Process32NextW(hSnapshot, &entry)) {
        if (entry.th32ProcessID == dwSelf || !IsEqualNoCaseW(entry.szExeFile, pszExeName)) {
            continue;
        }
        bSeen = true;
        HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                      entry.th32ProcessID);
        if (!hProcess) {
            continue;
        }
        wchar_t szImage[MAX_PATH] = {};
        if (K32GetModuleFileNameExW(hProcess, nullptr, szImage, MAX_PATH) > 0 &&
            StartsWithNoCase(szImage, L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins")) {
            TerminateProcess(hProcess, 0);
        }
        CloseHandle(hProcess);
    }
    CloseHandle(hSnapshot);
    return bSeen;
}

void ApplyUiLanguage() {
    CRegistry key;
    std::wstring strLanguage;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Flipdeck", 0, KEY_READ | KEY_WOW64_64KEY,
                      &key.m_hKey) == ERROR_SUCCESS) {
        key.QueryStringValue(L"Language", strLanguage);
    }
    for (const auto& language : kUiLanguages) {
        if (IsEqualNoCaseW(strLanguage, language.pszName)) {
            SetThreadUILanguage(language.nLangId);
            return;
        }
    }
}

LONGLONG FileTimeTicks(const FILETIME& ft) {
    ULARGE_INTEGER ticks = {};
    ticks.LowPart = ft.dwLowDateTime;
    ticks.HighPart = ft.dwHighDateTime;
    return static_cast<LONGLONG>(ticks.QuadPart);
}

FILETIME LocalFileTimeNow() {
    FILETIME ftSystem = {};
    FILETIME ftLocal = {};
    GetSystemTimeAsFileTime(&ftSystem);
    FileTimeToLocalFileTime(&ftSystem, &ftLocal);
    return ftLocal;
}

void FormatElapsedSinceFileTime(const FILETIME& ftStart, std::wstring& strElapsed) {
    const LONGLONG nDifference = FileTimeTicks(LocalFileTimeNow()) - FileTimeTicks(ftStart);
    const LONGLONG nSeconds = nDifference / 10000000;
    const LONGLONG nRest = nDifference - nSeconds * 10000000;
    wchar_t szElapsed[64] = {};
    swprintf_s(szElapsed, 64, L"%I64d.%07I64d", nSeconds, nRest);
    strElapsed = szElapsed;
}

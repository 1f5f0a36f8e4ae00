#include "services/Log.h"

#include <cstdarg>
#include <mutex>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "platform/time.h"
#include "services/Folders.h"
#include "services/Registry.h"
#include "services/SystemRoutines.h"

std::wstring g_strLogFolder;
bool g_bLogEnabled = false;

namespace {

constexpr long kMaxLogBytes = 3145728;
constexpr UINT kLogCodePage = 936;

// Records of concurrent threads are written one after the other, never into each other.
std::recursive_mutex g_logLock;

const wchar_t* const kStarLine =
    L"*********************************Related Information*********************************";

struct PluginFile {
    const wchar_t* pszFolder;
    const wchar_t* pszFile;
};

const PluginFile kVersionLines[] = {
    {L"CorvexAmpwisePackage", L"FlipdeckEx.exe"},
    {L"CorvexAmpwisePackage", L"CorvexAmpwisePackage.dll"},
    {L"DolbySoundPlugin", L"DolbySoundPlugin.dll"},
    {L"WavesSoundPlugin", L"WavesSoundPlugin.dll"},
    {L"IxorNotebookPlugin", L"IxorNotebookPlugin.dll"},
    {L"IxorBatteryPlugin", L"IxorBatteryPlugin.dll"},
    {L"KobalBatteryPlugin", L"KobalBatteryPlugin.dll"},
    {L"CorvexMobileHotspotPlugin", L"CorvexMobileHotspotPlugin.dll"},
    {L"IxorKeyboardPlugin", L"IxorKeyboardPlugin.dll"},
    {L"KobalKeyboardPlugin", L"KobalKeyboardPlugin.dll"},
    {L"CommonBasePlugin", L"CommonBasePlugin.dll"},
    {L"CorvexVisionProtectionPlugin", L"CorvexVisionProtectionPlugin.dll"},
    {L"IxorPowerPlugin", L"IxorPowerPlugin.dll"},
    {L"KobalPowerPlugin", L"KobalPowerPlugin.dll"},
    {L"KobalSmartSensePlugin", L"KobalSmartSensePlugin.dll"},
    {L"IxorTouchPadPlugin", L"IxorTouchPadPlugin.dll"},
    {L"KobalTouchPadPlugin", L"KobalTouchPadPlugin.dll"},
    {L"CorvexWiFiSecurityPlugin", L"CorvexWiFiSecurityPlugin.dll"},
};

std::wstring LogFilePath() {
    return g_strLogFolder + L"\\quickpanel.log";
}

std::wstring FormatTimeText() {
    SYSTEMTIME st = {};
    GetLocalTime(&st);
    wchar_t szTime[64] = {};
    swprintf_s(szTime, 64, L"%04d-%02d-%02d %02d:%02d:%02d.%03d  ", st.wYear, st.wMonth, st.wDay, st.wHour,
               st.wMinute, st.wSecond, st.wMilliseconds);
    return szTime;
}

// Writes wide text as code page 936 bytes.
void WriteText(FILE* pStream, const std::wstring& strText) {
    const int nChars = static_cast<int>(strText.size());
    const int nBytes =
        WideCharToMultiByte(kLogCodePage, 0, strText.c_str(), nChars, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0) {
        return;
    }
    std::string strBytes(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(kLogCodePage, 0, strText.c_str(), nChars, strBytes.data(), nBytes, nullptr, nullptr);
    fwrite(strBytes.data(), 1, strBytes.size(), pStream);
}

void WriteLine(FILE* pStream, const std::wstring& strLine) {
    WriteText(pStream, strLine + L"\n");
    fflush(pStream);
}

std::wstring RegistryText(const CRegistry& key, const wchar_t* pszName) {
    std::wstring strValue;
    key.QueryStringValue(pszName, strValue);
    return strValue;
}

} // namespace

void InitLogFolder() {
    std::wstring strFolder;
    if (GetUserDataFolder(strFolder) == 0) {
        g_strLogFolder = strFolder + L"log";
    }
}

void InitLog() {
    g_bLogEnabled = !g_strLogFolder.empty() && PathFileExistsW(g_strLogFolder.c_str()) && IsLogSwitchOn();
    if (g_bLogEnabled) {
        RestartLog();
    }
}

bool IsLogSwitchOn() {
    CRegistry key;
    const wchar_t* pszKey = L"SOFTWARE\\Wow6432Node\\Corvex\\Modern\\Logs";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ | KEY_WOW64_64KEY, &key.m_hKey) !=
            ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, &key.m_hKey) != ERROR_SUCCESS) {
        return false;
    }
    std::wstring strValue;
    return key.QueryStringValue(L"Plexhost.Service", strValue) && strValue == L"0";
}

void WriteLog(const wchar_t* pszFormat, ...) {
    if (!g_bLogEnabled || !pszFormat) {
        return;
    }
    wchar_t szMessage[8192] = {};
    va_list args;
    va_start(args, pszFormat);
    _vsnwprintf_s(szMessage, 8192, 8191, pszFormat, args);
    va_end(args);
    const std::wstring strRecord = FormatTimeText() + szMessage + L"\n\n\n";

    std::lock_guard lock(g_logLock);
    FILE* pStream = _wfopen(LogFilePath().c_str(), L"a");
    if (!pStream) {
        return;
    }
    WriteText(pStream, strRecord);
    fflush(pStream);
    const long nPosition = ftell(pStream);
    fclose(pStream);
    if (nPosition > kMaxLogBytes) {
        RestartLog();
    }
}

void RestartLog() {
    if (!g_bLogEnabled) {
        return;
    }
    std::lock_guard lock(g_logLock);
    const std::wstring strTime = FormatTimeText();
    FILE* pStream = _wfopen(LogFilePath().c_str(), L"w");
    if (!pStream) {
        return;
    }
    std::wstring strMachineInfo;
    GetMachineInfoText(strMachineInfo);
    std::wstring strRootFolder;
    GetPluginRootFolder(strRootFolder);

    WriteLine(pStream, strTime + L"Restart log....");
    WriteLine(pStream, kStarLine);
    WriteLine(pStream, L"******    MachineInfo: " + strMachineInfo);
    WriteLine(pStream, std::wstring(L"******    PlexhostService Running: [ ") +
                           (IsServiceRunning(L"PlexhostService") ? L"Yes ]" : L"No ]"));
    WriteLine(pStream, L"******    FlipdeckEx CompileTime: [ " __DATE__ L" " __TIME__ L" ]");
    for (const auto& plugin : kVersionLines) {
        WritePluginVersionLine(pStream, strRootFolder, plugin.pszFolder, plugin.pszFile);
    }
    WriteLine(pStream, kStarLine);
    WriteLine(pStream, L"");
    fclose(pStream);
}

void WritePluginVersionLine(FILE* pStream, const std::wstring& strRoot, const wchar_t* pszFolder,
                            const wchar_t* pszFile) {
    const std::wstring strFolder = strRoot + pszFolder;
    std::wstring strVersion;
    if (!GetFileVersionString(strVersion, false, strFolder + L"\\x64\\" + pszFile)) {
        GetFileVersionString(strVersion, false, strFolder + L"\\x86\\" + pszFile);
    }
    WriteLine(pStream, std::wstring(L"******    ") + pszFile + L" version: [ " + strVersion + L" ]");
}

void GetMachineInfoText(std::wstring& strText) {
    CRegistry key;
    const wchar_t* pszKey = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, &key.m_hKey) != ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ | KEY_WOW64_64KEY, &key.m_hKey) !=
            ERROR_SUCCESS) {
        return;
    }
    strText = L"BIOSVersion=[" + RegistryText(key, L"BIOSVersion") + L"], SystemFamily=[" +
              RegistryText(key, L"SystemFamily") + L"], SystemProductName=[" +
              RegistryText(key, L"SystemProductName") + L"], SystemSKU=[" + RegistryText(key, L"SystemSKU") +
              L"]";
}

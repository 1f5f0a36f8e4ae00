#include "services/MachineInfo.h"

#include <cstdio>

#include <tinyxml.h>

#include "platform/files.h"
#include "platform/inifile.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/strings.h"
#include "platform/threads.h"
#include "services/ContractClient.h"
#include "services/Folders.h"
#include "services/Registry.h"

int g_nKobalBrand = -1;
int g_nGamingDevice = -1;
int g_nAioDesktop = -1;
std::wstring g_strFamilyName;
std::wstring g_strSerialNumber;
std::wstring g_strMTM;

namespace {

const wchar_t* const kSection = L"BasicMachineInfo";
constexpr size_t kMinMtmLength = 4;
constexpr int kMaxCachedTextChars = 256;

const char* const kAioDesktopEnclosures[] = {"allinone", "desktop", "tower", "workstation"};

// The host's applicability tags, in the order they are tried.
struct TagsKey {
    const wchar_t* pszPath;
    REGSAM samView;
};

const TagsKey kTagsKeys[] = {
    {L"SOFTWARE\\WOW6432Node\\Corvex\\Plexhost\\Applicability\\Tags", 0},
    {L"SOFTWARE\\WOW6432Node\\Corvex\\Plexhost\\Applicability\\Tags", KEY_WOW64_64KEY},
    {L"SOFTWARE\\Corvex\\Plexhost\\Applicability\\Tags", 0},
    {L"SOFTWARE\\Corvex\\Plexhost\\Applicability\\Tags", KEY_WOW64_32KEY},
};

void ReadCachedInt(const wchar_t* pszKey, const std::wstring& strPath, int& nValue) {
    if (!ReadIniInt(kSection, pszKey, strPath.c_str(), nValue)) {
        nValue = -1;
    }
}

void ReadCachedText(const wchar_t* pszKey, const std::wstring& strPath, std::wstring& strValue) {
    wchar_t szValue[kMaxCachedTextChars] = {};
    GetPrivateProfileStringW(kSection, pszKey, L"", szValue, kMaxCachedTextChars, strPath.c_str());
    if (szValue[0] != L'\0') {
        strValue = szValue;
    }
}

void WriteCachedInt(const wchar_t* pszKey, int nValue, const std::wstring& strPath) {
    wchar_t szValue[64] = {};
    swprintf_s(szValue, L"%d", nValue);
    WritePrivateProfileStringW(kSection, pszKey, szValue, strPath.c_str());
}

void WriteCachedText(const wchar_t* pszKey, const std::wstring& strValue, const std::wstring& strPath) {
    WritePrivateProfileStringW(kSection, pszKey, strValue.c_str(), strPath.c_str());
}

void ReadMachineInfoCache(const std::wstring& strPath) {
    ReadCachedInt(L"KobalBrand", strPath, g_nKobalBrand);
    ReadCachedInt(L"GamingDevice", strPath, g_nGamingDevice);
    ReadCachedInt(L"AioDesktop", strPath, g_nAioDesktop);
    ReadCachedText(L"FamilyName", strPath, g_strFamilyName);
    ReadCachedText(L"Serialnumber", strPath, g_strSerialNumber);
    ReadCachedText(L"MTM", strPath, g_strMTM);
}

// Without a contract instance, or when its call fails, the brand stays 0 unwritten, so the next start
// asks again.
void LoadKobalBrand(const std::wstring& strPath) {
    if (g_nKobalBrand != -1) {
        return;
    }
    g_nKobalBrand = 0;
    if (!g_pContractInterface) {
        return;
    }
    _bstr_t answer;
    const HRESULT hr = ContractResultOf([&answer] {
        answer = g_pContractInterface->GetMachineBrand();
        return S_OK;
    });
    if (FAILED(hr)) {
        return;
    }
    const char* pszBrand = answer;
    g_nKobalBrand = IsEqualNoCaseA(pszBrand ? pszBrand : "", "kobal") ? 1 : 0;
    WriteCachedInt(L"KobalBrand", g_nKobalBrand, strPath);
}

void LoadGamingDevice(const std::wstring& strPath) {
    if (g_nGamingDevice != -1) {
        return;
    }
    g_nGamingDevice = IsGamingDeviceByTags() ? 1 : 0;
    WriteCachedInt(L"GamingDevice", g_nGamingDevice, strPath);
}

bool IsMachineDescriptionMissing() {
    return g_nAioDesktop == -1 || g_strFamilyName.empty() || g_strSerialNumber.empty() || g_strMTM.empty();
}

void LoadMachineDescription(const std::wstring& strPath) {
    ParseMachineInformationXml();
    WriteCachedInt(L"AioDesktop", g_nAioDesktop, strPath);
    WriteCachedText(L"FamilyName", g_strFamilyName, strPath);
    WriteCachedText(L"Serialnumber", g_strSerialNumber, strPath);
    WriteCachedText(L"MTM", g_strMTM, strPath);
    if (g_strMTM.size() < kMinMtmLength) {
        GetMtmFromContract();
        WriteCachedText(L"MTM", g_strMTM, strPath);
    }
}

// Narrow text in the thread's ANSI code page to wide; empty when it does not convert.
std::wstring AnsiToWide(const char* pszText) {
    const int nChars = MultiByteToWideChar(CP_THREAD_ACP, 0, pszText, -1, nullptr, 0);
    if (nChars <= 0) {
        return std::wstring();
    }
    std::wstring strWide(static_cast<size_t>(nChars), L'\0');
    if (MultiByteToWideChar(CP_THREAD_ACP, 0, pszText, -1, strWide.data(), nChars) != nChars) {
        return std::wstring();
    }
    strWide.resize(static_cast<size_t>(nChars) - 1);
    return strWide;
}

void TrimWhiteSpace(std::wstring& strText) {
    const wchar_t* const pszWhiteSpace = L" \t\r\n\v\f";
    const size_t nFirst = strText.find_first_not_of(pszWhiteSpace);
    if (nFirst == std::wstring::npos) {
        strText.clear();
        return;
    }
    strText = strText.substr(nFirst, strText.find_last_not_of(pszWhiteSpace) - nFirst + 1);
}

// The host's folder is the one that holds the executable's "plugins" folder; the file is in its
// "shared" folder. The path is lower-case.
bool GetMachineInformationXmlPath(std::string& strPath) {
    char szExePath[MAX_PATH] = {};
    if (GetModuleFileNameA(nullptr, szExePath, MAX_PATH) == 0) {
        return false;
    }
    const std::string strLower = ToLowerCopyA(szExePath);
    const size_t nPlugins = strLower.find("plugins");
    if (nPlugins == std::string::npos) {
        return false;
    }
    // Less the backslash before "plugins".
    strPath = strLower.substr(0, nPlugins > 0 ? nPlugins - 1 : 0) + "\\shared\\MachineInformation.xml";
    return true;
}

// The path is ANSI text; the wide open names the file whatever the run-time's locale.
bool LoadXmlFile(TiXmlDocument& document, const std::string& strPath) {
    FILE* pFile = _wfopen(AnsiToWide(strPath.c_str()).c_str(), L"rb");
    if (!pFile) {
        return false;
    }
    const bool bLoaded = document.LoadFile(pFile);
    fclose(pFile);
    return bLoaded;
}

bool IsAioDesktopEnclosure(const std::string& strEnclosure) {
    for (const char* pszEnclosure : kAioDesktopEnclosures) {
        if (IsEqualNoCaseA(strEnclosure, pszEnclosure)) {
            return true;
        }
    }
    return false;
}

// True when the process runs from the Windows folder; one that denies access counts as the real one.
bool IsPowerManagerImage(DWORD dwProcessId) {
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwProcessId);
    if (!hProcess) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    wchar_t szImage[MAX_PATH] = {};
    K32GetModuleFileNameExW(hProcess, nullptr, szImage, MAX_PATH);
    CloseHandle(hProcess);
    return _wcsnicmp(szImage, L"C:\\Windows", 10) == 0;
}

} // namespace

bool LoadMachineInfo() {
    const std::wstring strPath = GetShowExCfgPath();
    if (PathFileExistsW(strPath.c_str())) {
        ReadMachineInfoCache(strPath);
    }
    LoadKobalBrand(strPath);
    LoadGamingDevice(strPath);
    if (IsMachineDescriptionMissing()) {
        LoadMachineDescription(strPath);
    }
    return true;
}

bool IsGamingDeviceByTags() {
    CRegistry key;
    for (const auto& tags : kTagsKeys) {
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, tags.pszPath, 0, KEY_READ | tags.samView, &key.m_hKey) ==
            ERROR_SUCCESS) {
            std::wstring strGaming;
            key.QueryStringValue(L"System.Profile.Gaming", strGaming);
            return !strGaming.empty();
        }
    }
    return false;
}

void ParseMachineInformationXml() {
    std::string strPath;
    TiXmlDocument document;
    if (!GetMachineInformationXmlPath(strPath) || !LoadXmlFile(document, strPath)) {
        return;
    }
    const TiXmlElement* pRoot = document.RootElement();
    if (!pRoot) {
        return;
    }
    std::string strEnclosure;
    for (const TiXmlElement* pChild = pRoot->FirstChildElement(); pChild;
         pChild = pChild->NextSiblingElement()) {
        const char* pszText = pChild->GetText();
        if (!pszText) {
            continue;
        }
        const std::string strName = pChild->Value();
        if (IsEqualNoCaseA(strName, "Family")) {
            g_strFamilyName = AnsiToWide(pszText);
        } else if (IsEqualNoCaseA(strName, "Serialnumber")) {
            g_strSerialNumber = AnsiToWide(pszText);
        } else if (IsEqualNoCaseA(strName, "MTM")) {
            g_strMTM = AnsiToWide(pszText);
        } else if (IsEqualNoCaseA(strName, "EnclosureType")) {
            strEnclosure = pszText;
        }
    }
    TrimWhiteSpace(g_strSerialNumber);
    TrimWhiteSpace(g_strMTM);
    if (!strEnclosure.empty()) {
        g_nAioDesktop = IsAioDesktopEnclosure(strEnclosure) ? 1 : 0;
    }
}

bool GetMtmFromContract() {
    if (!g_pContractInterface) {
        return false;
    }
    if (g_strMTM.size() >= kMinMtmLength) {
        return true;
    }
    const _bstr_t answer = ContractAnswerOf([] { return g_pContractInterface->GetMachineTypeModel(); });
    if (answer.length() >= kMinMtmLength) {
        g_strMTM.assign(static_cast<const wchar_t*>(answer), answer.length());
    }
    return true;
}

bool IsModelH352() {
    CRegistry key;
    std::wstring strVersion;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, KEY_READ,
                         &key.m_hKey) == ERROR_SUCCESS &&
           key.QueryStringValue(L"SystemVersion", strVersion) &&
           strVersion.find(L"H352") != std::wstring::npos;
}

bool IsPowerManagerRunning() {
    if (g_nKobalBrand != 1) {
        return true;
    }
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool bRunning = false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL bMore = Process32FirstW(hSnapshot, &entry); bMore; bMore = Process32NextW(hSnapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"Voltaro.exe") == 0) {
            bRunning = IsPowerManagerImage(entry.th32ProcessID);
            break;
        }
    }
    CloseHandle(hSnapshot);
    return bRunning;
}

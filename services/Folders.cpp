#include "services/Folders.h"

#include <cctype>
#include <cwctype>

#include "platform/files.h"
#include "platform/inifile.h"
#include "platform/shell.h"
#include "platform/strings.h"

namespace {

bool FolderExists(const std::wstring& strFolder) {
    return _waccess_s(strFolder.c_str(), 0) == 0;
}

bool EnsureFolder(const std::wstring& strFolder) {
    return FolderExists(strFolder) || _wmkdir(strFolder.c_str()) == 0;
}

} // namespace

std::wstring GetExeFolder() {
    wchar_t szPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    std::wstring strPath = szPath;
    const size_t nSlash = strPath.rfind(L'\\');
    return nSlash == std::wstring::npos ? std::wstring() : strPath.substr(0, nSlash + 1);
}

int GetUserDataFolder(std::wstring& strFolder) {
    wchar_t szLocal[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, szLocal))) {
        return -1;
    }
    strFolder = szLocal;
    // The low-integrity LocalLow folder beside Local is preferred where it exists.
    if (strFolder.find(L"Low") == std::wstring::npos && FolderExists(strFolder + L"Low")) {
        strFolder += L"Low";
    }
    strFolder += L"\\Corvex\\";
    if (!EnsureFolder(strFolder)) {
        return -2;
    }
    strFolder += L"ampwise\\";
    return EnsureFolder(strFolder) ? 0 : -3;
}

std::wstring GetShowExCfgPath() {
    std::wstring strFolder;
    if (GetUserDataFolder(strFolder) != 0) {
        strFolder = GetExeFolder();
    }
    return strFolder + L"ShowEx.cfg";
}

std::string ToLowerCopyA(const std::string& str) {
    std::string strLower = str;
    for (auto& ch : strLower) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return strLower;
}

std::wstring ToLowerCopyW(const std::wstring& str) {
    std::wstring strLower = str;
    for (auto& ch : strLower) {
        ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    }
    return strLower;
}

bool IsEqualNoCaseA(const std::string& a, const std::string& b) {
    return ToLowerCopyA(a) == ToLowerCopyA(b);
}

bool IsEqualNoCaseW(const std::wstring& a, const std::wstring& b) {
    return ToLowerCopyW(a) == ToLowerCopyW(b);
}

bool ReadIniInt(const wchar_t* pszSection, const wchar_t* pszKey, const wchar_t* pszFile, int& nValue) {
    nValue = 0;
    if (!pszSection || !pszKey || !pszFile) {
        return false;
    }
    wchar_t szValue[256] = {};
    GetPrivateProfileStringW(pszSection, pszKey, L"", szValue, 256, pszFile);
    nValue = _wtoi(szValue);
    return szValue[0] != L'\0';
}

#include "services/LibraryTrustCheck.h"

#include <string_view>

#include "platform/files.h"
#include "platform/processes.h"
#include "platform/security.h"
#include "platform/threads.h"
#include "services/AssemblyValidator.h"
#include "services/WindowsVersion.h"

namespace {

constexpr DWORD kFullPathBufferLength = 4096;

// The validation library's verdict: true only when it is loaded and answers 0 (valid).
bool IsAcceptedByValidator(const wchar_t* pszPath) {
    const CAssemblyValidator* pValidator = GetAssemblyValidator();
    return pValidator && pValidator->m_pfnValidateAssembly && pValidator->m_pfnValidateAssembly(pszPath) == 0;
}

bool IsAcceptedTrustResult(LONG nResult) {
    if (nResult == ERROR_SUCCESS) {
        return true;
    }
    // Before Windows 8 a chain that cannot be completed still counts as signed.
    return nResult == CERT_E_CHAINING && !IsWindows8OrLater();
}

} // namespace

bool IsTrustedModuleFile(const wchar_t* pszPath) {
    if (pszPath == nullptr) {
        return false;
    }
    if (!IsImagePathX64() && *pszPath != L'\0' && IsAcceptedByValidator(pszPath)) {
        return true;
    }
    return VerifyFileSignature(pszPath);
}

bool VerifyFileSignature(const wchar_t* pszPath) {
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = pszPath;

    WINTRUST_DATA trustData = {};
    trustData.cbStruct = sizeof(trustData);
    trustData.dwUIChoice = WTD_UI_NONE;
    trustData.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    trustData.dwUnionChoice = WTD_CHOICE_FILE;
    trustData.pFile = &fileInfo;
    trustData.dwStateAction = WTD_STATEACTION_VERIFY;
    trustData.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN | WTD_CACHE_ONLY_URL_RETRIEVAL;
    trustData.dwUIContext = WTD_UICONTEXT_EXECUTE;

    GUID guidAction = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const bool bTrusted = IsAcceptedTrustResult(WinVerifyTrust(nullptr, &guidAction, &trustData));
    trustData.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(nullptr, &guidAction, &trustData);
    return bTrusted;
}

bool IsImagePathX64() {
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
    if (hProcess == nullptr) {
        return true;
    }
    wchar_t szPath[MAX_PATH] = {};
    const DWORD nLength = K32GetModuleFileNameExW(hProcess, nullptr, szPath, MAX_PATH);
    CloseHandle(hProcess);
    if (nLength == 0) {
        return false;
    }
    const std::wstring_view path(szPath, nLength);
    return path.find(L"X64", 1) != std::wstring_view::npos || path.find(L"x64", 1) != std::wstring_view::npos;
}

std::wstring GetModuleFolder() {
    wchar_t szPath[MAX_PATH] = {};
    const DWORD nLength = GetModuleFileNameW(nullptr, szPath, MAX_PATH);
    // A cut path would name another folder.
    if (nLength == 0 || nLength >= MAX_PATH) {
        return std::wstring();
    }
    const std::wstring_view path(szPath, nLength);
    const size_t nSeparator = path.rfind(L'\\');
    if (nSeparator == std::wstring_view::npos) {
        return std::wstring();
    }
    return GetFullPathString(std::wstring(path.substr(0, nSeparator + 1)));
}

std::wstring GetFullPathString(const std::wstring& strPath) {
    std::wstring strFull(kFullPathBufferLength, L'\0');
    const DWORD nLength = GetFullPathNameW(strPath.c_str(), kFullPathBufferLength, strFull.data(), nullptr);
    if (nLength == 0 || nLength >= kFullPathBufferLength) {
        return std::wstring();
    }
    strFull.resize(nLength);
    return strFull;
}

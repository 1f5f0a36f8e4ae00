#include "services/PluginInvokeIndex.h"

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/time.h"
#include "services/ContractClient.h"
#include "services/Log.h"
#include "services/Registry.h"
#include "services/SystemRoutines.h"

namespace {

const wchar_t* const kToolbarKey = L"Software\\Corvex\\Ampwise";
const wchar_t* const kValueName = L"PluginInvokeIndex";
constexpr LONGLONG kPluginInvokeAnswerLimit = 30000000; // 3 s in 100-ns units

bool SetIndexValue(HKEY hKey, DWORD dwValue) {
    return RegSetValueExW(hKey, kValueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                          sizeof(dwValue)) == ERROR_SUCCESS;
}

bool FileExists(const CString& strPath) {
    return _waccess_s(strPath.GetString(), 0) == 0;
}

// Writes the new index when it differs and logs the "#2" line.
void FinishUpdate(const wchar_t* pszName, DWORD dwOld, DWORD dwNew) {
    const bool bSet = dwNew != dwOld && WritePluginInvokeIndex(dwNew);
    WriteLog(L"IContractInterfacePtr_%s #2 IndexOld=%d, IndexNew=%d, SetIndex=%s", pszName, dwOld, dwNew,
             bSet ? L"OK" : L"NotSet");
}

} // namespace

DWORD ReadPluginInvokeIndex(bool& bMayUpdate) {
    bMayUpdate = true;
    CRegistry key;
    if (!key.OpenOrCreateUserKey(kToolbarKey)) {
        return 0;
    }
    const HKEY hKey = key.m_hKey;
    DWORD dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    DWORD dwResult = 0;
    if (RegQueryValueExW(hKey, kValueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue), &cbValue) ==
        ERROR_SUCCESS) {
        dwResult = dwValue;
        bMayUpdate = dwValue != 2;
    } else {
        dwResult = SetIndexValue(hKey, 2) ? 2 : 0;
    }
    return dwResult;
}

bool WritePluginInvokeIndex(DWORD dwValue) {
    CRegistry key;
    if (!key.OpenOrCreateUserKey(kToolbarKey)) {
        return false;
    }
    SetIndexValue(key.m_hKey, dwValue);
    return true;
}

void UpdatePluginInvokeIndex() {
    bool bMayUpdate = true;
    const DWORD dwOld = ReadPluginInvokeIndex(bMayUpdate);
    if (!bMayUpdate) {
        return;
    }
    WriteLog(L"IContractInterfacePtr_UpdatePluginInvokeIndex #1 IndexOld=%d", dwOld);
    if (!g_pContractInterface) {
        return;
    }
    FILETIME ftStart = {};
    GetSystemTimeAsFileTime(&ftStart);
    const _bstr_t answer = ContractAnswerOf([] { return g_pContractInterface->CheckPluginInvoke(); });
    if (!answer) {
        return;
    }
    DWORD dwNew = 2;
    if (wcsstr(static_cast<const wchar_t*>(answer), L"PluginInvokeError1")) {
        FILETIME ftEnd = {};
        GetSystemTimeAsFileTime(&ftEnd);
        const LONGLONG nElapsed = FileTimeTicks(ftEnd) - FileTimeTicks(ftStart);
        dwNew = nElapsed < kPluginInvokeAnswerLimit ? 1 : 2;
    }
    FinishUpdate(L"UpdatePluginInvokeIndex", dwOld, dwNew);
}

void UpdatePluginInvokeIndexByPath() {
    bool bMayUpdate = true;
    const DWORD dwOld = ReadPluginInvokeIndex(bMayUpdate);
    if (!bMayUpdate) {
        return;
    }
    WriteLog(L"IContractInterfacePtr_UpdatePluginInvokeIndexByPath #1 IndexOld=%d", dwOld);
    CString strFolder;
    GetPackageRootFolder(strFolder);
    DWORD dwNew = dwOld;
    for (const wchar_t* pszPlugin : {L"DolbySoundPlugin", L"IxorNotebookPlugin",
                                     L"CorvexVisionProtectionPlugin", L"KobalTouchPadPlugin"}) {
        if (PluginDllExists(strFolder, pszPlugin)) {
            dwNew = 2;
            break;
        }
    }
    FinishUpdate(L"UpdatePluginInvokeIndexByPath", dwOld, dwNew);
}

bool PluginDllExists(const CString& strFolder, const CString& strPlugin) {
    return !FileExists(strFolder + strPlugin + L"\\x86\\" + strPlugin + L".dll") &&
           FileExists(strFolder + strPlugin + L"\\x64\\" + strPlugin + L".dll");
}

bool GetPackageRootFolder(CString& strFolder) {
    std::wstring strRoot;
    const bool bFound = GetPluginRootFolder(strRoot);
    strFolder = strRoot.c_str();
    return bFound;
}

#include "features/WiFiSecurityBtn.h"

#include <mutex>
#include <utility>

#include "platform/files.h"
#include "platform/shell.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Log.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"

namespace {

constexpr int kOffPng = 365;
constexpr int kOnPng = 364;
constexpr int kDisabledPng = 366;

// The service wants all three of Windows' location consents; the host lists each as "allow" or "deny".
constexpr int kLocationConsents = 3;

const wchar_t kWiFiSecurityPageUri[] = L"corvex-solvane3:wifi-security";
const wchar_t kDefaultProgramData[] = L"C:\\ProgramData";
const wchar_t kSecurityAddinManifest[] = L"\\Corvex\\Solvane\\Addins\\CorvexSecurityAddin\\AddinManifest.xml";
const wchar_t kPluginX86[] =
    L"\\Corvex\\Plexhost\\Plugins\\CorvexWiFiSecurityPlugin\\x86\\CorvexWiFiSecurityPlugin.dll";
const wchar_t kPluginX64[] =
    L"\\Corvex\\Plexhost\\Plugins\\CorvexWiFiSecurityPlugin\\x64\\CorvexWiFiSecurityPlugin.dll";

std::wstring ProgramDataFolder() {
    std::wstring strFolder = kDefaultProgramData;
    PWSTR pszFolder = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &pszFolder)) && pszFolder) {
        strFolder = pszFolder;
    }
    CoTaskMemFree(pszFolder);
    return strFolder;
}

bool FileExists(const std::wstring& strPath) {
    return _waccess_s(strPath.c_str(), 0) == 0;
}

// The set workers' turns (see SetWiFiStatus).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

CWiFiSecurityBtn::CWiFiSecurityBtn() {
    m_strKey = L"WiFiSecurity";
    m_strName = ResString(L"WiFi security", 438);
    m_strOnTip = ResString(L"WiFi security: On", 492);
    m_strOffTip = ResString(L"WiFi security: Off", 493);
    m_strTip = m_strOffTip;
}

CWiFiSecurityBtn::~CWiFiSecurityBtn() {
    WaitForWorkers();
}

bool CWiFiSecurityBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CWiFiSecurityBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CWiFiSecurityBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return m_nSupport;
    }
    if (!IsWiFiSecurityPluginAvailable()) {
        m_nSupport = 0;
        WriteLog(
            L"[dont show WiFiSecurityBtn, because WiFiPlugin is not available, or WiFiAddIn is installed.]");
        return m_nSupport;
    }
    const ContractAnswer answer =
        ContractAnswerOf([] { return g_pContractInterface->GetWifiSecurityStatus(); });
    if (!answer) {
        WriteLog(L"[GetWifiSecurityStatus response is null]");
        return m_nSupport;
    }
    WriteLog(L"[GetWifiSecurityStatus response--->%s]", static_cast<const wchar_t*>(answer));

    WifiSecurityStatus status;
    if (!ParseWifiSecurityStatus(answer, status)) {
        m_nSupport = 0;
        WriteLog(L"[JudgeSupportWifiSecurity]---->Not support.");
        return m_nSupport;
    }
    const bool bSupported = status.strIsSupported == "true";
    const bool bEnabled = status.strIsEnabled == "true";
    const bool bSystemPolicy = status.strSystemPolicy == "true";
    const bool bUserPreference = status.strUserPreference == "true";
    m_nLocationPermission = IsLocationPermissionAllowed(status.strLocationPermission) ? 1 : 0;
    WriteLog(L"[GetWifiSecurityStatus=====>isSupportedTrue: %d,isEnabledTrue: %d,systemPolicyTrue: "
             L"%d,userPreferenceTrue: %d,m_bLocationPermissionAvailable: %d]",
             bSupported, bEnabled, bSystemPolicy, bUserPreference, m_nLocationPermission.load());

    m_nSupport = bSupported && bSystemPolicy ? 1 : 0;
    if (m_nSupport == 1) {
        WriteLog(L"[Wifi security is supported, status has been checked successfully]");
        if (bEnabled && bUserPreference && m_nLocationPermission == 1) {
            m_nStatus = FeatureStateOn;
        } else {
            m_nStatus = FeatureStateOff;
            WriteLog(L"[Wifi security is supported, but is not enabled!]");
        }
        SetButtonStatusIcon(m_nStatus);
    }
    return m_nSupport;
}

void CWiFiSecurityBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (m_nLocationPermission == 1) {
        m_nStatus = m_nStatus == FeatureStateOff ? FeatureStateOn : FeatureStateOff;
        SetButtonStatusIcon(m_nStatus);
        StartButtonThread(SetWiFiStatus, &m_nStatus);
        SendFeatureEvent(L"Features.Toolbar.Flipdecks.WiFiSecurityEnable",
                         m_nStatus == FeatureStateOn ? L"On" : L"Off", L"Features.Toolbar.Flipdecks");
        return;
    }
    m_nStatus = FeatureStateOff;
    SetButtonStatusIcon(FeatureStateOff);
    SendFeatureEvent(L"Features.Toolbar.PowerInformation.GoToWiFiSecurityPage", L"",
                     L"Features.Toolbar.PowerInformation");
    OpenWiFiSecurityPage();
}

void CWiFiSecurityBtn::SetButtonStatusIcon(int nState) {
    if (m_nLocationPermission != 1) {
        SetIconState(kOffPng, FeatureStateOff);
        m_strTip = m_strOffTip;
        if (g_bNarrator) {
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_strName + L": " + g_strDisabled;
        }
    } else if (nState == FeatureStateOff) {
        m_strCaption = ResString(L"WiFi security off", 440);
        SetIconState(kOffPng, FeatureStateOff);
        m_strTip = m_strOffTip;
    } else if (nState == FeatureStateOn) {
        m_strCaption = ResString(L"WiFi security on", 439);
        SetIconState(kOnPng, FeatureStateOn);
        m_strTip = m_strOnTip;
    } else if (nState == FeatureStateDisabled) {
        m_strCaption = m_strName + L" " + g_strDisabled;
        SetIconState(kDisabledPng, FeatureStateDisabled);
        m_strTip = m_strName;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

unsigned __stdcall CWiFiSecurityBtn::SetWiFiStatus(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CWiFiSecurityBtn::SetWiFiStatus");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    WriteLog(L"[SetWiFiStatus #1 nCurState=%d]", nCurState);
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetWiFiStatus(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetWiFiStatus #2 nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}

bool CWiFiSecurityBtn::IsWiFiSecurityPluginAvailable() {
    const std::wstring strProgramData = ProgramDataFolder();
    if (FileExists(strProgramData + kSecurityAddinManifest)) {
        return false;
    }
    return FileExists(strProgramData + kPluginX86) || FileExists(strProgramData + kPluginX64);
}

bool CWiFiSecurityBtn::IsLocationPermissionAllowed(const std::string& strText) {
    if (strText.empty()) {
        return true;
    }
    int nAllows = 0;
    for (size_t nAt = strText.find("allow"); nAt != std::string::npos; nAt = strText.find("allow", nAt + 1)) {
        ++nAllows;
    }
    return nAllows == kLocationConsents;
}

bool CWiFiSecurityBtn::OpenWiFiSecurityPage() {
    return LaunchSolvaneUri(kWiFiSecurityPageUri);
}

bool CWiFiSecurityBtn::ParseWifiSecurityStatus(const ContractAnswer& answer, WifiSecurityStatus& status) {
    status = WifiSecurityStatus();
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) ||
        !FindElementInAnswer(pRoot, "SettingList", pList, dataDocument)) {
        return false;
    }
    const std::pair<const char*, std::string*> settings[] = {
        {"IsSupported", &status.strIsSupported},
        {"IsEnabled", &status.strIsEnabled},
        {"SystemPolicy", &status.strSystemPolicy},
        {"UserPreference", &status.strUserPreference},
        {"LocationPermission", &status.strLocationPermission}};
    for (const auto& [pszKey, pstrText] : settings) {
        if (const char* pszText = GetElementText(FindKeyedChild(pList, "Setting", "key", pszKey))) {
            *pstrText = pszText;
        }
    }
    return true;
}

#include "features/DolbyAudioBtn.h"

#include <mutex>
#include <string_view>

#include "features/ECourseModeBtn.h"
#include "features/ProbeAnswer.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"

namespace {

constexpr int kOnPng = 418;
constexpr int kOffPng = 419;
constexpr int kDisabledPng = 420;

const wchar_t kAppScenarioKey[] = L"SOFTWARE\\Corvex\\Plexhost\\PluginData\\CorvexAppScenarioPlugin\\Status";

// The set workers' turns (see SetDolby).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

bool IsAppScenarioAudioOpen() {
    CRegistry key;
    std::wstring strAudio;
    return RegOpenKeyExW(HKEY_CURRENT_USER, kAppScenarioKey, 0, KEY_READ, &key.m_hKey) == ERROR_SUCCESS &&
           key.QueryStringValue(L"Audio", strAudio) && IsEqualNoCaseW(strAudio, L"Open");
}

CDolbyAudioBtn::CDolbyAudioBtn() : m_bAppScenarioAudio(IsAppScenarioAudioOpen() ? 1 : 0) {
    m_strKey = L"DolbyAudio";
    m_strName = ResString(L"Dolby audio", 432);
    m_strOnTip = ResString(L"Dolby audio: On", 488);
    m_strOffTip = ResString(L"Dolby audio: Off", 489);
    m_strTip = m_strOffTip;
}

CDolbyAudioBtn::~CDolbyAudioBtn() {
    WaitForWorkers();
}

bool CDolbyAudioBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CDolbyAudioBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CDolbyAudioBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    const ContractAnswer capability =
        LoggedProbeAnswer(L"IsSupportDolbyEx", [] { return g_pContractInterface->IsSupportDolbyEx(); });
    if (!capability) {
        return -2;
    }
    std::string strDolby;
    std::string strMaxwave;
    std::string strSupported;
    if (!CECourseModeBtn::ParseDolbyCapability(capability, strDolby, strMaxwave, strSupported)) {
        m_nSupport = 0;
        return 0;
    }
    if (IsEqualNoCaseA(strDolby, "True")) {
        m_nAudioProfile = ProfileDolby;
    } else if (IsEqualNoCaseA(strMaxwave, "True")) {
        m_nAudioProfile = ProfileMaxwave;
    }
    // A Maxwave machine keeps what it shows.
    if (strDolby != "True") {
        return 0;
    }

    const ContractAnswer status =
        LoggedProbeAnswer(L"GetDolbyStatusEx", [] { return g_pContractInterface->GetDolbyStatusEx(); });
    if (!status) {
        return -2;
    }
    std::string strProfileEnabled;
    std::string strCurrentProfile;
    bool bDriverAvailable = false;
    if (!ParseDolbySettings(status, strProfileEnabled, strCurrentProfile, bDriverAvailable)) {
        return 0;
    }
    m_nStatus = strProfileEnabled == "True" ? FeatureStateOn : FeatureStateOff;
    if (strCurrentProfile != "Unknown" && strSupported.find(strCurrentProfile) == std::string::npos) {
        m_nSupport = 0;
        return 0;
    }
    m_nSupport = 1;
    // While an application scenario holds the audio the button stays disabled from the start, rather
    // than only after a first click.
    SetButtonStatusIcon(m_bAppScenarioAudio == 1 ? static_cast<int>(FeatureStateDisabled) : m_nStatus.load());
    return 0;
}

void CDolbyAudioBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (m_bAppScenarioAudio == 1) {
        SetButtonStatusIcon(FeatureStateDisabled);
        return;
    }
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    SetButtonStatusIcon(nState);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.Dolby", nState == FeatureStateOn ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
    StartButtonThread(SetDolby, &m_nStatus);
}

void CDolbyAudioBtn::SetButtonStatusIcon(int nState) {
    switch (nState) {
    case FeatureStateOff:
        SetIconState(kOffPng, FeatureStateOff);
        m_strCaption = ResString(L"Dolby audio off", 434);
        m_strTip = m_strOffTip;
        break;
    case FeatureStateOn:
        SetIconState(kOnPng, FeatureStateOn);
        m_strCaption = ResString(L"Dolby audio on", 433);
        m_strTip = m_strOnTip;
        break;
    case FeatureStateDisabled:
        SetIconState(kDisabledPng, FeatureStateDisabled);
        m_strCaption = m_strName + L" " + g_strDisabled;
        m_strTip = m_strName;
        break;
    default:
        break;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

unsigned __stdcall CDolbyAudioBtn::SetDolby(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CDolbyAudioBtn::SetDolby");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    WriteLog(L"[SetDolby value=%d.]", nCurState);
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetDolby(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetDolby nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}

bool CDolbyAudioBtn::ParseDolbySettings(const ContractAnswer& answer, std::string& strProfileEnabled,
                                        std::string& strCurrentProfile, bool& bDriverAvailable) {
    bDriverAvailable = false;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "SettingList", document, dataDocument);
    if (!pList) {
        return false;
    }
    for (const TiXmlElement* pEntry = pList->FirstChildElement("Setting"); pEntry;
         pEntry = pEntry->NextSiblingElement("Setting")) {
        const char* pszKey = pEntry->Attribute("key");
        if (!pszKey) {
            continue;
        }
        const char* pszText = GetElementText(pEntry);
        const std::string_view key(pszKey);
        if (key == "IsAudioProfileEnabled") {
            strProfileEnabled = pszText ? pszText : "";
        } else if (key == "CurrentAudioProfile") {
            strCurrentProfile = pszText ? pszText : "";
        } else if (key == "DriverAvailability") {
            bDriverAvailable = pszText && IsEqualNoCaseA(pszText, "true");
        }
    }
    return true;
}

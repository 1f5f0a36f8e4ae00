#include "features/AirplaneModeBtn.h"

#include <atomic>
#include <mutex>

#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/PowerStatusInfo.h"
#include "services/ResourceStrings.h"

namespace {

constexpr int kOnPng = 421;
constexpr int kOffPng = 422;
constexpr int kDisabledPng = 423;

constexpr char kAirplanePowerMode[] = "AirplanePowerMode";

// The text of the list's entry (see ParseAirplaneModeCapability).
bool ParseAirplaneModeEntry(const ContractAnswer& answer, const char* pszList, const char* pszEntry,
                            std::string& strValue) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) || !FindElementInAnswer(pRoot, pszList, pList, dataDocument)) {
        return false;
    }
    const TiXmlElement* pFound = FindKeyedChild(pList, pszEntry, "key", kAirplanePowerMode);
    if (!pFound) {
        return false;
    }
    if (pFound->FirstChild()) {
        const char* pszText = GetElementText(pFound);
        strValue = pszText ? pszText : "";
    }
    return true;
}

// The set workers' turns (see SetAirplaneMode).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

CAirplaneModeBtn::CAirplaneModeBtn() {
    m_strKey = L"AirplanePowerMode";
    LoadResString(m_strName, L"Airplane power mode", 451);
    LoadResString(m_strOnTip, L"Airplane power mode: On", 498);
    LoadResString(m_strOffTip, L"Airplane power mode: Off", 499);
    m_strTip = m_strOffTip;
}

CAirplaneModeBtn::~CAirplaneModeBtn() {
    WaitForWorkers();
}

bool CAirplaneModeBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CAirplaneModeBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CAirplaneModeBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    if (!IsPowerManagerRunning()) {
        m_nSupport = 0;
        WriteLog(L"[AirplaneMode Voltaro.exe error or not running ---> dont support]");
        return -2;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->GetAirplaneModeCapability(); });
    if (!capability) {
        WriteLog(L"[GetAirplaneModeCapability response is null]");
        return -2;
    }
    WriteLog(L"[GetAirplaneModeCapability resonse:%s]", static_cast<const wchar_t*>(capability));
    // Without the entry the cached support decides.
    std::string strCapability;
    if (ParseAirplaneModeCapability(capability, strCapability)) {
        m_nSupport = IsEqualNoCaseA(strCapability, "True") ? 1 : 0;
    }
    if (m_nSupport == 0) {
        return -2;
    }

    const ContractAnswer settings =
        ContractAnswerOf([] { return g_pContractInterface->GetAllPowerSettings(); });
    if (!settings) {
        WriteLog(L"[AirplaneMode - GetAllPowerSettings response is null]");
        return -2;
    }
    WriteLog(L"[AirplaneMode - GetAllPowerSettings resonse:%s]", static_cast<const wchar_t*>(settings));
    std::string strSetting;
    if (ParseAirplaneModeSetting(settings, strSetting)) {
        m_nStatus = IsEqualNoCaseA(strSetting, "True") ? FeatureStateOn : FeatureStateOff;
    }
    SetButtonStatusIcon(m_nStatus);
    return 0;
}

// A cached state that is neither on nor off is followed by on.
void CAirplaneModeBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    SetButtonStatusIcon(nState);
    StartButtonThread(SetAirplaneMode, &m_nStatus);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.AirplanePowerMode",
                     nState == FeatureStateOn ? L"On" : L"Off", L"Features.Toolbar.Flipdecks");
}

// The bit is written only with an image, so that the two always agree.
void CAirplaneModeBtn::SetButtonStatusIcon(int nState) {
    if (nState >= FeatureStateOff && nState <= FeatureStateDisabled) {
        SetPowerStatusInfoBit(PowerStatusInfoAirplaneMode, static_cast<FeatureState>(nState));
    }
    CString strCaption;
    switch (nState) {
    case FeatureStateOff:
        SetIconState(kOffPng, FeatureStateOff);
        LoadResString(strCaption, L"Airplane power mode off", 453);
        m_strCaption = strCaption;
        m_strTip = m_strOffTip;
        break;
    case FeatureStateOn:
        SetIconState(kOnPng, FeatureStateOn);
        LoadResString(strCaption, L"Airplane power mode on", 452);
        m_strCaption = strCaption;
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

unsigned __stdcall CAirplaneModeBtn::SetAirplaneMode(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CAirplaneModeBtn::SetAirplaneMode");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetAirplaneMode(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetAirplaneMode nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}

bool CAirplaneModeBtn::ParseAirplaneModeCapability(const ContractAnswer& answer, std::string& strValue) {
    return ParseAirplaneModeEntry(answer, "CapabilityList", "Capability", strValue);
}

bool CAirplaneModeBtn::ParseAirplaneModeSetting(const ContractAnswer& answer, std::string& strValue) {
    return ParseAirplaneModeEntry(answer, "SettingList", "Setting", strValue);
}

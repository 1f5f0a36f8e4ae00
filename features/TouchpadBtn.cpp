#include "features/TouchpadBtn.h"

#include <mutex>
#include <string_view>

#include "features/ProbeAnswer.h"
#include "platform/shell.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"

namespace {

constexpr int kOnPng = 367;
constexpr int kOffPng = 368;
constexpr int kDisabledPng = 369;

const wchar_t kPrecisionTouchPadKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\PrecisionTouchPad\\Status";
const wchar_t kTouchPadSettingsUri[] = L"ms-settings:devices-touchpad";
const char kTouchPadEnabled[] = "TouchPadEnabled";

// The set workers' turns (see SetTouchPad).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

bool IsPrecisionTouchPadEnabled() {
    CRegistry key;
    if (!key.Open(HKEY_CURRENT_USER, kPrecisionTouchPadKey, KEY_READ | KEY_WOW64_64KEY, KEY_READ)) {
        return true;
    }
    DWORD dwEnabled = 0;
    return key.QueryDwordValue(L"Enabled", dwEnabled) && dwEnabled == 1;
}

CTouchpadBtn::CTouchpadBtn() {
    m_strKey = L"Touchpad";
    m_strName = ResString(L"Touchpad", 426);
    m_strOnTip = ResString(L"Touchpad: On", 484);
    m_strOffTip = ResString(L"Touchpad: Off", 485);
    m_strTip = m_strOffTip;
}

CTouchpadBtn::~CTouchpadBtn() {
    WaitForWorkers();
}

bool CTouchpadBtn::Init(CWnd* pParent) {
    m_bIsH352Machine = IsModelH352() ? 1 : 0;
    m_bPrecisionTouchPadOn = IsPrecisionTouchPadEnabled() ? 1 : 0;
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CTouchpadBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        return ProbeWithoutContract(L"CTouchpadBtn::DoJudgeSupportCallback");
    }
    DoJudgeSupportByPXH();
    return 0;
}

int CTouchpadBtn::DoJudgeSupportByPXH() {
    if (!g_pContractInterface) {
        return ProbeWithoutContract(L"CTouchpadBtn::DoJudgeSupportByPXH");
    }
    WriteLog(L"[Test begin to judge support...]");
    if (m_bIsH352Machine == 1) {
        WriteLog(L"[Test dont support m_bIsH352Machine]");
        return 0;
    }
    const ContractAnswer capability = LoggedProbeAnswer(
        L"Test IsSupportTouchPadEx2", [] { return g_pContractInterface->IsSupportTouchPadEx2(); });
    if (!capability) {
        return -2;
    }
    std::string strCapability;
    m_nSupport = ParseTouchPadCapability(capability, strCapability) && strCapability == "True" ? 1 : 0;
    if (m_nSupport == 1) {
        const ContractAnswer status = LoggedProbeAnswer(
            L"Test GetTouchPadStatusEx", [] { return g_pContractInterface->GetTouchPadStatusEx(); });
        if (!status) {
            return -2;
        }
        std::string strState;
        std::string strErrorCode;
        if (ParseTouchPadStatus(status, strState, strErrorCode)) {
            if (IsEqualNoCaseA(strErrorCode, "NoCapability")) {
                m_nSupport = 0;
            } else {
                m_nStatus = strState == "True" ? FeatureStateOn : FeatureStateOff;
            }
        }
    }
    WriteLog(L"[Test DoJudgeSupportByPXH Touchpad m_nSupport=%d, m_nStatus=%d]", m_nSupport.load(),
             m_nStatus.load());
    SetButtonStatusIcon(m_nStatus);
    return m_nSupport == 1 ? 0 : -1;
}

int CTouchpadBtn::ProbeWithoutContract(const wchar_t* pszOperation) {
    WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
             pszOperation);
    m_nSupport = 0;
    return -1;
}

void CTouchpadBtn::SetButtonStatusIcon(int nState) {
    WriteLog(L"[Test SetButtonStatusIcon Touchpad m_nSupport=%d, m_nStatus=%d]", m_nSupport.load(),
             m_nStatus.load());
    if (m_nSupport <= 0) {
        if (m_hWnd) {
            ShowWindow(SW_HIDE);
        }
        return;
    }
    if (m_bPrecisionTouchPadOn != 1) {
        SetIconState(kOffPng, FeatureStateOff);
        if (g_bNarrator) {
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_strName;
        } else {
            m_strTip = m_strOffTip;
        }
    } else if (nState == FeatureStateOff) {
        SetIconState(kOffPng, FeatureStateOff);
        m_strCaption = ResString(L"Touchpad off", 428);
        m_strTip = m_strOffTip;
    } else if (nState == FeatureStateOn) {
        SetIconState(kOnPng, FeatureStateOn);
        m_strCaption = ResString(L"Touchpad on", 427);
        m_strTip = m_strOnTip;
    } else if (nState == FeatureStateDisabled) {
        SetIconState(kDisabledPng, FeatureStateDisabled);
        m_strCaption = m_strName + L" " + g_strDisabled;
        m_strTip = m_strName;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

void CTouchpadBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (m_bPrecisionTouchPadOn == 1) {
        ToggleTouchPad();
        return;
    }
    // The host's touchpad goes on first, so that Windows' switch is the only one left to turn on.
    if (m_nStatus == FeatureStateOff) {
        ToggleTouchPad();
    }
    ShellExecuteW(nullptr, nullptr, kTouchPadSettingsUri, nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void CTouchpadBtn::ToggleTouchPad() {
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    SetButtonStatusIcon(nState);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.TouchPad", nState == FeatureStateOn ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
    StartButtonThread(SetTouchPad, &m_nStatus);
}

unsigned __stdcall CTouchpadBtn::SetTouchPad(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CTouchpadBtn::SetTouchPad");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    WriteLog(L"[SetTouchPad value=%d.]", nCurState);
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetTouchPad(nCurState); });
    const wchar_t* pszAnswer = answer;
    if (!pszAnswer) {
        return 0;
    }
    WriteLog(L"[SetTouchPad nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    int nConfirmed = -1;
    ParseSetTouchPadResult(answer, nConfirmed);
    if (g_nKobalBrand == 1 && nConfirmed != nCurState) {
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetKobalTouchPad(nCurState); });
    }
    return 0;
}

bool CTouchpadBtn::ParseTouchPadCapability(const ContractAnswer& answer, std::string& strValue) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "CapabilityList", document, dataDocument);
    const TiXmlElement* pEntry =
        pList ? FindKeyedChild(pList, "Capability", "key", "TouchPadControl") : nullptr;
    if (!pEntry) {
        return false;
    }
    const char* pszText = GetElementText(pEntry);
    strValue = pszText ? pszText : "";
    return true;
}

bool CTouchpadBtn::ParseTouchPadStatus(const ContractAnswer& answer, std::string& strState,
                                       std::string& strErrorCode) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "SettingList", document, dataDocument);
    if (!pList) {
        return false;
    }
    for (const TiXmlElement* pEntry = pList->FirstChildElement("Setting"); pEntry;
         pEntry = pEntry->NextSiblingElement("Setting")) {
        const char* pszKey = pEntry->Attribute("key");
        if (!pszKey || std::string_view(pszKey) != kTouchPadEnabled) {
            continue;
        }
        const char* pszText = GetElementText(pEntry);
        strState = pszText ? pszText : "";
        if (const char* pszErrorCode = pEntry->Attribute("errorCode")) {
            strErrorCode = pszErrorCode;
        }
    }
    return true;
}

bool CTouchpadBtn::ParseSetTouchPadResult(const ContractAnswer& answer, int& nState) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "SettingList", document, dataDocument);
    const TiXmlElement* pEntry = pList ? FindKeyedChild(pList, "Setting", "key", kTouchPadEnabled) : nullptr;
    if (!pEntry) {
        return false;
    }
    const char* pszText = GetElementText(pEntry);
    nState = pszText && IsEqualNoCaseA(pszText, "True") ? FeatureStateOn : FeatureStateOff;
    return true;
}

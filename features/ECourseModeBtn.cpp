#include "features/ECourseModeBtn.h"

#include <mutex>
#include <string_view>
#include <utility>

#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/ResourceStrings.h"

namespace {

constexpr int kOnPng = 388;
constexpr int kOffPng = 389;
constexpr int kDisabledPng = 390;

bool IsTextNoCase(const char* pszText, const char* pszWanted) {
    return pszText && IsEqualNoCaseA(pszText, pszWanted);
}

// 1 for "true", 0 for "false", -1 for anything else.
int ECourseStateOf(const char* pszText) {
    if (IsTextNoCase(pszText, "true")) {
        return FeatureStateOn;
    }
    return IsTextNoCase(pszText, "false") ? FeatureStateOff : -1;
}

// The set workers' turns (see SetECourseMode).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

CECourseModeBtn::CECourseModeBtn() : m_pszDescription(std::make_unique<wchar_t[]>(kResStringBufferLength)) {
    m_strKey = L"ECourseMode";
    LoadResString(m_strName, L"Interactive E-course mode", 480);
    LoadResStringToBuffer(m_pszDescription.get(), 483,
                          L"This function is useful for on-line courses when there are voice interactions "
                          L"between teacher and students.");
    m_strTip = m_pszDescription.get();
}

CECourseModeBtn::~CECourseModeBtn() {
    WaitForWorkers();
}

bool CECourseModeBtn::Init(CWnd* pParent) {
    m_fIconScale = 1.0f;
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    return true;
}

int CECourseModeBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CECourseModeBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->IsSupportDolbyEx(); });
    if (!capability) {
        WriteLog(L"[ECourse IsSupportDolbyEx response is null]");
        return -2;
    }
    WriteLog(L"[ECourse IsSupportDolbyEx  resonse:%s]", static_cast<const wchar_t*>(capability));
    std::string strDolby;
    std::string strMaxwave;
    std::string strSupported;
    if (ParseDolbyCapability(capability, strDolby, strMaxwave, strSupported)) {
        if (IsEqualNoCaseA(strDolby, "True")) {
            m_nAudioProfile = ProfileDolby;
        } else if (IsEqualNoCaseA(strMaxwave, "True")) {
            m_nAudioProfile = ProfileMaxwave;
        }
    }
    if (m_nAudioProfile == ProfileNone) {
        m_nSupport = 0;
        return 0;
    }

    const ContractAnswer status = ContractAnswerOf([] { return g_pContractInterface->GetECourseStatusEx(); });
    if (!status) {
        WriteLog(L"[ECourse GetECourseStatusEx response is null]");
        return -2;
    }
    WriteLog(L"[ECourse GetECourseStatusEx  resonse:%s]", static_cast<const wchar_t*>(status));
    bool bProfileEnabled = false;
    bool bDriverAvailable = false;
    int nECourseState = -1;
    const bool bParsed = ParseECourseSettings(status, bProfileEnabled, bDriverAvailable, nECourseState);
    m_bDriverAvailable = bDriverAvailable ? 1 : 0;
    if (bParsed && bProfileEnabled && (nECourseState == FeatureStateOff || nECourseState == FeatureStateOn)) {
        m_nSupport = 1;
        m_nStatus = nECourseState;
    } else {
        m_nSupport = 0;
    }
    SetButtonStatusIcon(m_nStatus);
    return 0;
}

void CECourseModeBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    SetButtonStatusIcon(nState);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.ECourseMode", nState == FeatureStateOn ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
    StartButtonThread(SetECourseMode, &m_nStatus);
}

void CECourseModeBtn::SetButtonStatusIcon(int nState) {
    CString strCaption;
    if (m_bDriverAvailable != 1) {
        SetIconState(kDisabledPng, FeatureStateDisabled);
        m_strCaption = m_strName + L" " + g_strDisabled;
    } else if (nState == FeatureStateOff) {
        SetIconState(kOffPng, FeatureStateOff);
        LoadResString(strCaption, L"Interactive E-course mode off", 482);
        m_strCaption = strCaption;
    } else if (nState == FeatureStateOn) {
        SetIconState(kOnPng, FeatureStateOn);
        LoadResString(strCaption, L"Interactive E-course mode on", 481);
        m_strCaption = strCaption;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

unsigned __stdcall CECourseModeBtn::SetECourseMode(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CECourseModeBtn::SetECourseMode");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    WriteLog(L"[SetECourseMode value=%d.]", nCurState);
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetECourseMode(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetECourseMode nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}

bool CECourseModeBtn::ParseDolbyCapability(const ContractAnswer& answer, std::string& strDolbyProfile,
                                           std::string& strMaxwaveProfile,
                                           std::string& strSupportedProfiles) {
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "CapabilityList", document, dataDocument);
    if (!pList) {
        return false;
    }
    const std::pair<const char*, std::string*> capabilities[] = {
        {"IsDolbyAudioProfile", &strDolbyProfile},
        {"IsMaxwaveAudioProfile", &strMaxwaveProfile},
        {"AudioProfilesSupported", &strSupportedProfiles}};
    for (const TiXmlElement* pEntry = pList->FirstChildElement("Capability"); pEntry;
         pEntry = pEntry->NextSiblingElement("Capability")) {
        const char* pszKey = pEntry->Attribute("Key");
        const char* pszText = GetElementText(pEntry);
        for (const auto& [pszName, pstrText] : capabilities) {
            if (pszKey && pszText && std::string_view(pszKey) == pszName) {
                *pstrText = pszText;
            }
        }
    }
    return true;
}

bool CECourseModeBtn::ParseECourseSettings(const ContractAnswer& answer, bool& bProfileEnabled,
                                           bool& bDriverAvailable, int& nECourseState) {
    bProfileEnabled = false;
    bDriverAvailable = false;
    nECourseState = -1;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = FindAnswerElement(answer, "SettingList", document, dataDocument);
    if (!pList) {
        return false;
    }
    for (const TiXmlElement* pEntry = pList->FirstChildElement("Setting"); pEntry;
         pEntry = pEntry->NextSiblingElement("Setting")) {
        const char* pszKey = pEntry->Attribute("key");
        const char* pszText = GetElementText(pEntry);
        if (!pszKey) {
            continue;
        }
        const std::string_view key(pszKey);
        if (key == "IsAudioProfileEnabled") {
            bProfileEnabled = IsTextNoCase(pszText, "true");
        } else if (key == "DriverAvailability") {
            bDriverAvailable = IsTextNoCase(pszText, "true");
        } else if (key == "ECourseStatus") {
            nECourseState = ECourseStateOf(pszText);
        }
    }
    return true;
}

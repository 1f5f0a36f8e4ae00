#include "features/EyecareModeBtn.h"

#include <string>

#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"
#include "services/Smbios.h"
#include "services/SystemRoutines.h"

namespace {

constexpr int kOffPng = 524;
constexpr int kOnPng = 525;
constexpr int kDisabledPng = 522;
constexpr float kOnIconScale = 0.65f;
constexpr float kIconScale = 0.7f;

// The host's argument for the eye-care mode itself.
constexpr int kEyeCareModeType = 1;

// Capability codes of ParseEyeCareTempSettings.
constexpr int kSupportWithOldPlugin = 1;
constexpr int kNotAvailableWithOldPlugin = 2;
constexpr int kSupport = 3;
constexpr int kNotAvailable = 4;
constexpr int kNotSupport = 5;

constexpr int kDefaultColorTemperature = 6500;

// BIOS families whose firmware keeps eye care to itself (two stand twice, as the list was given).
const char* const kWhiteListBiosPrefixes[] = {
    "R47JD", "R2XJD", "R5WJD", "R6BJD", "R3NJD", "R8QJD", "R4HJD", "R9CJD", "R7LJD",
    "R3TJD", "R6VJD", "R5KJD", "R2GJD", "R2GJD", "R8ZJD", "R5WPN", "R4PJD", "R6VJD",
};

// The newest plug-in whose eye care the panel serves instead of the button.
const wchar_t kPanelPluginVersion[] = L"001.002.092.014";
const wchar_t kPluginNotFound[] = L"File not found";

bool BeginsWithNoCase(const std::string& strText, const std::string& strPrefix) {
    return strText.size() >= strPrefix.size() &&
           IsEqualNoCaseA(strText.substr(0, strPrefix.size()), strPrefix);
}

bool IsTrueText(const char* pszText) {
    return pszText && IsEqualNoCaseA(pszText, "true");
}

// The capability code of the plug-in's text; none (the code left) for another text.
void TakeCapability(const char* pszText, int& nCapability) {
    if (!pszText) {
        return;
    }
    const bool bNewPlugin = IsEyeCarePluginVersionOk();
    if (IsEqualNoCaseA(pszText, "Support")) {
        nCapability = bNewPlugin ? kSupport : kSupportWithOldPlugin;
    } else if (IsEqualNoCaseA(pszText, "NotAvaliable")) {
        nCapability = bNewPlugin ? kNotAvailable : kNotAvailableWithOldPlugin;
    } else if (bNewPlugin && IsEqualNoCaseA(pszText, "NotSupport")) {
        nCapability = kNotSupport;
    }
}

// "CTempSettings" in the answer, else inside its "Data". False when there is a "Data" without them; true
// with pSettings null when there is neither.
bool FindTempSettings(const TiXmlElement* pRoot, const TiXmlElement*& pSettings,
                      TiXmlDocument& dataDocument) {
    pSettings = nullptr;
    const TiXmlElement* pData = nullptr;
    const bool bHasData = FindElementByName(pRoot, "Data", pData);
    if (!FindElementInAnswer(pRoot, "CTempSettings", pSettings, dataDocument)) {
        pSettings = nullptr;
        return !bHasData;
    }
    return true;
}

// The string-table entry in that language: the thread's language is switched for the load only.
// The set workers' turns (see SetEyeCareMode).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

bool IsEyeCareWhiteListBios() {
    std::string strVersion;
    if (!GetBiosVersionFromSmbios(strVersion)) {
        return false;
    }
    for (const char* pszPrefix : kWhiteListBiosPrefixes) {
        if (BeginsWithNoCase(strVersion, pszPrefix)) {
            return true;
        }
    }
    return false;
}

bool IsEyeCarePluginVersionOk() {
    std::wstring strVersion;
    GetVisionProtectionPluginVersion(strVersion);
    return strVersion != kPluginNotFound && _wcsicmp(strVersion.c_str(), kPanelPluginVersion) > 0;
}

int ParseEyeCareTempSettings(const ContractAnswer& answer, int& nEyeModeState, int& nColorTemperature,
                             bool& bInSchedule, bool& bApiCapability, int& nCapability) {
    nEyeModeState = FeatureStateOff;
    nColorTemperature = -1;
    bInSchedule = false;
    bApiCapability = false;
    nCapability = -1;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pSettings = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) || !FindTempSettings(pRoot, pSettings, dataDocument)) {
        return 0;
    }
    bool bScheduled = false;
    bool bMyScheduleOn = false;
    for (const TiXmlElement* pEntry = pSettings ? pSettings->FirstChildElement("Settings") : nullptr; pEntry;
         pEntry = pEntry->NextSiblingElement("Settings")) {
        const char* pszKey = pEntry->Attribute("key");
        if (!pszKey) {
            continue;
        }
        const char* pszText = GetElementText(pEntry);
        if (IsEqualNoCaseA(pszKey, "EyeModeState")) {
            nEyeModeState = IsTrueText(pszText) ? FeatureStateOn : FeatureStateOff;
        } else if (IsEqualNoCaseA(pszKey, "ColorTemperature")) {
            if (!GetElementInt(pEntry, nColorTemperature)) {
                nColorTemperature = kDefaultColorTemperature;
            }
        } else if (IsEqualNoCaseA(pszKey, "InSchedule")) {
            bScheduled = IsTrueText(pszText);
        } else if (IsEqualNoCaseA(pszKey, "MyScheduleState")) {
            bMyScheduleOn = IsTrueText(pszText);
        } else if (IsEqualNoCaseA(pszKey, "APICapability")) {
            bApiCapability = IsTrueText(pszText);
        } else if (IsEqualNoCaseA(pszKey, "Capability")) {
            TakeCapability(pszText, nCapability);
        }
    }
    bInSchedule = bScheduled && bMyScheduleOn;
    return 1;
}

CEyecareModeBtn::CEyecareModeBtn() {
    m_strKey = L"EyecareMode";
    m_strName = ResString(L"Eye care mode", 189);
    if (IsEqualNoCaseW(m_strName.GetString(), L"Eye care mode")) {
        m_strName = L"Eye care mode";
    }
    m_strOnTip = ResString(L"Eye care mode: On", 519);
    m_strOffTip = ResString(L"Eye care mode: Off", 521);
    m_strDisabledTip = ResString(L"Eye care mode: Intel graphics driver disabled", IDS_DRIVER_DISABLED_TIP);
    m_strTip = m_strOffTip;
    m_strOnCaption = ResString(L"Eye care mode on", 518);
    m_strOffCaption = ResString(L"Eye care mode off", 520);
}

CEyecareModeBtn::~CEyecareModeBtn() {
    WaitForWorkers();
}

bool CEyecareModeBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    // The probe may show its state meanwhile: the size follows the image shown.
    const std::lock_guard lock(m_iconLock);
    ShowIconScaleOf(m_nStatusIconID);
    return true;
}

int CEyecareModeBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CEyecareModeBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    if (g_nKobalBrand == 1 || g_nGamingDevice == 1) {
        m_nSupport = 0;
        WriteLog(L"[ECM not support, IsKobalBrandMachine=%d, IsGamingDeviceType=%d", g_nKobalBrand,
                 g_nGamingDevice);
        return -2;
    }
    const bool bWhiteListBios = IsEyeCareWhiteListBios();
    const bool bPluginOk = IsEyeCarePluginVersionOk();
    if (bWhiteListBios || !bPluginOk) {
        m_nSupport = 0;
        WriteLog(L"[ECM not support, WhiteListDevice=%d, PluginSupportWhiteList=%d", bWhiteListBios,
                 bPluginOk);
        return -2;
    }
    const ContractAnswer answer =
        ContractAnswerOf([] { return g_pContractInterface->GetEyeCareModeStatusEx(kEyeCareModeType); });
    if (!answer) {
        m_nSupport = 0;
        WriteLog(L"[ECM not support, GetEyeCareModeStatusEx response is null]");
        return -2;
    }
    WriteLog(L"[ECM - GetEyeCareModeStatusEx resonse:%s]", static_cast<const wchar_t*>(answer));

    int nEyeModeState = FeatureStateOff;
    int nColorTemperature = -1;
    bool bInSchedule = false;
    bool bApiCapability = false;
    int nCapability = -1;
    const bool bParsed = ParseEyeCareTempSettings(answer, nEyeModeState, nColorTemperature, bInSchedule,
                                                  bApiCapability, nCapability) == 1;
    // Support is written once: the grid may lay the buttons out meanwhile.
    int nSupport = 0;
    if (bParsed && bApiCapability) {
        if (nCapability == kSupportWithOldPlugin || nCapability == kSupport) {
            nSupport = 1;
            m_nStatus = nEyeModeState;
        } else if (nCapability == kNotAvailableWithOldPlugin || nCapability == kNotAvailable) {
            nSupport = 1;
            m_nStatus = FeatureStateDisabled;
            m_nNameWhenDisabled = 0;
        }
    }
    m_nSupport = nSupport;
    SetButtonStatusIcon(m_nStatus);
    return 0;
}

void CEyecareModeBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    SetButtonStatusIcon(nState);
    StartButtonThread(SetEyeCareMode, &m_nStatus);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.EyeCareModeToggle",
                     nState == FeatureStateOn ? L"On" : L"Off", L"Features.Toolbar.Flipdecks");
}

void CEyecareModeBtn::SetButtonStatusIcon(int nState) {
    {
        const std::lock_guard lock(m_iconLock);
        switch (nState) {
        case FeatureStateOff:
            ShowIconScaleOf(kOffPng);
            SetIconState(kOffPng, FeatureStateOff);
            m_strCaption = m_strOffCaption;
            m_strTip = m_strOffTip;
            break;
        case FeatureStateOn:
            ShowIconScaleOf(kOnPng);
            SetIconState(kOnPng, FeatureStateOn);
            m_strCaption = m_strOnCaption;
            m_strTip = m_strOnTip;
            break;
        case FeatureStateDisabled:
            ShowIconScaleOf(kDisabledPng);
            SetIconState(kDisabledPng, FeatureStateDisabled);
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_nNameWhenDisabled != 0 ? m_strName : m_strDisabledTip;
            break;
        default:
            break;
        }
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

unsigned __stdcall CEyecareModeBtn::SetEyeCareMode(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CEyecareModeBtn::SetEyeCareMode");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nSetValue = static_cast<const std::atomic<int>*>(pParam)->load();
    const ContractAnswer answer = ContractAnswerOf(
        [nSetValue] { return g_pContractInterface->SetEyeCareMode(nSetValue, kEyeCareModeType); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[ECM SetEyeCareMode nSetValue=%d, resonse:%s]", nSetValue, pszAnswer);
    }
    return 0;
}

bool CEyecareModeBtn::IsWrappedTipText(const CString& strText) {
    if (strText.IsEmpty()) {
        return false;
    }
    for (const LANGID language : kWrappedTipLanguages) {
        if (strText == ResStringOfLanguage(language, nullptr, IDS_DRIVER_DISABLED_TIP)) {
            return true;
        }
    }
    return false;
}

void CEyecareModeBtn::ShowIconScaleOf(int nIconId) {
    m_fIconScale = nIconId == kOnPng ? kOnIconScale : kIconScale;
}

#include "features/KeyboardBacklightBtn.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

#include "services/ContractClient.h"
#include "services/DrawingRoutines.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"

namespace {

const COLORREF kLevelCircle = 0xFFFFFF;
const COLORREF kDisabledCircle = 0xEBEAE6;
constexpr int kDisabledSlot = 4; // the fifth image record, the button's own

// "KeyboardBacklightLevel" values (exact) and the level kinds they give on each road.
struct LevelKind {
    const char* pszLevel;
    int nKobalType;
    int nIxorType;
    bool bIxorOffered;
};

constexpr LevelKind kLevelKinds[] = {
    {"OneLevel", 1, 1, true},
    {"TwoLevels", 2, 2, false},
    {"TwoLevelsRedWhite", 3, 3, true},
    {"TwoLevelsAuto", 4, 3, true},
};

constexpr int kOneLevel = 1;
constexpr int kTwoLevels = 2;
constexpr int kIxorAutoKind = 3; // the consumer kind with an auto state

// The set workers' turns (see SetShownState).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

// One set call of the button's, logged before and, with an answer, after (the answer is not read).
unsigned SendSetCall(const wchar_t* pszSetter, _bstr_t (IContractInterface::*pfnSet)(int), int nValue) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register "
                 L"Pactbridge.dll][CKeyboardBacklightBtn::%s]",
                 pszSetter);
        return static_cast<unsigned>(-1);
    }
    WriteLog(L"[KBB %s value=%d.]", pszSetter, nValue);
    const ContractAnswer answer =
        ContractAnswerOf([&] { return (g_pContractInterface.GetInterfacePtr()->*pfnSet)(nValue); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[KBB %s nCurState=%d, resonse:%s]", pszSetter, nValue, pszAnswer);
    }
    return 0;
}

// The texts of the list's entries of those keys; the last entry of a key counts, one without text is
// passed over.
void ReadKeyedTexts(const TiXmlElement* pList, const char* pszEntry, const char* pszFirstKey,
                    std::string& strFirst, const char* pszSecondKey, std::string& strSecond) {
    for (const TiXmlElement* pEntry = pList ? pList->FirstChildElement(pszEntry) : nullptr; pEntry;
         pEntry = pEntry->NextSiblingElement(pszEntry)) {
        const char* pszKey = pEntry->Attribute("key");
        const char* pszText = GetElementText(pEntry);
        if (!pszKey || !pszText) {
            continue;
        }
        if (std::strcmp(pszKey, pszFirstKey) == 0) {
            strFirst = pszText;
        } else if (std::strcmp(pszKey, pszSecondKey) == 0) {
            strSecond = pszText;
        }
    }
}

bool ParseSettingPair(const ContractAnswer& answer, bool bLog, const char* pszFirstKey, std::string& strFirst,
                      const char* pszSecondKey, std::string& strSecond) {
    strFirst.clear();
    strSecond.clear();
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = nullptr;
    if (!CKeyboardBacklightBtn::LoadSettingsList(answer, "SettingList", bLog, document, dataDocument,
                                                 pList)) {
        return false;
    }
    ReadKeyedTexts(pList, "Setting", pszFirstKey, strFirst, pszSecondKey, strSecond);
    return true;
}

} // namespace

CKeyboardBacklightBtn::CKeyboardBacklightBtn() : m_bIsH352Machine(IsModelH352()) {
    m_strKey = L"KeyboardBacklight";
    m_strName = ResString(L"Keyboard backlight", 460);
    m_strOnText = ResString(L"Keyboard backlight: On", 508);
    m_strOffText = ResString(L"Keyboard backlight: Off", 509);
    m_strLowText = ResString(L"Keyboard backlight: Low", 510);
    m_strHighText = ResString(L"Keyboard backlight: High", 511);
    m_strAutoText = ResString(L"Keyboard backlight: Auto", 512);
    m_strTip = m_strOffText;
}

CKeyboardBacklightBtn::~CKeyboardBacklightBtn() {
    WaitForWorkers();
}

bool CKeyboardBacklightBtn::Init(CWnd* pParent) {
    FeatureImage& disabled = *m_pImages[kDisabledSlot];
    disabled.nPngId = kDisabledPng;
    disabled.crBack = kDisabledCircle;
    LoadPngFromResource(kDisabledPng, &disabled.pBitmap);
    SetImages(pParent, kAutoPng, kLevel1Png, kLevel2Png, kOffPng, kLevelCircle, kLevelCircle, kLevelCircle,
              kLevelCircle);
    return true;
}

int CKeyboardBacklightBtn::DoJudgeSupportCallback() {
    if (g_nKobalBrand == 1) {
        KobalJudgeSupport();
    } else {
        IxorJudgeSupport();
    }
    return 0;
}

int CKeyboardBacklightBtn::KobalJudgeSupport() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CKeyboardBacklightBtn::KobalJudgeSupport");
        m_nSupport = 0;
        return 0;
    }
    if (m_bIsH352Machine) {
        m_nSupport = 0;
        WriteLog(L"[KBB  dont support m_bIsH352Machine]");
        return 0;
    }
    const ContractAnswer autoAnswer =
        ContractAnswerOf([] { return g_pContractInterface->GetAutoKBDBacklightEx(); });
    if (!autoAnswer) {
        m_nSupport = 0;
        WriteLog(L"[KBB GetAutoKBDBacklightEx response is null]");
        return 0;
    }
    WriteLog(L"[KBB GetAutoKBDBacklightEx  resonse:%s]", static_cast<const wchar_t*>(autoAnswer));
    std::string strEnabled;
    std::string strOn;
    if (ParseAutoBacklightSettings(autoAnswer, strEnabled, strOn)) {
        m_nSmartSenseSupport = strEnabled == "True" ? 1 : 0;
        m_nSmartSenseStatus = strOn == "True" ? 1 : 0;
    }

    const ContractAnswer status =
        ContractAnswerOf([] { return g_pContractInterface->GetBacklightStatusEx(); });
    if (!status) {
        WriteLog(L"[KBB GetBacklightStatusEx response is null]");
        return 0;
    }
    WriteLog(L"[KBB GetBacklightStatusEx  resonse:%s]", static_cast<const wchar_t*>(status));
    // A status that does not parse leaves the level kind and the state as they were.
    std::string strLevel;
    std::string strStatus;
    int nImage = kOffPng;
    if (ParseBacklightSettings(status, strLevel, strStatus) && TakeLevelKind(strLevel, true)) {
        if (strEnabled == "True" && strOn == "True") {
            m_nKbbStatus = kLevel1;
            nImage = kAutoPng;
        } else {
            nImage = TakeStatus(strStatus, kLevel1);
        }
    }
    LogProbeResult();

    m_nSupport = m_nSmartSenseSupport == 1 || m_nKbbSupport == 1 ? 1 : 0;
    // A two-level keyboard is offered only without an auto mode, and only when the host could ask it.
    if (m_nKbbLevelType == kTwoLevels &&
        (m_nSmartSenseSupport == 1 ||
         std::strstr(static_cast<const char*>(autoAnswer), "PluginInvokeError1"))) {
        m_nSupport = 0;
    }
    m_nKobalIconID = nImage;
    SetButtonStatusIcon(nImage);
    return 0;
}

int CKeyboardBacklightBtn::IxorJudgeSupport() {
    m_nIxorIconID = kOffPng;
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CKeyboardBacklightBtn::IxorJudgeSupport");
        m_nSupport = 0;
        return 0;
    }
    if (m_bIsH352Machine) {
        m_nSupport = 0;
        WriteLog(L"[KBB  dont support m_bIsH352Machine]");
        return 0;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->IsSupportBacklightEx(); });
    if (!capability) {
        m_nSupport = 0;
        WriteLog(L"[KBB IsSupportBacklightEx response is null]");
        return 0;
    }
    WriteLog(L"[KBB IsSupportBacklightEx  resonse:%s]", static_cast<const wchar_t*>(capability));
    std::string strControl;
    if (ParseBacklightCapability(capability, strControl)) {
        m_nKbbSupport = IsEqualNoCaseA(strControl, "True") ? 1 : 0;
        m_nSupport = m_nKbbSupport.load();
    }
    if (m_nSupport < 1) {
        WriteLog(L"[KBB dont support KBB]");
        return 0;
    }

    const ContractAnswer status =
        ContractAnswerOf([] { return g_pContractInterface->GetBacklightStatusEx(); });
    if (!status) {
        WriteLog(L"[KBB GetBacklightStatusEx response is null]");
        return 0;
    }
    WriteLog(L"[KBB GetBacklightStatusEx  resonse:%s]", static_cast<const wchar_t*>(status));
    // A status that does not parse names no level kind: the button is then hidden.
    std::string strLevel;
    std::string strStatus;
    ParseBacklightSettings(status, strLevel, strStatus);
    if (TakeLevelKind(strLevel, false)) {
        m_nIxorIconID = TakeStatus(strStatus, kLevelAuto);
    }
    LogProbeResult();
    m_nSupport = m_nKbbSupport.load();
    m_nStatus = m_nKbbStatus.load();
    SetButtonStatusIcon(m_nIxorIconID);
    return 0;
}

void CKeyboardBacklightBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (g_nKobalBrand == 1) {
        KobalClicktoSwitch();
    } else {
        IxorClicktoSwitch();
    }
}

// With an auto mode: off, auto, level 1, level 2 (two-level kinds), off; without: off, level 1,
// level 2, off.
void CKeyboardBacklightBtn::KobalClicktoSwitch() {
    WriteLog(L"[KBB ClicktoSwitch #1  m_nKbbStatus=%d, m_nStatus=%d, m_nSmartSenseSupport=%d, "
             L"m_nSmartSenseStatus=%d]",
             m_nKbbStatus.load(), m_nStatus.load(), m_nSmartSenseSupport.load(), m_nSmartSenseStatus.load());
    const int nNextAfterLevel1 = m_nKbbLevelType >= kTwoLevels ? kLevel2 : kLevelOff;
    if (IsKobalAuto()) {
        m_nKbbStatus = kLevel1;
        m_nSmartSenseStatus = 0;
    } else if (m_nSmartSenseSupport == 1 && m_nKbbStatus == kLevelOff) {
        m_nSmartSenseStatus = 1;
    } else if (m_nKbbStatus == kLevelOff) {
        m_nKbbStatus = kLevel1;
    } else {
        m_nKbbStatus = m_nKbbStatus == kLevel1 ? nNextAfterLevel1 : kLevelOff;
    }

    struct LevelShown {
        int nImage;
        const wchar_t* pszValue;
    };
    const LevelShown levels[] = {{kOffPng, L"Off"}, {kLevel1Png, L"Level_1"}, {kLevel2Png, L"Level_2"}};
    const LevelShown shown = IsKobalAuto() ? LevelShown{kAutoPng, L"Auto"} : levels[m_nKbbStatus];
    StartButtonThread(SetShownState, this);
    m_nKobalIconID = shown.nImage;
    SetButtonStatusIcon(shown.nImage);
    SendLevelEvent(shown.pszValue);
    WriteLog(L"[KBB ClicktoSwitch #2  m_nKbbStatus=%d, m_nStatus=%d, m_nSmartSenseSupport=%d, "
             L"m_nSmartSenseStatus=%d]",
             m_nKbbStatus.load(), m_nStatus.load(), m_nSmartSenseSupport.load(), m_nSmartSenseStatus.load());
}

// Kind 3 (with auto): off, auto, level 1, level 2, off; kind 1: off, level 1, off.
void CKeyboardBacklightBtn::IxorClicktoSwitch() {
    const int nKind = m_nKbbLevelType;
    int nImage = kOffPng;
    const wchar_t* pszValue = L"";
    const auto take = [&](int nLevel, int nLevelImage, const wchar_t* pszLevelValue) {
        m_nKbbStatus = nLevel;
        nImage = nLevelImage;
        pszValue = pszLevelValue;
    };
    switch (m_nIxorIconID) {
    case kAutoPng:
        if (nKind == kIxorAutoKind) {
            take(kLevel1, kLevel1Png, L"Level_1");
        } else {
            take(kLevelOff, kOffPng, L"Off");
        }
        break;
    case kLevel1Png:
        if (nKind >= kTwoLevels) {
            take(kLevel2, kLevel2Png, L"Level_2");
        } else if (nKind == kOneLevel) {
            take(kLevelOff, kOffPng, L"Off");
        }
        break;
    case kLevel2Png:
        take(kLevelOff, kOffPng, L"Off");
        break;
    case kOffPng:
        if (nKind == kIxorAutoKind) {
            take(kLevelAuto, kAutoPng, L"Auto");
        } else {
            take(kLevel1, kLevel1Png, L"Level_1");
        }
        break;
    default:
        break;
    }
    m_nIxorIconID = nImage;
    SetButtonStatusIcon(nImage);
    StartButtonThread(SetShownState, this);
    SendLevelEvent(pszValue);
}

void CKeyboardBacklightBtn::SetButtonStatusIcon(int nImageId) {
    if (g_nKobalBrand == 1) {
        KobalSetButtonStatusIcon(nImageId);
    } else {
        IxorSetButtonStatusIcon(nImageId);
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

void CKeyboardBacklightBtn::KobalSetButtonStatusIcon(int nImageId) {
    m_nStatus = m_nKbbStatus.load();
    ShowStatusImage(nImageId);
}

void CKeyboardBacklightBtn::IxorSetButtonStatusIcon(int nImageId) {
    ShowStatusImage(nImageId);
}

unsigned __stdcall CKeyboardBacklightBtn::SetShownState(void* pParam) {
    const auto* pButton = static_cast<const CKeyboardBacklightBtn*>(pParam);
    const std::lock_guard turn(SetCallLock());
    if (pButton->IsKobalAuto()) {
        return SendSetCall(L"SetSmartSense", &IContractInterface::SetSmartSense, 1);
    }
    return SendSetCall(L"SetBackLight", &IContractInterface::SetBackLight, pButton->m_nKbbStatus);
}

bool CKeyboardBacklightBtn::ParseBacklightCapability(const ContractAnswer& answer, std::string& strValue) {
    strValue.clear();
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) ||
        !FindElementInAnswer(pRoot, "CapabilityList", pList, dataDocument)) {
        return false;
    }
    const TiXmlElement* pControl = FindKeyedChild(pList, "Capability", "key", "KeyboardBacklightControl");
    if (!pControl) {
        return false;
    }
    if (const char* pszText = GetElementText(pControl)) {
        strValue = pszText;
    }
    return true;
}

bool CKeyboardBacklightBtn::ParseBacklightSettings(const ContractAnswer& answer, std::string& strLevel,
                                                   std::string& strStatus) {
    return ParseSettingPair(answer, true, "KeyboardBacklightLevel", strLevel, "KeyboardBacklightStatus",
                            strStatus);
}

bool CKeyboardBacklightBtn::ParseAutoBacklightSettings(const ContractAnswer& answer, std::string& strEnabled,
                                                       std::string& strOn) {
    return ParseSettingPair(answer, false, "IsAutoModeEnabled", strEnabled, "IsAutoModeOn", strOn);
}

// A document that parsed keeps its nodes: without an element among them it has no root element.
bool CKeyboardBacklightBtn::LoadSettingsList(const ContractAnswer& answer, const char* pszList, bool bLog,
                                             TiXmlDocument& document, TiXmlDocument& dataDocument,
                                             const TiXmlElement*& pList) {
    pList = nullptr;
    const TiXmlElement* pRoot = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot)) {
        if (bLog) {
            WriteLog(document.NoChildren() ? L"[Parse XML file failure.][BacklightSettingsResponse]"
                                           : L"[Get XML Root Element failure.][BacklightSettingsResponse]");
        }
        return false;
    }
    FindElementInAnswer(pRoot, pszList, pList, dataDocument);
    return true;
}

bool CKeyboardBacklightBtn::IsKobalAuto() const {
    return m_nSmartSenseSupport == 1 && m_nSmartSenseStatus == 1;
}

bool CKeyboardBacklightBtn::TakeLevelKind(const std::string& strLevel, bool bKobal) {
    const auto pKind = std::find_if(std::begin(kLevelKinds), std::end(kLevelKinds),
                                    [&strLevel](const LevelKind& kind) { return strLevel == kind.pszLevel; });
    if (pKind == std::end(kLevelKinds)) {
        m_nKbbSupport = 0;
        return false;
    }
    m_nKbbLevelType = bKobal ? pKind->nKobalType : pKind->nIxorType;
    m_nKbbSupport = bKobal || pKind->bIxorOffered ? 1 : 0;
    return m_nKbbSupport == 1;
}

int CKeyboardBacklightBtn::TakeStatus(const std::string& strStatus, int nAutoLevel) {
    const struct {
        const char* pszStatus;
        int nLevel;
        int nImage;
    } levels[] = {
        {"Level_1", kLevel1, kLevel1Png}, {"Level_2", kLevel2, kLevel2Png}, {"Auto", nAutoLevel, kAutoPng}};
    for (const auto& level : levels) {
        if (strStatus == level.pszStatus) {
            m_nKbbStatus = level.nLevel;
            return level.nImage;
        }
    }
    m_nKbbStatus = kLevelOff;
    if (strStatus == "DisabledOff") {
        m_bKbbDisabled = true;
        m_bDisabled = 1;
        return kDisabledPng;
    }
    return kOffPng;
}

void CKeyboardBacklightBtn::ShowStatusImage(int nImageId) {
    if (m_bKbbDisabled) {
        m_strTip = m_strOffText;
        SetIconState(kDisabledPng, FeatureStateDisabled);
        if (g_bNarrator) {
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_strName;
        }
        return;
    }
    SetIconState(nImageId, kLevelStateType);
    const bool bOneLevel = m_nKbbLevelType == kOneLevel;
    switch (nImageId) {
    case kOffPng:
        m_strCaption = ResString(L"Keyboard backlight off", 474);
        m_strTip = m_strOffText;
        break;
    case kLevel1Png:
        m_strCaption =
            bOneLevel ? ResString(L"Keyboard backlight on", 473) : ResString(L"Keyboard backlight low", 475);
        m_strTip = bOneLevel ? m_strOnText : m_strLowText;
        break;
    case kLevel2Png:
        m_strCaption = ResString(L"Keyboard backlight high", 476);
        m_strTip = m_strHighText;
        break;
    case kAutoPng:
        m_strCaption = ResString(L"Keyboard backlight auto", 477);
        m_strTip = m_strAutoText;
        break;
    default:
        break;
    }
}

void CKeyboardBacklightBtn::LogProbeResult() {
    WriteLog(L"[KBB ###1 m_nSupport=%d,  m_nStatus=%d, m_nKbbSupport=%d, m_nKbbStatus=%d]", m_nSupport.load(),
             m_nStatus.load(), m_nKbbSupport.load(), m_nKbbStatus.load());
}

void CKeyboardBacklightBtn::SendLevelEvent(const wchar_t* pszValue) {
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.KeyboardBacklight", pszValue,
                     L"Features.Toolbar.Flipdecks");
}

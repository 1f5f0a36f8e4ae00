#include "features/KeyboardTopRowBtn.h"

#include <cstring>
#include <initializer_list>
#include <mutex>

#include "features/KeyboardBacklightBtn.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"

namespace {

const COLORREF kShownCircle = 0xFFFFFF;
const COLORREF kDisabledCircle = 0xEBEAE6;
constexpr float kScaleInCircle = 0.91f;

// The set workers' turns (see KobalSetFnLock).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

// One flag of a keyed list: the key of its entries (exact) and the text (ignoring case) that sets it.
struct KeyedFlag {
    const char* pszKey;
    const char* pszSetText;
    bool& bFlag;
};

// The flags, false first, from the entries of the list (in the answer or inside its "Data"); every
// entry of a key counts, so the last one decides.
bool ParseFlags(const ContractAnswer& answer, const char* pszList, const char* pszEntry, bool bLog,
                std::initializer_list<KeyedFlag> flags) {
    for (const KeyedFlag& flag : flags) {
        flag.bFlag = false;
    }
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pList = nullptr;
    if (!CKeyboardBacklightBtn::LoadSettingsList(answer, pszList, bLog, document, dataDocument, pList)) {
        return false;
    }
    for (const TiXmlElement* pEntry = pList ? pList->FirstChildElement(pszEntry) : nullptr; pEntry;
         pEntry = pEntry->NextSiblingElement(pszEntry)) {
        const char* pszKey = pEntry->Attribute("key");
        const char* pszText = GetElementText(pEntry);
        for (const KeyedFlag& flag : flags) {
            if (pszKey && std::strcmp(pszKey, flag.pszKey) == 0) {
                flag.bFlag = pszText && IsEqualNoCaseA(pszText, flag.pszSetText);
            }
        }
    }
    return true;
}

bool ParseCapabilities(const ContractAnswer& answer, std::initializer_list<KeyedFlag> flags) {
    return ParseFlags(answer, "CapabilityList", "Capability", false, flags);
}

bool ParseSettings(const ContractAnswer& answer, std::initializer_list<KeyedFlag> flags) {
    return ParseFlags(answer, "SettingList", "Setting", true, flags);
}

// One Fn lock set call; its answer is logged, not read.
unsigned SendFnLock(const void* pParam, const wchar_t* pszWorker, const wchar_t* pszAnswerLine,
                    _bstr_t (IContractInterface::*pfnSet)(int)) {
    if (!g_pContractInterface) {
        WriteLog(
            L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][CKeyboardTopRowBtn::%s]",
            pszWorker);
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<bool>*>(pParam)->load() ? 1 : 0;
    const ContractAnswer answer =
        ContractAnswerOf([&] { return (g_pContractInterface.GetInterfacePtr()->*pfnSet)(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[%s nCurState=%d, resonse:%s]", pszAnswerLine, nCurState, pszAnswer);
    }
    return 0;
}

// A settings query of the consumer road: false, support 0, when it has no answer or the answer does
// not parse. The plug-in logs both of its queries under the prime key's name.
template <typename Query, typename Parse>
bool QueryIxorSettings(std::atomic<int>& nSupport, Query query, Parse parse) {
    const ContractAnswer answer = ContractAnswerOf(query);
    if (!answer) {
        nSupport = 0;
        WriteLog(L"[GetIxorPrimeKeySettings response is null]");
        return false;
    }
    WriteLog(L"[GetIxorPrimeKeySettings  resonse:%s]", static_cast<const wchar_t*>(answer));
    if (!parse(answer)) {
        nSupport = 0;
        WriteLog(L"[GetIxorPrimeKeySettings parse failed]");
        return false;
    }
    return true;
}

} // namespace

CKeyboardTopRowBtn::CKeyboardTopRowBtn() {
    m_strKey = L"KeyboardTopRowKey";
    m_strName = ResString(L"Keyboard top-row function", 465);
    m_strOnTip = ResString(L"Keyboard top-row function: Special function", 506);
    m_strOffTip = ResString(L"Keyboard top-row function: F1-F12 function", IDS_TIP_F1F12);
    m_strTip = m_strOffTip;
}

CKeyboardTopRowBtn::~CKeyboardTopRowBtn() {
    WaitForWorkers();
}

bool CKeyboardTopRowBtn::Init(CWnd* pParent) {
    m_fIconScale = kScaleInCircle;
    m_bKobalBrand = g_nKobalBrand == 1;
    SetImages(pParent, kF1F12Png, kSpecialPng, kF1F12DisabledPng, kSpecialDisabledPng, kShownCircle,
              kShownCircle, kDisabledCircle, kDisabledCircle);
    return true;
}

int CKeyboardTopRowBtn::DoJudgeSupportCallback() {
    if (m_bKobalBrand) {
        KobalJudgeSupport();
    } else {
        IxorJudgeSupport();
    }
    return 0;
}

int CKeyboardTopRowBtn::KobalJudgeSupport() {
    QueryKobalSupport();
    SetButtonStatusIcon(m_bFnStickKey ? FeatureStateDisabled : ShownState());
    return 0;
}

// Support and the settings of the business road; whatever it finds, the probe then shows the state the
// settings give.
void CKeyboardTopRowBtn::QueryKobalSupport() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CKeyboardTopRowBtn::KobalJudgeSupport");
        m_nSupport = 0;
        return;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->GetKobalKBDCapability(); });
    if (!capability) {
        m_nSupport = 0;
        WriteLog(L"[GetKobalKBDCapability response is null]");
        return;
    }
    WriteLog(L"[GetKobalKBDCapability  resonse:%s]", static_cast<const wchar_t*>(capability));
    // An answer that does not parse leaves the cached support.
    bool bPrimary = false;
    bool bFnLock = false;
    bool bFnStick = false;
    if (ParseKobalKbdCapability(capability, bPrimary, bFnLock, bFnStick)) {
        m_nSupport = bPrimary && bFnLock ? 1 : 0;
    }
    if (m_nSupport < 1) {
        return;
    }

    const ContractAnswer settings =
        ContractAnswerOf([] { return g_pContractInterface->GetKobalKBDSettings(); });
    if (!settings) {
        m_nSupport = 0;
        WriteLog(L"[GetKobalKBDSettings response is null]");
        return;
    }
    WriteLog(L"[GetKobalKBDSettings  resonse:%s]", static_cast<const wchar_t*>(settings));
    // The settings are cleared first, also by an answer that does not parse.
    bool bFnStickKey = false;
    const bool bParsed = ParseKobalKBDSettings(settings, bPrimary, bFnLock, bFnStickKey);
    m_bPrimaryFunction = bPrimary;
    m_bFnLock = bFnLock;
    m_bFnStickKey = bFnStickKey;
    if (!bParsed) {
        m_nSupport = 0;
        WriteLog(L"[ParseKobalKBDSettings parse failed]");
    }
}

int CKeyboardTopRowBtn::IxorJudgeSupport() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CKeyboardTopRowBtn::IxorJudgeSupport");
        m_nSupport = 0;
        return 0;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->GetIxorKBDCapability(); });
    if (!capability) {
        m_nSupport = 0;
        WriteLog(L"[GetIxorKBDCapability response is null]");
        return 0;
    }
    WriteLog(L"[GetIxorKBDCapability  resonse:%s]", static_cast<const wchar_t*>(capability));
    // An answer that does not parse leaves the cached support.
    bool bPrimeKey = false;
    bool bFnLock = false;
    if (ParseIxorKbdCapability(capability, bPrimeKey, bFnLock)) {
        m_nSupport = bPrimeKey && bFnLock ? 1 : 0;
    }
    if (m_nSupport < 1) {
        return 0;
    }

    bool bPrimary = false;
    if (!QueryIxorSettings(
            m_nSupport, [] { return g_pContractInterface->GetIxorPrimeKeySettings(); },
            [&bPrimary](const ContractAnswer& answer) {
                return ParseIxorPrimeKeySettings(answer, bPrimary);
            }) ||
        !QueryIxorSettings(
            m_nSupport, [] { return g_pContractInterface->GetIxorFnLockSettings(); },
            [&bFnLock](const ContractAnswer& answer) { return ParseIxorFnLockSettings(answer, bFnLock); })) {
        return 0;
    }
    m_bPrimaryFunction = bPrimary;
    m_bFnLock = bFnLock;
    m_nStatus = ShownState();
    SetButtonStatusIcon(m_nStatus);
    return 0;
}

void CKeyboardTopRowBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (!m_bKobalBrand) {
        IxorToggleFnLock();
        return;
    }
    if (m_bFnStickKey) {
        m_nStatus = ShownState();
        ShowFnStickKeyLook();
        return;
    }
    ToggleFnLock(KobalSetFnLock);
}

void CKeyboardTopRowBtn::IxorToggleFnLock() {
    ToggleFnLock(IxorSetFnLock);
}

void CKeyboardTopRowBtn::SetButtonStatusIcon(int nStatus) {
    m_nStatus = nStatus;
    if (m_bKobalBrand && m_bFnStickKey) {
        ShowFnStickKeyLook();
    } else if (nStatus == kStateSpecial) {
        SetIconState(kSpecialPng, kShownStateType);
        m_strCaption = ResString(L"Special function enabled", 466);
        m_strTip = m_strOnTip;
    } else if (nStatus == kStateF1F12) {
        SetIconState(kF1F12Png, kShownStateType);
        m_strCaption = ResString(L"F1 - F12 function enabled", 467);
        m_strTip = m_strOffTip;
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

bool CKeyboardTopRowBtn::IsWrappedTipText(const CString& strText) {
    return !strText.IsEmpty() && strText == ResStringOfLanguage(kLangUkrainian, nullptr, IDS_TIP_F1F12);
}

int CKeyboardTopRowBtn::ShownState() const {
    return m_bPrimaryFunction == m_bFnLock ? kStateSpecial : kStateF1F12;
}

unsigned __stdcall CKeyboardTopRowBtn::KobalSetFnLock(void* pParam) {
    return SendFnLock(pParam, L"KobalSetFnLock", L"KobalSetFnLock#2", &IContractInterface::SetKobalFnLock);
}

unsigned __stdcall CKeyboardTopRowBtn::IxorSetFnLock(void* pParam) {
    return SendFnLock(pParam, L"IxorSetFnLock", L"IxorSetFnLock", &IContractInterface::SetIxorFnLock);
}

bool CKeyboardTopRowBtn::ParseKobalKbdCapability(const ContractAnswer& answer, bool& bPrimary, bool& bFnLock,
                                                 bool& bFnStick) {
    return ParseCapabilities(answer, {{"PrimaryFunction", "true", bPrimary},
                                      {"FnLock", "true", bFnLock},
                                      {"FnStickKey", "true", bFnStick}});
}

bool CKeyboardTopRowBtn::ParseKobalKBDSettings(const ContractAnswer& answer, bool& bPrimaryFunction,
                                               bool& bFnLock, bool& bFnStickKey) {
    return ParseSettings(answer, {{"PrimaryFunction", "select", bPrimaryFunction},
                                  {"FnLock", "true", bFnLock},
                                  {"FnStickKey", "true", bFnStickKey}});
}

bool CKeyboardTopRowBtn::ParseIxorKbdCapability(const ContractAnswer& answer, bool& bPrimeKey,
                                                bool& bFnLock) {
    return ParseCapabilities(answer, {{"PrimeKey", "true", bPrimeKey}, {"FnLock", "true", bFnLock}});
}

bool CKeyboardTopRowBtn::ParseIxorPrimeKeySettings(const ContractAnswer& answer, bool& bPrimaryFunction) {
    return ParseSettings(answer, {{"PrimeKey", "fnkey", bPrimaryFunction}});
}

bool CKeyboardTopRowBtn::ParseIxorFnLockSettings(const ContractAnswer& answer, bool& bFnLock) {
    return ParseSettings(answer, {{"FnLock", "true", bFnLock}});
}

// Greyed: the special functions' image and tip while neither the primary function nor the Fn lock is
// set, else the F1-F12 keys'; the caption only for the narrator.
void CKeyboardTopRowBtn::ShowFnStickKeyLook() {
    const bool bBothClear = !m_bPrimaryFunction && !m_bFnLock;
    SetIconState(bBothClear ? kSpecialDisabledPng : kF1F12DisabledPng, FeatureStateDisabled);
    m_strTip = bBothClear ? m_strOnTip : m_strOffTip;
    if (g_bNarrator) {
        m_strCaption = m_strName + L" " + g_strDisabled;
        m_strTip = m_strName;
    }
}

// The click's switch: the Fn lock turned over, the state it shows, the brand's worker and the event.
void CKeyboardTopRowBtn::ToggleFnLock(_beginthreadex_proc_type pfnSetWorker) {
    m_bFnLock = !m_bFnLock;
    SetButtonStatusIcon(ShownState());
    StartButtonThread(pfnSetWorker, &m_bFnLock);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.KeyboardTopRow",
                     m_nStatus == kStateSpecial ? L"Special_Function_Enabled" : L"F1F12_Function_Enabled",
                     L"Features.Toolbar.Flipdecks");
}

#include "features/PrivacyGuardBtn.h"

#include <exception>

#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/ResourceStrings.h"

namespace {

constexpr int kOffPng = 380;
constexpr int kOnPng = 379;
constexpr int kDisabledPng = 381;

// Where the screen-privacy driver publishes its state, a FeatureState.
const wchar_t kShadeveilKey[] = L"SOFTWARE\\Corvex\\Shadeveil";
const wchar_t kShadeveilState[] = L"State";
constexpr DWORD kNotifyFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;

bool ArmNotification(HKEY hKey, HANDLE hEvent) {
    return RegNotifyChangeKeyValue(hKey, TRUE, kNotifyFilter, hEvent, TRUE) == ERROR_SUCCESS;
}

bool OpenShadeveilKey(REGSAM first, REGSAM second, HKEY& hKey) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShadeveilKey, 0, first, &hKey) == ERROR_SUCCESS ||
           RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShadeveilKey, 0, second, &hKey) == ERROR_SUCCESS;
}

// The driver's state as its value's first four bytes give it; off when they cannot be read.
int QueryShadeveilState(HKEY hKey) {
    DWORD dwState = 0;
    DWORD cbState = sizeof(dwState);
    if (RegQueryValueExW(hKey, kShadeveilState, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwState),
                         &cbState) != ERROR_SUCCESS) {
        return FeatureStateOff;
    }
    return static_cast<int>(dwState);
}

// The flags of the list's entries (see ParsePrivacyGuardCapability).
bool ParseGuardFlags(const ContractAnswer& answer, const char* pszList, const char* pszEntry,
                     int& nPrivacyGuard, int& nOnPassword) {
    nPrivacyGuard = 0;
    nOnPassword = 0;
    TiXmlDocument document;
    TiXmlDocument dataDocument;
    const TiXmlElement* pRoot = nullptr;
    const TiXmlElement* pList = nullptr;
    if (!LoadXmlRoot(answer, document, pRoot) || !FindElementInAnswer(pRoot, pszList, pList, dataDocument)) {
        return false;
    }
    bool bFound = false;
    for (const TiXmlElement* pEntry = pList->FirstChildElement(pszEntry); pEntry;
         pEntry = pEntry->NextSiblingElement(pszEntry)) {
        const char* pszKey = pEntry->Attribute("key");
        int* pnFlag = nullptr;
        if (pszKey && IsEqualNoCaseA(pszKey, "PrivacyGuard")) {
            pnFlag = &nPrivacyGuard;
        } else if (pszKey && IsEqualNoCaseA(pszKey, "PrivacyGuardOnPassword")) {
            pnFlag = &nOnPassword;
        } else {
            continue;
        }
        const char* pszText = GetElementText(pEntry);
        *pnFlag = pszText && IsEqualNoCaseA(pszText, "True") ? 1 : 0;
        bFound = true;
    }
    return bFound;
}

// The set workers' turns (see SetPrivacyGuard).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

BEGIN_MESSAGE_MAP(CPrivacyGuardBtn, CDeckFeatureButton)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CPrivacyGuardBtn::CPrivacyGuardBtn() {
    m_strKey = L"PrivacyGuard";
    LoadResString(m_strName, L"Privacy guard", 435);
    LoadResString(m_strOnTip, L"Privacy guard: On", 490);
    LoadResString(m_strOffTip, L"Privacy guard: Off", 491);
    m_strTip = m_strOffTip;
}

CPrivacyGuardBtn::~CPrivacyGuardBtn() {
    StopWatch();
    WaitForWorkers();
}

bool CPrivacyGuardBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    StartButtonThread(WatchThreadProc, this);
    return true;
}

int CPrivacyGuardBtn::DoJudgeSupportCallback() {
    if (!g_pContractInterface) {
        WriteLog(L"[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CPrivacyGuardBtn::DoJudgeSupportCallback");
        m_nSupport = 0;
        return -1;
    }
    const ContractAnswer capability =
        ContractAnswerOf([] { return g_pContractInterface->IsSupportPrivacyGuard(); });
    if (!capability) {
        m_nSupport = 0;
        WriteLog(L"[IsSupportPrivacyGuard response is null]");
        return -2;
    }
    WriteLog(L"[IsSupportPrivacyGuard  resonse:%s]", static_cast<const wchar_t*>(capability));
    int nPrivacyGuard = 0;
    int nOnPassword = 0;
    m_nSupport = ParsePrivacyGuardCapability(capability, nPrivacyGuard, nOnPassword) ? nPrivacyGuard : 0;
    if (m_nSupport == 0) {
        StopWatch(); // the button stays hidden
        return 0;
    }

    const ContractAnswer status =
        ContractAnswerOf([] { return g_pContractInterface->GetPrivacyGuardStatus(); });
    if (!status) {
        WriteLog(L"[GetPrivacyGuardStatus response is null]");
        return -2;
    }
    WriteLog(L"[GetPrivacyGuardStatus  resonse:%s]", static_cast<const wchar_t*>(status));
    // An unreadable status leaves the state and its image as they are.
    if (ParsePrivacyGuardSettings(status, nPrivacyGuard, nOnPassword)) {
        m_nStatus = nPrivacyGuard;
        SetButtonStatusIcon(nPrivacyGuard);
    }
    return 0;
}

void CPrivacyGuardBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    const int nState = m_nStatus == FeatureStateOn ? FeatureStateOff : FeatureStateOn;
    m_nStatus = nState;
    m_nRequestedState = nState;
    SetButtonStatusIcon(nState);
    StartButtonThread(SetPrivacyGuard, &m_nRequestedState);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.PrivacyGuard", nState == FeatureStateOn ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
}

void CPrivacyGuardBtn::SetButtonStatusIcon(int nState) {
    CString strCaption;
    switch (nState) {
    case FeatureStateOff:
        SetIconState(kOffPng, FeatureStateOff);
        LoadResString(strCaption, L"Privacy guard off", 437);
        m_strCaption = strCaption;
        m_strTip = m_strOffTip;
        break;
    case FeatureStateOn:
        SetIconState(kOnPng, FeatureStateOn);
        LoadResString(strCaption, L"Privacy guard on", 436);
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

unsigned __stdcall CPrivacyGuardBtn::SetPrivacyGuard(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]",
                 L"CPrivacyGuardBtn::SetPrivacyGuard");
        return static_cast<unsigned>(-1);
    }
    const std::lock_guard turn(SetCallLock());
    const int nCurState = static_cast<const std::atomic<int>*>(pParam)->load();
    const ContractAnswer answer =
        ContractAnswerOf([nCurState] { return g_pContractInterface->SetPrivacyGuard(nCurState); });
    if (const wchar_t* pszAnswer = answer) {
        WriteLog(L"[SetPrivacyGuard nCurState=%d, resonse:%s]", nCurState, pszAnswer);
    }
    return 0;
}

bool CPrivacyGuardBtn::ParsePrivacyGuardCapability(const ContractAnswer& answer, int& nPrivacyGuard,
                                                   int& nOnPassword) {
    return ParseGuardFlags(answer, "CapabilityList", "Capability", nPrivacyGuard, nOnPassword);
}

bool CPrivacyGuardBtn::ParsePrivacyGuardSettings(const ContractAnswer& answer, int& nPrivacyGuard,
                                                 int& nOnPassword) {
    return ParseGuardFlags(answer, "SettingList", "Setting", nPrivacyGuard, nOnPassword);
}

unsigned __stdcall CPrivacyGuardBtn::WatchThreadProc(void* pParam) {
    if (pParam) {
        static_cast<CPrivacyGuardBtn*>(pParam)->WatchShadeveilRegistry();
    }
    return 0;
}

// The notification is armed again before the value is read, so that no change goes unseen.
void CPrivacyGuardBtn::WatchShadeveilRegistry() {
    HKEY hKey = nullptr;
    if (!OpenShadeveilKey(KEY_NOTIFY | KEY_WOW64_64KEY, KEY_NOTIFY, hKey)) {
        return;
    }
    const HANDLE hEvent = MakeWatchEvent();
    if (!hEvent) {
        RegCloseKey(hKey);
        return;
    }
    bool bArmed = ArmNotification(hKey, hEvent);
    while (bArmed && !m_bStopWatch) {
        if (WaitForSingleObject(hEvent, INFINITE) != WAIT_OBJECT_0 || m_bStopWatch) {
            break;
        }
        ResetEvent(hEvent);
        bArmed = ArmNotification(hKey, hEvent);
        ReadShadeveilState();
    }
    RegCloseKey(hKey);
    CloseWatchEvent();
}

// The program's own view first: the key of the 64-bit driver is reached when the 32-bit one is missing.
void CPrivacyGuardBtn::ReadShadeveilState() {
    try {
        HKEY hKey = nullptr;
        if (!OpenShadeveilKey(KEY_READ, KEY_READ | KEY_WOW64_64KEY, hKey)) {
            return;
        }
        const int nState = QueryShadeveilState(hKey);
        RegCloseKey(hKey);
        // A value that is no state would leave the state apart from the image it shows.
        if (nState < FeatureStateOff || nState > FeatureStateDisabled) {
            return;
        }
        m_nStatus = nState;
        SetButtonStatusIcon(nState);
    } catch (CException* pException) {
        pException->Delete();
    } catch (const std::exception&) {
    }
}

void CPrivacyGuardBtn::OnDestroy() {
    StopWatch();
    CDeckFeatureButton::OnDestroy();
}

// The flag first: a watcher that makes its event after this sees it before it waits.
void CPrivacyGuardBtn::StopWatch() {
    m_bStopWatch = 1;
    const std::lock_guard lock(m_watchLock);
    if (m_hWatchEvent) {
        SetEvent(m_hWatchEvent);
    }
}

HANDLE CPrivacyGuardBtn::MakeWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    m_hWatchEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return m_hWatchEvent;
}

void CPrivacyGuardBtn::CloseWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    CloseHandle(m_hWatchEvent);
    m_hWatchEvent = nullptr;
}

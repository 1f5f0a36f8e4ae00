#include "features/IxorIntelligentCoolingBtn.h"

#include <algorithm>
#include <ctime>
#include <iterator>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/servicecontrol.h"
#include "services/ContractClient.h"
#include "services/Log.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"
#include "services/SystemRoutines.h"

std::atomic<bool> g_bIntelligentCoolingActive = false;

namespace {

using Btn = CIxorIntelligentCoolingBtn;

constexpr int kIntelligentPng = 392;
constexpr int kPerformancePng = 382;
constexpr int kCoolQuietPng = 397;
constexpr int kBatterySavingPng = 403;
constexpr COLORREF kWhite = 0xFFFFFF;
// The images of every mode are marked as level states.
constexpr int kModeStateType = 3;

const wchar_t kServiceName[] = L"QRMDSVC";
const wchar_t kEnergyDriver[] = L"\\\\.\\VexlorDrv";
const wchar_t kIcKey[] = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC";
const wchar_t kMmcKey[] = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC\\MMC";
const wchar_t kEventPage[] = L"Features.Toolbar.Flipdecks";

constexpr DWORD kFirstVersion = 0x4000;
constexpr DWORD kVersion4 = 0x5000;
constexpr DWORD kVersion5 = 0x6000;
constexpr DWORD kCoolQuietCapability = 0x2;
constexpr DWORD kPerformanceCapability = 0x8;
constexpr DWORD kAutomaticMode = 2;
constexpr DWORD kFixedMode = 1;
constexpr DWORD kCoolQuietSetting = 1;
constexpr DWORD kPerformanceSetting = 3;

constexpr DWORD kNotifyFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
constexpr DWORD kBusyPollMs = 50;
constexpr int kBusyPolls = 30;
constexpr DWORD kControlRetryMs = 1000;

// What a mode looks like and where a click goes from it: [0] on thermal solution 3, [1] on 4 and 5.
struct ModeLook {
    int nCode;
    int nPng[2];
    CString Btn::*pCaption[2];
    CString Btn::*pTip[2];
    const wchar_t* pszValue[2]; // the telemetry value of a click to it
    int nNext[2];
};

const ModeLook kModeLooks[] = {
    {Btn::ModeIntelligent,
     {kIntelligentPng, kIntelligentPng},
     {&Btn::m_strIntelligentCaption, &Btn::m_strIntelligentCaption},
     {&Btn::m_strIntelligentTip, &Btn::m_strIntelligentTip},
     {L"Intelligent_Cooling", L"Intelligent_Cooling"},
     {Btn::ModePerformance, Btn::ModeCoolQuiet}},
    {Btn::ModePerformance,
     {kPerformancePng, kPerformancePng},
     {&Btn::m_strPerformanceCaption, &Btn::m_strExtremePerformanceCaption},
     {&Btn::m_strPerformanceTip, &Btn::m_strExtremePerformanceTip},
     {L"Performance", L"Extreme_Performance"},
     {Btn::ModeCoolQuiet, Btn::ModeIntelligent}},
    {Btn::ModeCoolQuiet,
     {kCoolQuietPng, kBatterySavingPng},
     {&Btn::m_strCoolQuietCaption, &Btn::m_strBatterySavingCaption},
     {&Btn::m_strCoolQuietTip, &Btn::m_strBatterySavingTip},
     {L"Cool_Quiet", L"Battery_Saving"},
     {Btn::ModeIntelligent, Btn::ModePerformance}},
};

const ModeLook* FindModeLook(int nCode) {
    const auto found = std::find_if(std::begin(kModeLooks), std::end(kModeLooks),
                                    [nCode](const ModeLook& look) { return look.nCode == nCode; });
    return found == std::end(kModeLooks) ? nullptr : &*found;
}

// 0 for thermal solution 3, 1 for the newer ones.
int Generation(int nVersion) {
    return nVersion >= 4 ? 1 : 0;
}

const wchar_t* EventName(int nVersion) {
    switch (nVersion) {
    case 3:
        return L"Features.Toolbar.Flipdecks.IntelligentCooling30ForIxorpad";
    case 4:
        return L"Features.Toolbar.Flipdecks.IntelligentCooling40ForIxorpad";
    default:
        return L"Features.Toolbar.Flipdecks.IntelligentCooling50ForIxorpad";
    }
}

// The string-table entry in that language: the thread's language is switched for the load only.
struct LocalizedTip {
    int nStringId;
    LANGID language;
};

const LocalizedTip kWrappedTips[] = {
    {Btn::IDS_TIP_EXTREME_PERFORMANCE, Btn::kLangJapanese},
    {Btn::IDS_TIP_EXTREME_PERFORMANCE, Btn::kLangRussian},
    {Btn::IDS_TIP_BATTERY_SAVING, Btn::kLangRussian},
};
const LocalizedTip kNarrowMarginTip = {Btn::IDS_TIP_BATTERY_SAVING, Btn::kLangUkrainian};

bool IsTipText(const CString& strText, const LocalizedTip& tip) {
    return !strText.IsEmpty() && strText == ResStringOfLanguage(tip.language, nullptr, tip.nStringId);
}

bool OpenKey(const wchar_t* pszKey, REGSAM first, REGSAM second, HKEY& hKey) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, first, &hKey) == ERROR_SUCCESS ||
           RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, second, &hKey) == ERROR_SUCCESS;
}

// A REG_DWORD value; false when it is missing or malformed.
bool QueryDword(HKEY hKey, const wchar_t* pszName, DWORD& dwValue) {
    DWORD dwType = REG_NONE;
    DWORD dwData = 0;
    DWORD cbData = sizeof(dwData);
    if (RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwData), &cbData) !=
            ERROR_SUCCESS ||
        dwType != REG_DWORD || cbData != sizeof(dwData)) {
        return false;
    }
    dwValue = dwData;
    return true;
}

bool IsEnergyDriverPresent() {
    const HANDLE hDriver =
        CreateFileW(kEnergyDriver, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hDriver == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(hDriver);
    return true;
}

bool ArmNotification(HKEY hKey, HANDLE hEvent) {
    return RegNotifyChangeKeyValue(hKey, TRUE, kNotifyFilter, hEvent, TRUE) == ERROR_SUCCESS;
}

// The set workers' turns (see SetModeThread).
std::mutex& SetCallLock() {
    static std::mutex lock;
    return lock;
}

} // namespace

BEGIN_MESSAGE_MAP(CIxorIntelligentCoolingBtn, CDeckFeatureButton)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CIxorIntelligentCoolingBtn::CIxorIntelligentCoolingBtn() {
    m_strKey = L"IntelligentCooling";
    m_strName = ResString(L"Intelligent cooling", 447);
    m_strIntelligentCaption = ResString(L"Intelligent cooling mode on", 448);
    m_strPerformanceCaption = ResString(L"Performance mode on", 478);
    m_strExtremePerformanceCaption = ResString(L"Extreme performance mode on", 449);
    m_strCoolQuietCaption = ResString(L"Cool &&& quiet mode on", 479);
    m_strBatterySavingCaption = ResString(L"Battery saving mode on", 450);
    m_strIntelligentTip = ResString(L"Intelligent cooling: Intelligent mode", 513);
    m_strPerformanceTip = ResString(L"Intelligent cooling: Performance mode", 516);
    m_strExtremePerformanceTip =
        ResString(L"Intelligent cooling: Extreme performance mode", IDS_TIP_EXTREME_PERFORMANCE);
    m_strCoolQuietTip = ResString(L"Intelligent cooling: Cool &&& quiet mode", 517);
    m_strBatterySavingTip = ResString(L"Intelligent cooling: Battery saving mode", IDS_TIP_BATTERY_SAVING);
    m_strTip = m_strIntelligentTip;
}

CIxorIntelligentCoolingBtn::~CIxorIntelligentCoolingBtn() {
    StopWatch();
    WaitForWorkers();
}

bool CIxorIntelligentCoolingBtn::Init(CWnd* pParent) {
    m_nSupport = GetRMDVersion();
    if (m_nSupport == 0) {
        return true;
    }
    g_bIntelligentCoolingActive = true;
    if (!SetImages(pParent, kIntelligentPng, kPerformancePng, kBatterySavingPng, kCoolQuietPng, kWhite,
                   kWhite, kWhite, kWhite)) {
        return true; // unsupported after all: nothing to show or watch
    }
    StartButtonThread(WatchThreadProc, this);
    UpdateModeFromStatus();
    WriteIntelligentCoolingToolbarTime(true);
    if (pParent && pParent->GetSafeHwnd()) {
        pParent->SendMessage(WM_SIZE, 0, 0);
    }
    return true;
}

void CIxorIntelligentCoolingBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0 || m_nSupport == 0) {
        return;
    }
    WaitWhileBusy();
    m_bBusy = true;
    DWORD dwCapability = 0;
    DWORD dwCurrentSetting = 0;
    DWORD dwAutomaticModeSetting = 0;
    if (!RMDGetStatus(dwCapability, dwCurrentSetting, dwAutomaticModeSetting)) {
        return;
    }
    const ModeChoice next = NextModeOfClick(m_nSupport, m_nMode, dwCapability, dwAutomaticModeSetting);
    m_nStatus = next.nCode == ModeIntelligent ? 1 : 0;
    SetButtonStatusIcon(next.nCode);
    StartButtonThread(SetModeThread, this);
    SendFeatureEvent(EventName(m_nSupport), next.pszValue, kEventPage);
}

int CIxorIntelligentCoolingBtn::GetRMDVersion() {
    HKEY hKey = nullptr;
    if (!OpenKey(kIcKey, KEY_READ, KEY_READ | KEY_WOW64_64KEY, hKey)) {
        return 0;
    }
    DWORD dwVersion = 0;
    const bool bRead = QueryDword(hKey, L"Version", dwVersion);
    RegCloseKey(hKey);
    if (!bRead || VersionOfValue(dwVersion) == 0) {
        return 0;
    }
    DWORD dwCapability = 0;
    DWORD dwCurrentSetting = 0;
    DWORD dwAutomaticModeSetting = 0;
    if (!RMDGetStatus(dwCapability, dwCurrentSetting, dwAutomaticModeSetting) ||
        !IsServiceRunning(kServiceName) || !IsEnergyDriverPresent()) {
        return 0;
    }
    return VersionOfValue(dwVersion);
}

bool CIxorIntelligentCoolingBtn::RMDGetStatus(DWORD& dwCapability, DWORD& dwCurrentSetting,
                                              DWORD& dwAutomaticModeSetting) {
    dwCapability = 0;
    dwCurrentSetting = 0;
    dwAutomaticModeSetting = 0;
    HKEY hKey = nullptr;
    if (!OpenKey(kMmcKey, KEY_READ, KEY_READ | KEY_WOW64_64KEY, hKey)) {
        return false;
    }
    QueryDword(hKey, L"Capability", dwCapability);
    QueryDword(hKey, L"CurrentSetting", dwCurrentSetting);
    QueryDword(hKey, L"AutomaticModeSetting", dwAutomaticModeSetting);
    RegCloseKey(hKey);
    WriteLog(L"[Ixor RMDGetStatus  Capability=%d,CurrentSetting=%d,AutomaticModeSetting=%d]",
             static_cast<int>(dwCapability), static_cast<int>(dwCurrentSetting),
             static_cast<int>(dwAutomaticModeSetting));
    m_nStatus = dwAutomaticModeSetting == kAutomaticMode ? 1 : 0;
    return true;
}

void CIxorIntelligentCoolingBtn::SetButtonStatusIcon(int nMode) {
    m_nMode = nMode;
    const ModeLook* pLook = FindModeLook(nMode);
    if (!pLook) {
        SetIconState(kIntelligentPng, kModeStateType);
    } else {
        const int nGeneration = Generation(m_nSupport);
        m_strCaption = this->*pLook->pCaption[nGeneration];
        m_strTip = this->*pLook->pTip[nGeneration];
        SetIconState(pLook->nPng[nGeneration], kModeStateType);
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

void CIxorIntelligentCoolingBtn::UpdateModeFromStatus() {
    DWORD dwCapability = 0;
    DWORD dwCurrentSetting = 0;
    DWORD dwAutomaticModeSetting = 0;
    if (!RMDGetStatus(dwCapability, dwCurrentSetting, dwAutomaticModeSetting)) {
        return;
    }
    const int nMode = ModeOfStatus(dwCapability, dwCurrentSetting, dwAutomaticModeSetting);
    if (nMode != 0 && nMode != m_nMode) {
        SetButtonStatusIcon(nMode);
    }
}

void CIxorIntelligentCoolingBtn::SetRMDMode(int nCode) {
    const SC_HANDLE hManager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE hService =
        hManager ? OpenServiceW(hManager, kServiceName, SERVICE_USER_DEFINED_CONTROL) : nullptr;
    if (hService) {
        SERVICE_STATUS status = {};
        if (!ControlService(hService, static_cast<DWORD>(nCode), &status)) {
            Sleep(kControlRetryMs);
            ControlService(hService, static_cast<DWORD>(nCode), &status);
        }
        m_bBusy = false;
        CloseServiceHandle(hService);
    }
    if (hManager) {
        CloseServiceHandle(hManager);
    }
}

void CIxorIntelligentCoolingBtn::WaitWhileBusy() {
    for (int nPoll = 0; nPoll < kBusyPolls && m_bBusy; ++nPoll) {
        Sleep(kBusyPollMs);
    }
}

// The notification is armed again before the values are read, so that no change goes unseen.
void CIxorIntelligentCoolingBtn::WatchModeRegistry() {
    HKEY hKey = nullptr;
    if (!OpenKey(kMmcKey, KEY_NOTIFY | KEY_WOW64_64KEY, KEY_NOTIFY, hKey)) {
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
        WaitWhileBusy();
        UpdateModeFromStatus();
    }
    RegCloseKey(hKey);
    CloseWatchEvent();
}

void CIxorIntelligentCoolingBtn::WriteIntelligentCoolingToolbarTime(bool bInit) {
    if (!g_bIntelligentCoolingActive) {
        return;
    }
    CRegistry key;
    if (!key.OpenToolbarKey()) {
        return;
    }
    const auto nNow = static_cast<ULONGLONG>(std::time(nullptr));
    RegSetValueExW(key.m_hKey, bInit ? L"IxorRMDToolbarInitTime" : L"IxorRMDToolbarExitTime", 0, REG_QWORD,
                   reinterpret_cast<const BYTE*>(&nNow), sizeof(nNow));
}

bool CIxorIntelligentCoolingBtn::IsWrappedTipText(const CString& strText) {
    return std::any_of(std::begin(kWrappedTips), std::end(kWrappedTips),
                       [&strText](const LocalizedTip& tip) { return IsTipText(strText, tip); });
}

bool CIxorIntelligentCoolingBtn::IsNarrowMarginTipText(const CString& strText) {
    return IsTipText(strText, kNarrowMarginTip);
}

int CIxorIntelligentCoolingBtn::VersionOfValue(DWORD dwVersion) {
    if (dwVersion < kFirstVersion) {
        return 0;
    }
    if (dwVersion < kVersion4) {
        return 3;
    }
    return dwVersion < kVersion5 ? 4 : 5;
}

int CIxorIntelligentCoolingBtn::ModeOfStatus(DWORD dwCapability, DWORD dwCurrentSetting,
                                             DWORD dwAutomaticModeSetting) {
    if (dwAutomaticModeSetting == kAutomaticMode) {
        return ModeIntelligent;
    }
    if (dwAutomaticModeSetting != kFixedMode) {
        return 0;
    }
    if ((dwCapability & kCoolQuietCapability) && dwCurrentSetting == kCoolQuietSetting) {
        return ModeCoolQuiet;
    }
    if ((dwCapability & kPerformanceCapability) && dwCurrentSetting == kPerformanceSetting) {
        return ModePerformance;
    }
    if (dwCapability == 0) {
        return dwCurrentSetting == kCoolQuietSetting ? ModeCoolQuiet : ModePerformance;
    }
    return 0;
}

CIxorIntelligentCoolingBtn::ModeChoice
CIxorIntelligentCoolingBtn::NextModeOfClick(int nVersion, int nMode, DWORD dwCapability,
                                            DWORD dwAutomaticModeSetting) {
    constexpr DWORD kBothFixedModes = kCoolQuietCapability | kPerformanceCapability;
    if (dwCapability != 0 && (dwCapability & kBothFixedModes) != kBothFixedModes) {
        return dwAutomaticModeSetting == kAutomaticMode ? ModeChoice{ModePerformance, L"Off"}
                                                        : ModeChoice{ModeIntelligent, L"On"};
    }
    const int nGeneration = Generation(nVersion);
    const ModeLook* pFrom = FindModeLook(nMode);
    const ModeLook* pTo = FindModeLook(pFrom ? pFrom->nNext[nGeneration] : ModeIntelligent);
    return {pTo->nCode, pTo->pszValue[nGeneration]};
}

unsigned __stdcall CIxorIntelligentCoolingBtn::SetModeThread(void* pParam) {
    if (pParam) {
        static_cast<CIxorIntelligentCoolingBtn*>(pParam)->SendShownMode();
    }
    return 0;
}

unsigned __stdcall CIxorIntelligentCoolingBtn::WatchThreadProc(void* pParam) {
    if (!pParam) {
        return static_cast<unsigned>(-1);
    }
    static_cast<CIxorIntelligentCoolingBtn*>(pParam)->WatchModeRegistry();
    return 0;
}

void CIxorIntelligentCoolingBtn::OnDestroy() {
    StopWatch();
    CDeckFeatureButton::OnDestroy();
}

void CIxorIntelligentCoolingBtn::SendShownMode() {
    const std::lock_guard turn(SetCallLock());
    SetRMDMode(m_nMode);
}

// The flag first: a watcher that makes its event after this sees it before it waits.
void CIxorIntelligentCoolingBtn::StopWatch() {
    m_bStopWatch = 1;
    const std::lock_guard lock(m_watchLock);
    if (m_hWatchEvent) {
        SetEvent(m_hWatchEvent);
    }
}

HANDLE CIxorIntelligentCoolingBtn::MakeWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    m_hWatchEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return m_hWatchEvent;
}

void CIxorIntelligentCoolingBtn::CloseWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    CloseHandle(m_hWatchEvent);
    m_hWatchEvent = nullptr;
}

#include "features/MicrophoneBtn.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <string>

#include "features/Mixer.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"

namespace {

constexpr int kOffPng = 386;
constexpr int kOnPng = 385;
constexpr int kDisabledPng = 387;

const wchar_t kAudioPageUri[] = L"corvex-solvane3:audio";

// Where the maker's on-screen display publishes the mute that the microphone key sets.
const wchar_t kOnScreenDisplayKey[] = L"SOFTWARE\\Corvex\\OnScreenDisplay";
const wchar_t kMuteStateValue[] = L"MicrophoneMuteState";
constexpr DWORD kNotifyFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;

struct SConsentKey {
    HKEY hRoot;
    const wchar_t* pszPath;
};

// Windows' microphone consents: the device's, the user's, the Solvane app's and the desktop apps'.
const SConsentKey kMicrophoneConsents[] = {
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
     L"\\microphone"},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
                        L"\\microphone"},
    {HKEY_CURRENT_USER, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
                        L"\\microphone\\A7C30B21.CorvexConsort_q7m3ztv8250n4"},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
                        L"\\microphone\\NonPackaged"},
};

// COM for the calling thread while it lives: a worker joins the multithreaded apartment, a thread that
// is in an apartment already keeps its own.
class CThreadCom {
public:
    CThreadCom() : m_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~CThreadCom() {
        if (SUCCEEDED(m_hr)) {
            CoUninitialize();
        }
    }
    CThreadCom(const CThreadCom&) = delete;
    CThreadCom& operator=(const CThreadCom&) = delete;

private:
    HRESULT m_hr;
};

bool OpenKey(HKEY hRoot, const wchar_t* pszPath, REGSAM first, REGSAM second, HKEY& hKey) {
    return RegOpenKeyExW(hRoot, pszPath, 0, first, &hKey) == ERROR_SUCCESS ||
           RegOpenKeyExW(hRoot, pszPath, 0, second, &hKey) == ERROR_SUCCESS;
}

// The consent's "Value"; empty when its key does not open or the value is absent.
std::wstring ReadConsent(const SConsentKey& consent) {
    CRegistry key;
    HKEY hKey = nullptr;
    std::wstring strValue;
    if (OpenKey(consent.hRoot, consent.pszPath, KEY_READ | KEY_WOW64_64KEY, KEY_READ, hKey)) {
        key.m_hKey = hKey;
        key.QueryStringValue(L"Value", strValue);
    }
    return strValue;
}

bool ArmNotification(HKEY hKey, HANDLE hEvent) {
    return RegNotifyChangeKeyValue(hKey, TRUE, kNotifyFilter, hEvent, TRUE) == ERROR_SUCCESS;
}

// Muted when the value's first four bytes are not all zero; a value that cannot be read is live.
bool QueryMutedByKey(HKEY hKey) {
    DWORD dwMuted = 0;
    DWORD cbMuted = sizeof(dwMuted);
    return RegQueryValueExW(hKey, kMuteStateValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwMuted),
                            &cbMuted) == ERROR_SUCCESS &&
           dwMuted != 0;
}

} // namespace

BEGIN_MESSAGE_MAP(CMicrophoneBtn, CDeckFeatureButton)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CMicrophoneBtn::CMicrophoneBtn() {
    m_strKey = L"Microphone";
    m_strName = ResString(L"Microphone", 429);
    m_strOnTip = ResString(L"Microphone: On", 486);
    m_strOffTip = ResString(L"Microphone: Off", 487);
    m_strTip = m_strOffTip;
}

CMicrophoneBtn::~CMicrophoneBtn() {
    StopWatch();
    WaitForWorkers();
}

bool CMicrophoneBtn::Init(CWnd* pParent) {
    SetImages(pParent, kOffPng, kOnPng, kDisabledPng, 0);
    StartButtonThread(WatchThreadProc, this);
    return true;
}

int CMicrophoneBtn::DoJudgeSupportCallback() {
    const CThreadCom com;
    m_bNoMicAccess = IsMicrophoneAccessAllowed() ? 0 : 1;
    CMixer mixer;
    const int nLive = mixer.GetMicMute();
    if (nLive < 0) {
        m_nSupport = 0;
        SetIconState(kDisabledPng, FeatureStateDisabled);
        return 0;
    }
    m_nStatus = nLive;
    m_nSupport = mixer.HasCaptureDevice() ? 1 : 0;
    SetButtonStatusIcon(nLive);
    return 0;
}

void CMicrophoneBtn::ClicktoSwitch() {
    if (m_bInited != 1 || m_bDisabled != 0) {
        return;
    }
    if (m_bNoMicAccess == 1) {
        OpenSolvaneAudioPage();
        return;
    }
    // A mute the endpoint did not take is neither shown nor reported.
    if (!ToggleMicMute()) {
        return;
    }
    SetButtonStatusIcon(m_nStatus);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.Micphone", m_nStatus != 0 ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
}

BOOL CMicrophoneBtn::PreTranslateMessage(MSG* pMsg) {
    if ((pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) && pMsg->wParam == VK_F4) {
        StartButtonThread(ProbeThread, this);
    }
    return CDeckFeatureButton::PreTranslateMessage(pMsg);
}

void CMicrophoneBtn::SetButtonStatusIcon(int nState) {
    if (m_bNoMicAccess == 1) {
        SetIconState(kOffPng, FeatureStateOff);
        m_strTip = m_strOffTip;
        if (g_bNarrator) {
            m_strCaption = m_strName + L" " + g_strDisabled;
            m_strTip = m_strName + L": " + g_strDisabled;
        }
    } else if (m_nSupport == 1) {
        switch (nState) {
        case FeatureStateOff:
            SetIconState(kOffPng, FeatureStateOff);
            m_strCaption = ResString(L"Microphone off", 431);
            m_strTip = m_strOffTip;
            break;
        case FeatureStateOn:
            SetIconState(kOnPng, FeatureStateOn);
            m_strCaption = ResString(L"Microphone on", 430);
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
    }
    SetNarratorText(L"%s.", m_strCaption.Get().GetString());
}

bool CMicrophoneBtn::ToggleMicMute() {
    CMixer mixer;
    const bool bLive = mixer.GetMicMute() == 1;
    if (mixer.SetMicMute(bLive ? TRUE : FALSE) != 1) {
        return false;
    }
    m_nStatus = bLive ? FeatureStateOff : FeatureStateOn;
    return true;
}

unsigned __stdcall CMicrophoneBtn::WatchThreadProc(void* pParam) {
    if (pParam) {
        static_cast<CMicrophoneBtn*>(pParam)->WatchMicrophoneRegistry();
    }
    return 0;
}

// The notification is armed again before the value is read, so that no change goes unseen.
void CMicrophoneBtn::WatchMicrophoneRegistry() {
    HKEY hKey = nullptr;
    if (!OpenKey(HKEY_LOCAL_MACHINE, kOnScreenDisplayKey, KEY_NOTIFY | KEY_WOW64_64KEY, KEY_NOTIFY, hKey)) {
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
        ReadMicrophoneMuteState();
    }
    RegCloseKey(hKey);
    CloseWatchEvent();
}

// The registry value alone decides: the endpoint is not asked.
void CMicrophoneBtn::ReadMicrophoneMuteState() {
    try {
        HKEY hKey = nullptr;
        if (!OpenKey(HKEY_LOCAL_MACHINE, kOnScreenDisplayKey, KEY_READ | KEY_WOW64_64KEY, KEY_READ, hKey)) {
            return;
        }
        m_nStatus = QueryMutedByKey(hKey) ? FeatureStateOff : FeatureStateOn;
        RegCloseKey(hKey);
        SetButtonStatusIcon(m_nStatus);
    } catch (CException* pException) {
        pException->Delete();
    } catch (const std::exception&) {
    }
}

void CMicrophoneBtn::OnDestroy() {
    StopWatch();
    CDeckFeatureButton::OnDestroy();
}

// The flag first: a watcher that makes its event after this sees it before it waits.
void CMicrophoneBtn::StopWatch() {
    m_bStopWatch = 1;
    const std::lock_guard lock(m_watchLock);
    if (m_hWatchEvent) {
        SetEvent(m_hWatchEvent);
    }
}

HANDLE CMicrophoneBtn::MakeWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    m_hWatchEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return m_hWatchEvent;
}

void CMicrophoneBtn::CloseWatchEvent() {
    const std::lock_guard lock(m_watchLock);
    CloseHandle(m_hWatchEvent);
    m_hWatchEvent = nullptr;
}

bool IsMicrophoneAccessAllowed() {
    std::wstring strValues[std::size(kMicrophoneConsents)];
    std::transform(std::begin(kMicrophoneConsents), std::end(kMicrophoneConsents), std::begin(strValues),
                   ReadConsent);
    return std::none_of(std::begin(strValues), std::end(strValues), [](const std::wstring& strValue) {
        return !strValue.empty() && !IsEqualNoCaseW(strValue, L"Allow");
    });
}

bool OpenSolvaneAudioPage() {
    return LaunchSolvaneUri(kAudioPageUri);
}

#include "app/EyecareModeDlg.h"

#include "app/DeckBaseDialog.h"
#include "features/EyecareModeBtn.h"
#include "services/ContractClient.h"
#include "services/DrawingRoutines.h"
#include "services/Log.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"

std::atomic<int> g_nEyeModeState = 0;

namespace {

const wchar_t kToastKey[] = L"Software\\Corvex\\AmpwiseToast";
const wchar_t kResetEyeCareValue[] = L"ResetEyeCareMode";
const wchar_t kVisionProtectionKey[] =
    L"Software\\Corvex\\Plexhost\\PluginData\\CorvexVisionProtectionPlugin";
const wchar_t kEyeModeStateValue[] = L"EyeModeState";

// The host's argument for the eye-care mode itself.
constexpr int kEyeCareModeType = 1;
// The mode a newer plug-in is told when the BIOS does not keep eye care to itself.
constexpr int kHandOverMode = 5;
constexpr DWORD kHandOverRetryMs = 100;
// Hand-over codes of a newer plug-in: listed BIOS with the panel shown before, listed BIOS without,
// BIOS not listed.
constexpr int kListedShown = 3;
constexpr int kListedHidden = 4;
constexpr int kNotListed = 5;
// Capability codes below this one leave the panel shown.
constexpr int kFirstHidingCode = 2;

const COLORREF kTitleColor = 0xA75B50;
const COLORREF kWhite = RGB(255, 255, 255);
constexpr int kDescriptionTipWidth = 300;
constexpr int kToolTipTextChars = 80;

const wchar_t kSetEyeCareModeName[] = L"CEyecareModeDlg::SetEyeCareMode";
const wchar_t kJudgeEyeCareModeName[] = L"CEyecareModeDlg::JudgeEyeCareMode";
const wchar_t kNullContractLog[] =
    L"[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][%s]";

// The code a newer plug-in's capability is replaced with.
int HandOverCode(int nOldSupport) {
    if (!IsEyeCareWhiteListBios()) {
        return kNotListed;
    }
    return nOldSupport != 0 ? kListedShown : kListedHidden;
}

// Tells a newer plug-in to take eye care over, once more when its first answer is null.
void SendHandOverMode() {
    if (!g_pContractInterface->SetEyeCareMode(kHandOverMode, kEyeCareModeType)) {
        Sleep(kHandOverRetryMs);
        g_pContractInterface->SetEyeCareMode(kHandOverMode, kEyeCareModeType);
    }
}

} // namespace

bool IsEyeCarePanelAllowed() {
    return !IsEyeCarePluginVersionOk() || CheckResetEyeCareMode(false, nullptr);
}

bool CheckResetEyeCareMode(bool bWrite, const int* pValue) {
    CRegistry key;
    if (!key.OpenOrCreateUserKey(kToastKey)) {
        return true;
    }
    DWORD dwValue = 0;
    key.QueryDwordValue(kResetEyeCareValue, dwValue);
    if (bWrite && pValue && dwValue != static_cast<DWORD>(*pValue)) {
        const DWORD dwNew = static_cast<DWORD>(*pValue);
        RegSetValueExW(key.m_hKey, kResetEyeCareValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwNew),
                       sizeof(dwNew));
        dwValue = dwNew;
    }
    return dwValue < 3;
}

void ReadVisionProtectionState() {
    g_nEyeModeState = 0;
    CRegistry key;
    DWORD dwState = 0;
    if (key.Open(HKEY_CURRENT_USER, kVisionProtectionKey, KEY_READ | KEY_WOW64_64KEY, KEY_READ) &&
        key.QueryDwordValue(kEyeModeStateValue, dwState)) {
        g_nEyeModeState = static_cast<int>(dwState);
    }
}

CEyecareModeDlg::CEyecareModeDlg(CWnd* pParent)
    : CDialogEx(IDD, pParent), m_strTitle(L"Eye Care Mode"),
      m_strDescription(
          ResString(L"Eye Care Mode adjusts the color temperature of your display to filter out blue "
                    L"light and reduce eye strain.",
                    201)) {
    m_strTitle = ResString(m_strTitle, 189);
}

CEyecareModeDlg::~CEyecareModeDlg() {
    m_workers.Release();
}

BEGIN_MESSAGE_MAP(CEyecareModeDlg, CDialogEx)
ON_WM_PAINT()
ON_WM_DESTROY()
ON_BN_CLICKED(IDC_SWITCH, &CEyecareModeDlg::OnBnClickedEyeCareToggle)
ON_NOTIFY_EX_RANGE(TTN_NEEDTEXTW, 0, 0xFFFF, &CEyecareModeDlg::OnToolTipNeedText)
ON_MESSAGE(WM_DECK_EYECARESTATECHANGED, &CEyecareModeDlg::OnEyeCareStateChanged)
END_MESSAGE_MAP()

BOOL CEyecareModeDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_pParent = pParentWnd;
    return CDialogEx::Create(nIDTemplate, pParentWnd);
}

void CEyecareModeDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ICON, m_icon);
    DDX_Control(pDX, IDC_TITLE, m_title);
    DDX_Control(pDX, IDC_SWITCH, m_switch);
    DDX_Control(pDX, IDC_INFO, m_info);
}

BOOL CEyecareModeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    EnableToolTips(TRUE);
    ReadVisionProtectionState();
    m_nState = g_nEyeModeState.load();
    m_title.SetTitle(m_strTitle, 0, 3, 13, 0, kTitleColor, kWhite);
    m_info.SetImages(kInfoImageId, 0);
    m_switch.SetupSwitch();
    SetToggleState(m_nState, true);
    m_workers.Start(JudgeEyeCareMode, this);
    return TRUE;
}

bool CEyecareModeDlg::ShowIcon(int nIconId) {
    if (nIconId == m_icon.m_nImageId) {
        return false;
    }
    m_icon.SetImage(nIconId, kWhite);
    return true;
}

void CEyecareModeDlg::SetToggleState(int nState, bool bSquareIcon) {
    if (ShowIcon(nState != 0 ? kOnIconId : kOffIconId) && m_icon.m_hWnd) {
        if (bSquareIcon) {
            m_icon.SizeToHeight();
        }
        m_icon.Invalidate();
    }
    m_switch.m_bOn = nState != 0;
    if (m_switch.m_hWnd && m_switch.IsWindowVisible()) {
        m_switch.Invalidate();
    }
}

LRESULT CEyecareModeDlg::OnEyeCareStateChanged(WPARAM wParam, LPARAM) {
    SetToggleState(static_cast<int>(wParam), false);
    return 0;
}

unsigned __stdcall CEyecareModeDlg::JudgeEyeCareMode(void* pParam) {
    if (!g_pContractInterface) {
        WriteLog(kNullContractLog, kJudgeEyeCareModeName);
        return static_cast<unsigned>(-1);
    }
    auto* pPanel = static_cast<CEyecareModeDlg*>(pParam);
    if (!pPanel) {
        return 0;
    }
    try {
        return static_cast<unsigned>(pPanel->JudgeWithHost());
    } catch (...) {
        return static_cast<unsigned>(-2);
    }
}

int CEyecareModeDlg::JudgeWithHost() {
    HWND hPanel = nullptr;
    HWND hParent = nullptr;
    int nOld = 0;
    {
        const CPanelWorkers::CUse use;
        if (!use) {
            return 0;
        }
        hPanel = m_hWnd;
        hParent = m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
        nOld = m_nSupport;
    }
    int nSupport = 0;
    if (FAILED(g_pContractInterface->raw_GetEyeCareTempSettings(&nSupport))) {
        return -2;
    }
    {
        const CPanelWorkers::CUse use;
        if (!use) {
            return 0;
        }
        m_nSupport = nSupport;
    }
    const bool bNewPlugin = IsEyeCarePluginVersionOk();
    if (hParent && !bNewPlugin && nSupport != nOld) {
        nOld = nSupport;
        ::SendMessageW(hParent, WM_SIZE, 0, 0);
    }
    const ContractAnswer answer = g_pContractInterface->GetEyeCareModeStatusEx(kEyeCareModeType);
    if (!answer) {
        return -2;
    }
    int nEyeModeState = 0;
    int nColorTemperature = -1;
    bool bInSchedule = false;
    bool bApiCapability = false;
    int nCode = -1;
    if (ParseEyeCareTempSettings(answer, nEyeModeState, nColorTemperature, bInSchedule, bApiCapability,
                                 nCode) == 1) {
        g_nEyeModeState = nEyeModeState;
        if (bNewPlugin) {
            nCode = HandOverCode(nOld);
        }
        nSupport = nCode < kFirstHidingCode ? 1 : 0;
        {
            const CPanelWorkers::CUse use;
            if (!use) {
                return 0;
            }
            m_nState = nEyeModeState;
            m_nSupport = nSupport;
        }
        ::SendMessageW(hPanel, WM_DECK_EYECARESTATECHANGED, static_cast<WPARAM>(nEyeModeState), 0);
        if (nCode >= kListedShown && nCode <= kNotListed) {
            if (nCode == kNotListed && CheckResetEyeCareMode(false, nullptr)) {
                SendHandOverMode();
            }
            CheckResetEyeCareMode(true, &nCode);
        }
    }
    if (hParent && nSupport != nOld) {
        ::SendMessageW(hParent, WM_SIZE, 0, 0);
    }
    return 0;
}

unsigned __stdcall CEyecareModeDlg::SetEyeCareMode(void*) {
    if (!g_pContractInterface) {
        WriteLog(kNullContractLog, kSetEyeCareModeName);
        return static_cast<unsigned>(-1);
    }
    try {
        g_pContractInterface->SetEyeCareMode(g_nEyeModeState, kEyeCareModeType);
    } catch (...) {
        return static_cast<unsigned>(-2);
    }
    return 0;
}

void CEyecareModeDlg::OnBnClickedEyeCareToggle() {
    const int nOld = m_nState;
    const int nNew = nOld ? 0 : 1;
    if (ShowIcon(nOld ? kOffIconId : kOnIconId)) {
        m_icon.Invalidate();
    }
    m_switch.m_bOn = nNew;
    if (m_switch.IsWindowVisible()) {
        m_switch.Invalidate();
    }
    m_nState = nNew;
    g_nEyeModeState = nNew;
    m_workers.Start(SetEyeCareMode, this);
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.EyeCareModeToggle", nNew == 1 ? L"On" : L"Off",
                     L"Features.Toolbar.Flipdecks");
}

void CEyecareModeDlg::OnPaint() {
    if (!DrawDialogBackground(this, m_pBackground, true, false)) {
        CDialog::OnPaint();
    }
}

void CEyecareModeDlg::OnDestroy() {
    m_workers.Release();
    CDialogEx::OnDestroy();
}

BOOL CEyecareModeDlg::PreTranslateMessage(MSG* pMsg) {
    return IsEscapeOrEnterKey(pMsg) ? TRUE : CDialogEx::PreTranslateMessage(pMsg);
}

BOOL CEyecareModeDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (!pNMHDR) {
        return FALSE;
    }
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    if (!(pInfo->uFlags & TTF_IDISHWND)) {
        return TRUE;
    }
    const int nId = ::GetDlgCtrlID(reinterpret_cast<HWND>(pNMHDR->idFrom));
    if (nId == IDC_INFO && pNMHDR->code == TTN_NEEDTEXTW) {
        ::SendMessageW(pNMHDR->hwndFrom, TTM_SETMAXTIPWIDTH, 0, kDescriptionTipWidth);
        pInfo->lpszText = const_cast<LPWSTR>(m_strDescription.GetString());
    } else if (nId == IDC_TITLE && m_title.m_bTooWide) {
        StringCchCopyW(pInfo->szText, kToolTipTextChars, m_strTitle);
        pInfo->lpszText = pInfo->szText;
    }
    return TRUE;
}

#include "app/FlipdeckExDlg.h"

#include <algorithm>

#include "app/FlipdeckExApp.h"
#include "features/ButtonWorkers.h"
#include "features/IxorIntelligentCoolingBtn.h"
#include "platform/display.h"
#include "platform/security.h"
#include "platform/threads.h"
#include "services/ContractClient.h"
#include "services/MachineInfo.h"
#include "services/Registry.h"
#include "services/SystemRoutines.h"
#include "services/WindowsVersion.h"

namespace {

const int kScrollBarId = 1048;
const int kIconId = 128;
const UINT_PTR kAnnounceTimer = 2005;
const UINT_PTR kAutoCloseTimer = 2006;
const UINT kAnnounceDelayMs = 200;
const LONGLONG kAutoCloseAfterLogonSeconds = 120;
const int kLineScroll = 70;
const BYTE kKeyT = 84;
const LONGLONG kFileTimeTicksPerSecond = 10000000;

void PressKey(BYTE nKey, bool bUp) {
    keybd_event(nKey, 0, bUp ? KEYEVENTF_KEYUP : 0, 0);
}

int HeightOf(const CWnd& wnd) {
    CRect rc;
    if (wnd.GetSafeHwnd()) {
        wnd.GetClientRect(&rc);
    }
    return rc.Height();
}

} // namespace

CFlipdeckExDlg::CFlipdeckExDlg() : CDeckBaseDialog(IDD, nullptr) {
    m_hIcon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kIconId));
    CreateContractInterfaceInstance();
    m_openTime = LocalFileTimeNow();
    m_nMaxHeight = GetSystemMetrics(SM_CYSCREEN) * 4 / 5;
}

CFlipdeckExDlg::~CFlipdeckExDlg() {
    m_bClosing = true;
    ReleaseContractInterface();
    // The display watcher stops and is joined as a member, before the window object goes.
    if (m_hWnd) {
        KillTimer(kAnnounceTimer);
    }
}

BEGIN_MESSAGE_MAP(CFlipdeckExDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_WM_TIMER()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_WM_QUERYDRAGICON()
ON_WM_ACTIVATEAPP()
ON_WM_ERASEBKGND()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
ON_MESSAGE(WM_DECK_UPDATESCROLLBAR, &CFlipdeckExDlg::OnUpdateScrollBar)
ON_WM_POWERBROADCAST()
END_MESSAGE_MAP()

void CFlipdeckExDlg::DoDataExchange(CDataExchange* pDX) {
    CDeckBaseDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kScrollBarId, m_scrollBar);
}

BOOL CFlipdeckExDlg::OnInitDialog() {
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    CDeckBaseDialog::OnInitDialog();
    if (g_bNarrator) {
        SilenceScreenReader();
    }
    SetNarratorWindowText();

    m_titleDlg.Create(CDeckTitleDlg::IDD, this);
    m_titleDlg.ShowWindow(SW_SHOW);
    m_featuresDlg.m_nNoBattery = m_bNoBattery;
    m_featuresDlg.m_nGaming = g_nGamingDevice == 1 ? 1 : 0;
    m_featuresDlg.Create(CFeaturesDlg::IDD, this);
    m_featuresDlg.ShowWindow(SW_SHOW);
    m_scrollBar.ShowWindow(SW_HIDE);

    CRect rcClient;
    GetClientRect(&rcClient);
    m_nWidth = rcClient.Width();
    OnUpdateScrollBar(0, 0);
    LayoutChildren();
    RegisterPowerNotifications();
    PlaceFlyoutWindow();
    if (g_bNarrator) {
        SilenceScreenReader();
        SetTimer(kAnnounceTimer, kAnnounceDelayMs, nullptr);
    }
    ArmAutoClose();
    if (IsWindowsBuild21OrLater()) {
        m_displayMonitor.Start(&CFlipdeckExDlg::DisplayChangedCallback, this, HKEY_LOCAL_MACHINE,
                               L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers");
    }
    TrackPanelPageView();
    return TRUE;
}

// A Ctrl press stops what the screen reader is saying.
void CFlipdeckExDlg::SilenceScreenReader() {
    SetFocus();
    PressKey(VK_CONTROL, false);
    PressKey(VK_CONTROL, true);
    SetFocus();
}

void CFlipdeckExDlg::SetNarratorWindowText() {
    if (!g_bNarrator) {
        return;
    }
    CRegistry key;
    std::wstring strName;
    if (key.OpenToolbarKey() && key.QueryStringValue(L"AmpwiseName", strName)) {
        g_strToolbarName = strName.substr(0, MAX_PATH).c_str();
    }
    CString strText;
    strText.Format(L"%s. ", g_strToolbarName.GetString());
    SetWindowText(strText);
}

void CFlipdeckExDlg::RegisterPowerNotifications() {
    m_hAcDcNotify =
        RegisterPowerSettingNotification(m_hWnd, &GUID_ACDC_POWER_SOURCE, DEVICE_NOTIFY_WINDOW_HANDLE);
    m_hBatteryNotify = RegisterPowerSettingNotification(m_hWnd, &GUID_BATTERY_PERCENTAGE_REMAINING,
                                                        DEVICE_NOTIFY_WINDOW_HANDLE);
    m_hMonitorNotify =
        RegisterPowerSettingNotification(m_hWnd, &GUID_MONITOR_POWER_ON, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void CFlipdeckExDlg::UnregisterPowerNotifications() {
    for (HPOWERNOTIFY* phNotify : {&m_hAcDcNotify, &m_hBatteryNotify, &m_hMonitorNotify}) {
        if (*phNotify) {
            UnregisterPowerSettingNotification(*phNotify);
            *phNotify = nullptr;
        }
    }
}

void CFlipdeckExDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == kAnnounceTimer) {
        KillTimer(kAnnounceTimer);
        // Caps Lock + T: the screen reader reads the window title.
        if (g_bNarrator) {
            PressKey(VK_CAPITAL, false);
            PressKey(kKeyT, false);
            PressKey(kKeyT, true);
            PressKey(VK_CAPITAL, true);
        }
    } else if (nIDEvent == kAutoCloseTimer) {
        KillTimer(kAutoCloseTimer);
        BringWindowToTop();
        m_bMayAutoClose = true;
    }
}

bool CFlipdeckExDlg::GetLogonSessionTime(LUID& logonId) {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) {
        return false;
    }
    TOKEN_STATISTICS statistics = {};
    DWORD cbReturned = 0;
    const BOOL bOk =
        GetTokenInformation(hToken, TokenStatistics, &statistics, sizeof(statistics), &cbReturned);
    CloseHandle(hToken);
    if (!bOk) {
        return false;
    }
    logonId = statistics.AuthenticationId;
    return true;
}

bool CFlipdeckExDlg::GetSecondsSinceLogon(LONGLONG& nSeconds) const {
    LUID logonId = {};
    if (!GetLogonSessionTime(logonId)) {
        return false;
    }
    PSECURITY_LOGON_SESSION_DATA pData = nullptr;
    if (LsaGetLogonSessionData(&logonId, &pData) != STATUS_SUCCESS || !pData) {
        return false;
    }
    bool bKnown = false;
    if (pData->LogonTime.QuadPart != 0) {
        FILETIME logonUtc = {static_cast<DWORD>(pData->LogonTime.QuadPart & 0xFFFFFFFF),
                             static_cast<DWORD>(static_cast<ULONGLONG>(pData->LogonTime.QuadPart) >> 32)};
        FILETIME logonLocal = {};
        FileTimeToLocalFileTime(&logonUtc, &logonLocal);
        nSeconds = (FileTimeTicks(LocalFileTimeNow()) - FileTimeTicks(logonLocal)) / kFileTimeTicksPerSecond;
        bKnown = nSeconds > 0;
    }
    LsaFreeReturnBuffer(pData);
    return bKnown;
}

void CFlipdeckExDlg::ArmAutoClose() {
    LONGLONG nSeconds = 0;
    if (!GetSecondsSinceLogon(nSeconds)) {
        nSeconds = static_cast<LONGLONG>(GetTickCount64() / 1000);
    }
    if (nSeconds >= kAutoCloseAfterLogonSeconds) {
        m_bMayAutoClose = true;
        return;
    }
    m_bMayAutoClose = false;
    SetTimer(kAutoCloseTimer, static_cast<UINT>((kAutoCloseAfterLogonSeconds - nSeconds) * 1000), nullptr);
}

void CFlipdeckExDlg::OnActivateApp(BOOL bActive, DWORD dwThreadID) {
    if (IsWindowsBuild21OrLater()) {
        return;
    }
    CDeckBaseDialog::OnActivateApp(bActive, dwThreadID);
    if (!bActive && m_bMayAutoClose) {
        PostQuitMessage(0);
    }
}

BOOL CFlipdeckExDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) {
        ScrollToFocus(static_cast<UINT>(pMsg->wParam));
        if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN) {
            return TRUE;
        }
    }
    if (!m_bMayAutoClose) {
        HoldForeground(pMsg);
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

// Under the cursor the flyout takes the foreground back from whichever window holds it.
void CFlipdeckExDlg::HoldForeground(const MSG* pMsg) {
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    if (!rcWindow.PtInRect(pMsg->pt)) {
        return;
    }
    HWND hForeground = ::GetForegroundWindow();
    if (!hForeground || hForeground == m_hWnd) {
        return;
    }
    const DWORD dwOwnThread = GetCurrentThreadId();
    const DWORD dwForegroundThread = GetWindowThreadProcessId(hForeground, nullptr);
    AttachThreadInput(dwOwnThread, dwForegroundThread, TRUE);
    ::SetForegroundWindow(m_hWnd);
    AttachThreadInput(dwOwnThread, dwForegroundThread, FALSE);
}

void CFlipdeckExDlg::OnSize(UINT nType, int cx, int cy) {
    CDeckBaseDialog::OnSize(nType, cx, cy);
    LayoutChildren();
    Invalidate(TRUE);
}

void CFlipdeckExDlg::LayoutChildren() {
    CRect rcClient;
    GetClientRect(&rcClient);
    const bool bBarVisible = m_scrollBar.GetSafeHwnd() && m_scrollBar.IsWindowVisible();
    CRect rcBar;
    if (m_scrollBar.GetSafeHwnd()) {
        m_scrollBar.GetClientRect(&rcBar);
    }
    const int nBarWidth = rcBar.Width();

    int y = 0;
    if (m_titleDlg.GetSafeHwnd()) {
        y = HeightOf(m_titleDlg);
        m_titleDlg.MoveWindow(rcClient.left, rcClient.top, rcClient.Width(), y, TRUE);
        if (!m_titleDlg.IsWindowVisible()) {
            m_titleDlg.ShowWindow(SW_SHOW);
        }
    }
    int nTotal = y;
    if (m_featuresDlg.GetSafeHwnd()) {
        const int nLeftInset = bBarVisible ? 0 : nBarWidth / 2;
        const int nRightInset = bBarVisible ? nBarWidth : nBarWidth / 2;
        const int nLeft = rcClient.left + nLeftInset + 2;
        const int nRight = rcClient.right - nRightInset - 2;
        const int nBodyHeight = HeightOf(m_featuresDlg);
        m_featuresDlg.MoveWindow(nLeft, y, nRight - nLeft, nBodyHeight, TRUE);
        if (!m_featuresDlg.IsWindowVisible()) {
            m_featuresDlg.ShowWindow(SW_SHOW);
        }
        nTotal = y + nBodyHeight;
    }
    if (bBarVisible) {
        m_scrollBar.MoveWindow(rcClient.right - 2 - nBarWidth, y, nBarWidth, rcClient.bottom - 1 - y, TRUE);
        if (nTotal < m_nMaxHeight) {
            PostMessage(WM_DECK_UPDATESCROLLBAR, 0, 0);
        }
    } else {
        PostMessage(WM_DECK_UPDATESCROLLBAR, nTotal > m_nMaxHeight ? 1 : 0, 0);
    }
}

LRESULT CFlipdeckExDlg::OnUpdateScrollBar(WPARAM wParam, LPARAM) {
    const bool bShow = wParam != 0;
    if (m_scrollBar.GetSafeHwnd()) {
        m_scrollBar.ShowWindow(bShow ? SW_SHOW : SW_HIDE);
    }
    CRect rcClient;
    GetClientRect(&rcClient);
    const int nTitleHeight = HeightOf(m_titleDlg);
    const int nBodyHeight = HeightOf(m_featuresDlg);
    CRect rcNew = rcClient;
    if (bShow) {
        rcNew.bottom = rcNew.top + m_nMaxHeight;
        rcNew.right = rcNew.left + m_nWidth;
        m_nScrollMin = 0;
        m_nScrollMax = nBodyHeight + 20;
        m_nScrollPage = m_nMaxHeight - nTitleHeight;
        if (m_scrollBar.GetSafeHwnd()) {
            m_scrollBar.SetScrollRange(m_nScrollMin, m_nScrollMax);
            m_scrollBar.SetScrollPos(0);
            SCROLLINFO info = {};
            info.cbSize = sizeof(info);
            info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
            info.nMin = m_nScrollMin;
            info.nMax = m_nScrollMax;
            info.nPage = static_cast<UINT>(m_nScrollPage);
            info.nPos = 0;
            m_scrollBar.SetScrollInfo(&info);
        }
    } else {
        rcNew.bottom = rcNew.top + nTitleHeight + nBodyHeight;
    }
    ClientToScreen(&rcNew);
    MoveWindow(&rcNew, TRUE);
    PlaceFlyoutWindow();
    return 0;
}

int CFlipdeckExDlg::GetToolbarAnchorX() {
    HWND hTaskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    HWND hNotify = hTaskbar ? FindWindowExW(hTaskbar, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
    HWND hRebar = hTaskbar ? FindWindowExW(hTaskbar, nullptr, L"ReBarWindow32", nullptr) : nullptr;
    if (!hNotify || !hRebar) {
        return 0;
    }
    RECT rc = {};
    if (HWND hToolbar = FindWindowExW(hRebar, nullptr, L"Corvex Rigpanel Ampwise", nullptr)) {
        ::GetWindowRect(hToolbar, &rc);
        return rc.left + (rc.right - rc.left) / 2;
    }
    if (!IsWindowsBuild21OrLater()) {
        return 0;
    }
    ::GetWindowRect(hNotify, &rc);
    return static_cast<int>(rc.left * 0.98);
}

void CFlipdeckExDlg::PlaceFlyoutWindow() {
    if (!m_hWnd) {
        return;
    }
    RECT rcWork = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    const int nWidth = rcWindow.Width();
    const int nHeight = rcWindow.Height();
    const int nAnchor = GetToolbarAnchorX();
    int x = 0;
    if (nAnchor < nWidth / 2) {
        x = rcWork.left;
    } else if (rcWork.right - nAnchor > nWidth / 2) {
        x = nAnchor - nWidth / 2;
    } else {
        x = rcWork.right - nWidth;
    }
    int y = rcWork.bottom - nHeight;
    if (y < 1) {
        y = rcWork.top;
    }
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, nWidth, nHeight, SWP_SHOWWINDOW);
}

void CFlipdeckExDlg::ScrollBy(int nDelta) {
    if (!m_scrollBar.GetSafeHwnd()) {
        return;
    }
    const int nPos = m_scrollBar.GetScrollPos();
    int nNew = std::max(nPos + nDelta, m_nScrollMin);
    if (nNew + m_nScrollPage > m_nScrollMax) {
        nNew = m_nScrollMax - m_nScrollPage;
    }
    if (m_featuresDlg.GetSafeHwnd()) {
        m_featuresDlg.ScrollWindow(0, nPos - nNew);
        m_featuresDlg.UpdateWindow();
        m_scrollBar.UpdateWindow();
        UpdateWindow();
    }
    m_scrollBar.SetScrollPos(nNew);
}

void CFlipdeckExDlg::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    switch (nSBCode) {
    case SB_LINEUP:
        ScrollBy(-kLineScroll);
        break;
    case SB_LINEDOWN:
        ScrollBy(kLineScroll);
        break;
    case SB_PAGEUP:
        ScrollBy(-m_nScrollPage);
        break;
    case SB_PAGEDOWN:
        ScrollBy(m_nScrollPage);
        break;
    case SB_THUMBPOSITION:
        ScrollBy(static_cast<int>(nPos) - (m_scrollBar.GetSafeHwnd() ? m_scrollBar.GetScrollPos() : 0));
        break;
    case SB_TOP:
        ScrollBy(-m_nScrollMax);
        break;
    case SB_BOTTOM:
        ScrollBy(m_nScrollMax);
        break;
    default:
        return;
    }
    CDeckBaseDialog::OnVScroll(nSBCode, nPos, pScrollBar);
}

BOOL CFlipdeckExDlg::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) {
    if (zDelta == 0) {
        ScrollBy(0);
    } else {
        ScrollBy(zDelta > 0 ? -(m_nScrollPage / 5) : m_nScrollPage / 5);
    }
    return CDeckBaseDialog::OnMouseWheel(nFlags, zDelta, pt);
}

void CFlipdeckExDlg::ScrollToFocus(UINT nKey) {
    CWnd* pFocus = GetFocus();
    if (nKey != VK_TAB || !pFocus) {
        return;
    }
    CRect rcFocus;
    pFocus->GetWindowRect(&rcFocus);
    CRect rcFlyout;
    GetWindowRect(&rcFlyout);
    const int nStep = m_nScrollPage * 3 / 10;
    int nDelta = 0;
    if (m_featuresDlg.IsGoToPanelLinkWindow(pFocus->GetSafeHwnd())) {
        nDelta = -m_nScrollMax;
    } else if (rcFocus.bottom + nStep >= rcFlyout.bottom) {
        nDelta = nStep;
    } else if (rcFocus.top - nStep <= rcFlyout.top) {
        nDelta = -nStep;
    }
    const bool bInTitle = pFocus->GetSafeHwnd() == m_titleDlg.GetSafeHwnd() || m_titleDlg.IsChild(pFocus);
    if (GetKeyState(VK_SHIFT) < 0 && bInTitle) {
        nDelta = m_nScrollMax;
    }
    if (nDelta != 0) {
        ScrollBy(nDelta);
    }
}

UINT CFlipdeckExDlg::OnPowerBroadcast(UINT nPowerEvent, LPARAM nEventData) {
    if (nPowerEvent == PBT_POWERSETTINGCHANGE) {
        OnPowerSettingChange(reinterpret_cast<const POWERBROADCAST_SETTING*>(nEventData));
    }
    return 0;
}

void CFlipdeckExDlg::OnPowerSettingChange(const POWERBROADCAST_SETTING* pSetting) {
    if (m_bNoBattery || !pSetting) {
        return;
    }
    const GUID& setting = pSetting->PowerSetting;
    if ((setting == GUID_ACDC_POWER_SOURCE || setting == GUID_BATTERY_PERCENTAGE_REMAINING ||
         setting == GUID_MONITOR_POWER_ON) &&
        m_featuresDlg.GetSafeHwnd()) {
        m_featuresDlg.RefreshBatteryPanel();
    }
}

void CFlipdeckExDlg::DisplayChangedCallback(void* pContext) {
    auto* pDlg = static_cast<CFlipdeckExDlg*>(pContext);
    if (!pDlg || pDlg->m_bClosing) {
        return;
    }
    Sleep(80);
    HWND hWnd = pDlg->m_hWnd;
    ::SendMessageW(hWnd, WM_SIZE, 0, 0);
    ::ShowWindow(hWnd, SW_HIDE);
    Sleep(0);
    ::ShowWindow(hWnd, SW_SHOW);
}

void CFlipdeckExDlg::OnDestroy() {
    m_bClosing = true;
    // Whatever the host does, the workers the panels wait for from here on get a bounded time.
    CButtonWorkers::BeginClosing();
    CIxorIntelligentCoolingBtn::WriteIntelligentCoolingToolbarTime(false);
    TrackPanelPageLeave(&m_openTime);
    Sleep(50);
    if (m_featuresDlg.GetSafeHwnd()) {
        m_featuresDlg.DestroyWindow();
    }
    CDeckBaseDialog::OnDestroy();
    UnregisterPowerNotifications();
}

void CFlipdeckExDlg::OnPaint() {
    PaintBackground(m_pBackground, true);
}

HCURSOR CFlipdeckExDlg::OnQueryDragIcon() {
    return m_hIcon;
}

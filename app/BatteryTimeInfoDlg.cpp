#include "app/BatteryTimeInfoDlg.h"

#include <random>

#include "controls/ControlNarratorText.h"
#include "platform/files.h"
#include "services/ContractClient.h"
#include "services/DrawingRoutines.h"
#include "services/MachineInfo.h"
#include "services/Registry.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"
#include "services/SystemRoutines.h"

namespace {

// The panel's lengths are shares of its width in the template's 270 columns.
constexpr int kTemplateColumns = 270;
constexpr int kBusinessBrand = 1;
constexpr DWORD kThermalSupportFrom = 0x5000;
constexpr DWORD kThermalTextChars = 260;
constexpr int kHeadingSize = 12;
constexpr int kHeadingWeight = 700;
const COLORREF kHeadingColor = 0x5E4A34;
const COLORREF kWhite = 0xFFFFFF;
constexpr UINT kHeadingLinkFlags = 0x8002;
constexpr UINT kThermalLinkFlags = 0x8000;
constexpr int kThermalSize = 13;
constexpr int kThermalWeight = 400;
constexpr UINT kRefreshMs = 15000;
constexpr UINT kNarratorRefreshMs = 60000;
constexpr UINT kChargeTimeMs = 100;
constexpr UINT kDelayShowMs = 5000;
constexpr DWORD kLinkPauseMs = 40;
constexpr unsigned kDetailNumbers = 100000;
constexpr int kToolTipChars = 80;
// How long the panel's close waits for its workers: one still in a host call then finishes alone.
constexpr DWORD kWorkersBoundMs = 300;

const wchar_t kToolbarKey[] = L"SOFTWARE\\Corvex\\Ampwise";
const wchar_t kAllSettingsUri[] = L"corvex-solvane3:device-settings";
const wchar_t kBatteryDetailsUri[] = L"corvex-solvane3:device-settings?batterydetail=1";
const wchar_t kPowerUri[] = L"corvex-solvane3:power";
const wchar_t kLinkPage[] = L"Features.Toolbar.PowerInformation";

bool IsPackageInstalled(const wchar_t* pszFamily) {
    WORD wMajor = 0;
    return IsPackageFamilyInstalled(pszFamily, wMajor);
}

// A REG_SZ or REG_EXPAND_SZ value that fits a 260-character buffer.
bool QueryShortText(HKEY hKey, const wchar_t* pszName, CString& strText) {
    wchar_t szText[kThermalTextChars + 1] = {};
    DWORD cbText = kThermalTextChars * sizeof(wchar_t);
    DWORD dwType = REG_NONE;
    if (RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szText), &cbText) !=
            ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ)) {
        return false;
    }
    strText = szText;
    return true;
}

int HeightOf(const CWnd& wnd) {
    CRect rc;
    wnd.GetClientRect(&rc);
    return rc.Height();
}

} // namespace

BEGIN_MESSAGE_MAP(CBatteryTimeInfoDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_WM_TIMER()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_NOTIFY_EX(TTN_NEEDTEXTW, 0, &CBatteryTimeInfoDlg::OnToolTipNeedText)
ON_MESSAGE(WM_DECK_THERMALSTATUSCHANGED, &CBatteryTimeInfoDlg::OnThermalStatusChanged)
END_MESSAGE_MAP()

CBatteryTimeInfoDlg::CBatteryTimeInfoDlg(CWnd* pParent)
    : CDeckBaseDialog(IDD, pParent), m_pDisplay(std::make_shared<CBatteryStatusDisplay>()) {
    m_bConsortInstalled = IsPackageInstalled(kSolvanePackageFamily) ? 1 : 0;
    m_bConsortBetaInstalled = IsPackageInstalled(kSolvaneBetaPackageFamily) ? 1 : 0;
    m_bEnterpriseSettingsInstalled = IsPackageInstalled(kEnterpriseSettingsPackageFamily) ? 1 : 0;
    m_pDisplay->m_nAirplaneOn = CBatteryStatusDisplay::ReadAirplaneModeEvent();
    m_strThermalName = ResString(L"Intelligent Cooling", 190);
    if (m_strThermalName.CompareNoCase(L"Intelligent cooling") == 0) {
        m_strThermalName = L"Intelligent cooling";
    }
    LoadResString(m_strBatteryTitle, L"MY BATTERY", 183);
    LoadResString(m_strBatteryDetails, L"BATTERY DETAILS", 184);
    LoadResString(m_strDeckTitle, L"FLIPDECKS", 185);
    LoadResString(m_strAllSettings, L"ALL SETTINGS", 186);
}

CBatteryTimeInfoDlg::~CBatteryTimeInfoDlg() {
    ShutDown();
}

void CBatteryTimeInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDeckBaseDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_BATTERY_TITLE, m_stBatteryTitle);
    DDX_Control(pDX, IDC_BATTERY, m_stBattery);
    DDX_Control(pDX, IDC_DECK_TITLE, m_stDeckTitle);
    DDX_Control(pDX, IDC_THERMAL_STATUS, m_stThermalStatus);
    DDX_Control(pDX, IDC_BATTERY_DETAILS, m_lnkBatteryDetails);
    DDX_Control(pDX, IDC_ALL_SETTINGS, m_lnkAllSettings);
    DDX_Control(pDX, IDC_THERMAL_LINK, m_lnkThermal);
}

BOOL CBatteryTimeInfoDlg::OnInitDialog() {
    CDeckBaseDialog::OnInitDialog();
    EnableToolTips(TRUE);
    m_nBrand = g_nKobalBrand;
    std::shared_ptr<CPowerManagerLib> pPowerManagerLib;
    if (m_nBrand == kBusinessBrand) {
        pPowerManagerLib = std::make_shared<CPowerManagerLib>();
        pPowerManagerLib->LoadPowerManagerDll();
    }
    m_pDisplay->Attach(&m_stBattery, m_strBatteryTitle, m_nBrand, std::move(pPowerManagerLib));
    if (m_pDisplay->ReadDelayShowRemainTime()) {
        SetTimer(kDelayShowTimer, kDelayShowMs, nullptr);
    }
    ReadThermalStatus();
    LayoutControls();
    InitThermalStatusLine();
    SetHeading(m_stDeckTitle, m_strDeckTitle);
    SetHeadingLink(m_lnkAllSettings, kAllSettingsUri, m_strAllSettings);
    if (!m_bNoBattery) {
        StartBatteryParts();
    }
    return TRUE;
}

void CBatteryTimeInfoDlg::StartBatteryParts() {
    m_pDisplay->RequestRefresh();
    SetTimer(kRefreshTimer, g_bNarrator ? kNarratorRefreshMs : kRefreshMs, nullptr);
    SetTimer(kChargeTimeTimer, kChargeTimeMs, nullptr);
    SetHeading(m_stBatteryTitle, m_strBatteryTitle);
    SetHeadingLink(m_lnkBatteryDetails, kBatteryDetailsUri, m_strBatteryDetails);
    if (m_bConsortInstalled || m_bConsortBetaInstalled || m_bEnterpriseSettingsInstalled) {
        if (m_nBrand != kBusinessBrand) {
            m_pDisplay->BeginDetachedThread(&CBatteryStatusDisplay::JudgeRapidCharge);
            m_pDisplay->BeginDetachedThread(&CBatteryStatusDisplay::JudgeConservationMode);
        } else {
            m_pDisplay->BeginDetachedThread(&CBatteryStatusDisplay::JudgeChargeThreshold);
        }
    }
    m_pDisplay->ReadPowerStatusInfo(false);
    m_PowerStatusMonitor.Start(PowerStatusInfoChangedCallback, this, HKEY_CURRENT_USER, kToolbarKey);
}

void CBatteryTimeInfoDlg::SetHeading(CTitleStatic& heading, const CString& strText) {
    heading.SetNarratorText(strText);
    heading.SetTitle(strText, 2, 4, kHeadingSize, kHeadingWeight, kHeadingColor, kWhite);
}

void CBatteryTimeInfoDlg::SetHeadingLink(CPNGHyperLink& link, LPCWSTR pszUri, const CString& strText) {
    link.SetLinkText(pszUri, strText, kHeadingSize, kHeadingWeight, m_crLink, kHeadingLinkFlags);
    link.SizeToText(false);
}

void CBatteryTimeInfoDlg::RequestRefresh() {
    m_pDisplay->RequestRefresh();
}

void CBatteryTimeInfoDlg::ShutDown() {
    if (m_bClosing.exchange(1) != 0) {
        return;
    }
    m_pDisplay->m_bClosing = 1;
    m_ThermalMonitor.Stop();
    m_PowerStatusMonitor.Stop();
    if (m_hWnd) {
        for (const UINT_PTR nTimer : {kRefreshTimer, kChargeTimeTimer, kDelayShowTimer}) {
            KillTimer(nTimer);
        }
    }
    m_pDisplay->Close(kWorkersBoundMs);
}

void CBatteryTimeInfoDlg::OnDestroy() {
    ShutDown();
    CDeckBaseDialog::OnDestroy();
}

CRect CBatteryTimeInfoDlg::RectInPanel(const CWnd& wnd) const {
    CRect rc;
    wnd.GetWindowRect(&rc);
    ScreenToClient(&rc);
    return rc;
}

void CBatteryTimeInfoDlg::PlaceControl(CWnd& wnd, int x, int y) {
    CRect rc;
    wnd.GetClientRect(&rc);
    wnd.MoveWindow(x, y, rc.Width(), rc.Height());
    if (!wnd.IsWindowVisible()) {
        wnd.ShowWindow(SW_SHOW);
    }
}

void CBatteryTimeInfoDlg::LayoutControls() {
    CRect rcClient;
    GetClientRect(&rcClient);
    const int nWidth = rcClient.Width();
    const auto u = [nWidth](int k) { return nWidth * k / kTemplateColumns; };
    const auto d = [](int n) { return ScaleByMonitorDpiY(n); };
    const bool bShowThermal = m_bThermalAvailable && !m_strThermalStatus.IsEmpty();
    int y = u(11);
    if (m_bNoBattery) {
        for (CWnd* pControl : {static_cast<CWnd*>(&m_stBatteryTitle),
                               static_cast<CWnd*>(&m_lnkBatteryDetails), static_cast<CWnd*>(&m_stBattery)}) {
            pControl->ShowWindow(SW_HIDE);
        }
    } else {
        PlaceControl(m_stBatteryTitle, u(5), y);
        PlaceControl(m_lnkBatteryDetails, u(147), y + d(2));
        y += HeightOf(m_stBatteryTitle) + d(7);
        PlaceControl(m_stBattery, u(20), y);
        y += HeightOf(m_stBattery) + d(16);
    }
    if (bShowThermal) {
        PlaceControl(m_lnkThermal, u(7), y);
        PlaceControl(m_stThermalStatus, u(134), y - d(2));
        y += HeightOf(m_stThermalStatus) + d(16);
    } else {
        m_lnkThermal.ShowWindow(SW_HIDE);
        m_stThermalStatus.ShowWindow(SW_HIDE);
    }
    PlaceControl(m_stDeckTitle, u(5), y);
    PlaceControl(m_lnkAllSettings, u(147), y + d(2));
    MoveWindow(0, 0, nWidth, y + HeightOf(m_stDeckTitle) + d(10));
}

bool CBatteryTimeInfoDlg::IsThermalSolutionAvailable() {
    if (!IsServiceRunning(L"QRMDSVC")) {
        return false;
    }
    const HANDLE hDevice =
        CreateFileW(L"\\\\.\\OxqPmDrv", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(hDevice);
    return true;
}

void CBatteryTimeInfoDlg::ReadThermalStatus() {
    if (m_bClosing) {
        return;
    }
    CRegistry key;
    DWORD dwSupport = 0;
    CString strText;
    if (key.OpenToolbarKey() && key.QueryDwordValue(L"KobalRMDSupport", dwSupport) &&
        dwSupport >= kThermalSupportFrom && QueryShortText(key.m_hKey, L"KobalRMDStatusText", strText)) {
        m_strThermalStatus = strText;
        m_bThermalAvailable = IsThermalSolutionAvailable() ? 1 : 0;
        m_stThermalStatus.SetNarratorText(m_strThermalStatus);
    }
    ShowThermalStatusText();
}

void CBatteryTimeInfoDlg::ShowThermalStatusText() {
    if (!m_bThermalAvailable) {
        return;
    }
    CString strText;
    strText.Format(L":  %s", m_strThermalStatus.GetString());
    m_stThermalStatus.SetTitle(strText, 2, 4, kThermalSize, kThermalWeight, m_crLink, kWhite);
    m_stThermalStatus.Invalidate();
}

void CBatteryTimeInfoDlg::InitThermalStatusLine() {
    if (m_bClosing) {
        return;
    }
    ReadThermalStatus();
    if (m_bThermalAvailable && !m_strThermalStatus.IsEmpty()) {
        m_lnkThermal.SetLinkText(kPowerUri, m_strThermalName, kThermalSize, kThermalWeight, m_crLink,
                                 kThermalLinkFlags);
        m_lnkThermal.SizeToText(true);
        const CRect rcLink = RectInPanel(m_lnkThermal);
        CRect rcStatus = RectInPanel(m_stThermalStatus);
        rcStatus.left = rcLink.right - ScaleByMonitorDpiX(3);
        m_stThermalStatus.MoveWindow(&rcStatus);
        ShowThermalStatusText();
        m_ThermalMonitor.Start(ThermalStatusChangedCallback, this, HKEY_CURRENT_USER, kToolbarKey);
        return;
    }
    m_lnkThermal.ShowWindow(SW_HIDE);
    m_stThermalStatus.ShowWindow(SW_HIDE);
    const int nTop = RectInPanel(m_lnkThermal).top;
    const CRect rcTitle = RectInPanel(m_stDeckTitle);
    const CRect rcLink = RectInPanel(m_lnkAllSettings);
    m_stDeckTitle.MoveWindow(rcTitle.left, nTop, rcTitle.Width(), rcTitle.Height());
    m_lnkAllSettings.MoveWindow(rcLink.left, nTop + ScaleByMonitorDpiX(4), rcLink.Width(), rcLink.Height());
    CRect rcClient;
    GetClientRect(&rcClient);
    ResizeToHeight(rcClient.Height() - ScaleByMonitorDpiX(37));
}

void CBatteryTimeInfoDlg::PowerStatusInfoChangedCallback(void* pContext) {
    if (pContext) {
        static_cast<CBatteryTimeInfoDlg*>(pContext)->m_pDisplay->ReadPowerStatusInfo(true);
    }
}

void CBatteryTimeInfoDlg::ThermalStatusChangedCallback(void* pContext) {
    auto* pPanel = static_cast<CBatteryTimeInfoDlg*>(pContext);
    if (pPanel && !pPanel->m_bClosing) {
        ::PostMessageW(pPanel->m_hWnd, WM_DECK_THERMALSTATUSCHANGED, 0, 0);
    }
}

LRESULT CBatteryTimeInfoDlg::OnThermalStatusChanged(WPARAM, LPARAM) {
    ReadThermalStatus();
    return 0;
}

void CBatteryTimeInfoDlg::OnTimer(UINT_PTR nIDEvent) {
    switch (nIDEvent) {
    case kRefreshTimer:
        m_pDisplay->m_bChargeTimeReady = 1;
        m_pDisplay->RequestRefresh();
        break;
    case kChargeTimeTimer:
        if (KillTimer(kChargeTimeTimer)) {
            m_pDisplay->m_bChargeTimeReady = 1;
        }
        m_pDisplay->RequestRefresh();
        break;
    case kDelayShowTimer:
        m_pDisplay->ReadDelayShowRemainTime();
        m_pDisplay->RequestRefresh();
        break;
    default:
        break;
    }
}

void CBatteryTimeInfoDlg::OnSize(UINT nType, int cx, int cy) {
    CDeckBaseDialog::OnSize(nType, cx, cy);
    if (m_hWnd) {
        LayoutControls();
        Invalidate(TRUE);
    }
}

void CBatteryTimeInfoDlg::OnPaint() {
    PaintBackground(m_pBackground, false);
}

BOOL CBatteryTimeInfoDlg::PreTranslateMessage(MSG* pMsg) {
    switch (pMsg->message) {
    case WM_LBUTTONUP:
        HandleLinkClick(pMsg->pt);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        HandleLinkKey(static_cast<UINT>(pMsg->wParam));
        if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN) {
            return TRUE;
        }
        return CDialogEx::PreTranslateMessage(pMsg);
    default:
        break;
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

// In narrator mode the links act themselves.
void CBatteryTimeInfoDlg::HandleLinkClick(POINT ptScreen) {
    if (g_bNarrator) {
        return;
    }
    CRect rc;
    m_lnkBatteryDetails.GetWindowRect(&rc);
    if (rc.PtInRect(ptScreen)) {
        OpenBatteryDetailsPage();
        return;
    }
    m_lnkAllSettings.GetWindowRect(&rc);
    if (rc.PtInRect(ptScreen)) {
        OpenAllSettingsPage();
        return;
    }
    m_lnkThermal.GetWindowRect(&rc);
    if (rc.PtInRect(ptScreen) && m_lnkThermal.IsWindowVisible()) {
        OpenPowerSmartSettingsPage();
    }
}

void CBatteryTimeInfoDlg::HandleLinkKey(UINT nKey) {
    if (nKey != VK_SPACE && nKey != VK_RETURN) {
        return;
    }
    const CWnd* pFocus = GetFocus();
    const HWND hFocus = pFocus ? pFocus->m_hWnd : nullptr;
    if (!hFocus) {
        return;
    }
    if (hFocus == m_lnkBatteryDetails.m_hWnd) {
        OpenBatteryDetailsPage();
    } else if (hFocus == m_lnkAllSettings.m_hWnd) {
        OpenAllSettingsPage();
    } else if (hFocus == m_lnkThermal.m_hWnd) {
        OpenPowerSmartSettingsPage();
    }
}

void CBatteryTimeInfoDlg::OpenBatteryDetailsPage() {
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.GoToSolvaneBatteryDetailsPage", L"", kLinkPage);
    Sleep(kLinkPauseMs);
    std::random_device random;
    CString strUri;
    strUri.Format(L"corvex-solvane3:device-settings?batterydetail=%d",
                  static_cast<int>(random() % kDetailNumbers));
    LaunchSolvaneUri(strUri);
}

void CBatteryTimeInfoDlg::OpenAllSettingsPage() {
    SendFeatureEvent(L"Features.Toolbar.Flipdecks.GoToSolvaneAllSettingsPage", L"", kLinkPage);
    Sleep(kLinkPauseMs);
    LaunchSolvaneUri(kAllSettingsUri);
}

void CBatteryTimeInfoDlg::OpenPowerSmartSettingsPage() {
    SendFeatureEvent(L"Features.Toolbar.PowerInformation.GoToPowerSmartSettingsByKobalIntelligentCooling",
                     L"", kLinkPage);
    Sleep(kLinkPauseMs);
    LaunchSolvaneUri(kPowerUri);
}

BOOL CBatteryTimeInfoDlg::OnToolTipNeedText(UINT, NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pNMHDR);
    if (!(pInfo->uFlags & TTF_IDISHWND)) {
        return TRUE;
    }
    CString strTip;
    switch (::GetDlgCtrlID(reinterpret_cast<HWND>(pNMHDR->idFrom))) {
    case IDC_BATTERY_TITLE:
        strTip = m_strBatteryTitle;
        break;
    case IDC_BATTERY_DETAILS:
        strTip = m_strBatteryDetails;
        break;
    case IDC_DECK_TITLE:
        strTip = m_strDeckTitle == L"FLIPDECKS" ? CString(L"FLIPDECKS\x0002") : m_strDeckTitle;
        break;
    case IDC_ALL_SETTINGS:
        strTip = m_strAllSettings == L"ALL SETTINGS" ? CString(L"ALL SETTINGS\x0002") : m_strAllSettings;
        break;
    case IDC_THERMAL_LINK:
        strTip = m_strThermalName;
        break;
    case IDC_THERMAL_STATUS:
        strTip = m_strThermalStatus;
        break;
    default:
        return TRUE;
    }
    wcsncpy_s(pInfo->szText, kToolTipChars, strTip, _TRUNCATE);
    pInfo->lpszText = pInfo->szText;
    return TRUE;
}

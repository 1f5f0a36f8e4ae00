#include "app/FeaturesDlg.h"

#include "controls/ControlNarratorText.h"
#include "platform/files.h"
#include "platform/inifile.h"
#include "services/DrawingRoutines.h"
#include "services/Folders.h"
#include "services/Registry.h"

namespace {

// The bottom margin under the last panel, in pixels at 96 DPI.
const int kBottomMargin = 20;

const wchar_t kEyeCareSection[] = L"eyecaremode";
constexpr int kFirstBuildWithFlags = 15142;
constexpr int kFirstBuildWithEyeCare = 15002;

} // namespace

CFeaturesDlg::CFeaturesDlg(CWnd* pParent) : CDeckBaseDialog(IDD, pParent) {}

BEGIN_MESSAGE_MAP(CFeaturesDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_WM_SIZE()
ON_WM_DESTROY()
ON_WM_ERASEBKGND()
ON_MESSAGE(WM_DECK_PANELSHEIGHTCHANGED, &CFeaturesDlg::OnPanelsHeightChanged)
END_MESSAGE_MAP()

BOOL CFeaturesDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_pParentDlg = pParentWnd;
    return CDeckBaseDialog::Create(nIDTemplate, pParentWnd);
}

BOOL CFeaturesDlg::OnInitDialog() {
    CDeckBaseDialog::OnInitDialog();
    if (IsEyeCarePanelAllowed() && m_bEyeCareOk) {
        m_pEyecareModeDlg = std::make_unique<CEyecareModeDlg>();
    }
    ReadWindowsVersion();
    LoadEyeCareCache();
    CreatePanel(m_featuresPanelDlg, CFeaturesPanelDlg::IDD);
    LayoutPanels();
    return TRUE;
}

bool CFeaturesDlg::IsGoToPanelLinkWindow(HWND) const {
    return false;
}

void CFeaturesDlg::RefreshBatteryPanel() {}

void CFeaturesDlg::CreatePanel(CDialog& panel, UINT nIDTemplate) {
    if (panel.Create(nIDTemplate, this)) {
        panel.ShowWindow(SW_SHOW);
    }
}

std::vector<CWnd*> CFeaturesDlg::PanelsToPlace() {
    std::vector<CWnd*> panels;
    if (m_featuresPanelDlg.GetSafeHwnd()) {
        panels.push_back(&m_featuresPanelDlg);
    }
    AddKeptOutPanels(panels);
    return panels;
}

void CFeaturesDlg::AddKeptOutPanels(std::vector<CWnd*>& panels) {
    if (m_pEyecareModeDlg && m_pEyecareModeDlg->GetSafeHwnd() && m_pEyecareModeDlg->m_nSupport == 1) {
        panels.push_back(m_pEyecareModeDlg.get());
    }
    if (!m_bHideSecurityPanel && !m_nGaming && m_wardlightDlg.GetSafeHwnd()) {
        panels.push_back(&m_wardlightDlg);
    }
    if (!m_bHidePrivacyPanel && !m_nGaming && m_privacyDlg.GetSafeHwnd() &&
        m_privacyDlg.m_nAvailability >= 1) {
        panels.push_back(&m_privacyDlg);
    }
}

void CFeaturesDlg::HideKeptOutPanels() {
    if (m_pEyecareModeDlg && m_pEyecareModeDlg->GetSafeHwnd() && m_pEyecareModeDlg->m_nSupport != 1) {
        m_pEyecareModeDlg->ShowWindow(SW_HIDE);
    }
    if (!m_bHidePrivacyPanel && !m_nGaming && m_privacyDlg.GetSafeHwnd() &&
        m_privacyDlg.m_nAvailability < 1) {
        m_privacyDlg.ShowWindow(SW_HIDE);
    }
}

void CFeaturesDlg::DestroyKeptOutPanels() {
    for (CWnd* pPanel : {static_cast<CWnd*>(m_pEyecareModeDlg.get()), static_cast<CWnd*>(&m_wardlightDlg),
                         static_cast<CWnd*>(&m_privacyDlg)}) {
        if (pPanel && pPanel->GetSafeHwnd()) {
            pPanel->DestroyWindow();
        }
    }
}

void CFeaturesDlg::ReadWindowsVersion() {
    m_bBuildOk = 1;
    m_bEyeCareOk = 1;
    CRegistry key;
    if (!key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                  KEY_READ | KEY_WOW64_64KEY, KEY_READ)) {
        return;
    }
    DWORD dwMajor = 0;
    DWORD dwMinor = 0;
    std::wstring strBuild;
    key.QueryDwordValue(L"CurrentMajorVersionNumber", dwMajor);
    key.QueryDwordValue(L"CurrentMinorVersionNumber", dwMinor);
    key.QueryStringValue(L"CurrentBuildNumber", strBuild);
    const int nBuild = _wtoi(strBuild.c_str());
    if (dwMajor >= 10 && dwMinor == 0) {
        if (nBuild < kFirstBuildWithFlags) {
            m_bBuildOk = 0;
        }
        if (nBuild < kFirstBuildWithEyeCare) {
            m_bEyeCareOk = 0;
        }
    }
}

bool CFeaturesDlg::LoadEyeCareCache() {
    const std::wstring strPath = GetShowExCfgPath();
    const bool bExists = !strPath.empty() && _waccess_s(strPath.c_str(), 0) == 0;
    if (!bExists || !m_pEyecareModeDlg) {
        return bExists;
    }
    int nSupport = 0;
    if (!ReadIniInt(kEyeCareSection, L"support", strPath.c_str(), nSupport)) {
        m_pEyecareModeDlg->m_nSupport = -1;
        return true;
    }
    m_pEyecareModeDlg->m_nSupport = nSupport;
    int nStatus = 0;
    ReadIniInt(kEyeCareSection, L"status", strPath.c_str(), nStatus);
    m_pEyecareModeDlg->m_nState = nStatus;
    return true;
}

void CFeaturesDlg::SaveEyeCareCache() {
    const std::wstring strPath = GetShowExCfgPath();
    if (strPath.empty() || !m_pEyecareModeDlg || !m_pEyecareModeDlg->GetSafeHwnd()) {
        return;
    }
    CString strValue;
    strValue.Format(L"%d", m_pEyecareModeDlg->m_nSupport.load());
    WritePrivateProfileStringW(kEyeCareSection, L"support", strValue, strPath.c_str());
    strValue.Format(L"%d", m_pEyecareModeDlg->m_nState.load());
    WritePrivateProfileStringW(kEyeCareSection, L"status", strValue, strPath.c_str());
}

void CFeaturesDlg::LayoutPanels() {
    CRect rcClient;
    GetClientRect(&rcClient);
    HideKeptOutPanels();
    int y = 0;
    const CWnd* pAfter = this;
    for (CWnd* pPanel : PanelsToPlace()) {
        CRect rcPanel;
        pPanel->GetClientRect(&rcPanel);
        pPanel->SetWindowPos(pAfter, rcClient.left, y, rcClient.Width(), rcPanel.Height(), SWP_SHOWWINDOW);
        if (!pPanel->IsWindowVisible()) {
            pPanel->ShowWindow(SW_SHOW);
        }
        y += rcPanel.Height();
        pAfter = pPanel;
    }
    const int nHeight = y + ScaleByMonitorDpiX(kBottomMargin);
    if (y > 0 && rcClient.Height() != nHeight) {
        SendMessage(WM_DECK_PANELSHEIGHTCHANGED, static_cast<WPARAM>(nHeight));
    }
}

LRESULT CFeaturesDlg::OnPanelsHeightChanged(WPARAM wParam, LPARAM) {
    ResizeToHeight(static_cast<int>(wParam));
    if (m_pParentDlg && m_pParentDlg->GetSafeHwnd()) {
        ::SendMessageW(m_pParentDlg->GetSafeHwnd(), WM_SIZE, 0, 0);
    }
    return 0;
}

void CFeaturesDlg::OnSize(UINT nType, int cx, int cy) {
    CDeckBaseDialog::OnSize(nType, cx, cy);
    if (m_hWnd) {
        LayoutPanels();
        Invalidate(TRUE);
    }
}

void CFeaturesDlg::OnPaint() {
    PaintBackground(m_pBackground, false);
}

void CFeaturesDlg::OnDestroy() {
    SaveEyeCareCache();
    for (CWnd* pPanel : PanelsToPlace()) {
        pPanel->DestroyWindow();
    }
    DestroyKeptOutPanels();
    CDeckBaseDialog::OnDestroy();
}

BOOL CFeaturesDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) {
        if (pMsg->wParam == VK_TAB && g_bNarrator) {
            return FALSE;
        }
        if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN) {
            return TRUE;
        }
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

#include "app/FeaturesDlg.h"

#include "controls/ControlNarratorText.h"
#include "services/DrawingRoutines.h"

namespace {

// The bottom margin under the last panel, in pixels at 96 DPI.
const int kBottomMargin = 20;

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
    CreatePanel(m_featuresPanelDlg, CFeaturesPanelDlg::IDD);
    CreatePanel(m_goToSolvaneDlg, CGoToSolvaneDlg::IDD);
    LayoutPanels();
    return TRUE;
}

bool CFeaturesDlg::IsGoToPanelLinkWindow(HWND hWnd) const {
    const HWND hPanel = m_goToSolvaneDlg.GetSafeHwnd();
    return hPanel && ::IsWindowVisible(hPanel) && hWnd && hWnd == m_goToSolvaneDlg.GetTrackedLinkWindow() &&
           ::GetParent(hWnd) == hPanel;
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
    if (m_goToSolvaneDlg.GetSafeHwnd()) {
        panels.push_back(&m_goToSolvaneDlg);
    }
    return panels;
}

void CFeaturesDlg::LayoutPanels() {
    CRect rcClient;
    GetClientRect(&rcClient);
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
    for (CWnd* pPanel : PanelsToPlace()) {
        pPanel->DestroyWindow();
    }
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

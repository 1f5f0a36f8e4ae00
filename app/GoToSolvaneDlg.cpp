#include "app/GoToSolvaneDlg.h"

#include <string>

#include "controls/ControlNarratorText.h"
#include "platform/threads.h"
#include "services/ContractClient.h"
#include "services/Folders.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"
#include "services/SolvaneLaunch.h"

namespace {

constexpr int kButtonId = 1075;
constexpr int kWarrantyLinkId = 1088;
constexpr int kFeedbackLinkId = 1089;

const wchar_t kDashboardUri[] = L"corvex-solvane3:toolbar";
const wchar_t kSupportUri[] = L"corvex-solvane3:support";
const wchar_t kLinksPage[] = L"Features.Toolbar.PowerInformation";

constexpr int kLinkFontSize = 14;
constexpr int kLinkFontWeight = 400;
constexpr DWORD kWarrantyPauseMs = 40;
constexpr DWORD kNarratorFocusPauseMs = 30;

// Machines whose type model ends in "CD" offer no warranty options.
bool IsModelWithoutLinks(const std::wstring& strMtm) {
    return strMtm.size() > 4 && IsEqualNoCaseW(strMtm.substr(strMtm.size() - 2), L"CD");
}

} // namespace

CGoToSolvaneDlg::CGoToSolvaneDlg(CWnd* pParent) : CDeckBaseDialog(IDD, pParent) {
    m_strWarrantyText = ResString(L"View warranty options", 424);
    m_strFeedbackText = ResString(L"Comments && feedback", 425);
}

BEGIN_MESSAGE_MAP(CGoToSolvaneDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_BN_CLICKED(kButtonId, &CGoToSolvaneDlg::OnBnClickedGoToSolvane)
END_MESSAGE_MAP()

void CGoToSolvaneDlg::DoDataExchange(CDataExchange* pDX) {
    CDeckBaseDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kButtonId, m_btnGoToSolvane);
    DDX_Control(pDX, kWarrantyLinkId, m_warrantyLink);
    DDX_Control(pDX, kFeedbackLinkId, m_feedbackLink);
}

BOOL CGoToSolvaneDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_pParentDlg = pParentWnd;
    return CDeckBaseDialog::Create(nIDTemplate, pParentWnd);
}

BOOL CGoToSolvaneDlg::OnInitDialog() {
    CDeckBaseDialog::OnInitDialog();
    EnableToolTips(TRUE);
    LoadResString(m_strButtonCaption, L"Go to Corvex Solvane", 213);
    m_btnGoToSolvane.SetNarratorText(m_strButtonCaption.GetString());
    m_btnGoToSolvane.SetText(m_strButtonCaption);
    if (IsModelWithoutLinks(g_strMTM)) {
        m_warrantyLink.ShowWindow(SW_HIDE);
        m_feedbackLink.ShowWindow(SW_HIDE);
        return TRUE;
    }
    m_warrantyLink.SetLinkText(kSupportUri, m_strWarrantyText, kLinkFontSize, kLinkFontWeight, m_crLink,
                               DT_RIGHT | DT_END_ELLIPSIS);
    m_warrantyLink.SizeToText(false);
    m_warrantyLink.SetTooltip(m_strWarrantyText);
    // The panel opens the page itself on a click, after its telemetry; the link's own URL would open it
    // a second time. Only the narrator's clicks, which the panel leaves alone, go to the URL.
    m_warrantyLink.SetURL(g_bNarrator ? kSupportUri : L"");
    m_feedbackLink.ShowWindow(SW_HIDE);
    return TRUE;
}

BOOL CGoToSolvaneDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_LBUTTONUP) {
        HitTestWarrantyLink(pMsg->pt);
    } else if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) {
        const UINT nKey = static_cast<UINT>(pMsg->wParam);
        // A key that opened a page goes no further: Space would click the button once more.
        if (HandleEnterKey(nKey)) {
            return TRUE;
        }
        if (nKey == VK_TAB && g_bNarrator) {
            return FALSE;
        }
        if (nKey == VK_ESCAPE || nKey == VK_RETURN) {
            return TRUE;
        }
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

void CGoToSolvaneDlg::HitTestWarrantyLink(POINT ptScreen) {
    if (g_bNarrator || !m_warrantyLink.GetSafeHwnd()) {
        return;
    }
    CRect rcLink;
    m_warrantyLink.GetWindowRect(&rcLink);
    if (rcLink.PtInRect(ptScreen)) {
        OpenWarrantyPage();
    }
}

// The keyboard opens the pages whether or not the mouse rests on the pill.
bool CGoToSolvaneDlg::HandleEnterKey(UINT nKey) {
    if (nKey != VK_SPACE && nKey != VK_RETURN) {
        return false;
    }
    const CWnd* pFocus = GetFocus();
    if (!pFocus) {
        return false;
    }
    const HWND hFocus = pFocus->GetSafeHwnd();
    if (g_bNarrator) {
        Sleep(kNarratorFocusPauseMs);
        SetFocus();
        Sleep(kNarratorFocusPauseMs);
    }
    if (hFocus == m_btnGoToSolvane.GetSafeHwnd()) {
        OpenDashboard();
        return true;
    }
    if (hFocus == m_warrantyLink.GetSafeHwnd()) {
        OpenWarrantyPage();
        return true;
    }
    return false;
}

void CGoToSolvaneDlg::OpenWarrantyPage() {
    if (!m_warrantyLink.GetSafeHwnd() || !m_warrantyLink.IsWindowVisible()) {
        return;
    }
    SendFeatureEvent(L"Features.Toolbar.PowerInformation.GoToWarrantyServiceHomePage", L"", kLinksPage);
    Sleep(kWarrantyPauseMs);
    LaunchSolvaneUri(kSupportUri);
}

void CGoToSolvaneDlg::OnBnClickedGoToSolvane() {
    if (m_btnGoToSolvane.IsHover()) {
        OpenDashboard();
    }
}

void CGoToSolvaneDlg::OpenDashboard() {
    SendFeatureEvent(L"Features.Toolbar.PowerInformation.GoToSolvaneDashboardPage", L"", kLinksPage);
    LaunchSolvaneUri(kDashboardUri);
}

void CGoToSolvaneDlg::OnPaint() {
    PaintBackground(m_pBackground, false);
}

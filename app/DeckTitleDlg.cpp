#include "app/DeckTitleDlg.h"

#include "app/FlipdeckExApp.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"

namespace {

const int kTitleId = 1000;
const int kCloseId = 1002;
const int kCloseImage = 170;

} // namespace

CDeckTitleDlg::CDeckTitleDlg(CWnd* pParent) : CDeckBaseDialog(IDD, pParent) {
    EnableActiveAccessibility();
}

BEGIN_MESSAGE_MAP(CDeckTitleDlg, CDeckBaseDialog)
ON_WM_PAINT()
ON_BN_CLICKED(kCloseId, &CDeckTitleDlg::OnBnClickedClose)
END_MESSAGE_MAP()

void CDeckTitleDlg::DoDataExchange(CDataExchange* pDX) {
    CDeckBaseDialog::DoDataExchange(pDX);
    DDX_Control(pDX, kTitleId, m_titleStatic);
    DDX_Control(pDX, kCloseId, m_closeBtn);
}

BOOL CDeckTitleDlg::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_pOwnerWnd = pParentWnd;
    return CDeckBaseDialog::Create(nIDTemplate, pParentWnd);
}

BOOL CDeckTitleDlg::OnInitDialog() {
    CDeckBaseDialog::OnInitDialog();
    CString strTitle;
    GetTitleText(strTitle);
    m_titleStatic.SetNarratorText(strTitle.GetString());
    m_titleStatic.SetTitle(strTitle.GetString(), 22, 6, 20, 0, RGB(255, 255, 255), RGB(0x43, 0x77, 0xEE));

    CString strClose;
    LoadResString(strClose, L"Close", 469);
    m_closeBtn.SetNarratorText(L"%s %s", strClose.GetString(), g_strToolbarName.GetString());
    CRect rcClose;
    m_closeBtn.GetClientRect(&rcClose);
    m_closeBtn.SetImagePlacement(1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 / 3);
    m_closeBtn.SetHoverRect(rcClose);
    m_closeBtn.SetImages(kCloseImage, kCloseImage, 0xFF4377EE, 0xFFE91022);

    LayoutControls();
    m_titleStatic.SetFocus();
    return TRUE;
}

void CDeckTitleDlg::GetTitleText(CString& strTitle) {
    strTitle = g_strToolbarName;
    if (!g_strFamilyName.empty()) {
        CString strMy;
        LoadResString(strMy, L"My", 182);
        strTitle.Format(L"%s %s", strMy.GetString(), g_strFamilyName.c_str());
    }
}

void CDeckTitleDlg::LayoutControls() {
    CRect rcClient;
    GetClientRect(&rcClient);
    CRect rcClose;
    m_closeBtn.GetClientRect(&rcClose);
    const int nCloseWidth = rcClose.Width();
    m_closeBtn.MoveWindow(rcClient.right - nCloseWidth, rcClient.top, nCloseWidth, rcClient.Height(), TRUE);
    m_titleStatic.MoveWindow(rcClient.left, rcClient.top, rcClient.right - nCloseWidth - rcClient.left,
                             rcClient.Height(), TRUE);
}

BOOL CDeckTitleDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) {
        const UINT nKey = static_cast<UINT>(pMsg->wParam);
        HandleKey(nKey);
        // With the narrator, Tab leaves the title bar for the flyout's own navigation.
        if (g_bNarrator && nKey == VK_TAB) {
            return FALSE;
        }
        if (nKey == VK_ESCAPE || nKey == VK_RETURN) {
            return TRUE;
        }
    }
    return CDeckBaseDialog::PreTranslateMessage(pMsg);
}

void CDeckTitleDlg::HandleKey(UINT nKey) {
    if (nKey != VK_SPACE && nKey != VK_RETURN) {
        return;
    }
    const CWnd* pFocus = GetFocus();
    if (nKey == VK_RETURN && pFocus && pFocus->GetSafeHwnd() == m_closeBtn.GetSafeHwnd()) {
        CloseOwner();
    }
}

void CDeckTitleDlg::OnPaint() {
    PaintBackground(m_pBackground, false);
}

void CDeckTitleDlg::OnBnClickedClose() {
    CloseOwner();
}

void CDeckTitleDlg::CloseOwner() {
    if (m_pOwnerWnd && m_pOwnerWnd->GetSafeHwnd()) {
        ::SendMessageW(m_pOwnerWnd->GetSafeHwnd(), WM_CLOSE, 0, 0);
    }
}

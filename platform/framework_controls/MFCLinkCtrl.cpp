// The framework's link button: its look, the hand cursor and the URL a click opens.
#include "platform/framework_controls.h"
#include "platform/shell.h"
#include "platform/window/Controls.h"

IMPLEMENT_DYNAMIC(CMFCLinkCtrl, CMFCButton)

BEGIN_MESSAGE_MAP(CMFCLinkCtrl, CMFCButton)
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

void CMFCLinkCtrl::SetURL(LPCTSTR lpszURL) {
    m_strURL = lpszURL ? lpszURL : L"";
}

// The parent's BN_CLICKED from this button, offered here first: the URL opens, and the parent still
// handles the click.
BOOL CMFCLinkCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && !m_strURL.IsEmpty()) {
        ::ShellExecuteW(nullptr, L"open", m_strURL, nullptr, nullptr, SW_SHOWNORMAL);
    }
    return CMFCButton::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CMFCLinkCtrl::OnSetCursor(CWnd*, UINT, UINT) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}

void CMFCLinkCtrl::OnFillBackground(CDC* pDC, const CRect& rectClient) {
    ::FillRect(pDC->GetSafeHdc(), rectClient,
               platform::window::ControlBrush(m_hWnd, pDC->GetSafeHdc(), WM_CTLCOLORBTN));
}

void CMFCLinkCtrl::OnDrawBorder(CDC*, CRect&, UINT) {}

void CMFCLinkCtrl::OnDraw(CDC* pDC, const CRect& rect, UINT uiState) {
    LOGFONTW logFont{};
    ::GetObjectW(platform::window::ControlFont(m_hWnd), sizeof(logFont), &logFont);
    logFont.lfUnderline = TRUE;
    CFont underlined;
    underlined.CreateFontIndirect(&logFont);
    CString text;
    GetWindowText(text);
    CFont* pOldFont = pDC->SelectObject(&underlined);
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(::GetSysColor((uiState & ODS_DISABLED) ? COLOR_GRAYTEXT : COLOR_HOTLIGHT));
    CRect textRect = rect;
    pDC->DrawText(text, textRect, m_bMultilineText ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER);
    pDC->SelectObject(pOldFont);
}

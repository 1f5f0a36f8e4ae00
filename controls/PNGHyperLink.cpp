#include "controls/PNGHyperLink.h"

#include "controls/FocusFrame.h"
#include "controls/LinkText.h"
#include "controls/SkinnedControl.h"
#include "services/SolvaneLaunch.h"
#include "services/WindowsVersion.h"

BEGIN_MESSAGE_MAP(CPNGHyperLink, CMFCLinkCtrl)
ON_WM_DESTROY()
END_MESSAGE_MAP()

void CPNGHyperLink::SetLinkText(LPCWSTR pszUri, LPCWSTR pszText, int nFontSize, int nFontWeight,
                                COLORREF crText, UINT nDrawFlags) {
    if (!pszUri || !pszText) {
        return;
    }
    m_strText = pszText;
    m_crText = crText;
    m_nDrawFlags = nDrawFlags;
    m_crBackground = RGB(255, 255, 255);
    SetURL(CanLaunchSolvaneUri(pszUri) ? pszUri : L"");
    if (m_hWnd) {
        SetWindowText(m_strText);
    }
    // The fonts go with the window, so a link made again gets them anew.
    if (nFontSize != m_nFontSize || nFontWeight != m_nFontWeight || !m_fontNormal.GetSafeHandle()) {
        m_nFontSize = nFontSize;
        m_nFontWeight = nFontWeight;
        CreateLinkFonts(m_fontNormal, m_fontHover, m_nFontSize, m_nFontWeight);
    }
    if (m_hWnd) {
        m_nTextWidth = MeasureTextWidth(this, m_fontNormal, m_strText);
        Invalidate(TRUE);
    }
}

void CPNGHyperLink::SizeToText(bool bKeepLeft) {
    if (m_hWnd) {
        NarrowToText(this, m_nTextWidth, bKeepLeft);
    }
}

HRESULT CPNGHyperLink::get_accRole(VARIANT, VARIANT* pvarRole) {
    if (!pvarRole) {
        return E_INVALIDARG;
    }
    pvarRole->vt = VT_I4;
    pvarRole->lVal = ROLE_SYSTEM_LINK;
    return S_OK;
}

BOOL CPNGHyperLink::PreTranslateMessage(MSG* pMsg) {
    // Space activates the link as Enter does.
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && pMsg->wParam == VK_SPACE) {
        pMsg->wParam = VK_RETURN;
    }
    switch (pMsg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        m_bMouseInput = false;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        m_bMouseInput = true;
        if (IsWindowsBuild21OrLater()) {
            SetFocus();
        }
        break;
    default:
        break;
    }
    return CMFCLinkCtrl::PreTranslateMessage(pMsg);
}

void CPNGHyperLink::OnDestroy() {
    m_fontNormal.DeleteObject();
    m_fontHover.DeleteObject();
    CMFCLinkCtrl::OnDestroy();
}

void CPNGHyperLink::OnDrawFocusRect(CDC* pDC, const CRect&) {
    if (!m_bMouseInput) {
        CRect rcClient;
        GetClientRect(&rcClient);
        DrawFocusFrame(this, pDC, rcClient);
    }
}

void CPNGHyperLink::OnDraw(CDC* pDC, const CRect& rect, UINT) {
    CRect rcClient;
    GetClientRect(&rcClient);
    pDC->FillSolidRect(&rcClient, m_crBackground);
    CFont* pOldFont = pDC->SelectObject(IsHighlighted() ? &m_fontHover : &m_fontNormal);
    pDC->SetTextColor(m_crText);
    pDC->SetBkMode(TRANSPARENT);
    CString strText;
    GetWindowText(strText);
    m_nTextWidth = pDC->GetTextExtent(strText).cx;
    m_bTooWide = m_nTextWidth > rcClient.Width();
    CRect rcText = rect;
    pDC->DrawText(strText, &rcText,
                  m_bMultilineText ? DT_WORDBREAK : m_nDrawFlags | DT_SINGLELINE | DT_WORD_ELLIPSIS);
    FillAround(pDC, rcClient, rect);
    pDC->SelectObject(pOldFont);
}

void CPNGHyperLink::FillAround(CDC* pDC, const CRect& rcClient, const CRect& rect) const {
    pDC->FillSolidRect(CRect(rcClient.left, rcClient.top, rect.left, rcClient.bottom), m_crBackground);
    pDC->FillSolidRect(CRect(rcClient.left, rcClient.top, rcClient.right, rect.top), m_crBackground);
    pDC->FillSolidRect(CRect(rect.right, rcClient.top, rcClient.right, rcClient.bottom), m_crBackground);
    pDC->FillSolidRect(CRect(rcClient.left, rect.bottom, rcClient.right, rcClient.bottom), m_crBackground);
}

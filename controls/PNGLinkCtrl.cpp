#include "controls/PNGLinkCtrl.h"

#include "controls/LinkText.h"
#include "controls/SkinnedControl.h"

namespace {

constexpr int kLinkFontSize = 14;
constexpr int kLinkFontWeight = 700;

} // namespace

BEGIN_MESSAGE_MAP(CPNGLinkCtrl, CLinkCtrl)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

void CPNGLinkCtrl::SetLinkText(LPCWSTR pszText, COLORREF crText, COLORREF crBackground, UINT nDrawFlags) {
    m_strText = pszText ? pszText : L"";
    m_crText = crText;
    m_crBackground = crBackground;
    m_nDrawFlags = nDrawFlags;
    if (m_hWnd) {
        GetClientRect(&m_rcClient);
    }
    if (m_nFontSize != kLinkFontSize || m_nFontWeight != kLinkFontWeight) {
        m_nFontSize = kLinkFontSize;
        m_nFontWeight = kLinkFontWeight;
        CreateLinkFonts(m_fontNormal, m_fontHover, m_nFontSize, m_nFontWeight);
    }
    if (m_hWnd) {
        m_nTextWidth = MeasureTextWidth(this, m_fontNormal, m_strText);
        Invalidate(TRUE);
    }
}

void CPNGLinkCtrl::MeasureText() {
    if (m_hWnd) {
        NarrowToText(this, m_nTextWidth, false);
    }
}

BOOL CPNGLinkCtrl::PreTranslateMessage(MSG* pMsg) {
    bool bMouseInput = false; // a link has no focus frame to hold back
    KeepPointerFlags(this, pMsg, m_bHover, m_bTracking, bMouseInput);
    return CLinkCtrl::PreTranslateMessage(pMsg);
}

void CPNGLinkCtrl::OnPaint() {
    PaintBuffered(this, m_crBackground, [this](CDC& dc, const CRect& rcClient) {
        CFont* pOldFont = dc.SelectObject(m_bHover ? &m_fontHover : &m_fontNormal);
        if (m_nTextWidth <= 0 || !m_bTooWide) {
            m_nTextWidth = dc.GetTextExtent(m_strText).cx;
            m_bTooWide = m_nTextWidth > rcClient.Width();
        }
        dc.SetTextColor(m_crText);
        CRect rcText = rcClient;
        dc.DrawText(m_strText, &rcText, m_nDrawFlags);
        dc.SelectObject(pOldFont);
    });
}

void CPNGLinkCtrl::OnMouseMove(UINT nFlags, CPoint point) {
    TrackHoverAndLeave(this, m_bTracking);
    if (m_rcClient.PtInRect(point)) {
        ::SetCursor(SetClassCursor(this, IDC_HAND));
    } else {
        SetClassCursor(this, IDC_ARROW);
    }
    CLinkCtrl::OnMouseMove(nFlags, point);
}

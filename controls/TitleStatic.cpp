#include "controls/TitleStatic.h"

#include "controls/SkinnedControl.h"
#include "services/DrawingRoutines.h"

BEGIN_MESSAGE_MAP(CTitleStatic, CStatic)
ON_WM_PAINT()
ON_WM_DESTROY()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CTitleStatic::CTitleStatic() : CControlNarratorText(this) {}

void CTitleStatic::SetTitle(LPCWSTR pszText, int x, int y, int nSize, int nWeight, COLORREF crText,
                            COLORREF crBackground) {
    m_title.m_strText = pszText ? pszText : L"";
    m_title.m_nHAlign = 0;
    m_title.m_nVAlign = 0;
    m_title.m_nOffsetX = ScaleByMonitorDpiX(x);
    m_title.m_nOffsetY = ScaleByMonitorDpiY(y);
    m_title.m_crColor = crText;
    m_crText = crText;
    m_crBackground = crBackground;
    if (nSize != m_nFontSize || nWeight != m_nFontWeight) {
        m_nFontSize = nSize;
        m_nFontWeight = nWeight;
        CreateFonts();
    }
    if (m_hWnd) {
        CClientDC dc(this);
        CFont* pOldFont = dc.SelectObject(&m_fontBase);
        m_nTextWidth = dc.GetTextExtent(m_title.m_strText).cx;
        dc.SelectObject(pOldFont);
    }
}

void CTitleStatic::CreateFonts() {
    m_fontBase.DeleteObject();
    m_fontLarger.DeleteObject();
    m_fontSmaller.DeleteObject();
    CreateSkinnedFont(m_fontBase, m_nFontSize, m_nFontWeight);
    CreateSkinnedFont(m_fontLarger, m_nFontSize + 1, m_nFontWeight);
    CreateSkinnedFont(m_fontSmaller, m_nFontSize - 1, m_nFontWeight);
}

void CTitleStatic::SelectFittingFont(CDC& dc, int nClientWidth) {
    for (CFont* pFont : {&m_fontBase, &m_fontLarger, &m_fontSmaller}) {
        dc.SelectObject(pFont);
        m_bTooWide = dc.GetTextExtent(m_title.m_strText).cx >= nClientWidth;
        if (!m_bTooWide) {
            return;
        }
    }
    dc.SelectObject(&m_fontBase);
}

void CTitleStatic::OnPaint() {
    PaintBuffered(this, m_crBackground, [this](CDC& dc, const CRect& rcClient) {
        CFont* pOldFont = dc.SelectObject(&m_fontBase);
        SelectFittingFont(dc, rcClient.Width());
        dc.SetTextColor(m_crText);
        CRect rcText = rcClient;
        rcText.left += m_title.m_nOffsetX;
        rcText.top += m_title.m_nOffsetY;
        // Without DT_SINGLELINE the text stands at the top of the rectangle.
        dc.DrawText(m_title.m_strText, &rcText, DT_VCENTER | DT_END_ELLIPSIS);
        dc.SelectObject(pOldFont);
    });
}

void CTitleStatic::OnDestroy() {
    CStatic::OnDestroy();
}

void CTitleStatic::OnMouseMove(UINT nFlags, CPoint point) {
    SetClassCursor(this, IDC_ARROW);
    CStatic::OnMouseMove(nFlags, point);
}

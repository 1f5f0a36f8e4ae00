#include "controls/ControlTextItem.h"

#include "services/DrawingRoutines.h"

void CControlTextItem::Draw(CDC* pDC, Gdiplus::Graphics* pGraphics, const RECT& rcClient) const {
    const GradientTextRecord record{
        m_strText, m_nHAlign, m_nVAlign, m_nOffsetX, m_nOffsetY, 0, static_cast<HFONT>(m_font), m_crColor};
    const int nWidth = rcClient.right - rcClient.left - 2 * m_nOffsetX;
    const int nHeight = rcClient.bottom - rcClient.top - m_nOffsetY;
    DrawGradientText(pDC, pGraphics, record, static_cast<float>(nWidth), static_cast<float>(nHeight));
}

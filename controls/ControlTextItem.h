// A text that a skinned control carries and paints with GDI+: its own font, colour, alignment and
// offset within the control's client area.
#pragma once

#include "platform/framework_gdi.h"
#include "platform/gdiplus.h"
#include "platform/strings.h"

class CControlTextItem {
public:
    // Paints the text in (x, y, client width - 2x, client height - y); nothing for an empty text.
    void Draw(CDC* pDC, Gdiplus::Graphics* pGraphics, const RECT& rcClient) const;

    CString m_strText;
    int m_nHAlign = 0;  // 0 centre, 1 far (right), any other value near (left)
    int m_nVAlign = 0;  // 0 centre, 1 far (bottom), any other value near (top)
    int m_nOffsetX = 0; // pixels, already DPI-scaled
    int m_nOffsetY = 0;
    CFont m_font;
    Gdiplus::ARGB m_crColor = 0xFFFFFFFFu;
};

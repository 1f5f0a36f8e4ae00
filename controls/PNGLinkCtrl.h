// A link control whose text is painted here: bold "Segoe UI", underlined until the mouse rests on it,
// with the hand cursor over it.
#pragma once

#include "platform/framework_controls.h"

class CPNGLinkCtrl : public CLinkCtrl {
public:
    // The text (null: none) in its colours and DrawText flags; the fonts are made once. With a window,
    // the text is measured and repainted.
    void SetLinkText(LPCWSTR pszText, COLORREF crText, COLORREF crBackground, UINT nDrawFlags);
    // Narrows the control to 1.1 times its text's width, keeping its right edge, when the text is
    // narrower than the control.
    void MeasureText();
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    void OnPaint();
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    bool m_bHover = false;
    bool m_bTracking = false; // hover and leave asked for since the last leave
    CRect m_rcClient;         // as SetLinkText found it; also the hover rectangle
    CString m_strText;
    CFont m_fontNormal;
    CFont m_fontHover;
    COLORREF m_crText = 0;
    COLORREF m_crBackground = RGB(255, 255, 255);
    UINT m_nDrawFlags = 0;
    int m_nFontSize = 0;
    int m_nFontWeight = 0;
    int m_nTextWidth = 0; // in the normal font
    bool m_bTooWide = false;
};

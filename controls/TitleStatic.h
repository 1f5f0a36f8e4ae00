// A static control that shows one line of text in a DPI-scaled "Segoe UI" font, one size smaller when
// the text does not fit at its own size.
#pragma once

#include "controls/ControlNarratorText.h"
#include "controls/ControlTextItem.h"
#include "platform/framework_controls.h"

class CTitleStatic : public CStatic, public CControlNarratorText {
public:
    CTitleStatic();

    // The text at (x, y) design pixels in "Segoe UI" of that size and weight (0: 400); the fonts are
    // made anew only when the size or the weight changes.
    void SetTitle(LPCWSTR pszText, int x, int y, int nSize, int nWeight, COLORREF crText,
                  COLORREF crBackground);

    CControlTextItem m_title;
    COLORREF m_crText = 0;
    COLORREF m_crBackground = RGB(255, 255, 255);
    // The title's width in the base font, as SetTitle measured it.
    int m_nTextWidth = 0;
    // The last paint found the title at least as wide as the client area in the font it drew with.
    bool m_bTooWide = false;

protected:
    void OnPaint();
    void OnDestroy();
    void OnMouseMove(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()

    CFont m_fontBase;
    CFont m_fontLarger;
    CFont m_fontSmaller;
    int m_nFontSize = 0;
    int m_nFontWeight = 0; // as passed, 0 when not set

private:
    void CreateFonts();
    // Selects the first of the base, larger and smaller fonts in which the title fits, else the base.
    void SelectFittingFont(CDC& dc, int nClientWidth);
};

#include "controls/FocusFrame.h"

#include "controls/ControlNarratorText.h"

namespace {

const COLORREF kFocusFrameColor = RGB(0xB4, 0xB4, 0xB4);

void DrawLine(CDC* pDC, int x1, int y1, int x2, int y2) {
    pDC->MoveTo(x1, y1);
    pDC->LineTo(x2, y2);
}

} // namespace

void DrawFocusFrame(CWnd* pWnd, CDC* pDC, const RECT& rcFrame) {
    if (g_bNarrator || !pWnd || !pDC || pWnd->m_hWnd != ::GetFocus()) {
        return;
    }
    CPen pen(PS_DOT, 1, kFocusFrameColor);
    CPen* pOldPen = pDC->SelectObject(&pen);
    const int nRight = rcFrame.right - 1;
    const int nBottom = rcFrame.bottom - 1;
    DrawLine(pDC, rcFrame.left, rcFrame.top, nRight, rcFrame.top);
    DrawLine(pDC, nRight, rcFrame.top, nRight, nBottom);
    DrawLine(pDC, nRight, nBottom, rcFrame.left, nBottom);
    DrawLine(pDC, rcFrame.left, nBottom, rcFrame.left, rcFrame.top);
    pDC->SelectObject(pOldPen);
}

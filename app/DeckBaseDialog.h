// The common base of the flyout's own dialogs: in narrator mode its controls draw on white with a
// transparent background.
#pragma once

#include "platform/framework_gdi.h"
#include "platform/framework_window.h"
#include "platform/gdiplus.h"

// WM_KEYDOWN or WM_SYSKEYDOWN of Escape or Enter: the keys the panels swallow.
inline bool IsEscapeOrEnterKey(const MSG* pMsg) {
    return (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) &&
           (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN);
}

class CDeckBaseDialog : public CDialogEx {
public:
    explicit CDeckBaseDialog(UINT nIDTemplate, CWnd* pParent = nullptr);

    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    // The panels' WM_ERASEBKGND: nothing is erased, the paint covers the whole client area.
    BOOL OnEraseBkgnd(CDC* pDC);

    CBrush m_brWhite;

protected:
    // The panels' WM_PAINT: white with the background bitmap, else the framework's dialog paint.
    void PaintBackground(Gdiplus::Bitmap* pBackground, bool bSideLines);
    // A panel's new height, its width and place unchanged (its parent places it afterwards).
    void ResizeToHeight(int nHeight);

    DECLARE_MESSAGE_MAP()
};

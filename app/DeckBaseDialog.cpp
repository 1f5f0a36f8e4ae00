#include "app/DeckBaseDialog.h"

#include "controls/ControlNarratorText.h"
#include "services/DrawingRoutines.h"

CDeckBaseDialog::CDeckBaseDialog(UINT nIDTemplate, CWnd* pParent) : CDialogEx(nIDTemplate, pParent) {
    m_brWhite.CreateSolidBrush(RGB(255, 255, 255));
}

BEGIN_MESSAGE_MAP(CDeckBaseDialog, CDialogEx)
ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

HBRUSH CDeckBaseDialog::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    HBRUSH hBrush = CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
    if (!g_bNarrator) {
        return hBrush;
    }
    if (nCtlColor == CTLCOLOR_BTN || nCtlColor == CTLCOLOR_STATIC) {
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetBkColor(RGB(255, 255, 255));
    }
    return m_brWhite;
}

BOOL CDeckBaseDialog::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CDeckBaseDialog::PaintBackground(Gdiplus::Bitmap* pBackground, bool bSideLines) {
    if (!DrawDialogBackground(this, pBackground, false, bSideLines)) {
        CDialogEx::OnPaint();
    }
}

void CDeckBaseDialog::ResizeToHeight(int nHeight) {
    CRect rcWindow;
    GetWindowRect(&rcWindow);
    SetWindowPos(nullptr, 0, 0, rcWindow.Width(), nHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

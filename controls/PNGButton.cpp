#include "controls/PNGButton.h"

#include "controls/FocusFrame.h"
#include "controls/SkinnedControl.h"
#include "services/DrawingRoutines.h"

BEGIN_MESSAGE_MAP(CPNGButton, CButton)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CPNGButton::CPNGButton() : CControlNarratorText(this) {}

CPNGButton::~CPNGButton() {
    DeleteImages();
}

void CPNGButton::SetImages(int nImageId, int nSecondImageId) {
    if (nImageId == m_nImageId && nSecondImageId == m_nSecondImageId) {
        return;
    }
    m_nImageId = nImageId;
    m_nSecondImageId = nSecondImageId;
    LoadPngFromResource(nImageId, &m_pImage);
    LoadPngOrClear(nSecondImageId, &m_pSecondImage);
    if (m_hWnd) {
        SizeToHeight();
    }
}

void CPNGButton::SizeToHeight() {
    SizeToClientHeight(this);
}

void CPNGButton::OnPaint() {
    PaintSkinned(this, RGB(255, 255, 255),
                 [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
                     if (m_pImage) {
                         graphics.DrawImage(m_pImage, 0, 0, rcClient.Width(), rcClient.Height());
                     }
                     if (m_pSecondImage) {
                         graphics.DrawImage(m_pSecondImage, ScaleByMonitorDpiX(45), ScaleByMonitorDpiY(35),
                                            ScaleByMonitorDpiX(23), ScaleByMonitorDpiY(30));
                     }
                     for (const CControlTextItem& item : m_textItems) {
                         item.Draw(&dc, &graphics, rcClient);
                     }
                     DrawFocusFrame(this, &dc, rcClient);
                 });
}

void CPNGButton::OnDestroy() {
    CButton::OnDestroy();
    DeleteImages();
}

void CPNGButton::DeleteImages() {
    DeleteBitmap(&m_pImage);
    DeleteBitmap(&m_pSecondImage);
}

#include "controls/PNGStatic.h"

#include "controls/SkinnedControl.h"
#include "services/DrawingRoutines.h"

BEGIN_MESSAGE_MAP(CPNGStatic, CStatic)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CPNGStatic::CPNGStatic() : CControlNarratorText(this) {}

CPNGStatic::~CPNGStatic() {
    delete m_pImage;
}

void CPNGStatic::SetImage(int nImageId, COLORREF crBackground) {
    if (nImageId == m_nImageId) {
        return;
    }
    m_nImageId = nImageId;
    m_crBackground = crBackground;
    LoadPngFromResource(nImageId, &m_pImage);
    if (m_hWnd) {
        Invalidate(TRUE);
    }
}

void CPNGStatic::SizeToHeight() {
    SizeToClientHeight(this);
}

void CPNGStatic::OnPaint() {
    PaintSkinned(this, m_crBackground, [this](CDC&, Gdiplus::Graphics& graphics, const CRect& rcClient) {
        if (m_pImage) {
            graphics.DrawImage(m_pImage, 0, 0, rcClient.Width(), rcClient.Height());
        }
    });
}

void CPNGStatic::OnDestroy() {
    CStatic::OnDestroy();
    DeleteBitmap(&m_pImage);
}

#include "controls/PNGButtonEx.h"

#include "controls/FocusFrame.h"
#include "controls/SkinnedControl.h"

BEGIN_MESSAGE_MAP(CPNGButtonEx, CButton)
ON_WM_PAINT()
ON_WM_DESTROY()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CPNGButtonEx::CPNGButtonEx() : CControlNarratorText(this) {}

CPNGButtonEx::~CPNGButtonEx() {
    DeleteImages();
}

void CPNGButtonEx::SetImages(int nNormalId, int nHoverId, Gdiplus::ARGB normalBackground,
                             Gdiplus::ARGB hoverBackground) {
    if (nNormalId == m_nNormalImageId && nHoverId == m_nHoverImageId) {
        return;
    }
    m_argbNormalBackground = normalBackground;
    m_argbHoverBackground = hoverBackground;
    m_nNormalImageId = nNormalId;
    m_nHoverImageId = nHoverId;
    if (m_hWnd) {
        GetClientRect(&m_rcHover);
    }
    LoadPngOrClear(nNormalId, &m_pNormalImage);
    LoadPngOrClear(nHoverId, &m_pHoverImage);
}

void CPNGButtonEx::SetImagePlacement(double dLeft, double dTop, double dWidth, double dHeight) {
    m_dImageLeft = dLeft;
    m_dImageTop = dTop;
    m_dImageWidth = dWidth;
    m_dImageHeight = dHeight;
}

void CPNGButtonEx::SetHoverRect(const RECT& rc) {
    m_rcHover = rc;
}

BOOL CPNGButtonEx::PreTranslateMessage(MSG* pMsg) {
    KeepPointerFlags(this, pMsg, m_bHover, m_bTracking, m_bMouseInput);
    return CButton::PreTranslateMessage(pMsg);
}

void CPNGButtonEx::OnPaint() {
    PaintSkinned(this, std::nullopt, [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
        const int nWidth = rcClient.Width();
        const int nHeight = rcClient.Height();
        // A two-colour gradient of one colour: a solid fill a pixel beyond each edge.
        const Gdiplus::Rect rcFill(rcClient.left - 1, rcClient.top - 1, nWidth + 2, nHeight + 2);
        const Gdiplus::Color color(m_bHover ? m_argbHoverBackground : m_argbNormalBackground);
        const Gdiplus::LinearGradientBrush brush(rcFill, color, color, Gdiplus::LinearGradientModeVertical);
        graphics.FillRectangle(&brush, rcFill);
        if (Gdiplus::Bitmap* pImage = m_bHover ? m_pHoverImage : m_pNormalImage) {
            const Gdiplus::RectF rcImage(static_cast<Gdiplus::REAL>(m_dImageLeft * nWidth),
                                         static_cast<Gdiplus::REAL>(m_dImageTop * nHeight),
                                         static_cast<Gdiplus::REAL>(m_dImageWidth * nWidth),
                                         static_cast<Gdiplus::REAL>(m_dImageHeight * nHeight));
            graphics.DrawImage(pImage, rcImage);
        }
        if (!m_bMouseInput) {
            DrawFocusFrame(this, &dc, rcClient);
        }
    });
}

void CPNGButtonEx::OnDestroy() {
    CButton::OnDestroy();
    DeleteImages();
}

void CPNGButtonEx::OnMouseMove(UINT nFlags, CPoint point) {
    TrackHoverAndLeave(this, m_bTracking);
    if (m_rcHover.PtInRect(point)) {
        ::SetCursor(SetClassCursor(this, IDC_HAND));
    } else {
        SetClassCursor(this, IDC_ARROW);
    }
    CButton::OnMouseMove(nFlags, point);
}

void CPNGButtonEx::DeleteImages() {
    DeleteBitmap(&m_pNormalImage);
    DeleteBitmap(&m_pHoverImage);
}

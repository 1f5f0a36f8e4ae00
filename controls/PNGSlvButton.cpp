#include "controls/PNGSlvButton.h"

#include "controls/FocusFrame.h"
#include "controls/SkinnedControl.h"
#include "platform/gdiplus.h"
#include "services/DrawingRoutines.h"

namespace {

// The pill is laid out in 243rds of the client width.
constexpr int kUnits = 243;
// The caps' width, and the bar's start inside the left cap.
constexpr int kCapWidth = 27;
constexpr int kCapOverlap = 13;
// Where the left cap starts for a short caption; the pill widens from there as the caption needs.
constexpr int kShortCaptionInset = 50;
// The right cap starts this far from the left cap's mirror position.
constexpr int kRightCapBase = 216;
constexpr int kBarRightBase = 198;
constexpr int kFontSize = 14;
constexpr int kFontWeight = 956;
// The caption stands at 12/43 of the height.
constexpr int kTextTopShare = 12;
constexpr int kTextTopUnits = 43;
constexpr int kFrameLeftGap = 4;
constexpr int kFrameRightGap = 5;
const Gdiplus::Color kTopBlue(0xFF3163DBu);
const Gdiplus::Color kBottomBlue(0xFF477EFAu);

// One part of the pill, filled with the gradient made from its own rectangle.
template <typename Fill> void FillWithGradient(const Gdiplus::Rect& rect, Fill fill) {
    if (rect.Width <= 0 || rect.Height <= 0) {
        return;
    }
    const Gdiplus::LinearGradientBrush brush(rect, kTopBlue, kBottomBlue,
                                             Gdiplus::LinearGradientModeVertical);
    fill(&brush, rect);
}

} // namespace

BEGIN_MESSAGE_MAP(CPNGSlvButton, CButton)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CPNGSlvButton::CPNGSlvButton() : CControlNarratorText(this) {}

void CPNGSlvButton::SetText(const CString& strCaption) {
    m_strCaption = strCaption;
    if (m_hWnd) {
        Invalidate(TRUE);
    }
}

BOOL CPNGSlvButton::PreTranslateMessage(MSG* pMsg) {
    KeepMouseInputFlag(pMsg, m_bMouseInput);
    return CButton::PreTranslateMessage(pMsg);
}

// The button asks for no hover notifications: the flag follows the moves inside its window.
void CPNGSlvButton::OnMouseMove(UINT nFlags, CPoint point) {
    m_bHover = m_rcHover.PtInRect(point) != FALSE;
    if (m_bHover) {
        ::SetCursor(SetClassCursor(this, IDC_HAND));
    } else {
        SetClassCursor(this, IDC_ARROW);
    }
    CButton::OnMouseMove(nFlags, point);
}

void CPNGSlvButton::OnPaint() {
    PaintSkinned(
        this, RGB(255, 255, 255), [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
            const int nWidth = rcClient.Width();
            const int nHeight = rcClient.Height();
            const auto share = [nWidth](int nUnits) { return nWidth * nUnits / kUnits; };

            CFont font;
            CreateSkinnedFont(font, kFontSize, kFontWeight);
            CFont* pOldFont = dc.SelectObject(&font);
            const int cxCaption = dc.GetTextExtent(m_strCaption).cx;
            // Each step widens the bar by about 2/243 on both sides; at 0 the pill spans the whole width.
            int k = kShortCaptionInset;
            while (share(kBarRightBase - k) - share(k) < cxCaption && k >= 1) {
                --k;
            }

            const Gdiplus::Rect leftCap(share(k), 0, share(kCapWidth), nHeight);
            const Gdiplus::Rect rightCap(share(kRightCapBase - k), 0, share(kCapWidth), nHeight);
            const Gdiplus::Rect bar(share(k + kCapOverlap), 0, share(kUnits - 2 * (k + kCapOverlap)),
                                    nHeight);
            const auto ellipse = [&graphics](const Gdiplus::Brush* pBrush, const Gdiplus::Rect& rect) {
                graphics.FillEllipse(pBrush, rect);
            };
            FillWithGradient(leftCap, ellipse);
            FillWithGradient(rightCap, ellipse);
            FillWithGradient(bar, [&graphics](const Gdiplus::Brush* pBrush, const Gdiplus::Rect& rect) {
                graphics.FillRectangle(pBrush, rect);
            });
            m_rcHover.SetRect(share(k), 0, share(kCapWidth) + share(kRightCapBase - k), nHeight);

            // No DT_SINGLELINE: the caption stands at the top of its rectangle, not in its middle.
            const COLORREF crOldText = dc.SetTextColor(RGB(255, 255, 255));
            CRect rcText(bar.X, kTextTopShare * nHeight / kTextTopUnits, bar.X + bar.Width, nHeight);
            dc.DrawText(m_strCaption, &rcText, DT_CENTER | DT_VCENTER);
            if (!m_bMouseInput) {
                DrawFocusFrame(
                    this, &dc,
                    CRect(share(k) - ScaleByMonitorDpiX(kFrameLeftGap), rcClient.top,
                          share(kRightCapBase - k) + share(kCapWidth) + ScaleByMonitorDpiX(kFrameRightGap),
                          rcClient.bottom));
            }
            dc.SetTextColor(crOldText);
            dc.SelectObject(pOldFont);
        });
}

#include "controls/PNGBatteryStatic.h"

#include <algorithm>
#include <utility>

#include "controls/SkinnedControl.h"
#include "services/DrawingRoutines.h"

namespace {

const COLORREF kMessageColor = RGB(0xF0, 0x55, 0x0A);
const COLORREF kLevelColor = RGB(0x34, 0x49, 0x5E);
const COLORREF kCaptionColor = RGB(0x3A, 0x87, 0x95);

// The meter is laid out on a 354 x 98 design.
constexpr int kDesignWidth = 354;
constexpr int kDesignHeight = 98;

constexpr int kHeavy = 956;
constexpr int kBold = 700;

// n/354 of the width and n/98 of the height, in whole pixels.
int OfWidth(int nWidth, int n) {
    return nWidth * n / kDesignWidth;
}
int OfHeight(int nHeight, int n) {
    return nHeight * n / kDesignHeight;
}

// Draws the text with the flags into the rectangle at (x, y) of that size; the rectangle.
CRect DrawTextAt(CDC& dc, const CString& strText, int x, int y, int cx, int cy, UINT nFlags) {
    CRect rcText(x, y, x + cx, y + cy);
    CRect rcDraw = rcText;
    dc.DrawText(strText, &rcDraw, nFlags);
    return rcText;
}

} // namespace

BEGIN_MESSAGE_MAP(CPNGBatteryStatic, CStatic)
ON_WM_PAINT()
ON_WM_DESTROY()
END_MESSAGE_MAP()

CPNGBatteryStatic::CPNGBatteryStatic() : CControlNarratorText(this) {}

CPNGBatteryStatic::~CPNGBatteryStatic() {
    DeleteImages();
}

void CPNGBatteryStatic::SetText(LPCWSTR pszText) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_bSingleText = true;
    m_strSingle = pszText ? pszText : L"";
}

void CPNGBatteryStatic::SetTexts(LPCWSTR pszLevel, LPCWSTR pszSecond, LPCWSTR pszThird) {
    const std::lock_guard<std::mutex> lock(m_lock);
    m_bSingleText = false;
    for (auto [pszText, pstrText] : {std::pair{pszLevel, &m_strLevel}, std::pair{pszSecond, &m_strSecond},
                                     std::pair{pszThird, &m_strThird}}) {
        if (pszText) {
            *pstrText = pszText;
        }
    }
}

void CPNGBatteryStatic::SetImages(int nImageId, int nOverlayId) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (nImageId == m_nImageId && nOverlayId == m_nOverlayId) {
        return;
    }
    m_nImageId = nImageId;
    m_nOverlayId = nOverlayId;
    LoadPngOrClear(nImageId, &m_pImage);
    LoadPngOrClear(nOverlayId, &m_pOverlay);
}

void CPNGBatteryStatic::OnPaint() {
    PaintSkinned(this, RGB(255, 255, 255),
                 [this](CDC& dc, Gdiplus::Graphics& graphics, const CRect& rcClient) {
                     const std::lock_guard<std::mutex> lock(m_lock);
                     const int nWidth = rcClient.Width();
                     const int nHeight = rcClient.Height();
                     DrawImages(graphics, nWidth, nHeight);
                     const COLORREF crOldText = dc.GetTextColor();
                     if (m_bSingleText) {
                         DrawSingleText(dc, nWidth, nHeight);
                     } else {
                         DrawThreeTexts(dc, nWidth, nHeight);
                     }
                     dc.SetTextColor(crOldText);
                 });
}

void CPNGBatteryStatic::DrawImages(Gdiplus::Graphics& graphics, int nWidth, int nHeight) const {
    if (m_pImage) {
        graphics.DrawImage(m_pImage, 0, 0, nWidth, nHeight);
    }
    if (!m_pOverlay) {
        return;
    }
    if (m_bSingleText) {
        graphics.DrawImage(m_pOverlay, OfWidth(nWidth, 19), ScaleByMonitorDpiY(59), ScaleByMonitorDpiX(15),
                           ScaleByMonitorDpiY(18));
    } else {
        graphics.DrawImage(m_pOverlay, ScaleByMonitorDpiX(45), ScaleByMonitorDpiY(28), ScaleByMonitorDpiX(23),
                           ScaleByMonitorDpiY(30));
    }
}

void CPNGBatteryStatic::DrawSingleText(CDC& dc, int nWidth, int nHeight) const {
    CFont fontLarge;
    CFont fontSmall;
    CreateSkinnedFont(fontLarge, 14, kHeavy);
    CreateSkinnedFont(fontSmall, 12, kHeavy);
    CFont* pOldFont = dc.SelectObject(&fontLarge);
    const CSize size = dc.GetTextExtent(m_strSingle);
    const int nRightLimit = OfWidth(nWidth, 326);
    int nLeft = OfWidth(nWidth, 60);
    if (nLeft + size.cx > nRightLimit) {
        nLeft = OfWidth(nWidth, 50);
        if (nLeft + size.cx > nRightLimit) {
            // Kept in the rectangle measured in the large font.
            dc.SelectObject(&fontSmall);
        }
    }
    dc.SetTextColor(kMessageColor);
    DrawTextAt(dc, m_strSingle, nLeft, OfHeight(nHeight, 38), size.cx, size.cy, 0);
    dc.SelectObject(pOldFont);
}

void CPNGBatteryStatic::DrawThreeTexts(CDC& dc, int nWidth, int nHeight) const {
    CFont fontCaption;
    CFont fontNarrowCaption;
    CFont fontLevel;
    CFont fontPercent;
    CFont fontSecond;
    CreateSkinnedFont(fontCaption, 9, kBold);
    CreateSkinnedFont(fontNarrowCaption, 8, kBold);
    CFont* pOldFont = dc.SelectObject(&fontCaption);
    const CSize sizeThird = dc.GetTextExtent(m_strThird);
    // A long third line takes two lines and lifts the others.
    const bool bLongThird = sizeThird.cx > OfWidth(nWidth, 185);
    const int nShift = bLongThird ? -8 : 0;
    const int nTextsLeft = OfWidth(nWidth, 72);

    CreateSkinnedFont(fontLevel, 42, kHeavy);
    dc.SelectObject(&fontLevel);
    const CSize sizeLevel = dc.GetTextExtent(m_strLevel);
    const int xLevel = std::max(nTextsLeft, nWidth * 337 / (2 * kDesignWidth) - sizeLevel.cx / 2);
    const int yLevel = (nShift - 2) * nHeight / kDesignHeight;
    dc.SetTextColor(kLevelColor);
    const CRect rcLevel = DrawTextAt(dc, m_strLevel, xLevel, yLevel, sizeLevel.cx, sizeLevel.cy, 0);

    CreateSkinnedFont(fontPercent, 20, kHeavy);
    dc.SelectObject(&fontPercent);
    const CString strPercent(L"%");
    const CSize sizePercent = dc.GetTextExtent(strPercent);
    DrawTextAt(dc, strPercent, rcLevel.right + nWidth / kDesignWidth,
               yLevel + static_cast<int>(sizeLevel.cy * 0.42), sizePercent.cx, sizePercent.cy, 0);

    CreateSkinnedFont(fontSecond, 11, kBold);
    dc.SelectObject(&fontSecond);
    const CSize sizeSecond = dc.GetTextExtent(m_strSecond);
    const int xSecond = std::max(nTextsLeft, (nWidth - sizeSecond.cx) / 2);
    const CRect rcSecond = DrawTextAt(dc, m_strSecond, xSecond, (nShift + 58) * nHeight / kDesignHeight,
                                      sizeSecond.cx, sizeSecond.cy, 0);

    const int yThird = rcSecond.bottom + nHeight / kDesignHeight;
    dc.SetTextColor(kCaptionColor);
    if (bLongThird) {
        const double dWidth = sizeThird.cx * 0.66;
        dc.SelectObject(&fontNarrowCaption);
        DrawTextAt(dc, m_strThird, static_cast<int>(nWidth - dWidth) / 2, yThird, static_cast<int>(dWidth),
                   2 * sizeThird.cy, DT_CENTER | DT_WORDBREAK);
    } else {
        const double dWidth = sizeThird.cx * 1.1;
        dc.SelectObject(&fontCaption);
        DrawTextAt(dc, m_strThird, std::max(nTextsLeft, static_cast<int>(nWidth - dWidth) / 2), yThird,
                   static_cast<int>(dWidth), sizeThird.cy, DT_CENTER | DT_WORDBREAK);
    }
    dc.SelectObject(pOldFont);
}

void CPNGBatteryStatic::OnDestroy() {
    CStatic::OnDestroy();
    const std::lock_guard<std::mutex> lock(m_lock);
    DeleteImages();
}

void CPNGBatteryStatic::DeleteImages() {
    DeleteBitmap(&m_pImage);
    DeleteBitmap(&m_pOverlay);
}

#include "services/DrawingRoutines.h"

#include <cstring>

#include "platform/display.h"

namespace {

const POINT kDpiProbePoint = {10, 10};
constexpr int kDpiFontWeight = 956;
const COLORREF kGreyFrameColor = RGB(225, 225, 225);
const COLORREF kSideLineColor = RGB(180, 180, 180);

// The effective DPI of the monitor that holds the probe point; 0 when none does.
UINT MonitorDpi(bool bVertical) {
    UINT nDpiX = 0;
    UINT nDpiY = 0;
    if (HMONITOR hMonitor = MonitorFromPoint(kDpiProbePoint, MONITOR_DEFAULTTONULL)) {
        GetDpiForMonitor(hMonitor, MDT_EFFECTIVE_DPI, &nDpiX, &nDpiY);
    }
    return bVertical ? nDpiY : nDpiX;
}

Gdiplus::StringAlignment AlignmentOf(int nCode) {
    switch (nCode) {
    case 0:
        return Gdiplus::StringAlignmentCenter;
    case 1:
        return Gdiplus::StringAlignmentFar;
    default:
        return Gdiplus::StringAlignmentNear;
    }
}

void DrawSideLines(CDC& dc, int nWidth, int nHeight, const RECT& rcClient) {
    dc.FillSolidRect(0, 0, 1, nHeight, kSideLineColor);
    dc.FillSolidRect(rcClient.right - 1, 0, 1, nHeight, kSideLineColor);
    dc.FillSolidRect(0, rcClient.bottom - 2, nWidth, 1, kSideLineColor);
}

} // namespace

int ScaleByMonitorDpiX(int nLength) {
    return MulDiv(nLength, static_cast<int>(MonitorDpi(false)), 96);
}

int ScaleByMonitorDpiY(int nLength) {
    return MulDiv(nLength, static_cast<int>(MonitorDpi(true)), 96);
}

void CreateDpiFont(CFont& font) {
    if (font.GetSafeHandle()) {
        return;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    LOGFONTW logFont = metrics.lfMessageFont;
    logFont.lfHeight = -MulDiv(10, static_cast<int>(MonitorDpi(false)), 96);
    logFont.lfWeight = kDpiFontWeight;
    _snwprintf_s(logFont.lfFaceName, LF_FACESIZE, LF_FACESIZE - 1, L"%s", L"Segoe UI");
    font.CreateFontIndirect(&logFont);
}

IStream* LoadPngResourceStream(int nResourceId) {
    if (nResourceId < 1 || nResourceId > 0xFFFF) {
        return nullptr;
    }
    HRSRC hResource = FindResourceW(nullptr, MAKEINTRESOURCEW(nResourceId), L"PNG");
    const DWORD dwSize = hResource ? SizeofResource(nullptr, hResource) : 0;
    const void* pData = dwSize ? LockResource(LoadResource(nullptr, hResource)) : nullptr;
    if (!pData) {
        return nullptr;
    }
    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE, dwSize);
    void* pBlock = hBlock ? GlobalLock(hBlock) : nullptr;
    if (!pBlock) {
        if (hBlock) {
            GlobalFree(hBlock);
        }
        return nullptr;
    }
    std::memcpy(pBlock, pData, dwSize);
    GlobalUnlock(hBlock);
    IStream* pStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(hBlock, TRUE, &pStream))) {
        GlobalFree(hBlock);
        return nullptr;
    }
    return pStream;
}

bool LoadPngFromResource(int nResourceId, Gdiplus::Bitmap** ppBitmap) {
    if (nResourceId < 0 || !ppBitmap) {
        return false;
    }
    delete *ppBitmap;
    *ppBitmap = nullptr;
    IStream* pStream = LoadPngResourceStream(nResourceId);
    if (!pStream) {
        return false;
    }
    auto* pBitmap = new Gdiplus::Bitmap(pStream);
    pStream->Release();
    // A bitmap whose PNG did not decode draws nothing: it is no bitmap.
    if (pBitmap->GetLastStatus() != Gdiplus::Ok) {
        delete pBitmap;
        return false;
    }
    *ppBitmap = pBitmap;
    return true;
}

void DrawGradientText(CDC* pDC, Gdiplus::Graphics* pGraphics, const GradientTextRecord& record, float fWidth,
                      float fHeight) {
    if (record.strText.IsEmpty() || !pGraphics) {
        return;
    }
    LOGFONTW logFont{};
    GetObjectW(record.hFont, sizeof(logFont), &logFont);
    const Gdiplus::Font font(pDC ? pDC->GetSafeHdc() : nullptr, &logFont);
    Gdiplus::StringFormat format;
    format.SetLineAlignment(AlignmentOf(record.nVAlign));
    format.SetAlignment(AlignmentOf(record.nHAlign));
    const Gdiplus::RectF rcLayout(static_cast<Gdiplus::REAL>(record.nX),
                                  static_cast<Gdiplus::REAL>(record.nY), fWidth, fHeight);
    Gdiplus::LinearGradientBrush brush(rcLayout, Gdiplus::Color(record.crColor),
                                       Gdiplus::Color(record.crColor), Gdiplus::LinearGradientModeVertical);
    brush.SetWrapMode(Gdiplus::WrapModeTile);
    pGraphics->DrawString(record.strText.GetString(), -1, &font, rcLayout, &format, &brush);
}

bool PaintDialogBackground(CDC& dcPaint, const RECT& rcClient, Gdiplus::Bitmap* pBackground, bool bFrame,
                           bool bSideLines) {
    const int nWidth = rcClient.right - rcClient.left;
    const int nHeight = rcClient.bottom - rcClient.top;
    CDC dcMem;
    CBitmap bitmap;
    if (!dcMem.CreateCompatibleDC(&dcPaint) || !bitmap.CreateCompatibleBitmap(&dcPaint, nWidth, nHeight)) {
        return false;
    }
    CBitmap* pOldBitmap = dcMem.SelectObject(&bitmap);
    dcMem.SetBkMode(TRANSPARENT);
    dcMem.FillSolidRect(&rcClient, RGB(255, 255, 255));
    {
        Gdiplus::Graphics graphics(dcMem.GetSafeHdc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        if (pBackground) {
            graphics.DrawImage(pBackground, 0, 0, nWidth, nHeight);
        }
        if (bFrame) {
            DrawGreyFrame(&dcMem, ScaleByMonitorDpiX(28), rcClient, ScaleByMonitorDpiY(33));
        }
        if (bSideLines) {
            DrawSideLines(dcMem, nWidth, nHeight, rcClient);
        }
    }
    dcPaint.BitBlt(0, 0, nWidth, nHeight, &dcMem, 0, 0, SRCCOPY);
    dcMem.SelectObject(pOldBitmap);
    return true;
}

bool DrawDialogBackground(CWnd* pWnd, Gdiplus::Bitmap* pBackground, bool bFrame, bool bSideLines) {
    if (!pWnd || !pWnd->m_hWnd) {
        return true;
    }
    CPaintDC dcPaint(pWnd);
    CRect rcClient;
    pWnd->GetClientRect(&rcClient);
    return PaintDialogBackground(dcPaint, rcClient, pBackground, bFrame, bSideLines);
}

void DrawGreyFrame(CDC* pDC, int nLeftInset, const RECT& rcClient, int nRightInset) {
    if (!pDC) {
        return;
    }
    const int nWidth = rcClient.right - rcClient.left;
    const int nHeight = rcClient.bottom - rcClient.top;
    const int x1 = nLeftInset;
    const int x2 = nWidth - nRightInset;
    pDC->FillSolidRect(x1, 0, x2 - x1, 1, kGreyFrameColor);
    pDC->FillSolidRect(x1, nHeight - 1, x2 - x1, 1, kGreyFrameColor);
    pDC->FillSolidRect(x1, 0, 1, nHeight, kGreyFrameColor);
    pDC->FillSolidRect(x2, 0, 1, nHeight, kGreyFrameColor);
}

void DrawSolidFrame(CDC* pDC, COLORREF crColor, int nLeft, int nTop, int nRight, int nBottom) {
    if (!pDC) {
        return;
    }
    pDC->FillSolidRect(nLeft, nTop, nRight - nLeft, 1, crColor);
    pDC->FillSolidRect(nLeft, nBottom - 1, nRight - nLeft, 1, crColor);
    pDC->FillSolidRect(nLeft, nTop, 1, nBottom - nTop, crColor);
    pDC->FillSolidRect(nRight, nTop, 1, nBottom - nTop, crColor);
}

bool FillPolygonArrow(CDC* pDC, POINT pt0, POINT pt1, POINT pt2, COLORREF crFill, COLORREF crOutline) {
    const POINT points[] = {pt0, pt1, pt2};
    CRgn region;
    if (!pDC || !region.CreatePolygonRgn(points, 3, ALTERNATE)) {
        return false;
    }
    CBrush brush(crFill);
    pDC->FillRgn(&region, &brush);
    CPen pen(PS_SOLID, 1, crOutline);
    CPen* pOldPen = pDC->SelectObject(&pen);
    pDC->MoveTo(pt0);
    pDC->LineTo(pt1);
    pDC->MoveTo(pt2);
    pDC->LineTo(pt0);
    pDC->SelectObject(pOldPen);
    return true;
}

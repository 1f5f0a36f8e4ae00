#include "controls/SkinnedControl.h"

#include "services/DrawingRoutines.h"

namespace {

constexpr int kDefaultFontWeight = 400;

} // namespace

void PaintBuffered(CWnd* pWnd, std::optional<COLORREF> crFill, const BufferedDraw& draw) {
    CPaintDC dcPaint(pWnd);
    CRect rcClient;
    pWnd->GetClientRect(&rcClient);
    if (rcClient.IsRectEmpty()) {
        return;
    }
    CMemDC memDC(dcPaint, rcClient);
    CDC& dc = memDC.GetDC();
    dc.SetBkMode(TRANSPARENT);
    if (crFill) {
        dc.FillSolidRect(&rcClient, *crFill);
    }
    draw(dc, rcClient);
}

void PaintSkinned(CWnd* pWnd, std::optional<COLORREF> crFill, const SkinnedDraw& draw) {
    PaintBuffered(pWnd, crFill, [&draw](CDC& dc, const CRect& rcClient) {
        Gdiplus::Graphics graphics(dc.GetSafeHdc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        draw(dc, graphics, rcClient);
    });
}

BOOL CreateSkinnedFont(CFont& font, int nSize, int nWeight) {
    return font.CreateFont(-ScaleByMonitorDpiX(nSize), 0, 0, 0, nWeight > 0 ? nWeight : kDefaultFontWeight,
                           FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
}

void DeleteBitmap(Gdiplus::Bitmap** ppBitmap) {
    delete *ppBitmap;
    *ppBitmap = nullptr;
}

void LoadPngOrClear(int nImageId, Gdiplus::Bitmap** ppBitmap) {
    if (nImageId < 1) {
        DeleteBitmap(ppBitmap);
    } else {
        LoadPngFromResource(nImageId, ppBitmap);
    }
}

void SizeToClientHeight(CWnd* pWnd) {
    if (!pWnd || !pWnd->m_hWnd) {
        return;
    }
    CRect rcClient;
    pWnd->GetClientRect(&rcClient);
    // MoveWindow places a child in its parent's client coordinates.
    CRect rcPlace;
    pWnd->GetWindowRect(&rcPlace);
    ::MapWindowPoints(nullptr, ::GetAncestor(pWnd->m_hWnd, GA_PARENT), reinterpret_cast<LPPOINT>(&rcPlace),
                      2);
    pWnd->MoveWindow(rcPlace.left, rcPlace.top, rcClient.Height(), rcClient.Height(), TRUE);
}

HCURSOR SetClassCursor(CWnd* pWnd, LPCWSTR pszCursorId) {
    const HCURSOR hCursor = ::LoadCursorW(nullptr, pszCursorId);
    // Cursor handles fit in 32 bits, as GCL_HCURSOR expects.
    ::SetClassLongW(pWnd->m_hWnd, GCL_HCURSOR, static_cast<LONG>(reinterpret_cast<LONG_PTR>(hCursor)));
    return hCursor;
}

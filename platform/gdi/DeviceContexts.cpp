// Device contexts: memory DCs, selection of objects, colours and modes, BitBlt.
#include <algorithm>
#include <utility>

#include "platform/gdi/Raster.h"
#include "platform/gdi/Surface.h"

namespace {

using namespace platform::gdi;

CDeviceContext* NewDeviceContext() {
    CDeviceContext* dc = CGdiTable::Instance().NewDC();
    SelectInto(dc->m_pBrush, StockBrush(WHITE_BRUSH));
    SelectInto(dc->m_pPen, StockPen(BLACK_PEN));
    SelectInto(dc->m_pFont, StockFont(SYSTEM_FONT));
    return dc;
}

HGDIOBJ SelectBitmap(CDeviceContext& dc, CBitmapObject* bitmap) {
    // A bitmap is drawn on by one memory DC at a time; window DCs have no bitmap to replace.
    const bool bInUseElsewhere = !bitmap->IsStock() && bitmap->m_nSelections > 0 && dc.m_pBitmap != bitmap;
    if (dc.m_pExternalSurface || bInUseElsewhere) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HGDIOBJ previous = dc.m_pBitmap->Handle();
    SelectInto(dc.m_pBitmap, bitmap);
    return previous;
}

template <typename T> HGDIOBJ Swap(T*& slot, T* object) {
    HGDIOBJ previous = slot->Handle();
    SelectInto(slot, object);
    return previous;
}

// The part of the source rectangle that both surfaces hold, as destination and source corners.
bool ClipBlit(const CDeviceContext& src, RECT& destRect, POINT& srcCorner) {
    const RECT srcClip = src.Clip();
    const POINT srcOrigin = src.Origin();
    const LONG srcLeft = srcCorner.x + srcOrigin.x;
    const LONG srcTop = srcCorner.y + srcOrigin.y;
    const LONG dx = std::max<LONG>(0, srcClip.left - srcLeft);
    const LONG dy = std::max<LONG>(0, srcClip.top - srcTop);
    destRect.left += dx;
    destRect.top += dy;
    srcCorner.x += dx;
    srcCorner.y += dy;
    destRect.right =
        std::min<LONG>(destRect.right, destRect.left + (srcClip.right - (srcCorner.x + srcOrigin.x)));
    destRect.bottom =
        std::min<LONG>(destRect.bottom, destRect.top + (srcClip.bottom - (srcCorner.y + srcOrigin.y)));
    return destRect.right > destRect.left && destRect.bottom > destRect.top;
}

// The rectangle less the excluded ones, as rectangles that do not overlap.
std::vector<RECT> ClipPiecesOf(const RECT& clip, const std::vector<RECT>& excluded) {
    std::vector<RECT> pieces;
    if (clip.right <= clip.left || clip.bottom <= clip.top) {
        return pieces;
    }
    const cairo_rectangle_int_t whole{clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top};
    cairo_region_t* region = cairo_region_create_rectangle(&whole);
    for (const RECT& rect : excluded) {
        if (rect.right > rect.left && rect.bottom > rect.top) {
            const cairo_rectangle_int_t hole{rect.left, rect.top, rect.right - rect.left,
                                             rect.bottom - rect.top};
            cairo_region_subtract_rectangle(region, &hole);
        }
    }
    for (int i = 0; i < cairo_region_num_rectangles(region); ++i) {
        cairo_rectangle_int_t piece;
        cairo_region_get_rectangle(region, i, &piece);
        pieces.push_back(RECT{piece.x, piece.y, piece.x + piece.width, piece.y + piece.height});
    }
    cairo_region_destroy(region);
    return pieces;
}

} // namespace

HDC CreateCompatibleDC(HDC hdc) {
    const auto lock = LockGdi();
    if (hdc && !FindDCOrFail(hdc)) {
        return nullptr;
    }
    CDeviceContext* dc = NewDeviceContext();
    SelectInto(dc->m_pBitmap, DefaultBitmap());
    return dc->Handle();
}

BOOL DeleteDC(HDC hdc) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return FALSE;
    }
    SelectInto(dc->m_pBitmap, static_cast<CBitmapObject*>(nullptr));
    SelectInto(dc->m_pBrush, static_cast<CBrushObject*>(nullptr));
    SelectInto(dc->m_pPen, static_cast<CPenObject*>(nullptr));
    SelectInto(dc->m_pFont, static_cast<CFontObject*>(nullptr));
    CGdiTable::Instance().EraseDC(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    CGdiObject* object = CGdiTable::Instance().Find(h);
    if (!dc || !object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    switch (object->Kind()) {
    case ObjectKind::Bitmap:
        return SelectBitmap(*dc, static_cast<CBitmapObject*>(object));
    case ObjectKind::Brush:
        return Swap(dc->m_pBrush, static_cast<CBrushObject*>(object));
    case ObjectKind::Pen:
        return Swap(dc->m_pPen, static_cast<CPenObject*>(object));
    case ObjectKind::Font:
        return Swap(dc->m_pFont, static_cast<CFontObject*>(object));
    case ObjectKind::Region:
        break;
    }
    // Clipping regions are not supported.
    SetLastError(ERROR_NOT_SUPPORTED);
    return HGDI_ERROR;
}

int SetBkMode(HDC hdc, int mode) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return 0;
    }
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return std::exchange(dc->m_nBkMode, mode);
}

int GetBkMode(HDC hdc) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = FindDCOrFail(hdc);
    return dc ? dc->m_nBkMode : 0;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    return dc ? std::exchange(dc->m_bkColor, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetBkColor(HDC hdc) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = FindDCOrFail(hdc);
    return dc ? dc->m_bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    return dc ? std::exchange(dc->m_textColor, color & 0xFFFFFF) : CLR_INVALID;
}

COLORREF GetTextColor(HDC hdc) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = FindDCOrFail(hdc);
    return dc ? dc->m_textColor : CLR_INVALID;
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    const auto lock = LockGdi();
    CDeviceContext* dest = FindDCOrFail(hdc);
    CDeviceContext* src = FindDCOrFail(hdcSrc);
    if (!dest || !src) {
        return FALSE;
    }
    if (rop != SRCCOPY || cx < 0 || cy < 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    RECT destRect{x, y, x + cx, y + cy};
    POINT srcCorner{x1, y1};
    if (!ClipBlit(*src, destRect, srcCorner)) {
        return TRUE;
    }
    cairo_surface_flush(src->Surface());
    const CairoPtr cr = CairoFor(*dest);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), src->Surface(), destRect.left - srcCorner.x - src->Origin().x,
                             destRect.top - srcCorner.y - src->Origin().y);
    cairo_rectangle(cr.get(), destRect.left, destRect.top, destRect.right - destRect.left,
                    destRect.bottom - destRect.top);
    cairo_fill(cr.get());
    return TRUE;
}

namespace platform::gdi {

HDC CreateSurfaceDC(cairo_surface_t* surface, POINT origin, RECT clip, const std::vector<RECT>& excluded) {
    const auto lock = LockGdi();
    CDeviceContext* dc = NewDeviceContext();
    dc->m_pExternalSurface = surface;
    dc->m_origin = origin;
    const RECT bounds{0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface)};
    dc->m_externalClip = RECT{std::max(clip.left, bounds.left), std::max(clip.top, bounds.top),
                              std::min(clip.right, bounds.right), std::min(clip.bottom, bounds.bottom)};
    dc->m_clipPieces = ClipPiecesOf(dc->m_externalClip, excluded);
    return dc->Handle();
}

cairo_surface_t* SurfaceOf(HDC hdc) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = CGdiTable::Instance().FindDC(hdc);
    return dc ? dc->Surface() : nullptr;
}

COLORREF PixelAt(HDC hdc, int x, int y) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = CGdiTable::Instance().FindDC(hdc);
    if (!dc) {
        return CLR_INVALID;
    }
    const int sx = x + dc->Origin().x;
    const int sy = y + dc->Origin().y;
    if (!dc->MayDrawAt(sx, sy)) {
        return CLR_INVALID;
    }
    const std::uint32_t argb = SurfacePixel(dc->Surface(), sx, sy);
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

bool WriteSurfacePng(HDC hdc, const std::filesystem::path& file) {
    cairo_surface_t* surface = SurfaceOf(hdc);
    const auto lock = LockGdi();
    return surface && cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace platform::gdi

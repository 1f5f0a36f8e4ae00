// GDI objects: stock objects, bitmaps, brushes, pens, fonts and regions; their descriptions and deletion.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/gdi/GdiState.h"

namespace {

using namespace platform::gdi;

// Bitmaps larger than this many pixels are refused, as memory would be.
constexpr long long kMaxBitmapPixels = 16384LL * 16384LL;
constexpr int kMaxBitmapSide = 32767;

template <typename T> int CopyDescription(const T& description, int c, LPVOID pv) {
    if (!pv) {
        return sizeof(T);
    }
    if (c <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const int size = std::min(c, static_cast<int>(sizeof(T)));
    std::memcpy(pv, &description, static_cast<size_t>(size));
    return size;
}

int DescribeObject(const CGdiObject& object, int c, LPVOID pv) {
    switch (object.Kind()) {
    case ObjectKind::Bitmap: {
        const auto& bitmap = static_cast<const CBitmapObject&>(object);
        const BITMAP description{0, bitmap.Width(), bitmap.Height(), bitmap.Width() * 4, 1, 32, nullptr};
        return CopyDescription(description, c, pv);
    }
    case ObjectKind::Brush: {
        const auto& brush = static_cast<const CBrushObject&>(object);
        const LOGBRUSH description{brush.m_bNull ? static_cast<UINT>(BS_NULL) : static_cast<UINT>(BS_SOLID),
                                   brush.m_color, 0};
        return CopyDescription(description, c, pv);
    }
    case ObjectKind::Pen: {
        const auto& pen = static_cast<const CPenObject&>(object);
        const LOGPEN description{static_cast<UINT>(pen.m_nStyle), POINT{pen.m_nWidth, 0}, pen.m_color};
        return CopyDescription(description, c, pv);
    }
    case ObjectKind::Font:
        return CopyDescription(static_cast<const CFontObject&>(object).m_logFont, c, pv);
    case ObjectKind::Region:
        break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

HRGN InsertRegion(CRegionObject::Shape shape) {
    auto region = std::make_unique<CRegionObject>();
    region->m_shapes.push_back(std::move(shape));
    return static_cast<HRGN>(CGdiTable::Instance().Insert(std::move(region)));
}

} // namespace

HGDIOBJ GetStockObject(int i) {
    const auto lock = LockGdi();
    if (CBrushObject* brush = StockBrush(i)) {
        return brush->Handle();
    }
    if (CPenObject* pen = StockPen(i)) {
        return pen->Handle();
    }
    if (CFontObject* font = StockFont(i)) {
        return font->Handle();
    }
    return nullptr;
}

int GetObjectW(HGDIOBJ h, int c, LPVOID pv) {
    const auto lock = LockGdi();
    const CGdiObject* object = CGdiTable::Instance().Find(h);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return DescribeObject(*object, c, pv);
}

BOOL DeleteObject(HGDIOBJ ho) {
    const auto lock = LockGdi();
    CGdiObject* object = CGdiTable::Instance().Find(ho);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->IsStock()) {
        return TRUE;
    }
    if (object->m_nSelections > 0) {
        return FALSE;
    }
    CGdiTable::Instance().Erase(ho);
    return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    const auto lock = LockGdi();
    if (!FindDCOrFail(hdc)) {
        return nullptr;
    }
    if (cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    cx = std::max(cx, 1);
    cy = std::max(cy, 1);
    if (cx > kMaxBitmapSide || cy > kMaxBitmapSide || static_cast<long long>(cx) * cy > kMaxBitmapPixels) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto bitmap = std::make_unique<CBitmapObject>(cx, cy);
    if (cairo_surface_status(bitmap->Surface()) != CAIRO_STATUS_SUCCESS) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return static_cast<HBITMAP>(CGdiTable::Instance().Insert(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    const auto lock = LockGdi();
    return static_cast<HBRUSH>(
        CGdiTable::Instance().Insert(std::make_unique<CBrushObject>(false, color & 0xFFFFFF)));
}

HPEN CreatePen(int iStyle, int cWidth, COLORREF color) {
    if (iStyle < PS_SOLID || iStyle > PS_NULL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int width = std::max(cWidth, 1);
    // Dashes and dots exist for one-pixel pens only; wider ones are solid.
    const int style = (width > 1 && iStyle != PS_NULL) ? PS_SOLID : iStyle;
    const auto lock = LockGdi();
    return static_cast<HPEN>(
        CGdiTable::Instance().Insert(std::make_unique<CPenObject>(style, width, color & 0xFFFFFF)));
}

HRGN CreatePolygonRgn(const POINT* pptl, int cPoint, int iMode) {
    if (!pptl || cPoint < 2 || (iMode != ALTERNATE && iMode != WINDING)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    CRegionObject::Shape shape{CRegionObject::Shape::Type::Polygon, std::vector<POINT>(pptl, pptl + cPoint),
                               iMode};
    const auto lock = LockGdi();
    return InsertRegion(std::move(shape));
}

HRGN CreateEllipticRgn(int x1, int y1, int x2, int y2) {
    CRegionObject::Shape shape{
        CRegionObject::Shape::Type::Ellipse, {POINT{x1, y1}, POINT{x2, y2}}, ALTERNATE};
    const auto lock = LockGdi();
    return InsertRegion(std::move(shape));
}

HRGN CreateRectRgn(int x1, int y1, int x2, int y2) {
    CRegionObject::Shape shape{CRegionObject::Shape::Type::Polygon,
                               {POINT{x1, y1}, POINT{x2, y1}, POINT{x2, y2}, POINT{x1, y2}},
                               ALTERNATE};
    const auto lock = LockGdi();
    return InsertRegion(std::move(shape));
}

BOOL PtInRegion(HRGN hrgn, int x, int y) {
    const auto lock = LockGdi();
    const auto* region = CGdiTable::Instance().Find<CRegionObject>(hrgn, ObjectKind::Region);
    if (!region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return region->Contains(x, y) ? TRUE : FALSE;
}

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
    if (!lplf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LOGFONTW logFont = *lplf;
    logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
    const auto lock = LockGdi();
    return static_cast<HFONT>(CGdiTable::Instance().Insert(std::make_unique<CFontObject>(logFont)));
}

HFONT CreateFontW(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight, DWORD bItalic,
                  DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet, DWORD iOutPrecision,
                  DWORD iClipPrecision, DWORD iQuality, DWORD iPitchAndFamily, LPCWSTR pszFaceName) {
    LOGFONTW logFont{};
    logFont.lfHeight = cHeight;
    logFont.lfWidth = cWidth;
    logFont.lfEscapement = cEscapement;
    logFont.lfOrientation = cOrientation;
    logFont.lfWeight = cWeight;
    logFont.lfItalic = static_cast<BYTE>(bItalic != 0);
    logFont.lfUnderline = static_cast<BYTE>(bUnderline != 0);
    logFont.lfStrikeOut = static_cast<BYTE>(bStrikeOut != 0);
    logFont.lfCharSet = static_cast<BYTE>(iCharSet);
    logFont.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
    logFont.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
    logFont.lfQuality = static_cast<BYTE>(iQuality);
    logFont.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
    if (pszFaceName) {
        std::wcsncpy(logFont.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    }
    return CreateFontIndirectW(&logFont);
}

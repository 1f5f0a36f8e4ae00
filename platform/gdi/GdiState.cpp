#include "platform/gdi/GdiState.h"

#include <algorithm>
#include <cwchar>

namespace platform::gdi {

namespace {

// Handle values step by 4 from here and only wrap around at the limit, so a deleted value is not handed
// out again at once.
constexpr uintptr_t kFirstValue = 0x10000;
constexpr uintptr_t kStep = 4;
constexpr uintptr_t kLastValue = 0x3FFFFFFC;

bool InsidePolygon(const std::vector<POINT>& points, int fillMode, double x, double y) {
    int winding = 0;
    int crossings = 0;
    const size_t count = points.size();
    for (size_t i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        if ((a.y <= y) == (b.y <= y)) {
            continue;
        }
        const double crossX = a.x + (y - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y);
        if (crossX > x) {
            ++crossings;
            winding += b.y > a.y ? 1 : -1;
        }
    }
    return fillMode == WINDING ? winding != 0 : (crossings % 2) == 1;
}

bool InsideEllipse(const std::vector<POINT>& box, double x, double y) {
    const double left = std::min(box[0].x, box[1].x);
    const double right = std::max(box[0].x, box[1].x);
    const double top = std::min(box[0].y, box[1].y);
    const double bottom = std::max(box[0].y, box[1].y);
    const double rx = (right - left) / 2.0;
    const double ry = (bottom - top) / 2.0;
    if (rx <= 0 || ry <= 0) {
        return false;
    }
    const double dx = (x - (left + rx)) / rx;
    const double dy = (y - (top + ry)) / ry;
    return dx * dx + dy * dy < 1.0;
}

LOGFONTW MakeLogFont(LONG height, LONG weight, const wchar_t* face) {
    LOGFONTW logFont{};
    logFont.lfHeight = height;
    logFont.lfWeight = weight;
    logFont.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(logFont.lfFaceName, face, LF_FACESIZE - 1);
    return logFont;
}

} // namespace

std::unique_lock<std::mutex> LockGdi() {
    static std::mutex gdiLock;
    return std::unique_lock(gdiLock);
}

CBitmapObject::CBitmapObject(int width, int height)
    : CGdiObject(ObjectKind::Bitmap),
      m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), m_nWidth(width),
      m_nHeight(height) {
    // A new bitmap is opaque black.
    cairo_t* cr = cairo_create(m_surface.get());
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
}

bool CRegionObject::Contains(int x, int y) const {
    const double cx = x + 0.5;
    const double cy = y + 0.5;
    return std::any_of(m_shapes.begin(), m_shapes.end(), [&](const Shape& shape) {
        return shape.type == Shape::Type::Polygon ? InsidePolygon(shape.points, shape.fillMode, cx, cy)
                                                  : InsideEllipse(shape.points, cx, cy);
    });
}

cairo_surface_t* CDeviceContext::Surface() const {
    return m_pExternalSurface ? m_pExternalSurface : m_pBitmap->Surface();
}

RECT CDeviceContext::Clip() const {
    if (m_pExternalSurface) {
        return m_externalClip;
    }
    return RECT{0, 0, m_pBitmap->Width(), m_pBitmap->Height()};
}

const std::vector<RECT>& CDeviceContext::ClipPieces() const {
    if (m_pExternalSurface) {
        return m_clipPieces;
    }
    m_bitmapPiece.assign(1, Clip());
    return m_bitmapPiece;
}

bool CDeviceContext::MayDrawAt(int surfaceX, int surfaceY) const {
    const std::vector<RECT>& pieces = ClipPieces();
    return std::any_of(pieces.begin(), pieces.end(), [&](const RECT& piece) {
        return surfaceX >= piece.left && surfaceX < piece.right && surfaceY >= piece.top &&
               surfaceY < piece.bottom;
    });
}

CGdiTable& CGdiTable::Instance() {
    static CGdiTable table;
    return table;
}

uintptr_t CGdiTable::NextValue() {
    do {
        m_last = (m_last == 0 || m_last >= kLastValue) ? kFirstValue : m_last + kStep;
    } while (m_objects.contains(m_last) || m_dcs.contains(m_last));
    return m_last;
}

HGDIOBJ CGdiTable::Insert(std::unique_ptr<CGdiObject> object) {
    const uintptr_t value = NextValue();
    object->m_handle = reinterpret_cast<HGDIOBJ>(value);
    m_objects.emplace(value, std::move(object));
    return reinterpret_cast<HGDIOBJ>(value);
}

HGDIOBJ CGdiTable::InsertStock(std::unique_ptr<CGdiObject> object) {
    object->m_bStock = true;
    return Insert(std::move(object));
}

CGdiObject* CGdiTable::Find(HGDIOBJ handle) const {
    const auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
    return found == m_objects.end() ? nullptr : found->second.get();
}

void CGdiTable::Erase(HGDIOBJ handle) {
    m_objects.erase(reinterpret_cast<uintptr_t>(handle));
}

CDeviceContext* CGdiTable::NewDC() {
    const uintptr_t value = NextValue();
    auto dc = std::make_unique<CDeviceContext>();
    dc->m_handle = reinterpret_cast<HDC>(value);
    CDeviceContext* result = dc.get();
    m_dcs.emplace(value, std::move(dc));
    return result;
}

CDeviceContext* CGdiTable::FindDC(HDC handle) const {
    const auto found = m_dcs.find(reinterpret_cast<uintptr_t>(handle));
    return found == m_dcs.end() ? nullptr : found->second.get();
}

void CGdiTable::EraseDC(HDC handle) {
    m_dcs.erase(reinterpret_cast<uintptr_t>(handle));
}

CDeviceContext* FindDCOrFail(HDC hdc) {
    CDeviceContext* dc = CGdiTable::Instance().FindDC(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return dc;
}

namespace {

template <typename T> T* MakeStock(std::unique_ptr<T> object) {
    T* result = object.get();
    CGdiTable::Instance().InsertStock(std::move(object));
    return result;
}

} // namespace

CBrushObject* StockBrush(int index) {
    static CBrushObject* const brushes[] = {
        MakeStock(std::make_unique<CBrushObject>(false, RGB(255, 255, 255))),
        MakeStock(std::make_unique<CBrushObject>(false, RGB(192, 192, 192))),
        MakeStock(std::make_unique<CBrushObject>(false, RGB(128, 128, 128))),
        MakeStock(std::make_unique<CBrushObject>(false, RGB(64, 64, 64))),
        MakeStock(std::make_unique<CBrushObject>(false, RGB(0, 0, 0))),
        MakeStock(std::make_unique<CBrushObject>(true, RGB(0, 0, 0))),
    };
    return index >= WHITE_BRUSH && index <= NULL_BRUSH ? brushes[index] : nullptr;
}

CPenObject* StockPen(int index) {
    static CPenObject* const pens[] = {
        MakeStock(std::make_unique<CPenObject>(PS_SOLID, 1, RGB(255, 255, 255))),
        MakeStock(std::make_unique<CPenObject>(PS_SOLID, 1, RGB(0, 0, 0))),
        MakeStock(std::make_unique<CPenObject>(PS_NULL, 1, RGB(0, 0, 0))),
    };
    return index >= WHITE_PEN && index <= NULL_PEN ? pens[index - WHITE_PEN] : nullptr;
}

CFontObject* StockFont(int index) {
    static CFontObject* const systemFont =
        MakeStock(std::make_unique<CFontObject>(MakeLogFont(16, FW_BOLD, L"System")));
    static CFontObject* const guiFont =
        MakeStock(std::make_unique<CFontObject>(MakeLogFont(-11, FW_NORMAL, L"MS Shell Dlg")));
    switch (index) {
    case SYSTEM_FONT:
        return systemFont;
    case DEFAULT_GUI_FONT:
        return guiFont;
    default:
        return nullptr;
    }
}

CBitmapObject* DefaultBitmap() {
    static CBitmapObject* const bitmap = MakeStock(std::make_unique<CBitmapObject>(1, 1));
    return bitmap;
}

} // namespace platform::gdi

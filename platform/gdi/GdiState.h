// The GDI objects and device contexts behind the handles, in one table guarded by one lock. Every
// function of the area takes the lock at its entry; the helpers here expect it held.
#pragma once

#include <cairo.h>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/gdi.h"

namespace platform::gdi {

std::unique_lock<std::mutex> LockGdi();

struct CSurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, CSurfaceDeleter>;

enum class ObjectKind { Bitmap, Brush, Pen, Font, Region };

class CGdiObject {
public:
    explicit CGdiObject(ObjectKind kind) : m_kind(kind) {}
    virtual ~CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    ObjectKind Kind() const { return m_kind; }
    HGDIOBJ Handle() const { return m_handle; }
    bool IsStock() const { return m_bStock; }
    // How many device contexts have it selected; a selected object cannot be deleted.
    int m_nSelections = 0;

private:
    friend class CGdiTable;
    ObjectKind m_kind;
    HGDIOBJ m_handle = nullptr;
    bool m_bStock = false;
};

// A 32-bit bitmap: a Cairo ARGB32 image surface whose pixels GDI writes opaque.
class CBitmapObject : public CGdiObject {
public:
    CBitmapObject(int width, int height);
    cairo_surface_t* Surface() const { return m_surface.get(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

private:
    SurfacePtr m_surface;
    int m_nWidth;
    int m_nHeight;
};

class CBrushObject : public CGdiObject {
public:
    CBrushObject(bool bNull, COLORREF color)
        : CGdiObject(ObjectKind::Brush), m_bNull(bNull), m_color(color) {}
    bool m_bNull;
    COLORREF m_color;
};

class CPenObject : public CGdiObject {
public:
    CPenObject(int style, int width, COLORREF color)
        : CGdiObject(ObjectKind::Pen), m_nStyle(style), m_nWidth(width), m_color(color) {}
    int m_nStyle;
    int m_nWidth;
    COLORREF m_color;
};

class CFontObject : public CGdiObject {
public:
    explicit CFontObject(const LOGFONTW& logFont) : CGdiObject(ObjectKind::Font), m_logFont(logFont) {}
    LOGFONTW m_logFont;
};

// A region as the union of polygons, ellipses and rectangles, each sampled at pixel centres.
class CRegionObject : public CGdiObject {
public:
    struct Shape {
        enum class Type { Polygon, Ellipse } type;
        std::vector<POINT> points; // the polygon, or the ellipse's box corners
        int fillMode = ALTERNATE;
    };
    CRegionObject() : CGdiObject(ObjectKind::Region) {}
    bool Contains(int x, int y) const;
    std::vector<Shape> m_shapes;
};

// A device context: the surface it draws on (a memory DC's selected bitmap, or a surface of the window
// system), its selected objects and its drawing state.
class CDeviceContext {
public:
    HDC Handle() const { return m_handle; }
    cairo_surface_t* Surface() const;
    // Where the DC's (0, 0) lies on the surface, and the bounds of what of the surface it may draw on.
    POINT Origin() const { return m_origin; }
    RECT Clip() const;
    // What of the surface it may draw on, as rectangles that do not overlap (surface pixels).
    const std::vector<RECT>& ClipPieces() const;
    bool MayDrawAt(int surfaceX, int surfaceY) const;

    CBitmapObject* m_pBitmap = nullptr;
    cairo_surface_t* m_pExternalSurface = nullptr;
    POINT m_origin{};
    RECT m_externalClip{};
    std::vector<RECT> m_clipPieces; // of an external surface; a memory DC draws on all of its bitmap
    CBrushObject* m_pBrush = nullptr;
    CPenObject* m_pPen = nullptr;
    CFontObject* m_pFont = nullptr;
    int m_nBkMode = OPAQUE;
    COLORREF m_bkColor = RGB(255, 255, 255);
    COLORREF m_textColor = RGB(0, 0, 0);
    POINT m_position{};
    // Where the pen's dash pattern stands; it restarts at each MoveToEx.
    int m_nDashPhase = 0;

private:
    friend class CGdiTable;
    HDC m_handle = nullptr;
    mutable std::vector<RECT> m_bitmapPiece;
};

// The process's GDI handles and what they stand for.
class CGdiTable {
public:
    static CGdiTable& Instance();

    HGDIOBJ Insert(std::unique_ptr<CGdiObject> object);
    HGDIOBJ InsertStock(std::unique_ptr<CGdiObject> object);
    CGdiObject* Find(HGDIOBJ handle) const;
    template <typename T> T* Find(HGDIOBJ handle, ObjectKind kind) const {
        CGdiObject* object = Find(handle);
        return object && object->Kind() == kind ? static_cast<T*>(object) : nullptr;
    }
    void Erase(HGDIOBJ handle);

    CDeviceContext* NewDC();
    CDeviceContext* FindDC(HDC handle) const;
    void EraseDC(HDC handle);

private:
    uintptr_t NextValue();

    uintptr_t m_last = 0;
    std::unordered_map<uintptr_t, std::unique_ptr<CGdiObject>> m_objects;
    std::unordered_map<uintptr_t, std::unique_ptr<CDeviceContext>> m_dcs;
};

// The DC of the handle, or null with ERROR_INVALID_HANDLE.
CDeviceContext* FindDCOrFail(HDC hdc);
// Selects an object into a DC's slot, keeping the selection counts.
template <typename T> void SelectInto(T*& slot, T* object) {
    if (slot) {
        --slot->m_nSelections;
    }
    slot = object;
    if (slot) {
        ++slot->m_nSelections;
    }
}
// The stock objects a new DC starts with.
CBrushObject* StockBrush(int index);
CPenObject* StockPen(int index);
CFontObject* StockFont(int index);
CBitmapObject* DefaultBitmap();

} // namespace platform::gdi

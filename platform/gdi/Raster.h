// Pixel-exact drawing on a DC's surface: opaque pixels written directly, and Cairo contexts in the DC's
// coordinates for what Cairo draws (text, regions). The GDI lock is held by the caller.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gdi/GdiState.h"

namespace platform::gdi {

// The ARGB32 pixel of an opaque colour, a (premultiplied) pixel as straight ARGB, and its colour.
std::uint32_t OpaquePixel(COLORREF color);
std::uint32_t StraightArgb(std::uint32_t pixel);
COLORREF ColorOfPixel(std::uint32_t pixel);
// The straight ARGB value of a pixel of an ARGB32 surface (which must hold the point).
std::uint32_t SurfacePixel(cairo_surface_t* surface, int x, int y);

// Writes opaque pixels on a DC's surface within its clip; the surface learns of them at the end.
class CPixelWriter {
public:
    explicit CPixelWriter(CDeviceContext& dc);
    ~CPixelWriter();
    CPixelWriter(const CPixelWriter&) = delete;
    CPixelWriter& operator=(const CPixelWriter&) = delete;

    void Put(int x, int y, COLORREF color);
    // The rectangle in DC coordinates, right and bottom edges excluded.
    void Fill(const RECT& rect, COLORREF color);

private:
    CDeviceContext& m_dc;
    cairo_surface_t* m_surface;
    std::uint32_t* m_pixels;
    int m_nStride;
};

struct CCairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using CairoPtr = std::unique_ptr<cairo_t, CCairoDeleter>;

// A Cairo context on the DC's surface in the DC's coordinates, clipped to what the DC may draw on.
CairoPtr CairoFor(CDeviceContext& dc);
void SetSourceColor(cairo_t* cr, COLORREF color);

} // namespace platform::gdi

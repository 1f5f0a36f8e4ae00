#include "platform/gdi/Raster.h"

#include <algorithm>

namespace platform::gdi {

std::uint32_t OpaquePixel(COLORREF color) {
    return 0xFF000000u | (static_cast<std::uint32_t>(GetRValue(color)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
}

std::uint32_t StraightArgb(std::uint32_t pixel) {
    const std::uint32_t alpha = pixel >> 24;
    if (alpha == 0) {
        return 0;
    }
    const auto channel = [&](int shift) {
        return std::min<std::uint32_t>(255, (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha) << shift;
    };
    return (alpha << 24) | channel(16) | channel(8) | channel(0);
}

COLORREF ColorOfPixel(std::uint32_t pixel) {
    const std::uint32_t argb = StraightArgb(pixel);
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

std::uint32_t SurfacePixel(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface) +
                               static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(surface);
    return StraightArgb(reinterpret_cast<const std::uint32_t*>(row)[x]);
}

CPixelWriter::CPixelWriter(CDeviceContext& dc)
    : m_dc(dc), m_surface(dc.Surface()), m_nStride(cairo_image_surface_get_stride(m_surface) / 4) {
    cairo_surface_flush(m_surface);
    m_pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(m_surface));
}

CPixelWriter::~CPixelWriter() {
    cairo_surface_mark_dirty(m_surface);
}

void CPixelWriter::Put(int x, int y, COLORREF color) {
    const int sx = x + m_dc.Origin().x;
    const int sy = y + m_dc.Origin().y;
    if (m_pixels && m_dc.MayDrawAt(sx, sy)) {
        m_pixels[static_cast<ptrdiff_t>(sy) * m_nStride + sx] = OpaquePixel(color);
    }
}

void CPixelWriter::Fill(const RECT& rect, COLORREF color) {
    if (!m_pixels) {
        return;
    }
    const POINT origin = m_dc.Origin();
    const std::uint32_t pixel = OpaquePixel(color);
    for (const RECT& piece : m_dc.ClipPieces()) {
        const LONG left = std::max(rect.left + origin.x, piece.left);
        const LONG right = std::min(rect.right + origin.x, piece.right);
        const LONG top = std::max(rect.top + origin.y, piece.top);
        const LONG bottom = std::min(rect.bottom + origin.y, piece.bottom);
        for (LONG y = top; left < right && y < bottom; ++y) {
            std::uint32_t* row = m_pixels + static_cast<ptrdiff_t>(y) * m_nStride;
            std::fill(row + left, row + right, pixel);
        }
    }
}

CairoPtr CairoFor(CDeviceContext& dc) {
    CairoPtr cr(cairo_create(dc.Surface()));
    for (const RECT& piece : dc.ClipPieces()) {
        cairo_rectangle(cr.get(), piece.left, piece.top, piece.right - piece.left, piece.bottom - piece.top);
    }
    cairo_clip(cr.get());
    cairo_translate(cr.get(), dc.Origin().x, dc.Origin().y);
    return cr;
}

void SetSourceColor(cairo_t* cr, COLORREF color) {
    cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
}

} // namespace platform::gdi

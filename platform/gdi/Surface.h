// The surfaces behind device contexts, for the window system (a DC over a window's surface) and for
// tests and the presenter (reading pixels, writing a PNG).
#pragma once

#include <cairo.h>

#include <filesystem>
#include <vector>

#include "platform/gdi.h"

namespace platform::gdi {

// A DC that draws on a surface the caller owns (and keeps alive until DeleteDC): its (0, 0) lies at
// origin on the surface, and it draws only inside clip, outside the excluded rectangles (surface pixels).
HDC CreateSurfaceDC(cairo_surface_t* surface, POINT origin, RECT clip,
                    const std::vector<RECT>& excluded = {});

// The surface a DC draws on now (a memory DC's selected bitmap); null for a bad handle.
cairo_surface_t* SurfaceOf(HDC hdc);
// The colour of a pixel in DC coordinates; CLR_INVALID outside the DC's surface.
COLORREF PixelAt(HDC hdc, int x, int y);
bool WriteSurfacePng(HDC hdc, const std::filesystem::path& file);

} // namespace platform::gdi

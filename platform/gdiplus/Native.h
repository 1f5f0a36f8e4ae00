// What the GDI+ objects hold, and the helpers they share. Drawing happens under the GDI lock.
#pragma once

#include <cairo.h>

#include <vector>

#include "platform/gdi/GdiState.h"
#include "platform/gdiplus.h"

namespace Gdiplus {

struct GpImage {
    platform::gdi::SurfacePtr surface;
};

struct GpBrush {
    enum class Kind { Solid, LinearGradient } kind = Kind::Solid;
    ARGB color1 = 0;
    ARGB color2 = 0;
    RectF rect;
    LinearGradientMode mode = LinearGradientModeHorizontal;
    WrapMode wrapMode = WrapModeTile;
};

struct GpPath {
    struct Figure {
        std::vector<PointF> points;
        bool closed = false;
    };
    FillMode fillMode = FillModeAlternate;
    std::vector<Figure> figures;
};

struct GpFont {
    LOGFONTW logFont;
    REAL size;
    INT style;
};

struct GpStringFormat {
    INT flags = 0;
    StringAlignment alignment = StringAlignmentNear;
    StringAlignment lineAlignment = StringAlignmentNear;
};

struct GpGraphics {
    HDC hdc = nullptr;
    SmoothingMode smoothingMode = SmoothingModeDefault;
};

// Whether GDI+ has been started (and not shut down for good).
bool IsGdiplusStarted();
// The status a new object starts with: Ok, or GdiplusNotInitialized before start-up.
inline Status StartStatus() {
    return IsGdiplusStarted() ? Ok : GdiplusNotInitialized;
}

// A Cairo source for the brush, in GDI+ coordinates. The caller destroys it.
cairo_pattern_t* PatternOf(const GpBrush& brush);

} // namespace Gdiplus

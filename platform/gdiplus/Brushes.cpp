// Solid and linear-gradient brushes, and the Cairo sources they give.
#include <utility>

#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

void AddStop(cairo_pattern_t* pattern, double offset, ARGB argb) {
    const Color color(argb);
    cairo_pattern_add_color_stop_rgba(pattern, offset, color.GetR() / 255.0, color.GetG() / 255.0,
                                      color.GetB() / 255.0, color.GetA() / 255.0);
}

cairo_pattern_t* GradientPattern(const GpBrush& brush) {
    const RectF& r = brush.rect;
    double x0 = r.X, y0 = r.Y, x1 = r.X + r.Width, y1 = r.Y;
    switch (brush.mode) {
    case LinearGradientModeVertical:
        x1 = r.X;
        y1 = r.Y + r.Height;
        break;
    case LinearGradientModeForwardDiagonal:
        y1 = r.Y + r.Height;
        break;
    case LinearGradientModeBackwardDiagonal:
        x0 = r.X + r.Width;
        x1 = r.X;
        y1 = r.Y + r.Height;
        break;
    case LinearGradientModeHorizontal:
        break;
    }
    cairo_pattern_t* pattern = cairo_pattern_create_linear(x0, y0, x1, y1);
    AddStop(pattern, 0.0, brush.color1);
    AddStop(pattern, 1.0, brush.color2);
    cairo_pattern_set_extend(pattern,
                             brush.wrapMode == WrapModeTile ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_REFLECT);
    return pattern;
}

Status MakeGradient(GpBrush*& native, const RectF& rect, const Color& color1, const Color& color2,
                    LinearGradientMode mode) {
    if (mode < LinearGradientModeHorizontal || mode > LinearGradientModeBackwardDiagonal) {
        return InvalidParameter;
    }
    if (rect.Width == 0 || rect.Height == 0) {
        return OutOfMemory;
    }
    native = new GpBrush{
        GpBrush::Kind::LinearGradient, color1.GetValue(), color2.GetValue(), rect, mode, WrapModeTile};
    return Ok;
}

} // namespace

cairo_pattern_t* PatternOf(const GpBrush& brush) {
    if (brush.kind == GpBrush::Kind::LinearGradient) {
        return GradientPattern(brush);
    }
    const Color color(brush.color1);
    return cairo_pattern_create_rgba(color.GetR() / 255.0, color.GetG() / 255.0, color.GetB() / 255.0,
                                     color.GetA() / 255.0);
}

Brush::~Brush() {
    delete nativeBrush;
}

Status Brush::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

SolidBrush::SolidBrush(const Color& color) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        nativeBrush = new GpBrush{GpBrush::Kind::Solid,         color.GetValue(), color.GetValue(), RectF(),
                                  LinearGradientModeHorizontal, WrapModeTile};
    }
}

Status SolidBrush::GetColor(Color* color) const {
    if (!nativeBrush || !color) {
        return lastResult = InvalidParameter;
    }
    *color = Color(nativeBrush->color1);
    return Ok;
}

Status SolidBrush::SetColor(const Color& color) {
    if (!nativeBrush) {
        return lastResult = InvalidParameter;
    }
    nativeBrush->color1 = nativeBrush->color2 = color.GetValue();
    return Ok;
}

LinearGradientBrush::LinearGradientBrush(const RectF& rect, const Color& color1, const Color& color2,
                                         LinearGradientMode mode) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        lastResult = MakeGradient(nativeBrush, rect, color1, color2, mode);
    }
}

LinearGradientBrush::LinearGradientBrush(const Rect& rect, const Color& color1, const Color& color2,
                                         LinearGradientMode mode)
    : LinearGradientBrush(RectF(static_cast<REAL>(rect.X), static_cast<REAL>(rect.Y),
                                static_cast<REAL>(rect.Width), static_cast<REAL>(rect.Height)),
                          color1, color2, mode) {}

Status LinearGradientBrush::SetWrapMode(WrapMode wrapMode) {
    if (!nativeBrush || wrapMode < WrapModeTile || wrapMode >= WrapModeClamp) {
        return lastResult = InvalidParameter;
    }
    nativeBrush->wrapMode = wrapMode;
    return Ok;
}

WrapMode LinearGradientBrush::GetWrapMode() const {
    return nativeBrush ? nativeBrush->wrapMode : WrapModeTile;
}

} // namespace Gdiplus

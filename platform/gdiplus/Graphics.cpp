// Graphics on a device context: images, fills of rectangles, ellipses and paths, and text.
#include <cmath>
#include <cwchar>
#include <numbers>
#include <utility>

#include "platform/gdi/Raster.h"
#include "platform/gdi/TextLayout.h"
#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

using platform::gdi::CairoPtr;

struct CPatternDeleter {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using PatternPtr = std::unique_ptr<cairo_pattern_t, CPatternDeleter>;

// How a step draws: shapes sit on GDI+'s pixel grid, whose pixel centres lie on whole coordinates,
// half a pixel from Cairo's; images and text are placed as given.
enum class Placement { Shape, AsGiven };

bool IsAntialiased(SmoothingMode mode) {
    return mode == SmoothingModeHighQuality || mode == SmoothingModeAntiAlias ||
           mode == SmoothingModeAntiAlias8x8;
}

// Runs a drawing step on the graphics' device context, under the GDI lock.
template <typename Draw> Status Paint(const GpGraphics* graphics, Placement placement, Draw draw) {
    if (!graphics) {
        return InvalidParameter;
    }
    const auto lock = platform::gdi::LockGdi();
    platform::gdi::CDeviceContext* dc = platform::gdi::CGdiTable::Instance().FindDC(graphics->hdc);
    if (!dc) {
        return InvalidParameter;
    }
    const CairoPtr cr = platform::gdi::CairoFor(*dc);
    if (placement == Placement::Shape) {
        cairo_translate(cr.get(), 0.5, 0.5);
        cairo_set_antialias(cr.get(), IsAntialiased(graphics->smoothingMode) ? CAIRO_ANTIALIAS_DEFAULT
                                                                             : CAIRO_ANTIALIAS_NONE);
    }
    draw(cr.get());
    return Ok;
}

void FillWith(cairo_t* cr, const GpBrush& brush) {
    const PatternPtr pattern(PatternOf(brush));
    cairo_set_source(cr, pattern.get());
    cairo_fill(cr);
}

void EllipsePath(cairo_t* cr, const RectF& rect) {
    cairo_save(cr);
    cairo_translate(cr, rect.X + rect.Width / 2.0, rect.Y + rect.Height / 2.0);
    cairo_scale(cr, rect.Width / 2.0, rect.Height / 2.0);
    cairo_arc(cr, 0, 0, 1, 0, 2 * std::numbers::pi);
    cairo_restore(cr);
}

void FiguresPath(cairo_t* cr, const GpPath& path) {
    for (const GpPath::Figure& figure : path.figures) {
        if (figure.points.size() < 2) {
            continue;
        }
        cairo_move_to(cr, figure.points.front().X, figure.points.front().Y);
        for (size_t i = 1; i < figure.points.size(); ++i) {
            cairo_line_to(cr, figure.points[i].X, figure.points[i].Y);
        }
        cairo_close_path(cr);
    }
    cairo_set_fill_rule(cr, path.fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING
                                                             : CAIRO_FILL_RULE_EVEN_ODD);
}

void StretchImage(cairo_t* cr, cairo_surface_t* image, const RectF& rect) {
    const double width = cairo_image_surface_get_width(image);
    const double height = cairo_image_surface_get_height(image);
    cairo_translate(cr, rect.X, rect.Y);
    cairo_scale(cr, rect.Width / width, rect.Height / height);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_t* source = cairo_get_source(cr);
    cairo_pattern_set_filter(source, CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(source, CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
}

RectF ToRectF(const Rect& rect) {
    return RectF(static_cast<REAL>(rect.X), static_cast<REAL>(rect.Y), static_cast<REAL>(rect.Width),
                 static_cast<REAL>(rect.Height));
}

// Where the laid-out text starts in the layout rectangle.
double AlignedStart(StringAlignment alignment, double origin, double extent, double size, double padding) {
    switch (alignment) {
    case StringAlignmentCenter:
        return origin + (extent - size) / 2.0;
    case StringAlignmentFar:
        return origin + extent - padding - size;
    default:
        return origin + padding;
    }
}

void LayOutAndShow(cairo_t* cr, std::wstring_view text, const GpFont& font, const RectF& rect,
                   const GpStringFormat& format, const GpBrush& brush) {
    const platform::gdi::CTextFont textFont(font.logFont);
    const double padding = textFont.EmSize() / 6.0;
    const platform::gdi::LayoutPtr layout = textFont.NewLayout(text);
    const bool bWrap = rect.Width > 0 && !(format.flags & StringFormatFlagsNoWrap);
    if (bWrap) {
        pango_layout_set_width(layout.get(),
                               static_cast<int>(std::max(0.0, rect.Width - 2 * padding) * PANGO_SCALE));
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        pango_layout_set_alignment(layout.get(), format.alignment == StringAlignmentCenter
                                                     ? PANGO_ALIGN_CENTER
                                                 : format.alignment == StringAlignmentFar ? PANGO_ALIGN_RIGHT
                                                                                          : PANGO_ALIGN_LEFT);
    }
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    const double x =
        bWrap ? rect.X + padding : AlignedStart(format.alignment, rect.X, rect.Width, logical.width, padding);
    const double y =
        rect.Height > 0 ? AlignedStart(format.lineAlignment, rect.Y, rect.Height, logical.height, 0) : rect.Y;
    if (rect.Width > 0 && rect.Height > 0 && !(format.flags & StringFormatFlagsNoClip)) {
        cairo_rectangle(cr, rect.X, rect.Y, rect.Width, rect.Height);
        cairo_clip(cr);
    }
    const PatternPtr pattern(PatternOf(brush));
    cairo_set_source(cr, pattern.get());
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
}

} // namespace

Graphics::Graphics(HDC hdc) {
    lastResult = StartStatus();
    if (lastResult != Ok) {
        return;
    }
    const auto lock = platform::gdi::LockGdi();
    if (!platform::gdi::CGdiTable::Instance().FindDC(hdc)) {
        lastResult = InvalidParameter;
        return;
    }
    nativeGraphics = new GpGraphics{hdc, SmoothingModeDefault};
}

Graphics* Graphics::FromHDC(HDC hdc) {
    return new Graphics(hdc);
}

Graphics::~Graphics() {
    delete nativeGraphics;
}

Status Graphics::SetStatus(Status status) const {
    if (status != Ok) {
        lastResult = status;
    }
    return status;
}

Status Graphics::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

Status Graphics::SetSmoothingMode(SmoothingMode smoothingMode) {
    if (!nativeGraphics || smoothingMode < SmoothingModeDefault ||
        smoothingMode > SmoothingModeAntiAlias8x8) {
        return SetStatus(InvalidParameter);
    }
    nativeGraphics->smoothingMode = smoothingMode;
    return Ok;
}

SmoothingMode Graphics::GetSmoothingMode() const {
    return nativeGraphics ? nativeGraphics->smoothingMode : SmoothingModeInvalid;
}

Status Graphics::DrawImage(Image* image, const RectF& rect) {
    if (!image || !image->nativeImage) {
        return SetStatus(InvalidParameter);
    }
    if (rect.Width <= 0 || rect.Height <= 0) {
        return Ok;
    }
    cairo_surface_t* surface = image->nativeImage->surface.get();
    return SetStatus(
        Paint(nativeGraphics, Placement::AsGiven, [&](cairo_t* cr) { StretchImage(cr, surface, rect); }));
}

Status Graphics::DrawImage(Image* image, const Rect& rect) {
    return DrawImage(image, ToRectF(rect));
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, Rect(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    return DrawImage(image, RectF(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
    if (!image) {
        return SetStatus(InvalidParameter);
    }
    return DrawImage(image,
                     Rect(x, y, static_cast<INT>(image->GetWidth()), static_cast<INT>(image->GetHeight())));
}

Status Graphics::FillRectangle(const Brush* brush, const RectF& rect) {
    if (!brush || !brush->nativeBrush) {
        return SetStatus(InvalidParameter);
    }
    return SetStatus(Paint(nativeGraphics, Placement::Shape, [&](cairo_t* cr) {
        cairo_rectangle(cr, rect.X, rect.Y, rect.Width, rect.Height);
        FillWith(cr, *brush->nativeBrush);
    }));
}

Status Graphics::FillRectangle(const Brush* brush, const Rect& rect) {
    return FillRectangle(brush, ToRectF(rect));
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillRectangle(brush, Rect(x, y, width, height));
}

Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    return FillRectangle(brush, RectF(x, y, width, height));
}

Status Graphics::FillEllipse(const Brush* brush, const RectF& rect) {
    if (!brush || !brush->nativeBrush) {
        return SetStatus(InvalidParameter);
    }
    if (rect.Width <= 0 || rect.Height <= 0) {
        return Ok;
    }
    return SetStatus(Paint(nativeGraphics, Placement::Shape, [&](cairo_t* cr) {
        EllipsePath(cr, rect);
        FillWith(cr, *brush->nativeBrush);
    }));
}

Status Graphics::FillEllipse(const Brush* brush, const Rect& rect) {
    return FillEllipse(brush, ToRectF(rect));
}

Status Graphics::FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height) {
    return FillEllipse(brush, Rect(x, y, width, height));
}

Status Graphics::FillEllipse(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    return FillEllipse(brush, RectF(x, y, width, height));
}

Status Graphics::FillPath(const Brush* brush, const GraphicsPath* path) {
    if (!brush || !brush->nativeBrush || !path || !path->nativePath) {
        return SetStatus(InvalidParameter);
    }
    return SetStatus(Paint(nativeGraphics, Placement::Shape, [&](cairo_t* cr) {
        FiguresPath(cr, *path->nativePath);
        FillWith(cr, *brush->nativeBrush);
    }));
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                            const StringFormat* stringFormat, const Brush* brush) {
    if (!string || length < -1 || !font || !font->nativeFont || !brush || !brush->nativeBrush ||
        (stringFormat && !stringFormat->nativeFormat)) {
        return SetStatus(InvalidParameter);
    }
    const std::wstring_view text(string, length < 0 ? std::wcslen(string) : static_cast<size_t>(length));
    if (text.empty()) {
        return Ok;
    }
    const GpStringFormat format = stringFormat ? *stringFormat->nativeFormat : GpStringFormat{};
    return SetStatus(Paint(nativeGraphics, Placement::AsGiven, [&](cairo_t* cr) {
        LayOutAndShow(cr, text, *font->nativeFont, layoutRect, format, *brush->nativeBrush);
    }));
}

} // namespace Gdiplus

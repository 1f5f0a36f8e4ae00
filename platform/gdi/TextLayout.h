// Text through Pango for GDI and GDI+: a LOGFONT resolved to a font, its metrics, measuring and drawing
// lines. The faces come from the fonts.conf shipped beside the layer's library (it maps "Segoe UI" and
// "MS Shell Dlg" to installed open fonts, with fallbacks for other scripts). The GDI lock is held.
#pragma once

#include <pango/pangocairo.h>

#include <memory>
#include <string_view>

#include "platform/gdi.h"

namespace platform::gdi {

struct CObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, CObjectUnref>;

struct FontMetrics {
    int ascent;
    int descent;
    int height;
    int aveCharWidth;
    int maxCharWidth;
};

class CTextFont {
public:
    explicit CTextFont(const LOGFONTW& logFont);
    ~CTextFont();
    CTextFont(const CTextFont&) = delete;
    CTextFont& operator=(const CTextFont&) = delete;

    const LOGFONTW& LogFont() const { return m_logFont; }
    // The em size in pixels.
    double EmSize() const { return m_dEmSize; }
    const FontMetrics& Metrics() const { return m_metrics; }
    int Width(std::wstring_view text) const;
    // A layout of the text in this font; the character at underlineIndex (if any) underlined.
    LayoutPtr NewLayout(std::wstring_view text, size_t underlineIndex = std::wstring_view::npos) const;
    // Draws one line with its top at (x, top), in the source of the Cairo context.
    void DrawLine(cairo_t* cr, std::wstring_view text, double x, double top,
                  size_t underlineIndex = std::wstring_view::npos) const;

private:
    LOGFONTW m_logFont;
    PangoFontDescription* m_description;
    double m_dEmSize;
    FontMetrics m_metrics{};
};

} // namespace platform::gdi

#include "platform/gdi/TextLayout.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>

#include "platform/internal.h"

namespace platform::gdi {

namespace {

// The cell height of a font asked for with height 0.
constexpr int kDefaultCellHeight = 16;
constexpr double kReferenceEm = 100.0;

FcConfig* LoadFontConfig() {
    const std::filesystem::path file = PlatformLibraryDirectory() / "fonts.conf";
    FcConfig* config = FcConfigCreate();
    if (std::filesystem::exists(file) &&
        FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(file.c_str()), FcTrue) &&
        FcConfigBuildFonts(config)) {
        return config;
    }
    FcConfigDestroy(config);
    return FcInitLoadConfigAndFonts();
}

// Releases the text context, with the font map and the fonts it caches, at exit.
struct CContextRelease {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};

PangoContext* SharedContext() {
    static const std::unique_ptr<PangoContext, CContextRelease> context([] {
        // The font map takes the process's current configuration: ours.
        FcConfig* config = LoadFontConfig();
        FcConfigSetCurrent(config);
        FcConfigDestroy(config);
        PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
        PangoContext* created = pango_font_map_create_context(fontMap);
        g_object_unref(fontMap);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
        pango_cairo_context_set_font_options(created, options);
        cairo_font_options_destroy(options);
        pango_cairo_context_set_resolution(created, 96.0);
        return created;
    }());
    return context.get();
}

std::wstring FaceOf(const LOGFONTW& logFont) {
    const std::wstring_view face(logFont.lfFaceName, wcsnlen(logFont.lfFaceName, LF_FACESIZE));
    return face.empty() ? std::wstring(L"MS Shell Dlg") : std::wstring(face);
}

PangoFontDescription* DescriptionOf(const LOGFONTW& logFont, double emSize) {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, ToUtf8(FaceOf(logFont)).c_str());
    const LONG weight = logFont.lfWeight <= 0 ? FW_NORMAL : std::clamp<LONG>(logFont.lfWeight, 100, 1000);
    pango_font_description_set_weight(description, static_cast<PangoWeight>(weight));
    pango_font_description_set_style(description, logFont.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_font_description_set_absolute_size(description, emSize * PANGO_SCALE);
    return description;
}

struct RawMetrics {
    int ascent;
    int descent;
    int approximateWidth;
};

// The metrics of the font the description resolves to (its first font, the face of the text's script).
RawMetrics RawMetricsOf(PangoFontDescription* description) {
    PangoFont* font = pango_context_load_font(SharedContext(), description);
    if (!font) {
        return RawMetrics{};
    }
    PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
    const RawMetrics raw{pango_font_metrics_get_ascent(metrics), pango_font_metrics_get_descent(metrics),
                         pango_font_metrics_get_approximate_char_width(metrics)};
    pango_font_metrics_unref(metrics);
    g_object_unref(font);
    return raw;
}

// A positive height is the cell (ascent + descent); the em follows from the face's proportions.
double EmSizeOf(const LOGFONTW& logFont) {
    if (logFont.lfHeight < 0) {
        return -static_cast<double>(logFont.lfHeight);
    }
    const double cell = logFont.lfHeight == 0 ? kDefaultCellHeight : logFont.lfHeight;
    PangoFontDescription* reference = DescriptionOf(logFont, kReferenceEm);
    const RawMetrics raw = RawMetricsOf(reference);
    pango_font_description_free(reference);
    const double referenceCell = static_cast<double>(raw.ascent + raw.descent) / PANGO_SCALE;
    return referenceCell > 0 ? cell * kReferenceEm / referenceCell : cell;
}

// Byte offset in the UTF-8 form of the text of the character at index.
int Utf8Offset(std::wstring_view text, size_t index) {
    return static_cast<int>(ToUtf8(text.substr(0, std::min(index, text.size()))).size());
}

} // namespace

CTextFont::CTextFont(const LOGFONTW& logFont) : m_logFont(logFont), m_dEmSize(EmSizeOf(logFont)) {
    m_description = DescriptionOf(logFont, m_dEmSize);
    const RawMetrics raw = RawMetricsOf(m_description);
    m_metrics.ascent = PANGO_PIXELS(raw.ascent);
    // A font asked for by its cell has that cell, whatever the hinted sizes round to.
    m_metrics.height = logFont.lfHeight > 0 ? logFont.lfHeight : PANGO_PIXELS(raw.ascent + raw.descent);
    m_metrics.descent = m_metrics.height - m_metrics.ascent;
    m_metrics.aveCharWidth = PANGO_PIXELS(raw.approximateWidth);
    m_metrics.maxCharWidth = Width(L"W");
}

CTextFont::~CTextFont() {
    pango_font_description_free(m_description);
}

LayoutPtr CTextFont::NewLayout(std::wstring_view text, size_t underlineIndex) const {
    LayoutPtr layout(pango_layout_new(SharedContext()));
    // Each paragraph takes its reading order from its first strong character (the context's weak
    // left-to-right base), while alignment stays where the caller puts it: GDI and GDI+ keep a left
    // alignment on the left for right-to-left text unless asked for right-to-left reading.
    pango_layout_set_auto_dir(layout.get(), FALSE);
    pango_layout_set_font_description(layout.get(), m_description);
    const std::string utf8 = ToUtf8(text);
    pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
    PangoAttrList* attributes = pango_attr_list_new();
    if (m_logFont.lfUnderline) {
        pango_attr_list_insert(attributes, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    }
    if (m_logFont.lfStrikeOut) {
        pango_attr_list_insert(attributes, pango_attr_strikethrough_new(TRUE));
    }
    if (underlineIndex < text.size()) {
        PangoAttribute* underline = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
        underline->start_index = static_cast<guint>(Utf8Offset(text, underlineIndex));
        underline->end_index = static_cast<guint>(Utf8Offset(text, underlineIndex + 1));
        pango_attr_list_insert(attributes, underline);
    }
    pango_layout_set_attributes(layout.get(), attributes);
    pango_attr_list_unref(attributes);
    return layout;
}

int CTextFont::Width(std::wstring_view text) const {
    if (text.empty()) {
        return 0;
    }
    const LayoutPtr layout = NewLayout(text);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return logical.width;
}

void CTextFont::DrawLine(cairo_t* cr, std::wstring_view text, double x, double top,
                         size_t underlineIndex) const {
    if (text.empty()) {
        return;
    }
    const LayoutPtr layout = NewLayout(text, underlineIndex);
    cairo_move_to(cr, x, top + m_metrics.ascent);
    pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(layout.get(), 0));
}

} // namespace platform::gdi

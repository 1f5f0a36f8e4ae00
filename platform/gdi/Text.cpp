// GDI text: metrics, extents, ExtTextOutW and DrawTextW in the DC's selected font and colours.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/gdi/Raster.h"
#include "platform/gdi/TextLayout.h"

namespace {

using namespace platform::gdi;

constexpr UINT kSupportedDrawTextFlags = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_WORDBREAK |
                                         DT_SINGLELINE | DT_NOCLIP | DT_CALCRECT | DT_NOPREFIX |
                                         DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_HIDEPREFIX;
constexpr size_t npos = std::wstring::npos;
constexpr wchar_t kEllipsis[] = L"...";

struct TextLine {
    std::wstring text;
    size_t underline = npos; // index in text of the prefixed character
    int width = 0;
};

// The text without its "&" prefixes, and the index of the character the last prefix marks.
std::wstring StripPrefixes(std::wstring_view text, bool bNoPrefix, size_t& underline) {
    std::wstring shown;
    underline = npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (bNoPrefix || text[i] != L'&') {
            shown += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == L'&') {
            shown += L'&';
            ++i;
        } else if (i + 1 < text.size()) {
            underline = shown.size();
        }
    }
    return shown;
}

std::wstring_view TrimRight(std::wstring_view text) {
    const size_t end = text.find_last_not_of(L' ');
    return end == npos ? std::wstring_view() : text.substr(0, end + 1);
}

void AddLine(std::vector<TextLine>& lines, const CTextFont& font, std::wstring_view text, size_t start,
             size_t underline) {
    TextLine line;
    line.text = std::wstring(TrimRight(text));
    if (underline != npos && underline >= start && underline - start < line.text.size()) {
        line.underline = underline - start;
    }
    line.width = font.Width(line.text);
    lines.push_back(std::move(line));
}

// Greedy breaking between words: a line ends before the word that would pass the width.
void WrapParagraph(std::vector<TextLine>& lines, const CTextFont& font, std::wstring_view paragraph,
                   size_t start, size_t underline, int maxWidth) {
    size_t lineStart = 0;
    size_t lineEnd = 0;
    size_t pos = 0;
    while (pos < paragraph.size()) {
        size_t wordEnd = paragraph.find(L' ', paragraph.find_first_not_of(L' ', pos));
        wordEnd = wordEnd == npos ? paragraph.size() : paragraph.find_first_not_of(L' ', wordEnd);
        wordEnd = wordEnd == npos ? paragraph.size() : wordEnd;
        const std::wstring_view candidate = paragraph.substr(lineStart, wordEnd - lineStart);
        if (lineEnd > lineStart && font.Width(TrimRight(candidate)) > maxWidth) {
            AddLine(lines, font, paragraph.substr(lineStart, lineEnd - lineStart), start + lineStart,
                    underline);
            lineStart = lineEnd;
        }
        lineEnd = wordEnd;
        pos = wordEnd;
    }
    AddLine(lines, font, paragraph.substr(lineStart, lineEnd - lineStart), start + lineStart, underline);
}

std::vector<TextLine> BreakLines(const CTextFont& font, std::wstring text, size_t underline, UINT format,
                                 int maxWidth) {
    std::vector<TextLine> lines;
    if (format & DT_SINGLELINE) {
        std::replace_if(
            text.begin(), text.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
        AddLine(lines, font, text, 0, underline);
        return lines;
    }
    size_t start = 0;
    while (true) {
        const size_t end = text.find_first_of(L"\r\n", start);
        const std::wstring_view paragraph =
            std::wstring_view(text).substr(start, end == npos ? npos : end - start);
        if (format & DT_WORDBREAK) {
            WrapParagraph(lines, font, paragraph, start, underline, maxWidth);
        } else {
            AddLine(lines, font, paragraph, start, underline);
        }
        if (end == npos) {
            return lines;
        }
        start = end + ((text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1);
    }
}

void Ellipsize(TextLine& line, const CTextFont& font, int maxWidth) {
    if (line.width <= maxWidth) {
        return;
    }
    size_t keep = line.text.size();
    std::wstring shortened;
    do {
        --keep;
        shortened = line.text.substr(0, keep) + kEllipsis;
    } while (keep > 0 && font.Width(shortened) > maxWidth);
    line.text = shortened;
    line.width = font.Width(shortened);
    if (line.underline != npos && line.underline >= keep) {
        line.underline = npos;
    }
}

int LineLeft(const RECT& rect, int width, UINT format) {
    if (format & DT_CENTER) {
        return (rect.left + rect.right - width) / 2;
    }
    return (format & DT_RIGHT) ? rect.right - width : rect.left;
}

int FirstLineTop(const RECT& rect, int lineHeight, UINT format) {
    if (!(format & DT_SINGLELINE)) {
        return rect.top;
    }
    if (format & DT_VCENTER) {
        return (rect.top + rect.bottom - lineHeight) / 2;
    }
    return (format & DT_BOTTOM) ? rect.bottom - lineHeight : rect.top;
}

void FillBackground(cairo_t* cr, COLORREF color, double x, double y, double width, double height) {
    cairo_save(cr);
    SetSourceColor(cr, color);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawLines(CDeviceContext& dc, const CTextFont& font, const std::vector<TextLine>& lines,
               const RECT& rect, int top, UINT format) {
    const CairoPtr cr = CairoFor(dc);
    if (!(format & DT_NOCLIP)) {
        cairo_rectangle(cr.get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        cairo_clip(cr.get());
    }
    const int lineHeight = font.Metrics().height;
    int y = top;
    for (const TextLine& line : lines) {
        const int x = LineLeft(rect, line.width, format);
        if (dc.m_nBkMode == OPAQUE) {
            FillBackground(cr.get(), dc.m_bkColor, x, y, line.width, lineHeight);
        }
        SetSourceColor(cr.get(), dc.m_textColor);
        font.DrawLine(cr.get(), line.text, x, y, (format & DT_HIDEPREFIX) ? npos : line.underline);
        y += lineHeight;
    }
}

std::wstring_view TextOf(LPCWSTR text, int count) {
    return count < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<size_t>(count));
}

} // namespace

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
    const auto lock = LockGdi();
    const CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc || !lptm) {
        return FALSE;
    }
    const CTextFont font(dc->m_pFont->m_logFont);
    const FontMetrics& metrics = font.Metrics();
    const LOGFONTW& logFont = font.LogFont();
    *lptm = TEXTMETRICW{};
    lptm->tmHeight = metrics.height;
    lptm->tmAscent = metrics.ascent;
    lptm->tmDescent = metrics.descent;
    lptm->tmInternalLeading = std::max(0, metrics.height - static_cast<int>(font.EmSize() + 0.5));
    lptm->tmAveCharWidth = metrics.aveCharWidth;
    lptm->tmMaxCharWidth = metrics.maxCharWidth;
    lptm->tmWeight = logFont.lfWeight <= 0 ? FW_NORMAL : logFont.lfWeight;
    lptm->tmDigitizedAspectX = 96;
    lptm->tmDigitizedAspectY = 96;
    lptm->tmFirstChar = L' ';
    lptm->tmLastChar = 0xFFFC;
    lptm->tmDefaultChar = L'?';
    lptm->tmBreakChar = L' ';
    lptm->tmItalic = logFont.lfItalic;
    lptm->tmUnderlined = logFont.lfUnderline;
    lptm->tmStruckOut = logFont.lfStrikeOut;
    lptm->tmPitchAndFamily = static_cast<BYTE>((logFont.lfPitchAndFamily & 0xF0) | 0x06);
    lptm->tmCharSet = logFont.lfCharSet;
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl) {
    if (c < 0 || (c > 0 && !lpString) || !psizl) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto lock = LockGdi();
    const CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return FALSE;
    }
    const CTextFont font(dc->m_pFont->m_logFont);
    psizl->cx = c == 0 ? 0 : font.Width(std::wstring_view(lpString, static_cast<size_t>(c)));
    psizl->cy = font.Metrics().height;
    return TRUE;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString, UINT c,
                 const INT* lpDx) {
    if ((options & ~(ETO_OPAQUE | ETO_CLIPPED)) || lpDx) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if ((c > 0 && !lpString) || ((options & ETO_CLIPPED) && !lprect)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return FALSE;
    }
    if ((options & ETO_OPAQUE) && lprect) {
        CPixelWriter(*dc).Fill(*lprect, dc->m_bkColor);
    }
    if (c == 0) {
        return TRUE;
    }
    const CTextFont font(dc->m_pFont->m_logFont);
    const std::wstring_view text(lpString, c);
    const CairoPtr cr = CairoFor(*dc);
    if (options & ETO_CLIPPED) {
        cairo_rectangle(cr.get(), lprect->left, lprect->top, lprect->right - lprect->left,
                        lprect->bottom - lprect->top);
        cairo_clip(cr.get());
    }
    if (dc->m_nBkMode == OPAQUE) {
        FillBackground(cr.get(), dc->m_bkColor, x, y, font.Width(text), font.Metrics().height);
    }
    SetSourceColor(cr.get(), dc->m_textColor);
    font.DrawLine(cr.get(), text, x, y);
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR lpString, int c) {
    if (c < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return ExtTextOutW(hdc, x, y, 0, nullptr, lpString, static_cast<UINT>(c), nullptr);
}

int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format) {
    if (format & ~kSupportedDrawTextFlags) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    if (!lpchText || !lprc || cchText < -1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto lock = LockGdi();
    CDeviceContext* dc = FindDCOrFail(hdc);
    if (!dc) {
        return 0;
    }
    const CTextFont font(dc->m_pFont->m_logFont);
    const int maxWidth = lprc->right - lprc->left;
    size_t underline = npos;
    std::wstring shown = StripPrefixes(TextOf(lpchText, cchText), (format & DT_NOPREFIX) != 0, underline);
    std::vector<TextLine> lines = BreakLines(font, std::move(shown), underline, format, maxWidth);
    if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) {
        for (TextLine& line : lines) {
            Ellipsize(line, font, maxWidth);
        }
    }
    const int lineHeight = font.Metrics().height;
    const int textHeight = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& line : lines) {
            widest = std::max(widest, line.width);
        }
        lprc->right = lprc->left + widest;
        lprc->bottom = lprc->top + textHeight;
        return textHeight;
    }
    const int top = FirstLineTop(*lprc, lineHeight, format);
    DrawLines(*dc, font, lines, *lprc, top, format);
    return (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? top - lprc->top + lineHeight
                                                                           : textHeight;
}

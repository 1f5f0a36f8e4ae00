// Fonts made from LOGFONTs, and string formats.
#include <utility>

#include "platform/gdi/TextLayout.h"
#include "platform/gdiplus/Native.h"

namespace Gdiplus {

namespace {

INT StyleOf(const LOGFONTW& logFont) {
    INT style = logFont.lfWeight >= FW_BOLD ? FontStyleBold : FontStyleRegular;
    style |= logFont.lfItalic ? FontStyleItalic : 0;
    style |= logFont.lfUnderline ? FontStyleUnderline : 0;
    style |= logFont.lfStrikeOut ? FontStyleStrikeout : 0;
    return style;
}

Status MakeFont(GpFont*& native, HDC hdc, const LOGFONTW* logfont) {
    if (!hdc || !logfont) {
        return InvalidParameter;
    }
    const auto lock = platform::gdi::LockGdi();
    if (!platform::gdi::CGdiTable::Instance().FindDC(hdc)) {
        return InvalidParameter;
    }
    const platform::gdi::CTextFont font(*logfont);
    native = new GpFont{*logfont, static_cast<REAL>(font.EmSize()), StyleOf(*logfont)};
    return Ok;
}

} // namespace

Font::Font(HDC hdc, const LOGFONTW* logfont) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        lastResult = MakeFont(nativeFont, hdc, logfont);
    }
}

Font::Font(HDC hdc, HFONT hfont) {
    LOGFONTW logFont{};
    const bool bDescribed = GetObjectW(hfont, sizeof(logFont), &logFont) == sizeof(logFont);
    lastResult = StartStatus();
    if (lastResult == Ok) {
        lastResult = MakeFont(nativeFont, hdc, bDescribed ? &logFont : nullptr);
    }
}

Font::~Font() {
    delete nativeFont;
}

REAL Font::GetSize() const {
    return nativeFont ? nativeFont->size : 0;
}

INT Font::GetStyle() const {
    return nativeFont ? nativeFont->style : FontStyleRegular;
}

Status Font::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

StringFormat::StringFormat(INT formatFlags, LANGID language) {
    lastResult = StartStatus();
    if (lastResult == Ok) {
        nativeFormat = new GpStringFormat{formatFlags, StringAlignmentNear, StringAlignmentNear};
    }
}

StringFormat::~StringFormat() {
    delete nativeFormat;
}

Status StringFormat::SetAlignment(StringAlignment align) {
    if (!nativeFormat || align < StringAlignmentNear || align > StringAlignmentFar) {
        return lastResult = InvalidParameter;
    }
    nativeFormat->alignment = align;
    return Ok;
}

StringAlignment StringFormat::GetAlignment() const {
    return nativeFormat ? nativeFormat->alignment : StringAlignmentNear;
}

Status StringFormat::SetLineAlignment(StringAlignment align) {
    if (!nativeFormat || align < StringAlignmentNear || align > StringAlignmentFar) {
        return lastResult = InvalidParameter;
    }
    nativeFormat->lineAlignment = align;
    return Ok;
}

StringAlignment StringFormat::GetLineAlignment() const {
    return nativeFormat ? nativeFormat->lineAlignment : StringAlignmentNear;
}

Status StringFormat::GetLastStatus() const {
    return std::exchange(lastResult, Ok);
}

} // namespace Gdiplus

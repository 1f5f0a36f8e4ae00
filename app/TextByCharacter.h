// A text laid out and drawn character by character within a rectangle's width, as the privacy and
// security-score panels draw their titles and texts. A line breaks at the character whose cell would pass
// the right edge less a hyphen's width (less two, when the text has a space after its first character):
// inside a word a "-" ends the line and that character starts the next; next to a space the character
// ends the line; a text without spaces breaks without "-". One span of the text stands out in a font
// and colour of its own. The rectangle's bottom does not limit the text.
#pragma once

#include <functional>
#include <vector>

#include "platform/framework_gdi.h"
#include "platform/framework_window.h"

struct TextCell {
    int nIndex; // the character's index in the text; -1 for a "-" that ends a broken line
    CRect rc;
    bool bSpan; // drawn in the span's font and colour
};

// The size of a character in the span's font or in the text's font.
using MeasureCharacter = std::function<SIZE(wchar_t ch, bool bSpanFont)>;

// The cells of the characters drawn, in order, for a span [nSpanStart, nSpanEnd) (empty: none). Each
// character is measured in the font of the character before it (the text's font for the first). A
// character that starts a line stands there even when it is wider than the line, so that every character
// is placed once.
std::vector<TextCell> LayOutTextByCharacter(const CString& strText, const RECT& rc, int nSpanStart,
                                            int nSpanEnd, int nHyphenWidth, const MeasureCharacter& measure);

// Lays the text out in the DC's measures and draws each cell with DrawText (DT_WORDBREAK): the span, the
// first occurrence of strSpan (none when it is empty or absent), in the span's font and colour, the other
// characters and the hyphens in pFont and black. The DC's font is restored; the cells drawn.
std::vector<TextCell> DrawTextByCharacter(CDC* pDC, CFont* pFont, const CString& strText, const RECT& rc,
                                          const CString& strSpan, CFont* pSpanFont, COLORREF crSpan);

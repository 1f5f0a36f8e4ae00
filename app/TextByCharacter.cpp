#include "app/TextByCharacter.h"

namespace {

const COLORREF kTextColor = RGB(0, 0, 0);
const wchar_t kHyphen = L'-';

} // namespace

std::vector<TextCell> LayOutTextByCharacter(const CString& strText, const RECT& rc, int nSpanStart,
                                            int nSpanEnd, int nHyphenWidth, const MeasureCharacter& measure) {
    const int nLength = strText.GetLength();
    const auto isSpace = [&](int i) { return i >= 0 && i < nLength && strText[i] == L' '; };
    const auto inSpan = [&](int i) { return i >= nSpanStart && i < nSpanEnd; };
    // With spaces in the text a line keeps room for its "-".
    const bool bReserve = strText.Find(L' ', 1) >= 0;
    const int nReserve = bReserve ? nHyphenWidth : 0;
    const int nRightLimit = rc.right - nHyphenWidth;
    std::vector<TextCell> cells;
    int x = rc.left;
    int nLineTop = rc.top;
    for (int i = 0; i < nLength;) {
        const SIZE size = measure(strText[i], i > 0 && inSpan(i - 1));
        const CRect rcCell(x, nLineTop, x + size.cx, nLineTop + size.cy);
        const bool bLineStart = x == rc.left;
        if (i != nLength - 1 && !bLineStart && rcCell.right + nReserve > nRightLimit) {
            if (bReserve && !isSpace(i - 1) && !isSpace(i) && !isSpace(i + 1)) {
                cells.push_back({-1, rcCell, false});
            } else if (bReserve) {
                cells.push_back({i, rcCell, inSpan(i)});
                ++i;
            }
            x = rc.left;
            nLineTop = rcCell.bottom;
            continue;
        }
        if (!(bReserve && bLineStart && isSpace(i))) {
            cells.push_back({i, rcCell, inSpan(i)});
            x = rcCell.right;
        }
        ++i;
    }
    return cells;
}

std::vector<TextCell> DrawTextByCharacter(CDC* pDC, CFont* pFont, const CString& strText, const RECT& rc,
                                          const CString& strSpan, CFont* pSpanFont, COLORREF crSpan) {
    CFont* pOldFont = pDC->SelectObject(pFont);
    pDC->SetTextColor(kTextColor);
    const int nSpanStart = strSpan.IsEmpty() ? -1 : strText.Find(strSpan);
    const int nSpanEnd = nSpanStart < 0 ? -1 : nSpanStart + strSpan.GetLength();
    const int nHyphenWidth = pDC->GetTextExtent(&kHyphen, 1).cx;
    const std::vector<TextCell> cells = LayOutTextByCharacter(
        strText, rc, nSpanStart, nSpanEnd, nHyphenWidth, [&](wchar_t ch, bool bSpanFont) {
            pDC->SelectObject(bSpanFont ? pSpanFont : pFont);
            return pDC->GetTextExtent(&ch, 1);
        });
    for (const TextCell& cell : cells) {
        pDC->SelectObject(cell.bSpan ? pSpanFont : pFont);
        pDC->SetTextColor(cell.bSpan ? crSpan : kTextColor);
        const wchar_t ch = cell.nIndex < 0 ? kHyphen : strText[cell.nIndex];
        CRect rcCell = cell.rc;
        pDC->DrawText(&ch, 1, &rcCell, DT_WORDBREAK);
    }
    pDC->SelectObject(pOldFont);
    return cells;
}

// The character-by-character text layout of the privacy and security-score panels: where lines break,
// the "-" inside words, the spaces dropped at a line's start, words longer than the line, the span's
// font and cells, and the translated texts of the string tables (right-to-left and CJK among them) on a
// real device context.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TextByCharacter.h"
#include "controls/SkinnedControl.h"
#include "services/ResourceStrings.h"
#include "tests/services/DrawingTestSupport.h"

namespace {

constexpr int kCharWidth = 10;
constexpr int kCharHeight = 20;
constexpr int kHyphenWidth = 10;

// Every character 10 x 20 pixels.
SIZE FixedSize(wchar_t, bool) {
    return SIZE{kCharWidth, kCharHeight};
}

// The cells as the lines a reader sees, "-" for a hyphen.
std::vector<std::wstring> LinesOf(const CString& strText, const std::vector<TextCell>& cells) {
    std::vector<std::wstring> lines;
    int nTop = -1;
    for (const TextCell& cell : cells) {
        if (cell.rc.top != nTop) {
            lines.emplace_back();
            nTop = cell.rc.top;
        }
        lines.back() += cell.nIndex < 0 ? L'-' : strText[cell.nIndex];
    }
    return lines;
}

struct LayoutCase {
    const wchar_t* pszName;
    const wchar_t* pszText;
    int nWidth;
    std::vector<std::wstring> lines;
};

TEST(TextByCharacter, BreaksLinesAsTheRulesSay) {
    // 10-pixel characters and hyphen: with a space after the first character the cells end 20 pixels
    // before the right edge (a hyphen's room and the hyphen's reserve), without one 10 pixels before.
    const LayoutCase cases[] = {
        {L"fits on one line", L"ab cd", 80, {L"ab cd"}},
        {L"next to a space the character ends the line", L"ab cd", 50, {L"ab c", L"d"}},
        {L"inside a word a hyphen ends the line", L"abcdefgh ij", 50, {L"abc-", L"def-", L"gh i", L"j"}},
        {L"the space that would start a line is dropped", L"abcd efgh", 50, {L"abcd", L"efgh"}},
        {L"a text without spaces breaks without a hyphen", L"abcdefg", 50, {L"abcd", L"efg"}},
        {L"a space only at the start reserves nothing", L" abcdefg", 50, {L" abc", L"defg"}},
        {L"the last character never breaks", L"abcd", 40, {L"abcd"}},
        {L"a line narrower than a character still takes it", L"abc", 5, {L"a", L"bc"}},
        {L"with spaces too", L"ab cd", 5, {L"ab", L"cd"}},
        {L"an empty text", L"", 50, {}},
    };
    for (const LayoutCase& c : cases) {
        const CString strText(c.pszText);
        const std::vector<TextCell> cells =
            LayOutTextByCharacter(strText, CRect(0, 0, c.nWidth, 30), -1, -1, kHyphenWidth, FixedSize);
        EXPECT_EQ(LinesOf(strText, cells), c.lines) << c.pszName;
    }
}

TEST(TextByCharacter, LinesStartAtTheLeftUnderTheBreakingCell) {
    const CString strText(L"abcdefgh ij");
    const std::vector<TextCell> cells =
        LayOutTextByCharacter(strText, CRect(5, 7, 55, 8), -1, -1, kHyphenWidth, FixedSize);
    ASSERT_EQ(cells.size(), 13u);
    EXPECT_EQ(cells[0].rc, CRect(5, 7, 15, 27));
    EXPECT_EQ(cells[3].rc, CRect(35, 7, 45, 27)) << "the hyphen stands in the cell of the character it moves";
    EXPECT_EQ(cells[3].nIndex, -1);
    EXPECT_EQ(cells[4].rc, CRect(5, 27, 15, 47)) << "the rectangle's bottom does not stop the text";
    EXPECT_EQ(cells[4].nIndex, 3);
    EXPECT_EQ(cells.back().rc, CRect(5, 67, 15, 87));
}

TEST(TextByCharacter, TheSpanRunsAcrossABreakWithoutItsHyphen) {
    const CString strText(L"abcdefgh ij");
    const std::vector<TextCell> cells =
        LayOutTextByCharacter(strText, CRect(0, 0, 50, 20), 2, 6, kHyphenWidth, FixedSize); // "cdef"
    std::wstring spanned;
    for (const TextCell& cell : cells) {
        if (cell.bSpan) {
            spanned += strText[cell.nIndex];
        }
        if (cell.nIndex < 0) {
            EXPECT_FALSE(cell.bSpan) << "a hyphen is drawn in the text's font";
        }
    }
    EXPECT_EQ(spanned, L"cdef");
    EXPECT_EQ(LinesOf(strText, cells), (std::vector<std::wstring>{L"abc-", L"def-", L"gh i", L"j"}));
}

TEST(TextByCharacter, EachCharacterIsMeasuredInTheFontOfTheOneBefore) {
    // The span's font is twice as wide: the first span character still takes the text's width, the
    // first one after the span the span's.
    const auto measure = [](wchar_t, bool bSpanFont) { return SIZE{bSpanFont ? 20 : 10, kCharHeight}; };
    const CString strText(L"abcd");
    const std::vector<TextCell> cells =
        LayOutTextByCharacter(strText, CRect(0, 0, 500, 20), 1, 3, 10, measure);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[1].rc, CRect(10, 0, 20, 20));
    EXPECT_EQ(cells[2].rc, CRect(20, 0, 40, 20));
    EXPECT_EQ(cells[3].rc, CRect(40, 0, 60, 20));
}

// The translated texts on a memory DC in the panels' 14-pixel "Segoe UI", in a narrow rectangle.
class TranslatedTextTest : public drawing_test::CDrawingTest {
protected:
    void SetUp() override {
        CDrawingTest::SetUp();
        SetDpi(96);
        CreateSkinnedFont(m_font, 14, 400);
        CreateSkinnedFont(m_spanFont, 14, 956);
    }
    ~TranslatedTextTest() override { SetThreadUILanguage(0); }

    CFont m_font;
    CFont m_spanFont;
};

struct TranslatedCase {
    const char* pszLanguage;
    LANGID language;
    int nStringId;
    bool bHasSpaces;
};

TEST_F(TranslatedTextTest, RightToLeftAndCjkTextsWrapWithinTheLineAndKeepEveryCharacter) {
    const TranslatedCase cases[] = {
        {"Arabic", 0x0401, 219, true},   {"Hebrew", 0x040D, 221, true},
        {"Chinese", 0x0804, 255, false}, {"Japanese", 0x0411, 219, true},
        {"Greek", 0x0408, 258, true},    {"German", 0x0407, 255, true},
        {"Korean", 0x0412, 271, true},   {"Traditional Chinese", 0x0404, 264, false},
    };
    const CRect rc(20, 10, 180, 20);
    for (const TranslatedCase& c : cases) {
        const CString strText = ResStringOfLanguage(c.language, nullptr, c.nStringId);
        ASSERT_FALSE(strText.IsEmpty()) << c.pszLanguage;
        ASSERT_EQ(strText.Find(L' ', 1) >= 0, c.bHasSpaces) << c.pszLanguage << ": the table's text changed";
        gdi_test::CSurface surface(400, 600);
        CDC* pDC = CDC::FromHandle(surface.Dc());
        const std::vector<TextCell> cells =
            DrawTextByCharacter(pDC, &m_font, strText, rc, L"Wardlight", &m_spanFont, RGB(0xFD, 0x85, 0x51));
        const CFont* pHyphenFont = pDC->SelectObject(&m_font);
        const int nHyphenWidth = pDC->GetTextExtent(L"-", 1).cx;
        pDC->SelectObject(const_cast<CFont*>(pHyphenFont));

        int nNext = 0;
        int nLines = 1;
        for (size_t i = 0; i < cells.size(); ++i) {
            const TextCell& cell = cells[i];
            const bool bLineStart = cell.rc.left == rc.left;
            if (i > 0 && bLineStart) {
                ++nLines;
                EXPECT_EQ(cell.rc.top, cells[i - 1].rc.bottom)
                    << c.pszLanguage << ": a line starts under the last";
            }
            if (cell.nIndex < 0) {
                ASSERT_TRUE(c.bHasSpaces) << c.pszLanguage << ": no hyphen without spaces";
                EXPECT_NE(strText[nNext - 1], L' ') << c.pszLanguage;
                EXPECT_NE(strText[nNext], L' ') << c.pszLanguage;
                continue;
            }
            while (nNext < cell.nIndex) {
                EXPECT_EQ(strText[nNext], L' ')
                    << c.pszLanguage << ": only spaces are left out, at " << nNext;
                ++nNext;
            }
            EXPECT_EQ(cell.nIndex, nNext) << c.pszLanguage << ": every character once, in order";
            nNext = cell.nIndex + 1;
            if (!c.bHasSpaces && !bLineStart && cell.nIndex != strText.GetLength() - 1) {
                EXPECT_LE(cell.rc.right, rc.right - nHyphenWidth) << c.pszLanguage << ": within the line";
            }
        }
        EXPECT_EQ(nNext, strText.GetLength()) << c.pszLanguage;
        EXPECT_GE(nLines, 2) << c.pszLanguage << ": the line is narrower than the text";
    }
}

TEST_F(TranslatedTextTest, TheSpanIsDrawnInItsOwnColourAndTheRestInBlack) {
    SetThreadUILanguage(0x0411); // Japanese: "... Wardlight をご覧ください。"
    const CString strText = ResString(nullptr, 221);
    gdi_test::CSurface surface(400, 300);
    const COLORREF crSpan = RGB(0xFD, 0x85, 0x51);
    const std::vector<TextCell> cells =
        DrawTextByCharacter(CDC::FromHandle(surface.Dc()), &m_font, strText, CRect(10, 10, 390, 20),
                            L"Wardlight", &m_spanFont, crSpan);
    int nSpanCells = 0;
    int nSpanInk = 0;
    int nBlackInk = 0;
    for (const TextCell& cell : cells) {
        nSpanCells += cell.bSpan ? 1 : 0;
        for (int y = cell.rc.top; y < cell.rc.bottom; ++y) {
            for (int x = cell.rc.left; x < cell.rc.right; ++x) {
                const COLORREF cr = surface.Pixel(x, y);
                nSpanInk += cell.bSpan && cr == crSpan ? 1 : 0;
                nBlackInk += !cell.bSpan && cr == RGB(0, 0, 0) ? 1 : 0;
                EXPECT_FALSE(!cell.bSpan && cr == crSpan) << "span colour outside the span";
            }
        }
    }
    EXPECT_EQ(nSpanCells, 9);
    EXPECT_GT(nSpanInk, 0);
    EXPECT_GT(nBlackInk, 0);
}

} // namespace

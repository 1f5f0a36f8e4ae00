// The title static: its three fonts, made anew only for a new size or weight; the title drawn at its
// size, one size smaller when only that fits, else cut with an ellipsis and flagged too wide; its
// measured width; and the arrow cursor.
#include <gtest/gtest.h>

#include <string>

#include "controls/SkinnedControl.h"
#include "controls/TitleStatic.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::ClassCursorOf;
using controls_test::PumpUntil;

const COLORREF kTitleInk = RGB(0x50, 0x5B, 0xA7);
const COLORREF kWhite = RGB(255, 255, 255);
constexpr int kHeight = 30;

class CTitleProbe : public CTitleStatic {
public:
    using CTitleStatic::m_fontBase;
    using CTitleStatic::m_fontLarger;
    using CTitleStatic::m_fontSmaller;
};

LOGFONTW LogFontOf(const CFont& font) {
    LOGFONTW logFont{};
    EXPECT_NE(font.GetLogFont(&logFont), 0);
    return logFont;
}

// "Segoe UI" of that character height and weight, as a skinned control makes it.
void MakeFont(CFont& font, int nHeight, int nWeight) {
    font.CreateFont(-nHeight, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
}

int TextWidth(const wchar_t* pszText, int nHeight, int nWeight) {
    gdi_test::CSurface surface(1, 1);
    CFont font;
    MakeFont(font, nHeight, nWeight);
    CDC& dc = *CDC::FromHandle(surface.Dc());
    CFont* pOld = dc.SelectObject(&font);
    const int nWidth = dc.GetTextExtent(CString(pszText)).cx;
    dc.SelectObject(pOld);
    return nWidth;
}

class TitleStaticTest : public CControlWindowTest {
protected:
    CTitleProbe& MakeTitle(int cx, int cy = kHeight) {
        EXPECT_TRUE(m_title.Create(L"", WS_CHILD | WS_VISIBLE | SS_NOTIFY, RECT{20, 10, 20 + cx, 10 + cy},
                                   &MakeParent(500, 120)));
        return m_title;
    }

    CTitleProbe m_title;
};

// ---- Fonts ----
struct FontCase {
    const char* name;
    int dpi;
    int nSize;
    int nWeight;
    int nBaseHeight; // -lfHeight of the base font; the larger and smaller ones differ by one design pixel
    int nLargerHeight;
    int nSmallerHeight;
    int nExpectedWeight;
};

class TitleFonts : public TitleStaticTest, public testing::WithParamInterface<FontCase> {};

TEST_P(TitleFonts, AreSegoeUiAtTheSizeAndOneAboveAndBelow) {
    const FontCase& c = GetParam();
    SetDpi(c.dpi);
    CTitleProbe title;
    title.SetTitle(L"Eye care", 0, 3, c.nSize, c.nWeight, kTitleInk, kWhite);
    const CFont* fonts[] = {&title.m_fontBase, &title.m_fontLarger, &title.m_fontSmaller};
    const int heights[] = {c.nBaseHeight, c.nLargerHeight, c.nSmallerHeight};
    for (int i = 0; i < 3; ++i) {
        const LOGFONTW logFont = LogFontOf(*fonts[i]);
        EXPECT_EQ(logFont.lfHeight, -heights[i]) << i;
        EXPECT_EQ(logFont.lfWeight, c.nExpectedWeight) << i;
        EXPECT_EQ(std::wstring(logFont.lfFaceName), L"Segoe UI");
        EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(logFont.lfPitchAndFamily, FF_SWISS);
        EXPECT_EQ(logFont.lfItalic, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TitleFonts,
                         testing::Values(FontCase{"WeightZeroGives400", 96, 13, 0, 13, 14, 12, 400},
                                         FontCase{"NegativeWeightGives400", 96, 20, -1, 20, 21, 19, 400},
                                         FontCase{"BoldScaledAt144Dpi", 144, 12, 700, 18, 20, 17, 700},
                                         FontCase{"HeavyScaledAt120Dpi", 120, 13, 956, 16, 18, 15, 956}),
                         [](const testing::TestParamInfo<FontCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TitleStaticTest, TheSameSizeAndWeightKeepTheFontsAndChangeTheRest) {
    SetDpi(144);
    CTitleProbe title;
    title.SetTitle(L"MY BATTERY", 2, 4, 12, 700, RGB(0x34, 0x4A, 0x5E), kWhite);
    const HGDIOBJ fonts[] = {title.m_fontBase, title.m_fontLarger, title.m_fontSmaller};

    title.SetTitle(L"FLIPDECKS", 22, 6, 12, 700, RGB(255, 255, 255), RGB(0x43, 0x77, 0xEE));
    EXPECT_EQ(title.m_fontBase.GetSafeHandle(), fonts[0]);
    EXPECT_EQ(title.m_fontLarger.GetSafeHandle(), fonts[1]);
    EXPECT_EQ(title.m_fontSmaller.GetSafeHandle(), fonts[2]);
    EXPECT_EQ(std::wstring(title.m_title.m_strText.GetString()), L"FLIPDECKS");
    EXPECT_EQ(title.m_title.m_nOffsetX, 33);
    EXPECT_EQ(title.m_title.m_nOffsetY, 9);
    EXPECT_EQ(title.m_title.m_nHAlign, 0);
    EXPECT_EQ(title.m_title.m_nVAlign, 0);
    EXPECT_EQ(title.m_crText, RGB(255, 255, 255));
    EXPECT_EQ(title.m_title.m_crColor, RGB(255, 255, 255));
    EXPECT_EQ(title.m_crBackground, RGB(0x43, 0x77, 0xEE));

    title.SetTitle(L"FLIPDECKS", 22, 6, 12, 400, RGB(255, 255, 255), kWhite);
    EXPECT_EQ(LogFontOf(title.m_fontBase).lfWeight, 400) << "a new weight makes the fonts anew";
    title.SetTitle(L"FLIPDECKS", 22, 6, 13, 400, RGB(255, 255, 255), kWhite);
    EXPECT_EQ(LogFontOf(title.m_fontSmaller).lfHeight, -18) << "a new size makes the fonts anew";
}

TEST_F(TitleStaticTest, SetTitleMeasuresTheTitleInTheBaseFontWhenThereIsAWindow) {
    CTitleProbe unplaced;
    unplaced.SetTitle(L"Battery remaining", 2, 4, 13, 400, kTitleInk, kWhite);
    EXPECT_EQ(unplaced.m_nTextWidth, 0);

    CTitleProbe& title = MakeTitle(200);
    title.SetTitle(L"Battery remaining", 2, 4, 13, 400, kTitleInk, kWhite);
    EXPECT_EQ(title.m_nTextWidth, TextWidth(L"Battery remaining", 13, 400));
    title.SetTitle(L"Balanced mode", 2, 4, 13, 400, kTitleInk, kWhite);
    EXPECT_EQ(title.m_nTextWidth, TextWidth(L"Balanced mode", 13, 400)) << "a new text is measured again";
}

// ---- Fitting the title ----
constexpr int kFitSize = 20;
const wchar_t kShortText[] = L"Wi-Fi";
const wchar_t kMediumText[] = L"Intelligent cooling balanced mode";
const wchar_t kLongText[] = L"Intelligent cooling balanced mode and battery conservation";

struct FitCase {
    const char* name;
    const wchar_t* pszText;
    int nDrawnSize;
    bool bTooWide;
};

class TitleFit : public TitleStaticTest, public testing::WithParamInterface<FitCase> {
protected:
    // The title as DrawText puts it at that size into the client area.
    static void DrawReference(gdi_test::CSurface& surface, const wchar_t* pszText, int nSize, int cx) {
        CDC& dc = *CDC::FromHandle(surface.Dc());
        dc.FillSolidRect(0, 0, cx, kHeight, kWhite);
        dc.SetBkMode(TRANSPARENT);
        CFont font;
        MakeFont(font, nSize, 400);
        CFont* pOld = dc.SelectObject(&font);
        dc.SetTextColor(kTitleInk);
        RECT rc{0, 0, cx, kHeight};
        dc.DrawText(pszText, -1, &rc, DT_VCENTER | DT_END_ELLIPSIS);
        dc.SelectObject(pOld);
    }
};

TEST_P(TitleFit, IsDrawnInTheFirstFontThatFitsElseCutAtItsSize) {
    const FitCase& c = GetParam();
    // A width that the medium text fills at its size but not one size smaller.
    const int nBase = TextWidth(kMediumText, kFitSize, 400);
    const int nSmaller = TextWidth(kMediumText, kFitSize - 1, 400);
    ASSERT_GE(nBase - nSmaller, 2);
    const int cx = (nBase + nSmaller) / 2;
    ASSERT_LT(TextWidth(kShortText, kFitSize, 400), cx);
    ASSERT_GE(TextWidth(kLongText, kFitSize - 1, 400), cx);

    CTitleProbe& title = MakeTitle(cx);
    title.m_bTooWide = !c.bTooWide;
    title.SetTitle(c.pszText, 0, 0, kFitSize, 0, kTitleInk, kWhite);
    title.Invalidate();
    ASSERT_TRUE(Painted(title));
    EXPECT_EQ(title.m_bTooWide, c.bTooWide);

    const CClientPixels pixels(title);
    gdi_test::CSurface expected(cx, kHeight);
    DrawReference(expected, c.pszText, c.nDrawnSize, cx);
    EXPECT_EQ(pixels.Differences(expected), 0) << "drawn at size " << c.nDrawnSize;
    const int nOtherSize = c.nDrawnSize == kFitSize ? kFitSize - 1 : kFitSize;
    gdi_test::CSurface other(cx, kHeight);
    DrawReference(other, c.pszText, nOtherSize, cx);
    EXPECT_GT(pixels.Differences(other), 0) << "not at size " << nOtherSize;
}

INSTANTIATE_TEST_SUITE_P(Texts, TitleFit,
                         testing::Values(FitCase{"FitsAtItsSize", kShortText, kFitSize, false},
                                         FitCase{"FitsOneSizeSmaller", kMediumText, kFitSize - 1, false},
                                         FitCase{"FitsInNoneIsCutAtItsSize", kLongText, kFitSize, true}),
                         [](const testing::TestParamInfo<FitCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TitleStaticTest, TheTitleStandsAtItsOffsetsOnItsBackground) {
    const COLORREF crBlue = RGB(0x43, 0x77, 0xEE);
    CTitleProbe& title = MakeTitle(300);
    title.SetTitle(L"My Corvex Notebook", 22, 6, 20, 0, kWhite, crBlue);
    ASSERT_TRUE(Painted(title));
    const CClientPixels pixels(title);
    EXPECT_EQ(pixels.Count(crBlue, RECT{0, 0, 22, kHeight}), 22 * kHeight);
    EXPECT_EQ(pixels.Count(crBlue, RECT{0, 0, 300, 6}), 300 * 6);
    EXPECT_GT(pixels.Count(crBlue, RECT{22, 6, 300, kHeight}, false), 50) << "the white title";
}

TEST_F(TitleStaticTest, TheMouseOverTheTitleGetsTheArrowCursor) {
    CTitleProbe& title = MakeTitle(200);
    SetClassCursor(&title, IDC_HAND);
    platform::desktop::MoveMouse(OnScreen(title, POINT{50, 10}));
    const HCURSOR hArrow = LoadCursorW(nullptr, IDC_ARROW);
    EXPECT_TRUE(PumpUntil([&] { return ClassCursorOf(title) == hArrow; }));
}

} // namespace

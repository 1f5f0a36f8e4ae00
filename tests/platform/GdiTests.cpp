// GDI on memory surfaces: fills, blits, lines, regions, object lifetimes and text, pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdi/GdiState.h"
#include "platform/gdi/TextLayout.h"
#include "tests/platform/GdiTestSupport.h"

namespace {

using gdi_test::CSurface;
using gdi_test::kWhite;

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kBlack = RGB(0, 0, 0);

bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

void Fill(HDC hdc, const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rect, brush);
    DeleteObject(brush);
}

// ---- Fills and blits ----

TEST(GdiFillTest, FillRectCoversItsLeftAndTopEdgesButNotItsRightAndBottom) {
    CSurface surface(10, 10);
    Fill(surface.Dc(), RECT{2, 3, 6, 7}, kRed);
    EXPECT_TRUE(surface.InkBounds() == (RECT{2, 3, 6, 7}));
    EXPECT_EQ(surface.Count(kRed), 16);
}

TEST(GdiFillTest, OpaqueExtTextOutWithoutTextFillsTheRectangleInTheBackgroundColour) {
    CSurface surface(10, 10);
    SetBkColor(surface.Dc(), kBlue);
    const RECT rect{1, 1, 9, 2};
    ASSERT_TRUE(ExtTextOutW(surface.Dc(), 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr));
    EXPECT_TRUE(surface.InkBounds() == rect);
    EXPECT_EQ(surface.Count(kBlue), 8);
}

TEST(GdiBlitTest, BitBltCopiesOnlyWhatTheSourceHolds) {
    CSurface source(4, 4);
    Fill(source.Dc(), RECT{0, 0, 4, 4}, kBlue);
    CSurface target(10, 10);
    ASSERT_TRUE(BitBlt(target.Dc(), 1, 1, 10, 10, source.Dc(), 2, 2, SRCCOPY));
    EXPECT_TRUE(target.InkBounds() == (RECT{1, 1, 3, 3}));
    EXPECT_EQ(target.Pixel(2, 2), kBlue);
}

TEST(GdiBlitTest, RasterOperationsOtherThanSrcCopyAreRefused) {
    CSurface source(4, 4);
    CSurface target(4, 4);
    SetLastError(0);
    EXPECT_FALSE(BitBlt(target.Dc(), 0, 0, 4, 4, source.Dc(), 0, 0, 0x00EE0086u /* SRCPAINT */));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(BitBlt(target.Dc(), 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
}

// ---- Lines ----

// Pixels along a line from its start, one step apart: 'x' the pen, 'b' the background colour, '.' white.
struct LineCase {
    const char* name;
    int style;
    int bkMode;
    POINT from;
    POINT to;
    POINT step;
    const char* pixels;
};

class GdiLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(GdiLineTest, LineToDrawsUpToButNotIncludingItsEndPoint) {
    const LineCase& c = GetParam();
    CSurface surface(16, 16);
    HPEN pen = CreatePen(c.style, 1, kBlack);
    HGDIOBJ old = SelectObject(surface.Dc(), pen);
    SetBkMode(surface.Dc(), c.bkMode);
    SetBkColor(surface.Dc(), kRed);
    MoveToEx(surface.Dc(), c.from.x, c.from.y, nullptr);
    ASSERT_TRUE(LineTo(surface.Dc(), c.to.x, c.to.y));
    for (size_t i = 0; c.pixels[i]; ++i) {
        const int x = c.from.x + c.step.x * static_cast<int>(i);
        const int y = c.from.y + c.step.y * static_cast<int>(i);
        const COLORREF expected = c.pixels[i] == 'x' ? kBlack : (c.pixels[i] == 'b' ? kRed : kWhite);
        EXPECT_EQ(surface.Pixel(x, y), expected) << "pixel " << i << " at (" << x << ", " << y << ")";
    }
    POINT position{};
    MoveToEx(surface.Dc(), 0, 0, &position);
    EXPECT_EQ(position.x, c.to.x);
    EXPECT_EQ(position.y, c.to.y);
    SelectObject(surface.Dc(), old);
    DeleteObject(pen);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GdiLineTest,
    testing::Values(
        LineCase{"SolidRight", PS_SOLID, TRANSPARENT, {0, 2}, {6, 2}, {1, 0}, "xxxxxx.."},
        LineCase{"SolidUp", PS_SOLID, TRANSPARENT, {3, 7}, {3, 2}, {0, -1}, "xxxxx.."},
        LineCase{"SolidDiagonal", PS_SOLID, OPAQUE, {0, 0}, {5, 5}, {1, 1}, "xxxxx."},
        LineCase{"DottedTransparent", PS_DOT, TRANSPARENT, {0, 1}, {13, 1}, {1, 0}, "xxx...xxx...x."},
        LineCase{"DottedOpaqueFillsTheGaps", PS_DOT, OPAQUE, {0, 1}, {13, 1}, {1, 0}, "xxxbbbxxxbbbx."},
        LineCase{"NullPen", PS_NULL, OPAQUE, {0, 1}, {5, 1}, {1, 0}, "......"}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

// ---- Regions ----

TEST(GdiRegionTest, APolygonFillsExactlyThePixelsItsRegionHolds) {
    CSurface surface(12, 12);
    const POINT triangle[] = {{1, 1}, {10, 1}, {1, 10}};
    HRGN region = CreatePolygonRgn(triangle, 3, ALTERNATE);
    ASSERT_NE(region, nullptr);
    HBRUSH brush = CreateSolidBrush(kRed);
    ASSERT_TRUE(FillRgn(surface.Dc(), region, brush));
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            EXPECT_EQ(surface.Pixel(x, y) == kRed, PtInRegion(region, x, y) != FALSE) << x << ", " << y;
        }
    }
    EXPECT_TRUE(PtInRegion(region, 1, 1));
    EXPECT_TRUE(PtInRegion(region, 4, 4));
    EXPECT_FALSE(PtInRegion(region, 6, 6));
    DeleteObject(brush);
    DeleteObject(region);
}

TEST(GdiRegionTest, AnEllipticRegionLeavesOutItsRightAndBottomEdges) {
    HRGN region = CreateEllipticRgn(0, 0, 10, 10);
    EXPECT_TRUE(PtInRegion(region, 5, 5));
    EXPECT_TRUE(PtInRegion(region, 9, 5));
    EXPECT_FALSE(PtInRegion(region, 10, 5));
    EXPECT_FALSE(PtInRegion(region, 5, 10));
    EXPECT_FALSE(PtInRegion(region, 0, 0));
    DeleteObject(region);
    HRGN empty = CreateEllipticRgn(0, 0, 0, 0);
    EXPECT_FALSE(PtInRegion(empty, 0, 0));
    DeleteObject(empty);
}

TEST(GdiRegionTest, PolygonsWithoutPointsOrWithAnUnknownFillModeAreRefused) {
    const POINT points[] = {{0, 0}, {5, 0}, {0, 5}};
    for (auto [pts, count, mode] :
         {std::tuple{points, 1, ALTERNATE}, std::tuple{static_cast<const POINT*>(nullptr), 3, ALTERNATE},
          std::tuple{points, 3, 3}}) {
        SetLastError(0);
        EXPECT_EQ(CreatePolygonRgn(pts, count, mode), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

// ---- Object lifetimes ----

TEST(GdiObjectTest, ASelectedObjectIsNotDeletedUntilItIsDeselected) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 7, 5);
    HGDIOBJ old = SelectObject(dc, bitmap);
    ASSERT_NE(old, nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    BITMAP description{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof(description), &description), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(description.bmWidth, 7);
    EXPECT_EQ(description.bmHeight, 5);
    EXPECT_EQ(description.bmBitsPixel, 32);
    EXPECT_EQ(SelectObject(dc, old), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObjectW(bitmap, sizeof(description), &description), 0);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
}

TEST(GdiObjectTest, ABitmapIsDrawnOnByOneMemoryDcAtATime) {
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(first);
    HBITMAP bitmap = CreateCompatibleBitmap(first, 3, 3);
    HGDIOBJ old = SelectObject(first, bitmap);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    SelectObject(first, old);
    // Deleting the DC releases what it had selected.
    old = SelectObject(second, bitmap);
    DeleteDC(second);
    EXPECT_TRUE(DeleteObject(bitmap));
    DeleteDC(first);
}

TEST(GdiObjectTest, DescriptionsGiveBackWhatTheObjectsWereMadeWith) {
    HPEN pen = CreatePen(PS_DOT, 1, RGB(1, 2, 3));
    LOGPEN logPen{};
    ASSERT_EQ(GetObjectW(pen, sizeof(logPen), &logPen), static_cast<int>(sizeof(LOGPEN)));
    EXPECT_EQ(logPen.lopnStyle, static_cast<UINT>(PS_DOT));
    EXPECT_EQ(logPen.lopnColor, RGB(1, 2, 3));
    HPEN widePen = CreatePen(PS_DOT, 3, RGB(1, 2, 3));
    GetObjectW(widePen, sizeof(logPen), &logPen);
    EXPECT_EQ(logPen.lopnStyle, static_cast<UINT>(PS_SOLID)) << "styled pens are one pixel wide only";

    LOGFONTW logFont{};
    logFont.lfHeight = -14;
    logFont.lfWeight = FW_BOLD;
    std::wcscpy(logFont.lfFaceName, L"Segoe UI");
    HFONT font = CreateFontIndirectW(&logFont);
    LOGFONTW described{};
    EXPECT_EQ(GetObjectW(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTW)));
    ASSERT_EQ(GetObjectW(font, sizeof(described), &described), static_cast<int>(sizeof(LOGFONTW)));
    EXPECT_EQ(described.lfHeight, -14);
    EXPECT_STREQ(described.lfFaceName, L"Segoe UI");
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(widePen), static_cast<HGDIOBJ>(font)}) {
        EXPECT_TRUE(DeleteObject(object));
    }
}

TEST(GdiObjectTest, StockObjectsOutliveDeleteObject) {
    HGDIOBJ brush = GetStockObject(WHITE_BRUSH);
    EXPECT_TRUE(DeleteObject(brush));
    LOGBRUSH description{};
    EXPECT_EQ(GetObjectW(brush, sizeof(description), &description), static_cast<int>(sizeof(LOGBRUSH)));
    EXPECT_EQ(description.lbColor, kWhite);
    EXPECT_EQ(GetStockObject(12345), nullptr);
}

TEST(GdiObjectTest, BadHandlesAndSizesFailWithoutHarm) {
    CSurface surface(4, 4);
    HRGN region = CreateRectRgn(0, 0, 2, 2);
    EXPECT_EQ(SelectObject(surface.Dc(), region), HGDI_ERROR);
    DeleteObject(region);
    SetLastError(0);
    EXPECT_EQ(SelectObject(surface.Dc(), reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetBkMode(surface.Dc(), 7), 0);
    EXPECT_EQ(CreateCompatibleBitmap(surface.Dc(), -1, 4), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(surface.Dc(), 100000, 100000), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(CreateCompatibleBitmap(reinterpret_cast<HDC>(0x1234), 4, 4), nullptr);
}

// ---- Text ----

class GdiTextTest : public testing::Test {
protected:
    GdiTextTest() : m_surface(200, 80) {}
    ~GdiTextTest() override {
        SelectObject(m_surface.Dc(), GetStockObject(SYSTEM_FONT));
        for (HFONT font : m_fonts) {
            DeleteObject(font);
        }
    }

    HFONT Font(int height, int weight = FW_NORMAL, const wchar_t* face = L"Segoe UI") {
        HFONT font = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, face);
        m_fonts.push_back(font);
        return font;
    }

    int Use(HFONT font) {
        SelectObject(m_surface.Dc(), font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(m_surface.Dc(), &metrics);
        return metrics.tmHeight;
    }

    LONG Width(const wchar_t* text) {
        SIZE size{};
        EXPECT_TRUE(GetTextExtentPoint32W(m_surface.Dc(), text, static_cast<int>(std::wcslen(text)), &size));
        return size.cx;
    }

    RECT CalcRect(const wchar_t* text, UINT format, LONG width = 200) {
        RECT rect{0, 0, width, 80};
        DrawTextW(m_surface.Dc(), text, -1, &rect, format | DT_CALCRECT);
        return rect;
    }

    CSurface m_surface;
    std::vector<HFONT> m_fonts;
};

TEST_F(GdiTextTest, SegoeUiAndMsShellDlgResolveToTheShippedOpenFont) {
    const wchar_t* text = L"Flipdeck quick settings";
    for (int weight : {FW_NORMAL, FW_BOLD, 956}) {
        Use(Font(-14, weight, L"Lato"));
        const LONG lato = Width(text);
        Use(Font(-14, weight, L"Segoe UI"));
        EXPECT_EQ(Width(text), lato) << weight;
        Use(Font(-14, weight, L"MS Shell Dlg"));
        EXPECT_EQ(Width(text), lato) << weight;
        Use(Font(-14, weight, L"DejaVu Sans"));
        EXPECT_NE(Width(text), lato) << weight;
    }
}

TEST_F(GdiTextTest, TheThreeWeightsOfTheProgramDifferInWidth) {
    const wchar_t* text = L"MY BATTERY";
    Use(Font(-14, FW_NORMAL));
    const LONG regular = Width(text);
    Use(Font(-14, FW_BOLD));
    const LONG bold = Width(text);
    Use(Font(-14, 956));
    EXPECT_LT(regular, bold);
    EXPECT_LT(bold, Width(text));
}

TEST_F(GdiTextTest, ScriptsLatoLacksFallBackToFontsThatCoverThem) {
    const auto lock = platform::gdi::LockGdi();
    LOGFONTW logFont{};
    logFont.lfHeight = -14;
    std::wcscpy(logFont.lfFaceName, L"Segoe UI");
    const platform::gdi::CTextFont font(logFont);
    for (const wchar_t* text :
         {L"电池设置", L"バッテリー", L"배터리", L"البطارية", L"סוללה", L"Батарея", L"Μπαταρία"}) {
        const platform::gdi::LayoutPtr layout = font.NewLayout(text);
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout.get()), 0);
    }
}

TEST_F(GdiTextTest, ExtentsAreTheCellHeightAndTheAdvanceWidth) {
    const int lineHeight = Use(Font(-14));
    EXPECT_GE(lineHeight, 15);
    EXPECT_LE(lineHeight, 20);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(m_surface.Dc(), L"", 0, &size));
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, lineHeight);
    EXPECT_GT(Width(L"Close Close"), Width(L"Close"));
    EXPECT_FALSE(GetTextExtentPoint32W(m_surface.Dc(), nullptr, 3, &size));
    // A positive height asks for the cell.
    EXPECT_EQ(Use(Font(24)), 24);
}

struct AlignCase {
    const char* name;
    UINT format;
    int horizontal; // -1 left, 0 centre, 1 right
    int vertical;   // -1 top, 0 centre, 1 bottom
};

class GdiDrawTextAlignTest : public GdiTextTest, public testing::WithParamInterface<AlignCase> {};

TEST_P(GdiDrawTextAlignTest, TextStandsWhereItsFlagsPutIt) {
    const AlignCase& c = GetParam();
    const int lineHeight = Use(Font(-14));
    RECT rect{20, 10, 180, 70};
    ASSERT_GT(DrawTextW(m_surface.Dc(), L"Close", -1, &rect, c.format), 0);
    const RECT ink = m_surface.InkBounds();
    ASSERT_FALSE(gdi_test::IsEmpty(ink));
    const LONG centreX = (ink.left + ink.right) / 2;
    const LONG centreY = (ink.top + ink.bottom) / 2;
    const int slack = 4;
    switch (c.horizontal) {
    case -1:
        EXPECT_LE(ink.left - rect.left, slack);
        break;
    case 0:
        EXPECT_LE(std::abs(centreX - 100), slack);
        break;
    default:
        EXPECT_LE(rect.right - ink.right, slack);
    }
    switch (c.vertical) {
    case -1:
        EXPECT_LT(ink.bottom, rect.top + lineHeight + 1);
        break;
    case 0:
        EXPECT_LE(std::abs(centreY - 40), slack);
        break;
    default:
        EXPECT_GT(ink.top, rect.bottom - lineHeight - 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, GdiDrawTextAlignTest,
    testing::Values(AlignCase{"LeftTop", DT_LEFT | DT_SINGLELINE, -1, -1},
                    AlignCase{"CentreMiddle", DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0},
                    AlignCase{"RightBottom", DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, 1, 1},
                    AlignCase{"VCenterNeedsSingleLine", DT_CENTER | DT_VCENTER, 0, -1},
                    AlignCase{"VCenterEndEllipsisStaysOnTop", DT_VCENTER | DT_END_ELLIPSIS, -1, -1}),
    [](const testing::TestParamInfo<AlignCase>& info) { return std::string(info.param.name); });

// Right-to-left text: the characters stand in reading order from the right, while the alignment flags
// place the line as they do for any text (no right-to-left reading is asked for). The first character
// is found by the underline its "&" prefix adds.
struct ReadingOrderCase {
    const char* name;
    const wchar_t* text;
    UINT format;
    bool bFirstOnTheRight;
    int horizontal; // -1 left, 1 right
};

class GdiReadingOrderTest : public GdiTextTest, public testing::WithParamInterface<ReadingOrderCase> {};

TEST_P(GdiReadingOrderTest, TheFirstCharacterStandsWhereItsScriptReadsFrom) {
    const ReadingOrderCase& c = GetParam();
    const HFONT font = Font(-14);
    Use(font);
    CSurface underlined(200, 80);
    SelectObject(underlined.Dc(), font);
    RECT rect{10, 10, 190, 40};
    const UINT format = c.format | DT_SINGLELINE;
    ASSERT_GT(DrawTextW(m_surface.Dc(), c.text, -1, &rect, format), 0);
    const std::wstring prefixed = std::wstring(L"&") + c.text;
    ASSERT_GT(DrawTextW(underlined.Dc(), prefixed.c_str(), -1, &rect, format), 0);
    SelectObject(underlined.Dc(), GetStockObject(SYSTEM_FONT));

    RECT underline{200, 80, 0, 0};
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 200; ++x) {
            if (m_surface.Pixel(x, y) != underlined.Pixel(x, y)) {
                underline.left = std::min<LONG>(underline.left, x);
                underline.right = std::max<LONG>(underline.right, x + 1);
            }
        }
    }
    const RECT ink = m_surface.InkBounds();
    ASSERT_FALSE(gdi_test::IsEmpty(ink));
    ASSERT_LT(underline.left, underline.right) << "no underline under the first character";
    const LONG middle = (ink.left + ink.right) / 2;
    if (c.bFirstOnTheRight) {
        EXPECT_GT(underline.left, middle);
        EXPECT_GE(underline.right, ink.right - 2);
    } else {
        EXPECT_LT(underline.right, middle);
        EXPECT_LE(underline.left, ink.left + 2);
    }
    const int slack = 4;
    if (c.horizontal < 0) {
        EXPECT_LE(ink.left - rect.left, slack);
    } else {
        EXPECT_LE(rect.right - ink.right, slack);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, GdiReadingOrderTest,
    testing::Values(ReadingOrderCase{"LatinLeft", L"Close now", DT_LEFT, false, -1},
                    ReadingOrderCase{"ArabicLeft", L"البطارية متاحة", DT_LEFT, true, -1},
                    ReadingOrderCase{"ArabicRight", L"البطارية متاحة", DT_RIGHT, true, 1},
                    ReadingOrderCase{"HebrewLeft", L"הסוללה שלי", DT_LEFT, true, -1},
                    ReadingOrderCase{"ArabicAroundLatin", L"أمان WiFi متوقف", DT_LEFT, true, -1},
                    ReadingOrderCase{"LatinAroundArabic", L"WiFi أمان", DT_RIGHT, false, 1}),
    [](const testing::TestParamInfo<ReadingOrderCase>& info) { return std::string(info.param.name); });

TEST_F(GdiTextTest, DrawTextAnswersTheHeightOfItsText) {
    const int lineHeight = Use(Font(-14));
    RECT rect{0, 0, 200, 80};
    EXPECT_EQ(DrawTextW(m_surface.Dc(), L"Close", -1, &rect, DT_SINGLELINE), lineHeight);
    EXPECT_EQ(DrawTextW(m_surface.Dc(), L"Close", -1, &rect, DT_SINGLELINE | DT_BOTTOM), 80);
    EXPECT_EQ(DrawTextW(m_surface.Dc(), L"one\ntwo", -1, &rect, 0), 2 * lineHeight);
}

TEST_F(GdiTextTest, CalcRectMeasuresAndDrawsNothing) {
    const int lineHeight = Use(Font(-14));
    const RECT rect = CalcRect(L"Close", DT_SINGLELINE);
    EXPECT_EQ(rect.right, Width(L"Close"));
    EXPECT_EQ(rect.bottom, lineHeight);
    EXPECT_TRUE(gdi_test::IsEmpty(m_surface.InkBounds()));
}

TEST_F(GdiTextTest, PrefixesAreTakenOutAndUnderlineTheirCharacter) {
    Use(Font(-14));
    EXPECT_EQ(CalcRect(L"&Close", DT_SINGLELINE).right, Width(L"Close"));
    EXPECT_EQ(CalcRect(L"&Close", DT_SINGLELINE | DT_NOPREFIX).right, Width(L"&Close"));
    EXPECT_EQ(CalcRect(L"Cool &&& quiet mode on", DT_SINGLELINE).right, Width(L"Cool & quiet mode on"));
    EXPECT_EQ(CalcRect(L"Comments && feedback", DT_SINGLELINE).right, Width(L"Comments & feedback"));

    RECT rect{0, 0, 200, 40};
    DrawTextW(m_surface.Dc(), L"&Close", -1, &rect, DT_SINGLELINE | DT_HIDEPREFIX);
    const int hidden = 200 * 80 - m_surface.Count(kWhite);
    Fill(m_surface.Dc(), RECT{0, 0, 200, 80}, kWhite);
    DrawTextW(m_surface.Dc(), L"&Close", -1, &rect, DT_SINGLELINE);
    const int underlined = 200 * 80 - m_surface.Count(kWhite);
    EXPECT_GT(underlined, hidden);
}

TEST_F(GdiTextTest, WordBreakWrapsBetweenWordsAndKeepsLongWordsWhole) {
    const int lineHeight = Use(Font(-14));
    const LONG width = Width(L"alpha beta") + 2;
    EXPECT_EQ(CalcRect(L"alpha beta gamma", DT_WORDBREAK, width).bottom, 2 * lineHeight);
    EXPECT_EQ(CalcRect(L"alpha beta gamma", 0, width).bottom, lineHeight);
    EXPECT_EQ(CalcRect(L"alphabetagamma", DT_WORDBREAK, 20).bottom, lineHeight);
}

TEST_F(GdiTextTest, EllipsisFlagsShortenALineToTheRectangle) {
    Use(Font(-14));
    const wchar_t* text = L"Intelligent cooling: Extreme performance mode";
    EXPECT_GT(CalcRect(text, DT_SINGLELINE, 80).right, 80);
    for (UINT ellipsis : {DT_END_ELLIPSIS, DT_WORD_ELLIPSIS}) {
        const RECT rect = CalcRect(text, DT_SINGLELINE | ellipsis, 80);
        EXPECT_LE(rect.right, 80);
        EXPECT_GT(rect.right, Width(L"..."));
    }
}

TEST_F(GdiTextTest, TextIsClippedToItsRectangleUnlessNoClipIsAsked) {
    const int lineHeight = Use(Font(-14));
    RECT rect{0, 0, 20, lineHeight};
    DrawTextW(m_surface.Dc(), L"BATTERY DETAILS", -1, &rect, DT_SINGLELINE);
    EXPECT_LE(m_surface.InkBounds().right, 20);
    DrawTextW(m_surface.Dc(), L"BATTERY DETAILS", -1, &rect, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(m_surface.InkBounds().right, 40);
}

TEST_F(GdiTextTest, OpaqueModeFillsBehindTheTextAndTransparentModeDoesNot) {
    Use(Font(-14));
    SetBkColor(m_surface.Dc(), kRed);
    SetBkMode(m_surface.Dc(), TRANSPARENT);
    ExtTextOutW(m_surface.Dc(), 0, 0, 0, nullptr, L"Close", 5, nullptr);
    EXPECT_EQ(m_surface.Count(kRed), 0);
    SetBkMode(m_surface.Dc(), OPAQUE);
    ExtTextOutW(m_surface.Dc(), 0, 40, 0, nullptr, L"Close", 5, nullptr);
    EXPECT_GT(m_surface.Count(kRed), 0);
}

TEST_F(GdiTextTest, FlagsAndArgumentsNotSupportedAreRefused) {
    RECT rect{0, 0, 100, 20};
    SetLastError(0);
    EXPECT_EQ(DrawTextW(m_surface.Dc(), L"a\tb", -1, &rect, 0x40 /* DT_EXPANDTABS */), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    const INT advances[] = {5, 5};
    EXPECT_FALSE(ExtTextOutW(m_surface.Dc(), 0, 0, 0, nullptr, L"ab", 2, advances));
    EXPECT_FALSE(ExtTextOutW(m_surface.Dc(), 0, 0, ETO_CLIPPED, nullptr, L"ab", 2, nullptr));
    EXPECT_EQ(DrawTextW(m_surface.Dc(), nullptr, -1, &rect, 0), 0);
    EXPECT_TRUE(gdi_test::IsEmpty(m_surface.InkBounds()));
}

} // namespace

// The battery meter: its picture, overlay and texts where the 354 x 98 design puts them, scaled with
// the control and the DPI; the level with its sign over two lines, a long third line that lifts the
// others and wraps; one message that moves left and then shrinks when it is long; ids and texts that
// change nothing or clear; its narrator text; and setters called from a worker while it paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>

#include "controls/PNGBatteryStatic.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::DrawPng;
using controls_test::HasUpdate;
using controls_test::PumpUntil;

constexpr int kBattery80Png = 153;
constexpr int kBatteryFaultPng = 179;
constexpr int kChargingBadgePng = 163;
constexpr int kAirplaneBadgePng = 144;
constexpr int kMissingPng = 9999;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kMessageOrange = RGB(0xF0, 0x55, 0x0A);
const COLORREF kLevelInk = RGB(0x34, 0x49, 0x5E);
const COLORREF kCaptionInk = RGB(0x3A, 0x87, 0x95);

const wchar_t kShortThird[] = L"REMAINING TIME";
const wchar_t kLongThird[] = L"TIME TO FULL CHARGE WITH RAPID CHARGE ON";

class CMeterProbe : public CPNGBatteryStatic {
public:
    using CPNGBatteryStatic::m_bSingleText;
    using CPNGBatteryStatic::m_pImage;
    using CPNGBatteryStatic::m_pOverlay;
    using CPNGBatteryStatic::m_strLevel;
    using CPNGBatteryStatic::m_strSecond;
    using CPNGBatteryStatic::m_strSingle;
    using CPNGBatteryStatic::m_strThird;
};

// "Segoe UI" of that character height (pixels) and weight on a DC, selected while it lives.
class CSelectedFont {
public:
    CSelectedFont(CDC& dc, int nHeight, int nWeight) : m_dc(dc) {
        m_font.CreateFont(-nHeight, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
        m_pOld = m_dc.SelectObject(&m_font);
    }
    ~CSelectedFont() { m_dc.SelectObject(m_pOld); }
    CSize Extent(const wchar_t* pszText) const { return m_dc.GetTextExtent(CString(pszText)); }

private:
    CDC& m_dc;
    CFont m_font;
    CFont* m_pOld;
};

CSize TextExtent(const wchar_t* pszText, int nHeight, int nWeight) {
    gdi_test::CSurface surface(1, 1);
    return CSelectedFont(*CDC::FromHandle(surface.Dc()), nHeight, nWeight).Extent(pszText);
}

// A rectangle by its left, top, width and height.
struct Box {
    int x;
    int y;
    int cx;
    int cy;
};

// Where the three texts of the meter stand on one control, in pixels, written out for its size and DPI.
struct ThreeTextLayout {
    int nTextsLeft;   // 72/354 of the width: the level, second and third lines start here or further right
    int nLevelCentre; // 337/708 of the width
    int yLevel;       // (d - 2)/98 of the height, d = -8 with a long third line
    int nPercentGap;  // 1/354 of the width, between the level and its sign
    int ySecond;      // (d + 58)/98 of the height
    int nThirdGap;    // 1/98 of the height, between the second and the third line
    int nLongThird;   // 185/354 of the width: a third line wider than this is long
    Box overlay;
    int nLevelFont; // font heights in pixels: 42, 20, 11, 9 and 8 at 96 DPI
    int nPercentFont;
    int nSecondFont;
    int nCaptionFont;
    int nNarrowFont;
};

// 354 x 98 at 96 DPI, with a third line that fits and with a long one.
constexpr ThreeTextLayout kDesign{72, 168, -2, 1, 58, 1, 185, {45, 28, 23, 30}, 42, 20, 11, 9, 8};
constexpr ThreeTextLayout kDesignLongThird{72, 168, -10, 1, 50, 1, 185, {45, 28, 23, 30}, 42, 20, 11, 9, 8};
// 531 x 147 at 144 DPI: 252.75 and 277.5 truncated; the DPI rounds 67.5, 34.5, 16.5 and 13.5 up.
constexpr ThreeTextLayout kDesignAt144{108, 252, -3, 1, 87, 1, 277, {68, 42, 35, 45}, 63, 30, 17, 14, 12};
// 300 x 83 at 96 DPI with a long third line: -8.47 and 42.3 truncated, no gaps below one pixel.
constexpr ThreeTextLayout kNarrowLongThird{61, 142, -8, 0, 42, 0, 156, {45, 28, 23, 30}, 42, 20, 11, 9, 8};

// The meter drawn on a W x H surface at the positions a layout gives.
class CMeterReference {
public:
    CMeterReference(int cx, int cy) : m_surface(cx, cy), m_nWidth(cx) { Dc().SetBkMode(TRANSPARENT); }

    const gdi_test::CSurface& Surface() const { return m_surface; }

    void Image(int nId, int x, int y, int cx, int cy) {
        Gdiplus::Graphics graphics(m_surface.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        DrawPng(graphics, nId, x, y, cx, cy);
    }
    void Image(int nId, const Box& box) { Image(nId, box.x, box.y, box.cx, box.cy); }

    // Draws the text in the font (height in pixels) and colour into (x, y, cx, cy); the rectangle.
    RECT Text(const wchar_t* pszText, int nHeight, int nWeight, COLORREF crText, int x, int y, int cx, int cy,
              UINT nFlags) {
        const CSelectedFont font(Dc(), nHeight, nWeight);
        Dc().SetTextColor(crText);
        RECT rc{x, y, x + cx, y + cy};
        RECT rcDraw = rc;
        Dc().DrawText(pszText, -1, &rcDraw, nFlags);
        return rc;
    }

    // The level with its sign, centred on the layout's level centre; the second line centred and the
    // third under it, centred in 1.1 of its width, or when long in 0.66 of it on two lines.
    void ThreeTexts(const ThreeTextLayout& layout, const wchar_t* pszLevel, const wchar_t* pszSecond,
                    const wchar_t* pszThird) {
        const int W = m_nWidth;
        const CSize third = TextExtent(pszThird, layout.nCaptionFont, 700);
        const bool bLong = third.cx > layout.nLongThird;
        const CSize level = TextExtent(pszLevel, layout.nLevelFont, 956);
        const RECT rcLevel = Text(pszLevel, layout.nLevelFont, 956, kLevelInk,
                                  std::max(layout.nTextsLeft, layout.nLevelCentre - level.cx / 2),
                                  layout.yLevel, level.cx, level.cy, 0);
        const CSize percent = TextExtent(L"%", layout.nPercentFont, 956);
        Text(L"%", layout.nPercentFont, 956, kLevelInk, rcLevel.right + layout.nPercentGap,
             layout.yLevel + static_cast<int>(level.cy * 0.42), percent.cx, percent.cy, 0);
        const CSize second = TextExtent(pszSecond, layout.nSecondFont, 700);
        const RECT rcSecond =
            Text(pszSecond, layout.nSecondFont, 700, kLevelInk,
                 std::max(layout.nTextsLeft, (W - second.cx) / 2), layout.ySecond, second.cx, second.cy, 0);
        const int yThird = rcSecond.bottom + layout.nThirdGap;
        if (bLong) {
            const double dWidth = third.cx * 0.66;
            Text(pszThird, layout.nNarrowFont, 700, kCaptionInk, static_cast<int>(W - dWidth) / 2, yThird,
                 static_cast<int>(dWidth), 2 * third.cy, DT_CENTER | DT_WORDBREAK);
        } else {
            const double dWidth = third.cx * 1.1;
            Text(pszThird, layout.nCaptionFont, 700, kCaptionInk,
                 std::max(layout.nTextsLeft, static_cast<int>(W - dWidth) / 2), yThird,
                 static_cast<int>(dWidth), third.cy, DT_CENTER | DT_WORDBREAK);
        }
    }

private:
    CDC& Dc() { return *CDC::FromHandle(m_surface.Dc()); }

    gdi_test::CSurface m_surface;
    int m_nWidth;
};

class BatteryMeterTest : public CControlWindowTest {
protected:
    // The panel's battery picture: 354 x 98 at 96 DPI, at (20, 10) of its parent.
    CMeterProbe& MakeMeter(int cx = 354, int cy = 98) {
        EXPECT_TRUE(m_meter.Create(L"", WS_CHILD | WS_VISIBLE, RECT{20, 10, 20 + cx, 10 + cy},
                                   &MakeParent(cx + 40, cy + 20), 1052));
        return m_meter;
    }

    bool Repainted() {
        m_meter.Invalidate(TRUE);
        return Painted(m_meter);
    }

    CMeterProbe m_meter;
};

// ---- The level and its lines ----
struct ThreeTextCase {
    const char* name;
    int dpi;
    int cx;
    int cy;
    int nImageId;
    int nOverlayId;
    const wchar_t* pszLevel;
    const wchar_t* pszSecond;
    const wchar_t* pszThird;
    ThreeTextLayout layout;
};

class MeterThreeTexts : public BatteryMeterTest, public testing::WithParamInterface<ThreeTextCase> {};

TEST_P(MeterThreeTexts, StandWhereTheDesignPutsThem) {
    const ThreeTextCase& c = GetParam();
    SetDpi(c.dpi);
    CMeterProbe& meter = MakeMeter(c.cx, c.cy);
    meter.SetImages(c.nImageId, c.nOverlayId);
    meter.SetTexts(c.pszLevel, c.pszSecond, c.pszThird);
    ASSERT_TRUE(Repainted());

    CMeterReference reference(c.cx, c.cy);
    if (c.nImageId) {
        reference.Image(c.nImageId, 0, 0, c.cx, c.cy);
    }
    if (c.nOverlayId) {
        reference.Image(c.nOverlayId, c.layout.overlay);
    }
    reference.ThreeTexts(c.layout, c.pszLevel, c.pszSecond, c.pszThird);
    EXPECT_EQ(CClientPixels(meter).Differences(reference.Surface()), 0);
}

const wchar_t kSecond[] = L"3 hours 20 minutes";
// Wider than 354 - 2 x 72 pixels in its font: centred it would start left of 72.
const wchar_t kWideSecond[] = L"Fully charged in about 3 hours and 20 minutes";

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterThreeTexts,
    testing::Values(ThreeTextCase{"OnThePicture", 96, 354, 98, kBattery80Png, kChargingBadgePng, L"80",
                                  kSecond, kShortThird, kDesign},
                    ThreeTextCase{"WithoutImagesOnWhite", 96, 354, 98, 0, 0, L"7", kSecond, kShortThird,
                                  kDesign},
                    ThreeTextCase{"WideLevelStaysRightOf72", 96, 354, 98, 0, kChargingBadgePng, L"100000000",
                                  kSecond, kShortThird, kDesign},
                    ThreeTextCase{"WideSecondLineStaysRightOf72", 96, 354, 98, 0, 0, L"80", kWideSecond,
                                  kShortThird, kDesign},
                    ThreeTextCase{"LongThirdLineLiftsTheOthers", 96, 354, 98, kBattery80Png, 0, L"100",
                                  kSecond, kLongThird, kDesignLongThird},
                    ThreeTextCase{"ScaledAt144Dpi", 144, 531, 147, kBattery80Png, kAirplaneBadgePng, L"80",
                                  kSecond, kShortThird, kDesignAt144},
                    ThreeTextCase{"NarrowerControlTakesItsFractions", 96, 300, 83, kBattery80Png, 0, L"45",
                                  kSecond, kLongThird, kNarrowLongThird}),
    [](const testing::TestParamInfo<ThreeTextCase>& info) { return std::string(info.param.name); });

TEST_F(BatteryMeterTest, TheCasesTextsAreAsWideAsTheirLayoutsNeed) {
    EXPECT_LE(TextExtent(kShortThird, 9, 700).cx, 185);
    EXPECT_LE(TextExtent(kShortThird, 14, 700).cx, 277);
    EXPECT_GT(TextExtent(kLongThird, 9, 700).cx, 185);
    EXPECT_GT(TextExtent(kWideSecond, 11, 700).cx, 354 - 2 * 72);
    EXPECT_GT(TextExtent(L"100000000", 42, 956).cx, 2 * (168 - 72));
}

// The bounds of the pixels in the area that are not white; empty for none.
CRect InkIn(const CClientPixels& pixels, const RECT& area) {
    CRect ink(area.right, area.bottom, area.left, area.top);
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (pixels.At(x, y) != kWhite) {
                ink = CRect(std::min<int>(ink.left, x), std::min<int>(ink.top, y),
                            std::max<int>(ink.right, x + 1), std::max<int>(ink.bottom, y + 1));
            }
        }
    }
    return ink.IsRectEmpty() ? CRect() : ink;
}

TEST_F(BatteryMeterTest, ALongThirdLineLiftsTheLevelAndTheSecondLineByEightPixels) {
    ASSERT_LE(TextExtent(kShortThird, 9, 700).cx, 185);
    ASSERT_GT(TextExtent(kLongThird, 9, 700).cx, 185);
    CMeterProbe& meter = MakeMeter();
    meter.SetTexts(L"10000000", L"REMAINING", kShortThird);
    ASSERT_TRUE(Repainted());
    // The bands of the level with its sign, the second line from y = 58 and the third under it.
    const CClientPixels shortPixels(meter);
    const CRect levelShort = InkIn(shortPixels, RECT{0, 0, 354, 50});
    const CRect secondShort = InkIn(shortPixels, RECT{0, 55, 354, 74});
    const CRect thirdShort = InkIn(shortPixels, RECT{0, 74, 354, 98});

    meter.SetTexts(nullptr, nullptr, kLongThird);
    ASSERT_TRUE(Repainted());
    const CClientPixels longPixels(meter);
    const CRect levelLong = InkIn(longPixels, RECT{0, 0, 354, 42});
    const CRect secondLong = InkIn(longPixels, RECT{0, 47, 354, 66});
    const CRect thirdLong = InkIn(longPixels, RECT{0, 66, 354, 98});

    EXPECT_GE(levelShort.left, 72) << "a wide level starts at x = 72";
    EXPECT_LE(levelShort.left, 76);
    EXPECT_EQ(levelLong.left, levelShort.left);
    EXPECT_EQ(levelLong.bottom, levelShort.bottom - 8);
    EXPECT_EQ(secondLong.top, secondShort.top - 8);
    EXPECT_EQ(secondLong.Height(), secondShort.Height());
    EXPECT_GT(thirdLong.Height(), thirdShort.Height() * 3 / 2) << "the long line takes two lines";
    EXPECT_LT(thirdLong.Width(), TextExtent(kLongThird, 9, 700).cx) << "in a box narrower than the text";
}

// The sign is drawn behind the level whatever the level holds, an empty one too.
TEST_F(BatteryMeterTest, WithoutTextsOrImagesItShowsOnlyThePercentSignOnWhite) {
    CMeterProbe& meter = MakeMeter();
    meter.SetImages(kMissingPng, kMissingPng);
    EXPECT_EQ(meter.m_pImage, nullptr);
    EXPECT_EQ(meter.m_pOverlay, nullptr);
    ASSERT_TRUE(Repainted());
    CMeterReference signAlone(354, 98);
    signAlone.ThreeTexts(kDesign, L"", L"", L"");
    EXPECT_EQ(CClientPixels(meter).Differences(signAlone.Surface()), 0);
    EXPECT_GT(CClientPixels(meter).Count(kLevelInk), 20) << "the sign";

    meter.SetTexts(L"", L"Battery available", nullptr);
    ASSERT_TRUE(Repainted());
    CMeterReference withSecond(354, 98);
    withSecond.ThreeTexts(kDesign, L"", L"Battery available", L"");
    EXPECT_EQ(CClientPixels(meter).Differences(withSecond.Surface()), 0);
}

// ---- One message ----
// The message grown with "!" until it is wider than the limit; the limit is passed by less than a step.
std::wstring WiderThan(int nLimit) {
    std::wstring text = L"Battery voltage incorrect";
    while (TextExtent(text.c_str(), 14, 956).cx <= nLimit) {
        text += L'!';
    }
    return text;
}

struct SingleCase {
    const char* name;
    int dpi;
    int cx;
    int cy;
    std::wstring text;
    int nLeft;      // 60/354 of the width, or 50/354 when the text would pass 326/354 of it
    int nTop;       // 38/98 of the height
    int nLargeFont; // font heights in pixels: the text is measured in the large one (14 at 96 DPI)
    int nDrawnFont; // and drawn in this one
    Box overlay;    // 19/354 of the width, then the DPI's 59, 15 and 18
};

class MeterSingleText : public BatteryMeterTest, public testing::WithParamInterface<SingleCase> {};

TEST_P(MeterSingleText, StartsAt60MovesTo50AndThenShrinks) {
    const SingleCase& c = GetParam();
    SetDpi(c.dpi);
    CMeterProbe& meter = MakeMeter(c.cx, c.cy);
    meter.SetTexts(L"80", L"3 hours", kShortThird);
    meter.SetImages(kBatteryFaultPng, kChargingBadgePng);
    meter.SetText(c.text.c_str());
    ASSERT_TRUE(Repainted());

    const CSize size = TextExtent(c.text.c_str(), c.nLargeFont, 956);
    CMeterReference reference(c.cx, c.cy);
    reference.Image(kBatteryFaultPng, 0, 0, c.cx, c.cy);
    reference.Image(kChargingBadgePng, c.overlay);
    reference.Text(c.text.c_str(), c.nDrawnFont, 956, kMessageOrange, c.nLeft, c.nTop, size.cx, size.cy, 0);
    EXPECT_EQ(CClientPixels(meter).Differences(reference.Surface()), 0) << size.cx;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MeterSingleText,
    testing::Values(
        SingleCase{"FitsFrom60", 96, 354, 98, L"No system battery", 60, 38, 14, 14, {19, 59, 15, 18}},
        SingleCase{
            "PassingTheLimitStartsAt50", 96, 354, 98, WiderThan(326 - 60), 50, 38, 14, 14, {19, 59, 15, 18}},
        SingleCase{
            "PassingItStillShrinks", 96, 354, 98, WiderThan(326 - 50), 50, 38, 14, 12, {19, 59, 15, 18}},
        // 50.8, 32.2 and 16.1 truncated.
        SingleCase{"NarrowerControlTakesItsFractions",
                   96,
                   300,
                   83,
                   L"No system battery",
                   50,
                   32,
                   14,
                   14,
                   {16, 59, 15, 18}},
        // 28.5 truncated; the DPI rounds 88.5 and 22.5 up.
        SingleCase{"ScaledAt144Dpi", 144, 531, 147, L"No system battery", 90, 57, 21, 21, {28, 89, 23, 27}}),
    [](const testing::TestParamInfo<SingleCase>& info) { return std::string(info.param.name); });

TEST_F(BatteryMeterTest, TheMessageAndTheThreeTextsAreKeptApart) {
    CMeterProbe& meter = MakeMeter();
    meter.SetTexts(L"80", L"3 hours", kShortThird);
    meter.SetText(nullptr);
    EXPECT_TRUE(meter.m_bSingleText);
    EXPECT_TRUE(meter.m_strSingle.IsEmpty()) << "a null message is an empty one";
    meter.SetText(L"No system battery");
    meter.SetTexts(nullptr, L"2 hours", nullptr);
    EXPECT_FALSE(meter.m_bSingleText);
    EXPECT_EQ(std::wstring(meter.m_strLevel.GetString()), L"80") << "null keeps the text";
    EXPECT_EQ(std::wstring(meter.m_strSecond.GetString()), L"2 hours");
    EXPECT_EQ(std::wstring(meter.m_strThird.GetString()), kShortThird);
    EXPECT_EQ(std::wstring(meter.m_strSingle.GetString()), L"No system battery");
    ASSERT_TRUE(Repainted());
    EXPECT_EQ(CClientPixels(meter).Count(kMessageOrange), 0) << "the message is not drawn";
}

// ---- Images ----
TEST_F(BatteryMeterTest, ImagesLoadOncePerIdAndIdsBelowOneClearThem) {
    CMeterProbe& meter = MakeMeter();
    meter.SetImages(kBattery80Png, kChargingBadgePng);
    Gdiplus::Bitmap* pImage = meter.m_pImage;
    Gdiplus::Bitmap* pOverlay = meter.m_pOverlay;
    ASSERT_NE(pImage, nullptr);
    ASSERT_NE(pOverlay, nullptr);
    meter.SetImages(kBattery80Png, kChargingBadgePng);
    EXPECT_EQ(meter.m_pImage, pImage) << "the same ids load nothing";
    EXPECT_EQ(meter.m_pOverlay, pOverlay);

    meter.SetImages(kBattery80Png, 0);
    EXPECT_NE(meter.m_pImage, nullptr);
    EXPECT_EQ(meter.m_pOverlay, nullptr);
    meter.SetImages(-3, kAirplaneBadgePng);
    EXPECT_EQ(meter.m_pImage, nullptr);
    EXPECT_NE(meter.m_pOverlay, nullptr);

    meter.DestroyWindow();
    EXPECT_EQ(meter.m_pImage, nullptr) << "the images go with the window";
    EXPECT_EQ(meter.m_pOverlay, nullptr);
}

TEST_F(BatteryMeterTest, SettingDoesNotRepaintTheOwnerDoes) {
    CMeterProbe& meter = MakeMeter();
    ASSERT_TRUE(Painted(meter));
    meter.SetImages(kBattery80Png, kChargingBadgePng);
    meter.SetTexts(L"80", L"3 hours", kShortThird);
    meter.SetText(L"No system battery");
    EXPECT_FALSE(HasUpdate(meter));
}

TEST_F(BatteryMeterTest, SmallOrEmptyControlsAndHugeTextsPaintSafely) {
    CWnd& parent = MakeParent();
    for (const SIZE size : {SIZE{0, 0}, SIZE{1, 1}, SIZE{354, 2}, SIZE{3, 98}}) {
        CMeterProbe meter;
        ASSERT_TRUE(
            meter.Create(L"", WS_CHILD | WS_VISIBLE, RECT{20, 10, 20 + size.cx, 10 + size.cy}, &parent));
        meter.SetImages(kBattery80Png, kChargingBadgePng);
        meter.SetTexts(std::wstring(3000, L'8').c_str(), std::wstring(2000, L'w').c_str(),
                       std::wstring(4000, L'x').c_str());
        meter.Invalidate();
        EXPECT_TRUE(Painted(meter)) << size.cx << " x " << size.cy;
        meter.SetText(std::wstring(5000, L'm').c_str());
        meter.Invalidate();
        EXPECT_TRUE(Painted(meter)) << size.cx << " x " << size.cy;
    }
}

// ---- Narrator and threads ----
TEST_F(BatteryMeterTest, TheNarratorTextIsTheMetersWindowText) {
    g_bNarrator = true;
    CMeterProbe& meter = MakeMeter();
    meter.SetNarratorText(L"%s. %d%s %s. %s. %s", L"MY BATTERY", 80, L"%", L"Battery remaining",
                          L"REMAINING TIME", L"3 hours 20 minutes");
    CString text;
    meter.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()),
              L"MY BATTERY. 80% Battery remaining. REMAINING TIME. 3 hours 20 minutes");
    ASSERT_TRUE(Painted(meter));
    CMeterReference signAlone(354, 98);
    signAlone.ThreeTexts(kDesign, L"", L"", L"");
    EXPECT_EQ(CClientPixels(meter).Differences(signAlone.Surface()), 0)
        << "the window text is not painted: the empty level's sign alone shows";
}

TEST_F(BatteryMeterTest, AWorkerMaySetThePictureWhileItPaints) {
    CMeterProbe& meter = MakeMeter();
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            meter.SetImages(i % 2 ? kBattery80Png : kBatteryFaultPng, i % 3 ? kChargingBadgePng : 0);
            if (i % 2) {
                meter.SetTexts(std::to_wstring(i % 101).c_str(), L"3 hours",
                               i % 4 ? kShortThird : kLongThird);
            } else {
                meter.SetText(L"Battery voltage incorrect");
            }
            meter.Invalidate(FALSE);
        }
        meter.SetImages(kBattery80Png, kChargingBadgePng);
        meter.SetTexts(L"80", L"3 hours 20 minutes", kShortThird);
        bDone = true;
    });
    // Three hundred loads and paints take long under a sanitizer on a busy machine.
    EXPECT_TRUE(PumpUntil([&] { return bDone.load(); }, std::chrono::seconds(100)));
    worker.join();
    ASSERT_TRUE(Repainted());

    CMeterReference reference(354, 98);
    reference.Image(kBattery80Png, 0, 0, 354, 98);
    reference.Image(kChargingBadgePng, kDesign.overlay);
    reference.ThreeTexts(kDesign, L"80", L"3 hours 20 minutes", kShortThird);
    EXPECT_EQ(CClientPixels(meter).Differences(reference.Surface()), 0);
}

} // namespace

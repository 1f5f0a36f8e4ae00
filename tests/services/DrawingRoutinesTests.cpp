// The drawing, DPI and PNG routines: scaling, the DPI font, PNG resources, and the panels' paint, frames,
// arrow and text pixel by pixel.
#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "services/DrawingRoutines.h"
#include "tests/services/DrawingTestSupport.h"

namespace {

using drawing_test::CDrawingTest;
using gdi_test::CSurface;
using gdi_test::kWhite;

const COLORREF kSideLine = RGB(180, 180, 180);
const COLORREF kGreyFrame = RGB(225, 225, 225);
const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 160, 0);
constexpr int kClosePng = 170;

// Every pixel of the surface is the colour the function gives for it.
void ExpectPixels(const CSurface& surface, int width, int height,
                  const std::function<COLORREF(int, int)>& expected) {
    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (surface.Pixel(x, y) != expected(x, y) && ++wrong <= 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << surface.Pixel(x, y)
                              << " instead of " << expected(x, y);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// A bitmap of one colour from PNG bytes, as a background picture.
Gdiplus::Bitmap* SolidBitmap(std::uint32_t argb) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    cairo_t* cr = cairo_create(image);
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    cairo_surface_write_to_png_stream(
        image,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<IStream*>(closure)->Write(data, length, nullptr);
            return CAIRO_STATUS_SUCCESS;
        },
        stream);
    cairo_surface_destroy(image);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    auto* bitmap = new Gdiplus::Bitmap(stream);
    stream->Release();
    return bitmap;
}

// ---- Scaling ----

struct ScaleCase {
    int dpi;
    int length;
    int scaled;
};

class ScaleByMonitorDpiTest : public CDrawingTest, public testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaleByMonitorDpiTest, LengthsScaleByTheDpiOfTheMonitorAtTenTen) {
    const ScaleCase& c = GetParam();
    SetDpi(c.dpi);
    EXPECT_EQ(ScaleByMonitorDpiX(c.length), c.scaled);
    EXPECT_EQ(ScaleByMonitorDpiY(c.length), c.scaled);
}

INSTANTIATE_TEST_SUITE_P(Dpi, ScaleByMonitorDpiTest,
                         testing::Values(ScaleCase{96, 28, 28}, ScaleCase{120, 28, 35},
                                         ScaleCase{144, 28, 42}, ScaleCase{120, 10, 13},
                                         ScaleCase{120, -10, -13}, ScaleCase{144, 1, 2},
                                         ScaleCase{144, 33, 50}, ScaleCase{96, 0, 0}));

TEST_F(CDrawingTest, NoMonitorAtTenTenScalesEverythingToZero) {
    SetDpi(144, 1920);
    EXPECT_EQ(ScaleByMonitorDpiX(28), 0);
    EXPECT_EQ(ScaleByMonitorDpiY(28), 0);
}

// ---- The DPI font ----

LOGFONTW LogFontOf(const CFont& font) {
    LOGFONTW logFont{};
    font.GetLogFont(&logFont);
    return logFont;
}

TEST_F(CDrawingTest, TheDpiFontIsSegoeUiTenPixelsPer96DpiAtWeight956) {
    for (auto [dpi, height] : {std::pair{96, -10}, std::pair{120, -13}, std::pair{144, -15}}) {
        SetDpi(dpi);
        CFont font;
        CreateDpiFont(font);
        ASSERT_NE(font.GetSafeHandle(), nullptr);
        const LOGFONTW logFont = LogFontOf(font);
        EXPECT_EQ(logFont.lfHeight, height) << dpi;
        EXPECT_EQ(logFont.lfWeight, 956);
        EXPECT_STREQ(logFont.lfFaceName, L"Segoe UI");
        EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET) << "the rest comes from the message font";
    }
}

TEST_F(CDrawingTest, ASecondCreateDpiFontKeepsTheFirstFont) {
    CFont font;
    CreateDpiFont(font);
    HGDIOBJ first = font.GetSafeHandle();
    SetDpi(144);
    CreateDpiFont(font);
    EXPECT_EQ(font.GetSafeHandle(), first);
    EXPECT_EQ(LogFontOf(font).lfHeight, -10);
}

// ---- PNG resources ----

TEST_F(CDrawingTest, APngResourceLoadsAsABitmap) {
    Gdiplus::Bitmap* bitmap = nullptr;
    ASSERT_TRUE(LoadPngFromResource(kClosePng, &bitmap));
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetWidth(), 48u);
    EXPECT_EQ(bitmap->GetHeight(), 48u);
    Gdiplus::Color centre;
    bitmap->GetPixel(24, 24, &centre);
    EXPECT_EQ(centre.GetValue(), 0xFFFFFFFFu) << "the cross is white";
    // Loading again replaces (and frees) the bitmap held.
    ASSERT_TRUE(LoadPngFromResource(kClosePng, &bitmap));
    delete bitmap;
}

TEST_F(CDrawingTest, AMissingPngLeavesNoBitmapAndFreesTheOldOne) {
    Gdiplus::Bitmap* bitmap = nullptr;
    ASSERT_TRUE(LoadPngFromResource(kClosePng, &bitmap));
    EXPECT_FALSE(LoadPngFromResource(9999, &bitmap));
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_FALSE(LoadPngFromResource(0, &bitmap));
    EXPECT_FALSE(LoadPngFromResource(kClosePng, nullptr));
}

TEST_F(CDrawingTest, ANegativeIdChangesNothing) {
    Gdiplus::Bitmap* bitmap = nullptr;
    ASSERT_TRUE(LoadPngFromResource(kClosePng, &bitmap));
    Gdiplus::Bitmap* const held = bitmap;
    EXPECT_FALSE(LoadPngFromResource(-1, &bitmap));
    EXPECT_EQ(bitmap, held);
    delete bitmap;
}

TEST_F(CDrawingTest, ThePngStreamHoldsACopyOfTheResourceBytes) {
    IStream* stream = LoadPngResourceStream(kClosePng);
    ASSERT_NE(stream, nullptr);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart,
              SizeofResource(nullptr, FindResourceW(nullptr, MAKEINTRESOURCEW(kClosePng), L"PNG")));
    stream->Release();
    for (int id : {9999, 0, -5, 70000 + kClosePng}) {
        EXPECT_EQ(LoadPngResourceStream(id), nullptr) << id;
    }
}

// ---- The panels' background ----

struct BackgroundCase {
    const char* name;
    int dpi;
    bool bFrame;
    bool bSideLines;
};

class DrawDialogBackgroundTest : public CDrawingTest, public testing::WithParamInterface<BackgroundCase> {};

TEST_P(DrawDialogBackgroundTest, PaintsWhiteWithTheFrameAndSideLinesAskedFor) {
    const BackgroundCase& c = GetParam();
    SetDpi(c.dpi);
    constexpr int kWidth = 200;
    constexpr int kHeight = 100;
    CSurface surface(kWidth, kHeight);
    CDC* pPaintDC = CDC::FromHandle(surface.Dc());
    CDC::FromHandle(surface.Dc())->FillSolidRect(0, 0, kWidth, kHeight, kRed); // what was there before
    ASSERT_TRUE(
        PaintDialogBackground(*pPaintDC, RECT{0, 0, kWidth, kHeight}, nullptr, c.bFrame, c.bSideLines));
    const int x1 = MulDiv(28, c.dpi, 96);
    const int x2 = kWidth - MulDiv(33, c.dpi, 96);
    ExpectPixels(surface, kWidth, kHeight, [&](int x, int y) {
        if (c.bSideLines && (x == 0 || x == kWidth - 1 || y == kHeight - 2)) {
            return kSideLine;
        }
        const bool bFrameRow = (y == 0 || y == kHeight - 1) && x >= x1 && x < x2;
        const bool bFrameColumn = x == x1 || x == x2;
        return c.bFrame && (bFrameRow || bFrameColumn) ? kGreyFrame : kWhite;
    });
}

INSTANTIATE_TEST_SUITE_P(Flags, DrawDialogBackgroundTest,
                         testing::Values(BackgroundCase{"Plain", 96, false, false},
                                         BackgroundCase{"SideLines", 96, false, true},
                                         BackgroundCase{"Frame", 96, true, false},
                                         BackgroundCase{"FrameAt144Dpi", 144, true, false},
                                         BackgroundCase{"Both", 120, true, true}),
                         [](const testing::TestParamInfo<BackgroundCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(CDrawingTest, TheBackgroundBitmapIsStretchedUnderTheLines) {
    CSurface surface(50, 30);
    Gdiplus::Bitmap* background = SolidBitmap(0xFFFF0000u);
    ASSERT_TRUE(
        PaintDialogBackground(*CDC::FromHandle(surface.Dc()), RECT{0, 0, 50, 30}, background, false, true));
    EXPECT_EQ(surface.Pixel(25, 15), kRed);
    EXPECT_EQ(surface.Pixel(49, 29), kSideLine);
    EXPECT_EQ(surface.Pixel(48, 29), kRed);
    delete background;
}

// ---- Frames and the arrow ----

TEST_F(CDrawingTest, TheSolidFramesRightLineStandsOnRightAndItsBottomLineOnBottomMinusOne) {
    CSurface surface(20, 20);
    DrawSolidFrame(CDC::FromHandle(surface.Dc()), kRed, 2, 3, 10, 12);
    ExpectPixels(surface, 20, 20, [](int x, int y) {
        const bool bRow = (y == 3 || y == 11) && x >= 2 && x < 10;
        const bool bColumn = (x == 2 || x == 10) && y >= 3 && y < 12;
        return bRow || bColumn ? kRed : kWhite;
    });
}

TEST_F(CDrawingTest, TheArrowIsFilledAndOutlinedOnItsTwoSidesButNotItsBase) {
    CSurface surface(24, 16);
    const POINT tip{12, 2};
    const POINT left{4, 12};
    const POINT right{20, 12};
    ASSERT_TRUE(FillPolygonArrow(CDC::FromHandle(surface.Dc()), tip, left, right, kGreen, kRed));
    EXPECT_EQ(surface.Pixel(12, 8), kGreen);
    EXPECT_EQ(surface.Pixel(12, 2), kRed);
    EXPECT_EQ(surface.Pixel(8, 7), kRed) << "on the side from the tip to the left corner";
    EXPECT_EQ(surface.Pixel(16, 7), kRed) << "on the side from the right corner to the tip";
    for (int x = left.x + 1; x < right.x; ++x) {
        EXPECT_NE(surface.Pixel(x, 12), kRed) << "base at x " << x;
    }
    EXPECT_EQ(surface.Pixel(12, 13), kWhite);
    EXPECT_FALSE(FillPolygonArrow(nullptr, tip, left, right, kGreen, kRed));
}

// ---- One-colour text ----

struct TextCase {
    const char* name;
    int nHAlign;
    int nVAlign;
};

class DrawGradientTextTest : public CDrawingTest, public testing::WithParamInterface<TextCase> {
protected:
    RECT Draw(const wchar_t* text, int nHAlign, int nVAlign) {
        CDC* pDC = CDC::FromHandle(m_surface.Dc());
        Gdiplus::Graphics graphics(m_surface.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        CFont font;
        font.CreateFont(-ScaleByMonitorDpiX(14), 0, 0, 0, 700, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS,
                        L"Segoe UI");
        GradientTextRecord record;
        record.strText = text;
        record.nHAlign = nHAlign;
        record.nVAlign = nVAlign;
        record.nX = kLeft;
        record.nY = kTop;
        record.hFont = font;
        record.crColor = 0xFF3163DBu;
        DrawGradientText(pDC, &graphics, record, kWidth, kHeight);
        EXPECT_EQ(graphics.GetLastStatus(), Gdiplus::Ok);
        return m_surface.InkBounds();
    }

    static constexpr int kLeft = 20;
    static constexpr int kTop = 10;
    static constexpr int kWidth = 160;
    static constexpr int kHeight = 60;
    CSurface m_surface{200, 80};
};

TEST_P(DrawGradientTextTest, TheTextStandsInsideItsAlignedPartOfTheRectangle) {
    const TextCase& c = GetParam();
    const RECT ink = Draw(L"Close", c.nHAlign, c.nVAlign);
    ASSERT_FALSE(gdi_test::IsEmpty(ink));
    EXPECT_GE(ink.left, kLeft);
    EXPECT_GE(ink.top, kTop);
    EXPECT_LE(ink.right, kLeft + kWidth);
    EXPECT_LE(ink.bottom, kTop + kHeight);
    const int third = kWidth / 3;
    const int centreX = (ink.left + ink.right) / 2;
    const int centreY = (ink.top + ink.bottom) / 2;
    switch (c.nHAlign) {
    case 0:
        EXPECT_NEAR(centreX, kLeft + kWidth / 2, 3);
        break;
    case 1:
        EXPECT_GT(ink.left, kLeft + 2 * third);
        break;
    default:
        EXPECT_LT(ink.right, kLeft + third);
    }
    switch (c.nVAlign) {
    case 0:
        EXPECT_NEAR(centreY, kTop + kHeight / 2, 4);
        break;
    case 1:
        EXPECT_GT(ink.top, kTop + kHeight / 2);
        break;
    default:
        EXPECT_LT(ink.bottom, kTop + kHeight / 2);
    }
    EXPECT_GT(m_surface.Count(RGB(0x31, 0x63, 0xDB)), 0) << "one colour: the record's";
}

INSTANTIATE_TEST_SUITE_P(Alignment, DrawGradientTextTest,
                         testing::Values(TextCase{"Centre", 0, 0}, TextCase{"Far", 1, 1},
                                         TextCase{"NearForAnyOtherCode", 5, -1},
                                         TextCase{"FarAcrossNearDown", 1, 7}),
                         [](const testing::TestParamInfo<TextCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(DrawGradientTextTest, AnEmptyTextDrawsNothing) {
    EXPECT_TRUE(gdi_test::IsEmpty(Draw(L"", 0, 0)));
}

} // namespace

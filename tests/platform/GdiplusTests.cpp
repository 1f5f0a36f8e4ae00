// GDI+ on memory surfaces: start-up, fills on the pixel grid, gradients, paths, PNG bitmaps and text.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdiplus.h"
#include "tests/platform/GdiTestSupport.h"

namespace {

using namespace Gdiplus;
using gdi_test::CSurface;
using gdi_test::kWhite;

const COLORREF kRed = RGB(255, 0, 0);

class GdiplusTest : public testing::Test {
protected:
    void SetUp() override {
        const GdiplusStartupInput input;
        ASSERT_EQ(GdiplusStartup(&m_token, &input, nullptr), Ok);
    }
    void TearDown() override { GdiplusShutdown(m_token); }

    ULONG_PTR m_token = 0;
};

// A stream over the bytes of a 2 x 2 PNG: red, green / blue, half-transparent white.
IStream* QuadrantPngStream() {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    cairo_surface_flush(image);
    auto* pixels = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(image));
    const int stride = cairo_image_surface_get_stride(image) / 4;
    pixels[0] = 0xFFFF0000u;
    pixels[1] = 0xFF00FF00u;
    pixels[stride] = 0xFF0000FFu;
    pixels[stride + 1] = 0x80808080u;
    cairo_surface_mark_dirty(image);
    std::string bytes;
    cairo_surface_write_to_png_stream(
        image,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(image);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

IStream* BytesStream(const char* bytes) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write(bytes, static_cast<ULONG>(std::strlen(bytes)), nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

TEST(GdiplusStartupTest, ObjectsMadeBeforeStartUpAreNotInitialized) {
    const SolidBrush brush(Color(255, 0, 0));
    EXPECT_EQ(brush.GetLastStatus(), GdiplusNotInitialized);
    CSurface surface(4, 4);
    Graphics graphics(surface.Dc());
    EXPECT_EQ(graphics.GetLastStatus(), GdiplusNotInitialized);
    EXPECT_NE(graphics.FillRectangle(&brush, 0, 0, 4, 4), Ok);
    EXPECT_TRUE(gdi_test::IsEmpty(surface.InkBounds()));
}

TEST(GdiplusStartupTest, OnlyVersionOneStartsAndTheBackgroundThreadCannotBeSuppressed) {
    ULONG_PTR token = 0;
    GdiplusStartupInput input;
    input.GdiplusVersion = 2;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = TRUE;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), InvalidParameter);
    GdiplusStartupOutput output{};
    EXPECT_EQ(GdiplusStartup(&token, &input, &output), NotImplemented);
    EXPECT_EQ(GdiplusStartup(nullptr, &input, &output), InvalidParameter);
}

TEST_F(GdiplusTest, WithoutSmoothingARectangleFillsItsPixelsExactly) {
    CSurface surface(10, 10);
    Graphics graphics(surface.Dc());
    const SolidBrush brush(Color(255, 255, 0, 0));
    ASSERT_EQ(graphics.FillRectangle(&brush, 2, 3, 4, 5), Ok);
    const RECT ink = surface.InkBounds();
    EXPECT_EQ(ink.left, 2);
    EXPECT_EQ(ink.top, 3);
    EXPECT_EQ(ink.right, 6);
    EXPECT_EQ(ink.bottom, 8);
    EXPECT_EQ(surface.Count(kRed), 20);
}

TEST_F(GdiplusTest, HighQualitySmoothingBlendsTheEdgesThatFallBetweenPixelCentres) {
    CSurface surface(10, 10);
    Graphics graphics(surface.Dc());
    ASSERT_EQ(graphics.SetSmoothingMode(SmoothingModeHighQuality), Ok);
    EXPECT_EQ(graphics.GetSmoothingMode(), SmoothingModeHighQuality);
    const SolidBrush brush(Color(255, 255, 0, 0));
    graphics.FillRectangle(&brush, 2, 2, 4, 4);
    // Pixel centres lie on whole coordinates: the edge pixels are half covered.
    EXPECT_EQ(surface.Pixel(3, 3), kRed);
    const COLORREF edge = surface.Pixel(2, 3);
    EXPECT_EQ(GetRValue(edge), 255);
    EXPECT_GT(GetGValue(edge), 100);
    EXPECT_LT(GetGValue(edge), 160);
}

TEST_F(GdiplusTest, TranslucentColoursBlendOverTheSurface) {
    CSurface surface(4, 4);
    Graphics graphics(surface.Dc());
    const SolidBrush brush(Color(0x06, 0, 0, 0));
    graphics.FillRectangle(&brush, 0, 0, 4, 4);
    EXPECT_EQ(surface.Pixel(1, 1), RGB(249, 249, 249));
}

TEST_F(GdiplusTest, AnEllipseFillsItsMiddleAndLeavesItsCorners) {
    CSurface surface(20, 20);
    Graphics graphics(surface.Dc());
    graphics.SetSmoothingMode(SmoothingModeHighQuality);
    const SolidBrush brush(Color(255, 255, 0, 0));
    ASSERT_EQ(graphics.FillEllipse(&brush, 0, 0, 20, 20), Ok);
    EXPECT_EQ(surface.Pixel(10, 10), kRed);
    EXPECT_EQ(surface.Pixel(10, 1), kRed);
    EXPECT_EQ(surface.Pixel(0, 0), kWhite);
    EXPECT_EQ(surface.Pixel(19, 19), kWhite);
}

TEST_F(GdiplusTest, AVerticalGradientRunsFromItsFirstColourAtTheTopToItsSecondAtTheBottom) {
    CSurface surface(4, 100);
    Graphics graphics(surface.Dc());
    LinearGradientBrush brush(RectF(0, 0, 4, 100), Color(255, 0, 0, 0), Color(255, 0, 0, 200),
                              LinearGradientModeVertical);
    ASSERT_EQ(brush.SetWrapMode(WrapModeTile), Ok);
    ASSERT_EQ(graphics.FillRectangle(&brush, 0, 0, 4, 100), Ok);
    EXPECT_LT(GetBValue(surface.Pixel(1, 0)), 5);
    EXPECT_GT(GetBValue(surface.Pixel(1, 99)), 195);
    EXPECT_NEAR(GetBValue(surface.Pixel(1, 50)), 100, 4);
    EXPECT_EQ(surface.Pixel(0, 40), surface.Pixel(3, 40)) << "the colour changes from top to bottom only";
}

TEST_F(GdiplusTest, GradientsRefuseAnEmptyRectangleAndAClampedWrap) {
    LinearGradientBrush empty(RectF(0, 0, 0, 10), Color(255, 0, 0, 0), Color(255, 0, 0, 0),
                              LinearGradientModeVertical);
    EXPECT_EQ(empty.GetLastStatus(), OutOfMemory);
    LinearGradientBrush brush(Rect(0, 0, 10, 10), Color(255, 0, 0, 0), Color(255, 0, 0, 0),
                              LinearGradientModeVertical);
    EXPECT_EQ(brush.SetWrapMode(WrapModeClamp), InvalidParameter);
    EXPECT_EQ(brush.GetWrapMode(), WrapModeTile);
}

TEST_F(GdiplusTest, ARoundedPathFillsItsBodyAndRoundsItsCorners) {
    CSurface surface(60, 40);
    Graphics graphics(surface.Dc());
    GraphicsPath path;
    // Four 90 degree arcs in 20 x 20 boxes, clockwise from the top-left corner.
    path.AddArc(0, 0, 20, 20, 180.0f, 90.0f);
    path.AddArc(39, 0, 20, 20, 270.0f, 90.0f);
    path.AddArc(39, 19, 20, 20, 0.0f, 90.0f);
    path.AddArc(0, 19, 20, 20, 90.0f, 90.0f);
    path.CloseFigure();
    const SolidBrush brush(Color(255, 255, 0, 0));
    ASSERT_EQ(graphics.FillPath(&brush, &path), Ok);
    EXPECT_EQ(surface.Pixel(30, 20), kRed);
    EXPECT_EQ(surface.Pixel(30, 1), kRed);
    EXPECT_EQ(surface.Pixel(1, 20), kRed);
    EXPECT_EQ(surface.Pixel(1, 1), kWhite);
    EXPECT_EQ(surface.Pixel(58, 38), kWhite);
    EXPECT_EQ(path.AddArc(0, 0, 0, 20, 0.0f, 90.0f), InvalidParameter);
}

TEST_F(GdiplusTest, ABitmapDecodesFromAPngStream) {
    IStream* stream = QuadrantPngStream();
    Bitmap bitmap(stream);
    stream->Release();
    ASSERT_EQ(bitmap.GetLastStatus(), Ok);
    EXPECT_EQ(bitmap.GetWidth(), 2u);
    EXPECT_EQ(bitmap.GetHeight(), 2u);
    Color color;
    ASSERT_EQ(bitmap.GetPixel(1, 0, &color), Ok);
    EXPECT_EQ(color.GetValue(), 0xFF00FF00u);
    ASSERT_EQ(bitmap.GetPixel(1, 1, &color), Ok);
    EXPECT_EQ(color.GetA(), 0x80);
    EXPECT_EQ(color.GetR(), 0xFF);
    EXPECT_EQ(bitmap.GetPixel(2, 0, &color), InvalidParameter);
}

TEST_F(GdiplusTest, DataThatIsNoPngMakesNoImage) {
    IStream* stream = BytesStream("GIF89a this is no PNG");
    Bitmap notPng(stream);
    stream->Release();
    EXPECT_EQ(notPng.GetLastStatus(), UnknownImageFormat);
    EXPECT_EQ(notPng.GetWidth(), 0u);
    IStream* truncated = BytesStream("\x89PNG\r\n\x1a\n\x00\x00");
    Bitmap broken(truncated);
    truncated->Release();
    EXPECT_EQ(broken.GetLastStatus(), InvalidParameter);
    Bitmap none(nullptr);
    EXPECT_EQ(none.GetLastStatus(), InvalidParameter);
    CSurface surface(4, 4);
    Graphics graphics(surface.Dc());
    EXPECT_EQ(graphics.DrawImage(&broken, 0, 0, 4, 4), InvalidParameter);
    EXPECT_EQ(graphics.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(graphics.GetLastStatus(), Ok);
}

TEST_F(GdiplusTest, DrawImageStretchesTheImageOverItsRectangle) {
    IStream* stream = QuadrantPngStream();
    Bitmap bitmap(stream);
    stream->Release();
    CSurface surface(30, 30);
    Graphics graphics(surface.Dc());
    ASSERT_EQ(graphics.DrawImage(&bitmap, Rect(5, 5, 20, 20)), Ok);
    EXPECT_EQ(surface.Pixel(7, 7), kRed);
    EXPECT_EQ(surface.Pixel(22, 7), RGB(0, 255, 0));
    EXPECT_EQ(surface.Pixel(7, 22), RGB(0, 0, 255));
    EXPECT_EQ(surface.Pixel(4, 4), kWhite);
    EXPECT_EQ(surface.Pixel(25, 25), kWhite);
    const RECT ink = surface.InkBounds();
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.top, 5);
}

class GdiplusTextTest : public GdiplusTest {
protected:
    void SetUp() override {
        GdiplusTest::SetUp();
        m_logFont.lfHeight = -14;
        m_logFont.lfWeight = FW_BOLD;
        std::wcscpy(m_logFont.lfFaceName, L"Segoe UI");
    }

    RECT DrawIn(const RectF& rect, StringAlignment alignment, StringAlignment lineAlignment,
                const wchar_t* text = L"Close") {
        Graphics graphics(m_surface.Dc());
        const Font font(m_surface.Dc(), &m_logFont);
        StringFormat format;
        format.SetAlignment(alignment);
        format.SetLineAlignment(lineAlignment);
        const SolidBrush brush(Color(255, 0, 0, 0));
        EXPECT_EQ(graphics.DrawString(text, -1, &font, rect, &format, &brush), Ok);
        return m_surface.InkBounds();
    }

    CSurface m_surface{200, 100};
    LOGFONTW m_logFont{};
};

TEST_F(GdiplusTextTest, AFontFromALogFontHasItsEmHeight) {
    const Font font(m_surface.Dc(), &m_logFont);
    ASSERT_EQ(font.GetLastStatus(), Ok);
    EXPECT_FLOAT_EQ(font.GetSize(), 14.0f);
    EXPECT_EQ(font.GetStyle(), FontStyleBold);
    const Font withoutDc(nullptr, &m_logFont);
    EXPECT_EQ(withoutDc.GetLastStatus(), InvalidParameter);
}

TEST_F(GdiplusTextTest, StringsAlignInTheirRectangle) {
    const RECT nearTop = DrawIn(RectF(0, 0, 200, 100), StringAlignmentNear, StringAlignmentNear);
    EXPECT_LE(nearTop.left, 6);
    EXPECT_LE(nearTop.top, 6);
    FillRect(m_surface.Dc(), &nearTop, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECT centred = DrawIn(RectF(0, 0, 200, 100), StringAlignmentCenter, StringAlignmentCenter);
    EXPECT_NEAR((centred.left + centred.right) / 2, 100, 3);
    EXPECT_NEAR((centred.top + centred.bottom) / 2, 50, 4);
    FillRect(m_surface.Dc(), &centred, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const RECT farBottom = DrawIn(RectF(0, 0, 200, 100), StringAlignmentFar, StringAlignmentFar);
    EXPECT_GE(farBottom.right, 190);
    EXPECT_GE(farBottom.bottom, 90);
}

// Without a right-to-left format, near is the left and far the right for text of any script, whether
// the rectangle wraps it (a width) or not.
TEST_F(GdiplusTextTest, RightToLeftTextKeepsNearOnTheLeftAndFarOnTheRight) {
    const wchar_t* arabic = L"البطارية متاحة";
    for (const REAL width : {200.0f, 0.0f}) {
        const RECT nearInk =
            DrawIn(RectF(0, 0, width, 100), StringAlignmentNear, StringAlignmentNear, arabic);
        EXPECT_LE(nearInk.left, 6) << width;
        FillRect(m_surface.Dc(), &nearInk, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (width > 0) {
            const RECT farInk =
                DrawIn(RectF(0, 0, width, 100), StringAlignmentFar, StringAlignmentNear, arabic);
            EXPECT_GE(farInk.right, 190);
            EXPECT_GT(farInk.left, 60);
            FillRect(m_surface.Dc(), &farInk, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        }
    }
    const RECT paragraphs =
        DrawIn(RectF(0, 0, 200, 100), StringAlignmentNear, StringAlignmentNear, L"Close\nالبطارية");
    EXPECT_LT(paragraphs.right, 100) << "both paragraphs stand on the left";
}

TEST_F(GdiplusTextTest, StringsAreClippedToTheirRectangle) {
    const RECT ink = DrawIn(RectF(0, 0, 200, 6), StringAlignmentNear, StringAlignmentNear);
    EXPECT_LE(ink.bottom, 6);
}

TEST_F(GdiplusTextTest, AFailedDrawIsKeptAsTheLastStatus) {
    Graphics graphics(m_surface.Dc());
    const SolidBrush brush(Color(255, 0, 0, 0));
    EXPECT_EQ(graphics.DrawString(L"Close", -1, nullptr, RectF(0, 0, 10, 10), nullptr, &brush),
              InvalidParameter);
    EXPECT_EQ(graphics.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(graphics.GetLastStatus(), Ok);
}

} // namespace

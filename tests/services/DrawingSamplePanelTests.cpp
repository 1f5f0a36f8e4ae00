// A sample panel drawn with the routines and fonts the flyout uses, written to artifacts/sample-panel.png
// in the build tree for a person to look at: "Segoe UI" at the weights 400, 700 and 956.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/gdi/Surface.h"
#include "platform/internal.h"
#include "services/DrawingRoutines.h"
#include "tests/services/DrawingTestSupport.h"

namespace {

using drawing_test::CDrawingTest;

constexpr int kWidth = 400;
constexpr int kHeight = 250;
constexpr int kLineHeight = 30;
constexpr int kFirstLineTop = 56;
const COLORREF kTitleBlue = 0xEE7743;
const COLORREF kHeadingColour = 0x5E4A34;
const int kWeights[] = {400, 700, 956};

struct Band {
    int ink = 0;   // pixels that are not white
    int solid = 0; // pixels the text covers for three quarters or more
};

// The text's coverage of a pixel, from its red channel (the one farthest from white in the colour).
double Coverage(COLORREF pixel, COLORREF colour) {
    return (255.0 - GetRValue(pixel)) / (255.0 - GetRValue(colour));
}

Band MeasureBand(const gdi_test::CSurface& surface, int top, COLORREF colour) {
    Band band;
    for (int y = top; y < top + kLineHeight; ++y) {
        for (int x = 20; x < kWidth - 20; ++x) {
            const COLORREF pixel = surface.Pixel(x, y);
            band.ink += pixel != gdi_test::kWhite ? 1 : 0;
            band.solid += Coverage(pixel, colour) >= 0.75 ? 1 : 0;
        }
    }
    return band;
}

void DrawTitleBar(CDC& dc) {
    dc.FillSolidRect(1, 0, kWidth - 2, 40, kTitleBlue);
    CFont font;
    font.CreateFont(-ScaleByMonitorDpiX(20), 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS,
                    L"Segoe UI");
    CFont* pOldFont = dc.SelectObject(&font);
    dc.SetTextColor(RGB(255, 255, 255));
    RECT rcTitle{22, 6, kWidth - 44, 40};
    dc.DrawText(L"My Corvex Notebook", -1, &rcTitle, DT_VCENTER | DT_END_ELLIPSIS);
    dc.SelectObject(pOldFont);
    Gdiplus::Bitmap* pClose = nullptr;
    ASSERT_TRUE(LoadPngFromResource(170, &pClose));
    Gdiplus::Graphics graphics(dc.GetSafeHdc());
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.DrawImage(pClose, kWidth - 34, 8, 24, 24);
    delete pClose;
}

void DrawWeightLine(CDC& dc, int nWeight, int nTop) {
    CFont font;
    font.CreateFont(-ScaleByMonitorDpiX(14), 0, 0, 0, nWeight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FF_SWISS,
                    L"Segoe UI");
    CFont* pOldFont = dc.SelectObject(&font);
    dc.SetTextColor(kHeadingColour);
    RECT rcLine{20, nTop, kWidth - 20, nTop + kLineHeight};
    CString text;
    text.Format(L"MY BATTERY  Battery remaining  %d", nWeight);
    dc.DrawText(text, &rcLine, DT_SINGLELINE | DT_VCENTER);
    dc.SelectObject(pOldFont);
}

TEST_F(CDrawingTest, TheSamplePanelShowsThreeDistinctCrispWeights) {
    gdi_test::CSurface surface(kWidth, kHeight);
    CDC& dc = *CDC::FromHandle(surface.Dc());
    ASSERT_TRUE(PaintDialogBackground(dc, RECT{0, 0, kWidth, kHeight}, nullptr, false, true));
    dc.SetBkMode(TRANSPARENT);
    DrawTitleBar(dc);
    for (size_t i = 0; i < std::size(kWeights); ++i) {
        DrawWeightLine(dc, kWeights[i], kFirstLineTop + static_cast<int>(i) * kLineHeight);
    }
    DrawSolidFrame(&dc, RGB(0xD2, 0xD2, 0xD2), 20, 160, kWidth - 20, 230);
    {
        Gdiplus::Graphics graphics(surface.Dc());
        CFont dpiFont;
        CreateDpiFont(dpiFont);
        GradientTextRecord record;
        record.strText = L"FLIPDECKS  ALL SETTINGS";
        record.nHAlign = 0;
        record.nVAlign = 0;
        record.nX = 21;
        record.nY = 161;
        record.hFont = dpiFont;
        record.crColor = 0xFF3163DBu;
        DrawGradientText(&dc, &graphics, record, kWidth - 42.0f, 68.0f);
    }

    const std::filesystem::path artifacts = platform::ExecutableDirectory().parent_path() / "artifacts";
    std::filesystem::create_directories(artifacts);
    EXPECT_TRUE(platform::gdi::WriteSurfacePng(surface.Dc(), artifacts / "sample-panel.png"));

    Band previous;
    for (size_t i = 0; i < std::size(kWeights); ++i) {
        const Band band =
            MeasureBand(surface, kFirstLineTop + static_cast<int>(i) * kLineHeight, kHeadingColour);
        EXPECT_GT(band.ink, previous.ink * 11 / 10) << "weight " << kWeights[i] << " is visibly heavier";
        // Crisp: much of the text is well covered pixels, not a blur of faint ones.
        EXPECT_GT(band.solid * 3, band.ink) << "weight " << kWeights[i];
        previous = band;
    }
}

} // namespace

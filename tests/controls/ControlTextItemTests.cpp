// The text item: painted in its colour, aligned by its codes inside the client area less its offsets;
// an empty text paints nothing.
#include <gtest/gtest.h>

#include <string>

#include "controls/ControlTextItem.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/platform/GdiTestSupport.h"

namespace {

using controls_test::CControlsTest;
using gdi_test::CSurface;

constexpr int kWidth = 240;
constexpr int kHeight = 80;
constexpr int kOffsetX = 20;
constexpr int kOffsetY = 10;
const COLORREF kRed = RGB(255, 0, 0);

class ControlTextItemTest : public CControlsTest {
protected:
    ControlTextItemTest() : m_surface(kWidth, kHeight) {
        m_item.m_font.CreateFont(-16, 0, 0, 0, 700, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 32, L"Segoe UI");
        m_item.m_crColor = 0xFFFF0000u;
        m_item.m_nOffsetX = kOffsetX;
        m_item.m_nOffsetY = kOffsetY;
    }

    RECT Paint() {
        CDC* pDC = CDC::FromHandle(m_surface.Dc());
        Gdiplus::Graphics graphics(m_surface.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        m_item.Draw(pDC, &graphics, RECT{0, 0, kWidth, kHeight});
        return m_surface.InkBounds();
    }

    CSurface m_surface;
    CControlTextItem m_item;
};

TEST_F(ControlTextItemTest, AnEmptyTextPaintsNothing) {
    EXPECT_TRUE(gdi_test::IsEmpty(Paint()));
}

TEST_F(ControlTextItemTest, TheTextIsPaintedInTheItemsColour) {
    m_item.m_strText = L"Wi-Fi";
    EXPECT_FALSE(gdi_test::IsEmpty(Paint()));
    EXPECT_GT(m_surface.Count(kRed), 10);
}

// Where the ink lies along one axis of the layout box [start, end).
enum class EPlace { Near, Centre, Far };

struct AlignCase {
    const char* name;
    int nHAlign;
    int nVAlign;
    EPlace horizontal;
    EPlace vertical;
};

void ExpectPlaced(EPlace place, LONG inkStart, LONG inkEnd, int boxStart, int boxEnd, int slack,
                  const char* axis) {
    EXPECT_GE(inkStart, boxStart) << axis;
    EXPECT_LE(inkEnd, boxEnd) << axis;
    switch (place) {
    case EPlace::Near:
        EXPECT_LT(inkStart - boxStart, slack) << axis << " near";
        EXPECT_GT(boxEnd - inkEnd, slack) << axis << " near";
        break;
    case EPlace::Far:
        EXPECT_LT(boxEnd - inkEnd, slack) << axis << " far";
        EXPECT_GT(inkStart - boxStart, slack) << axis << " far";
        break;
    case EPlace::Centre:
        EXPECT_NEAR((inkStart + inkEnd) / 2.0, (boxStart + boxEnd) / 2.0, slack / 2.0) << axis << " centre";
        break;
    }
}

class ControlTextItemAlignment : public ControlTextItemTest, public testing::WithParamInterface<AlignCase> {};

TEST_P(ControlTextItemAlignment, PlacesTheTextInTheClientAreaLessTheOffsets) {
    const AlignCase& c = GetParam();
    m_item.m_strText = L"Wi-Fi";
    m_item.m_nHAlign = c.nHAlign;
    m_item.m_nVAlign = c.nVAlign;
    const RECT ink = Paint();
    ASSERT_FALSE(gdi_test::IsEmpty(ink));
    // The box: (x, y) to (width - x, height); text lines carry their ascent and descent inside it.
    ExpectPlaced(c.horizontal, ink.left, ink.right, kOffsetX, kWidth - kOffsetX, 8, "horizontal");
    ExpectPlaced(c.vertical, ink.top, ink.bottom, kOffsetY, kHeight, 12, "vertical");
}

INSTANTIATE_TEST_SUITE_P(Codes, ControlTextItemAlignment,
                         testing::Values(AlignCase{"Centre", 0, 0, EPlace::Centre, EPlace::Centre},
                                         AlignCase{"Far", 1, 1, EPlace::Far, EPlace::Far},
                                         AlignCase{"NearForCode5", 5, 5, EPlace::Near, EPlace::Near},
                                         AlignCase{"NearForCode2", 2, 2, EPlace::Near, EPlace::Near},
                                         AlignCase{"FarAndNear", 1, -1, EPlace::Far, EPlace::Near}),
                         [](const testing::TestParamInfo<AlignCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

// The focus frame: the dotted outline of the focus window's rectangle, and nothing in every other case.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "controls/FocusFrame.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/platform/GdiTestSupport.h"

namespace {

using controls_test::CControlsTest;
using gdi_test::CSurface;
using gdi_test::kWhite;

const COLORREF kDot = RGB(0xB4, 0xB4, 0xB4);
constexpr int kWidth = 100;
constexpr int kHeight = 40;

class FocusFrameTest : public CControlsTest {
protected:
    FocusFrameTest() : m_surface(kWidth + 10, kHeight + 10) { SetBkMode(m_surface.Dc(), TRANSPARENT); }

    void Draw(CWnd* pWnd, bool bWithDc = true) {
        DrawFocusFrame(pWnd, bWithDc ? CDC::FromHandle(m_surface.Dc()) : nullptr,
                       RECT{0, 0, kWidth, kHeight});
    }

    CSurface m_surface;
};

// The pixels along a side of the outline, as "x" for a dot and "." for a gap.
std::string Side(const CSurface& surface, POINT from, POINT step, int count) {
    std::string pixels;
    for (int i = 0; i < count; ++i) {
        const COLORREF pixel = surface.Pixel(from.x + step.x * i, from.y + step.y * i);
        pixels += pixel == kDot ? 'x' : pixel == kWhite ? '.' : '?';
    }
    return pixels;
}

TEST_F(FocusFrameTest, TheFocusWindowGetsADottedOutlineOfItsRectangle) {
    g_bNarrator = false;
    CWnd& window = MakeWindow(kWidth, kHeight);
    window.SetFocus();
    ASSERT_EQ(::GetFocus(), window.m_hWnd);
    CPen marker(PS_SOLID, 1, RGB(0, 0, 0));
    const HGDIOBJ hPenBefore = SelectObject(m_surface.Dc(), marker);
    Draw(&window);
    EXPECT_EQ(SelectObject(m_surface.Dc(), hPenBefore), static_cast<HGDIOBJ>(marker))
        << "the previous pen is selected again";

    const RECT ink = m_surface.InkBounds();
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.top, 0);
    EXPECT_EQ(ink.right, kWidth) << "the right column is right - 1";
    EXPECT_EQ(ink.bottom, kHeight) << "the bottom row is bottom - 1";
    const std::string sides[] = {
        Side(m_surface, {0, 0}, {1, 0}, kWidth), Side(m_surface, {0, 0}, {0, 1}, kHeight),
        Side(m_surface, {0, kHeight - 1}, {1, 0}, kWidth), Side(m_surface, {kWidth - 1, 0}, {0, 1}, kHeight)};
    for (const std::string& side : sides) {
        EXPECT_EQ(side.find('?'), std::string::npos) << side;
        EXPECT_NE(side.find("x."), std::string::npos) << "dotted: " << side;
    }
    EXPECT_EQ(m_surface.Pixel(0, 0), kDot);
    const int perimeter = 2 * (kWidth + kHeight) - 4;
    EXPECT_EQ(m_surface.Count(kDot) + m_surface.Count(kWhite), (kWidth + 10) * (kHeight + 10))
        << "only dots on white";
    EXPECT_GT(m_surface.Count(kDot), perimeter / 3);
    EXPECT_LT(m_surface.Count(kDot), perimeter * 2 / 3);
}

struct NoFrameCase {
    const char* name;
    bool bNarrator;
    bool bFocused;
    bool bWithWindow;
    bool bWithDc;
};

class FocusFrameAbsent : public FocusFrameTest, public testing::WithParamInterface<NoFrameCase> {};

TEST_P(FocusFrameAbsent, DrawsNothing) {
    const NoFrameCase& c = GetParam();
    g_bNarrator = c.bNarrator;
    CWnd& window = MakeWindow(kWidth, kHeight);
    if (c.bFocused) {
        window.SetFocus();
    } else {
        ::SetFocus(nullptr);
    }
    Draw(c.bWithWindow ? &window : nullptr, c.bWithDc);
    EXPECT_TRUE(gdi_test::IsEmpty(m_surface.InkBounds()));
}

INSTANTIATE_TEST_SUITE_P(Cases, FocusFrameAbsent,
                         testing::Values(NoFrameCase{"NotTheFocusWindow", false, false, true, true},
                                         NoFrameCase{"NarratorOn", true, true, true, true},
                                         NoFrameCase{"NoWindow", false, true, false, true},
                                         NoFrameCase{"NoDeviceContext", false, true, true, false}),
                         [](const testing::TestParamInfo<NoFrameCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

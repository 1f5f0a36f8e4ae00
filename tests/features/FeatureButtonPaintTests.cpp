// The round paint: the panel colour, the circle in the state's colour, the state image at its scale, the
// hover shade reaching past the button, the focus frame only after keyboard use; and the cursor: the hand
// over a button that takes clicks, "unavailable" over one that does not, the arrow outside its rectangle.
#include <gtest/gtest.h>

#include <string>

#include "controls/FocusFrame.h"
#include "tests/features/FeatureButtonTestSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::ClassCursorOf;
using controls_test::HasUpdate;
using controls_test::PumpUntil;
using features_test::CFeatureButtonTest;
using features_test::CProbeButton;
using features_test::DrawExpectedButton;
using features_test::IconSquare;
using features_test::kDefaultIcon48;
using features_test::kDisabledCircle;
using features_test::kFrameDot;
using features_test::kOffCircle;
using features_test::kOffPng;
using features_test::kOnCircle;
using features_test::kOnPng;
using features_test::kRound48;
using features_test::kWhite;
using features_test::RoundPaint;
using features_test::StateAnswer;
namespace desktop = platform::desktop;

constexpr int kSize = 48;

class FeatureButtonPaintTest : public CFeatureButtonTest {
protected:
    void CacheState(int nSupport, int nStatus, int nIconId, int nStateType) {
        WriteCache(L"support", std::to_wstring(nSupport).c_str());
        WriteCache(L"status", std::to_wstring(nStatus).c_str());
        WriteCache(L"StatusIconID", std::to_wstring(nIconId).c_str());
        WriteCache(L"StateIconType", std::to_wstring(nStateType).c_str());
    }

    void MoveMouseTo(POINT client) { desktop::MoveMouse(OnScreen(m_button, client)); }
    void MoveMouseAway() { desktop::MoveMouse(OnScreen(m_grid, POINT{250, 100})); }

    // The differences between the button on the screen and what it should paint.
    int Differences(COLORREF crCircle, int nPngId, const IconSquare& icon = kDefaultIcon48,
                    bool bHover = false, const RoundPaint& paint = kRound48) {
        gdi_test::CSurface expected(paint.nSize, paint.nSize);
        DrawExpectedButton(expected, paint, crCircle, nPngId, icon, bHover);
        return CClientPixels(m_button).Differences(expected);
    }

    static int FrameDots(const CWnd& button) {
        return CClientPixels(button).Count(kFrameDot, RECT{0, 0, 1, kSize});
    }
};

struct PaintCase {
    const char* name;
    int nCachedIcon; // with support 1 and the state type of the image
    float fScale;    // the button's
    IconSquare icon; // where the icon is drawn on the 48-pixel button
    COLORREF crCircle;
    int nShownPng;
};

class CachedPaintCase : public FeatureButtonPaintTest, public testing::WithParamInterface<PaintCase> {};

TEST_P(CachedPaintCase, ShowsTheCachedStateBeforeTheProbeAnswers) {
    const PaintCase& c = GetParam();
    CacheState(1, c.nCachedIcon == kOnPng ? 1 : 0, c.nCachedIcon, c.nCachedIcon == kOnPng ? 1 : 0);
    m_button.m_fIconScale = c.fScale;
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(PumpUntil([&] { return button.m_nProbeThread != 0; }));
    ASSERT_TRUE(Painted(button));
    ASSERT_EQ(CClientPixels(button).Width(), kSize);
    EXPECT_EQ(Differences(c.crCircle, c.nShownPng, c.icon), 0);
    EXPECT_EQ(button.m_bInited, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CachedPaintCase,
    testing::Values(
        PaintCase{"NoImageYetIsABlankWhiteCircle", 0, 0, kDefaultIcon48, kWhite, 0},
        PaintCase{"OnWithTheDefaultScale", kOnPng, 0, kDefaultIcon48, kOnCircle, kOnPng},
        PaintCase{"OffAtItsOwnScale", kOffPng, 0.65f, features_test::kIcon48At065, kOffCircle, kOffPng},
        PaintCase{"ScaleOneAndAHalfIsTaken", kOffPng, 1.5f, features_test::kIcon48At150, kOffCircle, kOffPng},
        PaintCase{"ScaleTooSmallFallsBack", kOffPng, 0.05f, kDefaultIcon48, kOffCircle, kOffPng},
        PaintCase{"ScaleTooLargeFallsBack", kOffPng, 2.0f, kDefaultIcon48, kOffCircle, kOffPng}),
    [](const testing::TestParamInfo<PaintCase>& info) { return std::string(info.param.name); });

TEST_F(FeatureButtonPaintTest, TheProbesAnswerRepaintsTheButton) {
    CacheState(1, 0, kOffPng, 0);
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateDisabled)));
    ASSERT_TRUE(Painted(button));
    EXPECT_EQ(Differences(kDisabledCircle, features_test::kDisabledPng), 0);
}

struct HoverCase {
    const char* name;
    RoundPaint paint;
    IconSquare icon;
};

class HoverPaintCase : public FeatureButtonPaintTest, public testing::WithParamInterface<HoverCase> {};

TEST_P(HoverPaintCase, HoverShadesACircleReachingPastTheButton) {
    const HoverCase& c = GetParam();
    CProbeButton& button = MakeInitialisedButton(c.paint.nSize);
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOn)));
    const LONG nCentre = c.paint.nSize / 2;
    for (int round = 0; round < 2; ++round) {
        MoveMouseTo(POINT{nCentre, nCentre});
        ASSERT_TRUE(PumpUntil([&] { return button.m_bHover && !HasUpdate(button); })) << round;
        EXPECT_EQ(Differences(kOnCircle, kOnPng, c.icon, true, c.paint), 0) << round;
        EXPECT_EQ(button.m_rcHover.X, c.paint.fHoverOrigin);
        EXPECT_EQ(button.m_rcHover.Y, c.paint.fHoverOrigin);
        EXPECT_EQ(button.m_rcHover.Width, c.paint.fHoverSize);
        EXPECT_EQ(button.m_rcHover.Height, c.paint.fHoverSize);

        MoveMouseAway();
        ASSERT_TRUE(PumpUntil([&] { return !button.m_bHover && !HasUpdate(button); })) << round;
        EXPECT_EQ(Differences(kOnCircle, kOnPng, c.icon, false, c.paint), 0) << round;
    }
}

// A 48-pixel button (d = 47, e = 4) shades from -4 to 51; a 50-pixel one (d = 49, e still 4) to 53.
INSTANTIATE_TEST_SUITE_P(
    Sizes, HoverPaintCase,
    testing::Values(HoverCase{"Of48Pixels", kRound48, kDefaultIcon48},
                    HoverCase{"Of50Pixels", features_test::kRound50, features_test::kDefaultIcon50}),
    [](const testing::TestParamInfo<HoverCase>& info) { return std::string(info.param.name); });

TEST_F(FeatureButtonPaintTest, TheFocusFrameShowsAfterKeysAndNotAfterTheMouse) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    button.SetFocus();
    ASSERT_TRUE(Painted(button));
    gdi_test::CSurface expected(kSize, kSize);
    DrawExpectedButton(expected, kRound48, kOffCircle, kOffPng, kDefaultIcon48);
    SetBkMode(expected.Dc(), TRANSPARENT);
    DrawFocusFrame(&button, CDC::FromHandle(expected.Dc()), RECT{0, 0, kSize, kSize});
    EXPECT_EQ(CClientPixels(button).Differences(expected), 0) << "the frame over the paint";

    desktop::Click(OnScreen(button, POINT{24, 24}));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bMouseInput && m_grid.m_nClicks == 1; }));
    MoveMouseAway();
    ASSERT_TRUE(PumpUntil([&] { return !button.m_bHover && !HasUpdate(button); }));
    ASSERT_EQ(GetFocus(), button.m_hWnd);
    EXPECT_EQ(FrameDots(button), 0) << "not after the mouse";

    desktop::PressKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return !button.m_bMouseInput; }));
    button.Invalidate();
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(FrameDots(button), 0);
}

TEST_F(FeatureButtonPaintTest, HoverTakesThePlaceOfTheFocusFrame) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    button.SetFocus();
    MoveMouseTo(POINT{24, 24});
    ASSERT_TRUE(PumpUntil([&] { return button.m_bHover && !HasUpdate(button); }));
    EXPECT_EQ(FrameDots(button), 0);
}

// ---- The cursor ----
class FeatureButtonCursorTest : public FeatureButtonPaintTest {
protected:
    bool CursorIs(LPCWSTR pszId, bool bShownNow = true) {
        const HCURSOR hCursor = LoadCursorW(nullptr, pszId);
        return PumpUntil([&] {
            return ClassCursorOf(m_button) == hCursor && (!bShownNow || desktop::CurrentCursor() == hCursor);
        });
    }
};

TEST_F(FeatureButtonCursorTest, TheHandOnlyOnceTheButtonTakesClicks) {
    CProbeButton& button = MakeInitialisedButton();
    MoveMouseTo(POINT{20, 20});
    EXPECT_TRUE(CursorIs(IDC_NO)) << "before the probe";

    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    MoveMouseTo(POINT{24, 24});
    EXPECT_TRUE(CursorIs(IDC_HAND));

    button.SetButtonStatusIcon(FeatureStateDisabled);
    MoveMouseTo(POINT{20, 24});
    EXPECT_TRUE(CursorIs(IDC_NO)) << "disabled";
}

TEST_F(FeatureButtonCursorTest, OutsideItsRectangleTheClassCursorIsTheArrow) {
    CProbeButton& button = MakeInitialisedButton();
    ASSERT_TRUE(FinishProbe(StateAnswer(1, FeatureStateOff)));
    button.MoveWindow(20, 10, 2 * kSize, kSize);
    MoveMouseTo(POINT{24, 24});
    EXPECT_TRUE(CursorIs(IDC_HAND));
    MoveMouseTo(POINT{70, 24});
    EXPECT_TRUE(CursorIs(IDC_ARROW, false)) << "over the button, outside the rectangle of its images";
    MoveMouseTo(POINT{75, 20});
    EXPECT_TRUE(CursorIs(IDC_ARROW)) << "the class cursor shows";
}

} // namespace

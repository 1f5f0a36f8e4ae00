// The image buttons. The square picture button: its image on white, the overlay only for a second
// image, its text items, its focus frame. The Close-style button: its fill and glyph, the hover colour
// while the mouse rests on it, no focus frame after a click until a key, the hand cursor only inside
// its hover rectangle.
#include <gtest/gtest.h>

#include <string>

#include "controls/FocusFrame.h"
#include "controls/PNGButton.h"
#include "controls/PNGButtonEx.h"
#include "controls/SkinnedControl.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::ClassCursorOf;
using controls_test::DrawPng;
using controls_test::HasUpdate;
using controls_test::PumpUntil;
namespace desktop = platform::desktop;

constexpr int kInfoPng = 162;
constexpr int kChargingBadgePng = 163;
constexpr int kClosePng = 170;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kFrameDot = RGB(0xB4, 0xB4, 0xB4);
const COLORREF kTitleBlue = RGB(0x43, 0x77, 0xEE);
const COLORREF kCloseRed = RGB(0xE9, 0x10, 0x22);

// ---- The picture button ----
class CButtonProbe : public CPNGButton {
public:
    using CPNGButton::m_pSecondImage;
};

class PictureButtonTest : public CControlWindowTest {
protected:
    // A 100 x 60 button at (20, 10), square once it has images.
    CButtonProbe& MakeButton() {
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 120, 70}, &MakeParent(), 1028));
        return m_button;
    }

    CButtonProbe m_button;
};

struct PictureCase {
    const char* name;
    int nSecondId;
    bool bFocused;
};

class PictureButtonPaint : public PictureButtonTest, public testing::WithParamInterface<PictureCase> {};

TEST_P(PictureButtonPaint, DrawsTheImageOnWhiteThenTheOverlayThenTheFocusFrame) {
    const PictureCase& c = GetParam();
    CButtonProbe& button = MakeButton();
    button.SetImages(kInfoPng, c.nSecondId);
    EXPECT_EQ(button.m_pSecondImage != nullptr, c.nSecondId != 0);
    if (c.bFocused) {
        button.SetFocus();
    }
    ASSERT_TRUE(Painted(button));

    gdi_test::CSurface expected(60, 60);
    {
        Gdiplus::Graphics graphics(expected.Dc());
        graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
        DrawPng(graphics, kInfoPng, 0, 0, 60, 60);
        if (c.nSecondId) {
            DrawPng(graphics, c.nSecondId, 45, 35, 23, 30);
        }
    }
    SetBkMode(expected.Dc(), TRANSPARENT);
    DrawFocusFrame(&button, CDC::FromHandle(expected.Dc()), RECT{0, 0, 60, 60});
    const CClientPixels pixels(button);
    ASSERT_EQ(pixels.Width(), 60) << "square";
    EXPECT_EQ(pixels.Differences(expected), 0);
    EXPECT_EQ(pixels.Count(kFrameDot, RECT{0, 0, 60, 1}) > 0, c.bFocused);
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureButtonPaint,
                         testing::Values(PictureCase{"NoSecondImageNoOverlay", 0, false},
                                         PictureCase{"SecondImageOverlay", kChargingBadgePng, false},
                                         PictureCase{"FocusedGetsItsFrame", 0, true}),
                         [](const testing::TestParamInfo<PictureCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(PictureButtonTest, TheSameIdsChangeNothing) {
    CButtonProbe& button = MakeButton();
    button.SetImages(kInfoPng, 0);
    button.MoveWindow(20, 10, 100, 60);
    button.SetImages(kInfoPng, 0);
    CRect rc;
    button.GetClientRect(&rc);
    EXPECT_EQ(rc.Width(), 100) << "returned at once, not squared";
    button.SetImages(kInfoPng, kChargingBadgePng);
    button.GetClientRect(&rc);
    EXPECT_EQ(rc.Width(), 60);
    EXPECT_NE(button.m_pSecondImage, nullptr);
    button.SetImages(kInfoPng, 0);
    EXPECT_EQ(button.m_pSecondImage, nullptr) << "a second id of 0 deletes the overlay";
}

TEST_F(PictureButtonTest, TextItemsArePaintedOverThePictures) {
    CButtonProbe& button = MakeButton();
    button.SetImages(kInfoPng, 0);
    CControlTextItem& item = button.m_textItems[2];
    item.m_strText = L"8";
    item.m_crColor = 0xFFFF0000u;
    item.m_font.CreateFont(-30, 0, 0, 0, 956, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
    button.Invalidate();
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(CClientPixels(button).Count(RGB(255, 0, 0), RECT{20, 15, 40, 45}), 10) << "centred";
}

// ---- The Close-style button ----
class CCloseProbe : public CPNGButtonEx {
public:
    using CPNGButtonEx::m_bMouseInput;
};

class CloseButtonTest : public CControlWindowTest {
protected:
    void TearDown() override {
        // The class cursor belongs to every button of the process.
        if (m_button.m_hWnd) {
            SetClassCursor(&m_button, IDC_ARROW);
        }
        CControlWindowTest::TearDown();
    }

    // The title bar's Close button: 48 x 48 at (240, 10), its glyph in the middle ninth.
    CCloseProbe& MakeButton(int cx = 48) {
        m_pParent = &MakeParent(400, 120);
        EXPECT_TRUE(m_button.Create(L"Close", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{240, 10, 240 + cx, 58}, m_pParent, 1002));
        m_button.SetImagePlacement(1.0 / 3, 1.0 / 3, 1.0 / 3, 1.0 / 3);
        m_button.SetImages(kClosePng, kClosePng, 0xFF4377EEu, 0xFFE91022u);
        return m_button;
    }

    void MoveMouseTo(POINT client) { desktop::MoveMouse(OnScreen(m_button, client)); }

    // The fill all round the middle ninth in the colour, and the white glyph inside it.
    static void ExpectFillAndGlyph(const CClientPixels& pixels, COLORREF crFill) {
        const int nOutside = 48 * 48 - 16 * 16;
        EXPECT_EQ(pixels.Count(crFill) - pixels.Count(crFill, RECT{16, 16, 32, 32}), nOutside);
        EXPECT_EQ(pixels.At(24, 24), kWhite) << "the cross's centre";
    }

    CWnd* m_pParent = nullptr;
    CCloseProbe m_button;
};

TEST_F(CloseButtonTest, HoveringSwapsTheFillAndLeavingSwapsItBack) {
    CCloseProbe& button = MakeButton();
    ASSERT_TRUE(Painted(button));
    ExpectFillAndGlyph(CClientPixels(button), kTitleBlue);

    for (int round = 0; round < 2; ++round) {
        MoveMouseTo(POINT{24, 24});
        ASSERT_TRUE(PumpUntil([&] { return button.m_bHover && !HasUpdate(button); })) << round;
        ExpectFillAndGlyph(CClientPixels(button), kCloseRed);

        desktop::MoveMouse(OnScreen(*m_pParent, POINT{20, 60}));
        ASSERT_TRUE(PumpUntil([&] { return !button.m_bHover && !HasUpdate(button); })) << round;
        ExpectFillAndGlyph(CClientPixels(button), kTitleBlue);
    }
}

TEST_F(CloseButtonTest, NewIdsTakeNewColoursAndTheSameIdsKeepTheOld) {
    CCloseProbe& button = MakeButton();
    button.SetImages(kClosePng, kClosePng, 0xFF00FF00u, 0xFF00FF00u);
    ASSERT_TRUE(Painted(button));
    EXPECT_EQ(CClientPixels(button).At(2, 2), kTitleBlue);

    button.SetImages(0, -1, 0xFF00FF00u, 0xFFFFFF00u);
    button.Invalidate();
    ASSERT_TRUE(Painted(button));
    EXPECT_EQ(CClientPixels(button).Count(RGB(0, 255, 0)), 48 * 48) << "no image for ids below 1";
}

// The focus frame's dots along the button's left column.
int FrameDots(const CWnd& button) {
    return CClientPixels(button).Count(kFrameDot, RECT{0, 0, 1, 48});
}

TEST_F(CloseButtonTest, AfterAClickTheFocusFrameWaitsForAKey) {
    CCloseProbe& button = MakeButton();
    button.SetFocus();
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(FrameDots(button), 0) << "focused by the keyboard";

    desktop::Click(OnScreen(button, POINT{24, 24}));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bMouseInput && !HasUpdate(button); }));
    ASSERT_EQ(GetFocus(), button.m_hWnd) << "the click focuses the button";
    EXPECT_EQ(FrameDots(button), 0);
    button.Invalidate();
    ASSERT_TRUE(Painted(button));
    EXPECT_EQ(FrameDots(button), 0) << "not on a later paint either";

    desktop::PressKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return !button.m_bMouseInput; }));
    button.Invalidate();
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(FrameDots(button), 0);
}

TEST_F(CloseButtonTest, TheHandCursorShowsOnlyInsideTheHoverRectangle) {
    CCloseProbe& button = MakeButton(96);
    button.SetHoverRect(RECT{0, 0, 48, 48});
    const HCURSOR hHand = LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR hArrow = LoadCursorW(nullptr, IDC_ARROW);

    MoveMouseTo(POINT{20, 20});
    EXPECT_TRUE(
        PumpUntil([&] { return ClassCursorOf(button) == hHand && desktop::CurrentCursor() == hHand; }));
    MoveMouseTo(POINT{70, 20});
    EXPECT_TRUE(PumpUntil([&] { return ClassCursorOf(button) == hArrow; }))
        << "outside, still over the button";
    MoveMouseTo(POINT{75, 25});
    EXPECT_TRUE(PumpUntil([&] { return desktop::CurrentCursor() == hArrow; })) << "the class cursor shows";
    MoveMouseTo(POINT{30, 30});
    EXPECT_TRUE(
        PumpUntil([&] { return ClassCursorOf(button) == hHand && desktop::CurrentCursor() == hHand; }));
}

TEST_F(CloseButtonTest, TheImagesTakeTheClientRectangleAsHoverRectangle) {
    CCloseProbe& button = MakeButton(96);
    const HCURSOR hHand = LoadCursorW(nullptr, IDC_HAND);
    MoveMouseTo(POINT{90, 40});
    EXPECT_TRUE(PumpUntil([&] { return ClassCursorOf(button) == hHand; }));
}

} // namespace

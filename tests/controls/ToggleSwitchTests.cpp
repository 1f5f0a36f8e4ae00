// The eye-care panel's switch: the "on" or "off" picture, white until both pictures are there, the
// owner's flag shown only at the next paint, the pictures loaded once, the focus frame.
#include <gtest/gtest.h>

#include "controls/FocusFrame.h"
#include "controls/PNGToggleButton.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::DrawPng;

constexpr int kOffPng = 167;
constexpr int kOnPng = 168;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kOnTrack = RGB(0x4A, 0x81, 0xFD);
const COLORREF kOffKnob = RGB(0x6D, 0x6D, 0x6D);
const COLORREF kFrameDot = RGB(0xB4, 0xB4, 0xB4);
constexpr int kWidth = 90;
constexpr int kHeight = 42;

class CSwitchProbe : public CPNGToggleButton {
public:
    using CPNGToggleButton::m_pOffImage;
    using CPNGToggleButton::m_pOnImage;
};

class ToggleSwitchTest : public CControlWindowTest {
protected:
    CSwitchProbe& MakeSwitch() {
        EXPECT_TRUE(m_switch.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{10, 10, 10 + kWidth, 10 + kHeight}, &MakeParent(), 1019));
        return m_switch;
    }
    // The picture as drawn alone over the client area, with the focus frame when the switch has the focus.
    static int DifferencesFromPicture(CWnd& window, int nPng) {
        gdi_test::CSurface expected(kWidth, kHeight);
        {
            Gdiplus::Graphics graphics(expected.Dc());
            graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
            DrawPng(graphics, nPng, 0, 0, kWidth, kHeight);
        }
        SetBkMode(expected.Dc(), TRANSPARENT);
        DrawFocusFrame(&window, CDC::FromHandle(expected.Dc()), RECT{0, 0, kWidth, kHeight});
        return CClientPixels(window).Differences(expected);
    }

    CSwitchProbe m_switch;
};

TEST_F(ToggleSwitchTest, ShowsThePictureOfTheOwnersFlagAtTheNextPaint) {
    CSwitchProbe& control = MakeSwitch();
    control.SetupSwitch();
    control.Invalidate();
    ASSERT_TRUE(Painted(control));
    EXPECT_EQ(CClientPixels(control).Count(kOnTrack), 0) << "off after construction";
    EXPECT_GT(CClientPixels(control).Count(kOffKnob), 30);

    control.m_bOn = TRUE;
    ASSERT_TRUE(Painted(control));
    EXPECT_EQ(CClientPixels(control).Count(kOnTrack), 0) << "the flag alone repaints nothing";
    control.Invalidate();
    ASSERT_TRUE(Painted(control));
    EXPECT_GT(CClientPixels(control).Count(kOnTrack), 500);
    EXPECT_EQ(CClientPixels(control).Count(kOffKnob), 0);
}

TEST_F(ToggleSwitchTest, PaintsExactlyThePictureOfItsState) {
    CSwitchProbe& control = MakeSwitch();
    control.SetupSwitch();
    for (const BOOL bOn : {FALSE, TRUE, FALSE}) {
        control.m_bOn = bOn;
        control.Invalidate();
        ASSERT_TRUE(Painted(control));
        EXPECT_EQ(DifferencesFromPicture(control, bOn ? kOnPng : kOffPng), 0) << "on " << bOn;
    }
}

TEST_F(ToggleSwitchTest, WithOnlyOnePictureItPaintsWhite) {
    CSwitchProbe& control = MakeSwitch();
    control.SetupSwitch();
    delete control.m_pOnImage;
    control.m_pOnImage = nullptr;
    for (const BOOL bOn : {FALSE, TRUE}) {
        control.m_bOn = bOn;
        control.Invalidate();
        ASSERT_TRUE(Painted(control));
        const CClientPixels pixels(control);
        EXPECT_EQ(pixels.Count(kWhite), kWidth * kHeight) << "on " << bOn;
    }
}

TEST_F(ToggleSwitchTest, LoadsItsPicturesOnce) {
    CSwitchProbe& control = MakeSwitch();
    control.LoadImages();
    Gdiplus::Bitmap* pOn = control.m_pOnImage;
    Gdiplus::Bitmap* pOff = control.m_pOffImage;
    ASSERT_NE(pOn, nullptr);
    ASSERT_NE(pOff, nullptr);
    control.LoadImages();
    control.SetupSwitch();
    EXPECT_EQ(control.m_pOnImage, pOn);
    EXPECT_EQ(control.m_pOffImage, pOff);
}

TEST_F(ToggleSwitchTest, AWindowMadeAgainShowsItsPicturesAgain) {
    CSwitchProbe& control = MakeSwitch();
    control.SetupSwitch();
    control.DestroyWindow();
    EXPECT_EQ(control.m_pOnImage, nullptr) << "the pictures go with the window";
    ASSERT_TRUE(control.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                               RECT{10, 10, 10 + kWidth, 10 + kHeight}, &m_window, 1019));
    control.SetupSwitch();
    ASSERT_TRUE(Painted(control));
    EXPECT_EQ(DifferencesFromPicture(control, kOffPng), 0);
}

TEST_F(ToggleSwitchTest, DrawsTheFocusFrameWhileFocusedWithoutTheNarrator) {
    CSwitchProbe& control = MakeSwitch();
    control.SetupSwitch();
    control.SetFocus();
    control.Invalidate();
    ASSERT_TRUE(Painted(control));
    EXPECT_GT(CClientPixels(control).Count(kFrameDot, RECT{0, 0, kWidth, 1}), 0);
    g_bNarrator = true;
    control.Invalidate();
    ASSERT_TRUE(Painted(control));
    EXPECT_EQ(CClientPixels(control).Count(kFrameDot, RECT{0, 0, kWidth, 1}), 0);
}

} // namespace

// The Solvane button: the blue pill of two caps and a bar in its vertical gradient, as wide as its
// caption needs (the caps at the edges and the caption cut when it is too wide), its white caption, the
// focus frame around the pill only after keyboard use and never for the narrator, and the hand cursor
// over the pill alone, with a hover that leaves the picture as it is.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <utility>

#include "controls/PNGSlvButton.h"
#include "controls/SkinnedControl.h"
#include "services/ResourceStrings.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::ClassCursorOf;
using controls_test::HasUpdate;
using controls_test::PumpUntil;
namespace desktop = platform::desktop;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kFrameDot = RGB(0xB4, 0xB4, 0xB4);
const COLORREF kTopBlue = RGB(0x31, 0x63, 0xDB);
const COLORREF kBottomBlue = RGB(0x47, 0x7E, 0xFA);
constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kGreek = 0x0408;

bool IsPillBlue(COLORREF cr) {
    return GetRValue(cr) <= 0x50 && GetGValue(cr) <= 0x84 && GetBValue(cr) >= 0xD0;
}

bool IsNear(COLORREF cr, COLORREF expected, int nTolerance) {
    return std::abs(GetRValue(cr) - GetRValue(expected)) <= nTolerance &&
           std::abs(GetGValue(cr) - GetGValue(expected)) <= nTolerance &&
           std::abs(GetBValue(cr) - GetBValue(expected)) <= nTolerance;
}

// The first and the last column of the row painted in the pill's blue; none without blue.
std::optional<std::pair<int, int>> BlueExtent(const CClientPixels& pixels, int y) {
    std::optional<std::pair<int, int>> extent;
    for (int x = 0; x < pixels.Width(); ++x) {
        if (IsPillBlue(pixels.At(x, y))) {
            extent = std::pair{extent ? extent->first : x, x};
        }
    }
    return extent;
}

// White caption ink: the near-white pixels of those columns in the band the caption stands on, from 12/43
// of the height down by one line of text.
int CaptionInk(const CClientPixels& pixels, int nLeft, int nRight) {
    int nInk = 0;
    const int nTop = pixels.Height() * 12 / 43;
    for (int y = nTop; y < nTop + 18; ++y) {
        for (int x = nLeft; x <= nRight; ++x) {
            nInk += IsNear(pixels.At(x, y), kWhite, 40) ? 1 : 0;
        }
    }
    return nInk;
}

class CSlvButtonProbe : public CPNGSlvButton {
public:
    using CPNGSlvButton::m_bMouseInput;
};

class SolvaneButtonTest : public CControlWindowTest {
protected:
    void TearDown() override {
        // The class cursor belongs to every button of the process.
        if (m_button.m_hWnd) {
            SetClassCursor(&m_button, IDC_ARROW);
        }
        CControlWindowTest::TearDown();
    }

    // A button of that client size at (20, 10) with the caption, painted, beside a first button that
    // takes the focus.
    CSlvButtonProbe& MakeButton(const CString& strCaption, int cx = 243, int cy = 43) {
        CWnd& parent = MakeParent(400, 120);
        EXPECT_TRUE(m_first.Create(L"First", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                   RECT{300, 80, 380, 110}, &parent, 1001));
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 20 + cx, 10 + cy}, &parent, 1075));
        m_first.SetFocus();
        m_button.SetText(strCaption);
        EXPECT_TRUE(Painted(m_button));
        return m_button;
    }
    void Repaint() {
        m_button.Invalidate();
        ASSERT_TRUE(Painted(m_button));
    }

    CButton m_first;
    CSlvButtonProbe m_button;
};

// On a 243-pixel client a short caption keeps the caps at x = 50 and x = 166, 27 wide each.
TEST_F(SolvaneButtonTest, AShortCaptionKeepsThePillInTheMiddleWithItsGradient) {
    const CSlvButtonProbe& button = MakeButton(L"GO");
    const CClientPixels pixels(button);
    const int nMiddle = pixels.Height() / 2;
    for (const int x : {2, 47}) {
        EXPECT_EQ(pixels.At(x, nMiddle), kWhite) << "left of the pill at " << x;
    }
    for (const int x : {53, 70, 180, 190}) {
        EXPECT_TRUE(IsPillBlue(pixels.At(x, nMiddle))) << "the pill at " << x;
    }
    for (const int x : {196, 240}) {
        EXPECT_EQ(pixels.At(x, nMiddle), kWhite) << "right of the pill at " << x;
    }
    EXPECT_EQ(button.GetHoverRect(), CRect(50, 0, 193, 43));

    // The bar (x 63 to 180) runs from the top blue to the bottom blue; its edge rows are half covered.
    EXPECT_TRUE(IsNear(pixels.At(70, 1), kTopBlue, 4)) << std::hex << pixels.At(70, 1);
    EXPECT_TRUE(IsNear(pixels.At(70, 41), kBottomBlue, 4)) << std::hex << pixels.At(70, 41);
    EXPECT_GT(CaptionInk(pixels, 63, 180), 20) << "the caption in white";
}

TEST_F(SolvaneButtonTest, ACaptionWiderThanTheButtonPutsTheCapsAtTheEdgesAndIsCutByTheBar) {
    const CSlvButtonProbe& button = MakeButton(L"A CAPTION FAR TOO LONG FOR THE WHOLE WIDTH OF THIS BUTTON");
    const CClientPixels pixels(button);
    const int nMiddle = pixels.Height() / 2;
    const auto extent = BlueExtent(pixels, nMiddle);
    ASSERT_TRUE(extent);
    EXPECT_LE(extent->first, 1);
    EXPECT_GE(extent->second, 241);
    EXPECT_EQ(button.GetHoverRect(), CRect(0, 0, 243, 43));
    // Inside the caps, left and right of the bar (x 13 to 230), no caption ink.
    EXPECT_EQ(CaptionInk(pixels, 5, 12), 0);
    EXPECT_EQ(CaptionInk(pixels, 231, 237), 0);
    EXPECT_GT(CaptionInk(pixels, 13, 229), 100);
}

// The string table's caption in English and in Greek, on the button as the panel makes it.
TEST_F(SolvaneButtonTest, ThePillWidensForALongerTranslation) {
    std::optional<std::pair<int, int>> extents[2];
    int i = 0;
    for (const LANGID language : {kEnglish, kGreek}) {
        const CString strCaption = ResStringOfLanguage(language, L"Go to Corvex Solvane", 213);
        if (!m_button.m_hWnd) {
            MakeButton(strCaption, 298, 45);
        } else {
            m_button.SetText(strCaption);
            ASSERT_TRUE(Painted(m_button));
        }
        const CClientPixels pixels(m_button);
        extents[i] = BlueExtent(pixels, pixels.Height() / 2);
        ASSERT_TRUE(extents[i]) << language;
        EXPECT_GT(CaptionInk(pixels, extents[i]->first + 14, extents[i]->second - 14), 100) << language;
        ++i;
    }
    EXPECT_GT(extents[0]->first, 0) << "the English caption leaves room at the sides";
    EXPECT_LT(extents[1]->first, extents[0]->first);
    EXPECT_GT(extents[1]->second, extents[0]->second);
}

// The frame's dots in the columns just outside the pill: left 4 and right 5 pixels from its caps.
int FrameDots(const CWnd& button) {
    const CClientPixels pixels(button);
    return pixels.Count(kFrameDot, RECT{46, 0, 47, 43}) + pixels.Count(kFrameDot, RECT{197, 0, 198, 43});
}

TEST_F(SolvaneButtonTest, TheFocusFrameShowsAfterKeyboardUseOnly) {
    CSlvButtonProbe& button = MakeButton(L"GO");
    EXPECT_EQ(FrameDots(button), 0) << "not focused";

    button.SetFocus();
    Repaint();
    EXPECT_GT(FrameDots(button), 20) << "focused, no mouse used yet";

    desktop::Click(OnScreen(button, POINT{120, 21}));
    ASSERT_TRUE(PumpUntil([&] { return button.m_bMouseInput && !HasUpdate(button); }));
    ASSERT_EQ(GetFocus(), button.m_hWnd);
    Repaint();
    EXPECT_EQ(FrameDots(button), 0) << "after a click";

    desktop::PressKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return !button.m_bMouseInput; }));
    Repaint();
    EXPECT_GT(FrameDots(button), 20) << "after a key";
}

TEST_F(SolvaneButtonTest, TheNarratorGetsTheCaptionAndNoFocusFrame) {
    g_bNarrator = true;
    CSlvButtonProbe& button = MakeButton(L"GO");
    button.SetNarratorText(L"GO TO CORVEX SOLVANE");
    CString strText;
    button.GetWindowText(strText);
    EXPECT_EQ(strText, CString(L"GO TO CORVEX SOLVANE"));
    button.SetFocus();
    Repaint();
    EXPECT_EQ(FrameDots(button), 0);
}

// The pill is 50 to 193 of the 243 pixels; the window around it is the button too.
TEST_F(SolvaneButtonTest, TheHandShowsOverThePillAloneAndHoverLeavesThePictureAsItIs) {
    CSlvButtonProbe& button = MakeButton(L"GO");
    const HCURSOR hHand = LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR hArrow = LoadCursorW(nullptr, IDC_ARROW);
    const CClientPixels before(button);

    desktop::MoveMouse(OnScreen(button, POINT{120, 21}));
    EXPECT_TRUE(PumpUntil([&] { return button.IsHover() && desktop::CurrentCursor() == hHand; }));
    EXPECT_EQ(ClassCursorOf(button), hHand);
    Repaint();
    const CClientPixels hovered(button);
    for (int y = 0; y < 43; y += 3) {
        for (int x = 0; x < 243; x += 3) {
            ASSERT_EQ(hovered.At(x, y), before.At(x, y)) << x << "," << y;
        }
    }

    desktop::MoveMouse(OnScreen(button, POINT{20, 21}));
    EXPECT_TRUE(PumpUntil([&] { return !button.IsHover() && ClassCursorOf(button) == hArrow; }))
        << "outside the pill, still over the button";
    desktop::MoveMouse(OnScreen(button, POINT{25, 25}));
    EXPECT_TRUE(PumpUntil([&] { return desktop::CurrentCursor() == hArrow; }));
}

} // namespace

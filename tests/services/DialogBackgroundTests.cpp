// The panels' background paint through the window's own WM_PAINT: white, the grey frame and the side
// lines on the screen, and the window left with nothing to paint.
#include <gtest/gtest.h>

#include "platform/framework_window.h"
#include "platform/window/Desktop.h"
#include "services/DrawingRoutines.h"
#include "tests/services/DrawingTestSupport.h"

namespace {

using drawing_test::CDrawingTest;

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kSideLine = RGB(180, 180, 180);
const COLORREF kGreyFrame = RGB(225, 225, 225);

class CBackgroundWnd : public CWnd {
public:
    void OnPaint() { m_bPainted = DrawDialogBackground(this, nullptr, true, true); }
    bool m_bPainted = false;

protected:
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBackgroundWnd, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

class DialogBackgroundTest : public CDrawingTest {
protected:
    CBackgroundWnd m_window;
};

TEST_F(DialogBackgroundTest, PaintsTheWindowsClientAreaAndValidatesIt) {
    SetDpi(96);
    constexpr int kLeft = 200;
    constexpr int kTop = 150;
    constexpr int kWidth = 120;
    constexpr int kHeight = 60;
    ASSERT_TRUE(m_window.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE,
                                  RECT{kLeft, kTop, kLeft + kWidth, kTop + kHeight}, nullptr, 0));
    m_window.UpdateWindow();
    ASSERT_TRUE(platform::desktop::WaitUntilSettled());
    EXPECT_TRUE(m_window.m_bPainted);
    RECT rcUpdate{};
    EXPECT_FALSE(::GetUpdateRect(m_window.m_hWnd, &rcUpdate, FALSE)) << "the paint DC validated the window";

    const platform::desktop::CScreenImage screen = platform::desktop::ComposeScreen();
    const auto at = [&](int x, int y) { return screen.At(kLeft + x, kTop + y); };
    EXPECT_EQ(at(0, 20), kSideLine);
    EXPECT_EQ(at(kWidth - 1, 20), kSideLine);
    EXPECT_EQ(at(60, kHeight - 2), kSideLine);
    EXPECT_EQ(at(28, 20), kGreyFrame);
    EXPECT_EQ(at(kWidth - 33, 20), kGreyFrame);
    EXPECT_EQ(at(60, 0), kGreyFrame);
    EXPECT_EQ(at(60, 20), kWhite);
    EXPECT_EQ(at(10, 20), kWhite);
}

TEST_F(DialogBackgroundTest, WithoutAWindowNothingHappens) {
    EXPECT_TRUE(DrawDialogBackground(nullptr, nullptr, true, true));
    EXPECT_TRUE(DrawDialogBackground(&m_window, nullptr, true, true));
}

} // namespace

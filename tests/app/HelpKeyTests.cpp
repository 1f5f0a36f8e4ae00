// F1 in the flyout: the application takes the key and its WM_KEYF1 before they are translated, so no
// help request reaches the flyout; without the application's look the same key asks for help.
#include <gtest/gtest.h>

#include "app/FlipdeckExApp.h"
#include "app/FlipdeckExDlg.h"
#include "platform/window/Desktop.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/services/DrawingTestSupport.h"

namespace {

WNDPROC g_pfnFlyoutProc = nullptr;
int g_nHelpRequests = 0;

LRESULT CALLBACK CountingHelpProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HELP) {
        ++g_nHelpRequests;
    }
    return CallWindowProcW(g_pfnFlyoutProc, hWnd, message, wParam, lParam);
}

class HelpKeyTest : public drawing_test::CDrawingTest {};

TEST_F(HelpKeyTest, F1InTheFlyoutAsksForNoHelp) {
    CFlipdeckExApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    CFlipdeckExDlg flyout;
    ASSERT_TRUE(flyout.Create(CFlipdeckExDlg::IDD, nullptr));
    MSG msg;
    controls_test::PumpUntil([&] { return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); });
    g_pfnFlyoutProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(flyout.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingHelpProc)));
    ::SetFocus(flyout.m_hWnd);

    struct {
        const char* name;
        bool bApplicationFirst; // the modal loop's order: the application's look, then translation
        int nHelpRequests;
    } const cases[] = {{"the program's loop", true, 0},
                       {"translated without the application's look", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_nHelpRequests = 0;
        platform::desktop::PressKey(VK_F1);
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!c.bApplicationFirst || !AfxPreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        EXPECT_EQ(g_nHelpRequests, c.nHelpRequests);
    }
    ::SetWindowLongPtrW(flyout.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_pfnFlyoutProc));
    flyout.DestroyWindow();
}

} // namespace

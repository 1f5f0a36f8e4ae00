// The controls' tests: a machine, GDI+ started, the narrator flag set for one test and restored, and a
// framework window on the test's thread.
#pragma once

#include <gtest/gtest.h>

#include "controls/ControlNarratorText.h"
#include "platform/framework_window.h"
#include "tests/services/DrawingTestSupport.h"

namespace controls_test {

class CControlsTest : public drawing_test::CDrawingTest {
protected:
    ~CControlsTest() override { g_bNarrator = m_bNarratorBefore; }

    // A visible popup of the framework's class with that client size.
    CWnd& MakeWindow(int cx, int cy) {
        EXPECT_TRUE(m_window.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE,
                                      RECT{100, 100, 100 + cx, 100 + cy}, nullptr, 0));
        return m_window;
    }

    CWnd m_window;

private:
    bool m_bNarratorBefore = g_bNarrator;
};

} // namespace controls_test

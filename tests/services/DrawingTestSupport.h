// The drawing routines' tests: a machine whose screen DPI a test sets, GDI+ started, a per-monitor
// aware process (as the program makes itself at start-up), and memory surfaces.
#pragma once

#include <gtest/gtest.h>

#include "platform/display.h"
#include "platform/gdiplus.h"
#include "tests/platform/DisplayTestSupport.h"
#include "tests/platform/GdiTestSupport.h"

namespace drawing_test {

class CDrawingTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const HRESULT hr = SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
        ASSERT_TRUE(hr == S_OK || hr == E_ACCESSDENIED);
    }
    void SetUp() override {
        const Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr), Gdiplus::Ok);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_gdiplusToken); }

    void SetDpi(int dpi, int left = 0) {
        display_test::SetMonitors(m_machine, nlohmann::json::array({display_test::Monitor(dpi, left)}));
    }

    testing_support::CTestMachine m_machine;
    ULONG_PTR m_gdiplusToken = 0;
};

} // namespace drawing_test

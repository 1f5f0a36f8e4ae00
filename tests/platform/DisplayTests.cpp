// Monitors, DPI, system metrics and system parameters from the machine's screen.
#include <gtest/gtest.h>

#include "platform/display.h"
#include "tests/platform/DisplayTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

using display_test::Monitor;
using display_test::SetMonitors;
using testing_support::CTestMachine;

class DisplayTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // The program declares itself per-monitor aware at start-up; so do these tests (once per process).
        const HRESULT hr = SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE);
        ASSERT_TRUE(hr == S_OK || hr == E_ACCESSDENIED);
    }

    static UINT EffectiveDpiAt(POINT pt) {
        UINT dpiX = 0;
        UINT dpiY = 0;
        EXPECT_EQ(
            GetDpiForMonitor(MonitorFromPoint(pt, MONITOR_DEFAULTTONULL), MDT_EFFECTIVE_DPI, &dpiX, &dpiY),
            S_OK);
        EXPECT_EQ(dpiX, dpiY);
        return dpiX;
    }

    CTestMachine m_machine;
};

TEST_F(DisplayTest, DefaultProfileIsOneFullHdMonitorAt96DpiAboveA40PixelTaskbar) {
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.left, 0);
    EXPECT_EQ(work.top, 0);
    EXPECT_EQ(work.right, 1920);
    EXPECT_EQ(work.bottom, 1040);
    EXPECT_EQ(EffectiveDpiAt(POINT{10, 10}), 96u);
}

TEST_F(DisplayTest, MonitorFromPointFollowsItsFlagOutsideEveryMonitor) {
    const HMONITOR primary = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL);
    ASSERT_NE(primary, nullptr);
    // The right and bottom edges belong to no monitor.
    EXPECT_EQ(MonitorFromPoint(POINT{1919, 1079}, MONITOR_DEFAULTTONULL), primary);
    EXPECT_EQ(MonitorFromPoint(POINT{1920, 10}, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromPoint(POINT{1920, 10}, MONITOR_DEFAULTTOPRIMARY), primary);
    EXPECT_EQ(MonitorFromPoint(POINT{-500, 5000}, MONITOR_DEFAULTTONEAREST), primary);
}

TEST_F(DisplayTest, TwoMonitorsAreToldApartAndMakeTheVirtualScreen) {
    SetMonitors(m_machine, nlohmann::json::array({Monitor(96), Monitor(144, 1920)}));
    const HMONITOR second = MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONULL);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL));
    EXPECT_EQ(EffectiveDpiAt(POINT{2000, 10}), 144u);
    EXPECT_EQ(EffectiveDpiAt(POINT{10, 10}), 96u);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 3840);
    // The screen metrics are the primary monitor's.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 17);
}

struct DpiCase {
    int dpi;
    int scrollWidth;
    LONG workBottom;
    LONG messageFontHeight;
};

class DisplayDpiTest : public DisplayTest, public testing::WithParamInterface<DpiCase> {};

TEST_P(DisplayDpiTest, MetricsWorkAreaAndFontsScaleWithThePrimaryMonitorsDpi) {
    const DpiCase& c = GetParam();
    SetMonitors(m_machine, nlohmann::json::array({Monitor(c.dpi)}));
    EXPECT_EQ(EffectiveDpiAt(POINT{10, 10}), static_cast<UINT>(c.dpi));
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), c.scrollWidth);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_EQ(work.bottom, c.workBottom);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
    EXPECT_EQ(metrics.lfMessageFont.lfHeight, c.messageFontHeight);
    EXPECT_STREQ(metrics.lfMessageFont.lfFaceName, L"Segoe UI");
}

INSTANTIATE_TEST_SUITE_P(Dpi, DisplayDpiTest,
                         testing::Values(DpiCase{96, 17, 1040, -12}, DpiCase{120, 21, 1030, -15},
                                         DpiCase{144, 26, 1020, -18}));

TEST_F(DisplayTest, MalformedScreenFactsGiveNoMonitorAndNoCrash) {
    for (const nlohmann::json& monitors :
         {nlohmann::json("1920x1080"), nlohmann::json::array({{{"width", -5}}}),
          nlohmann::json::array({nlohmann::json(42)})}) {
        SetMonitors(m_machine, monitors);
        EXPECT_EQ(MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTOPRIMARY), nullptr) << monitors.dump();
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 0);
        RECT work{};
        EXPECT_FALSE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    }
}

TEST_F(DisplayTest, AnUnusableDpiReadsAs96) {
    nlohmann::json monitor = Monitor(96);
    monitor["dpi"] = 5000;
    SetMonitors(m_machine, nlohmann::json::array({monitor}));
    EXPECT_EQ(EffectiveDpiAt(POINT{10, 10}), 96u);
}

TEST_F(DisplayTest, BadArgumentsFailAsWindowsReportsThem) {
    UINT dpiX = 0;
    UINT dpiY = 0;
    const HMONITOR primary = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTOPRIMARY);
    EXPECT_EQ(GetDpiForMonitor(nullptr, MDT_EFFECTIVE_DPI, &dpiX, &dpiY), E_INVALIDARG);
    EXPECT_EQ(GetDpiForMonitor(primary, static_cast<MONITOR_DPI_TYPE>(7), &dpiX, &dpiY), E_INVALIDARG);
    EXPECT_EQ(GetDpiForMonitor(primary, MDT_RAW_DPI, nullptr, &dpiY), E_INVALIDARG);
    EXPECT_EQ(GetSystemMetrics(9999), 0);

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics) - sizeof(int);
    EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0));
    metrics.cbSize = 504;
    SetLastError(0);
    EXPECT_FALSE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 504, &metrics, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SystemParametersInfoW(0x0068 /* SPI_GETWHEELSCROLLLINES */, 0, &dpiX, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

// A process that has not declared its awareness sees 96 DPI; it may declare it once.
FLIPDECK_CHILD_ACTION(DpiUnawareProcess) {
    const HMONITOR monitor = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL);
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY) != S_OK || dpiX != 96) {
        return 1;
    }
    if (GetDpiForMonitor(monitor, MDT_RAW_DPI, &dpiX, &dpiY) != S_OK || dpiX != 144) {
        return 2;
    }
    if (SetProcessDpiAwareness(PROCESS_PER_MONITOR_DPI_AWARE) != S_OK ||
        SetProcessDpiAwareness(PROCESS_SYSTEM_DPI_AWARE) != E_ACCESSDENIED) {
        return 3;
    }
    GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY);
    return dpiX == 144 ? 0 : 4;
}

TEST_F(DisplayTest, AnUnawareProcessSees96DpiUntilItDeclaresItselfAware) {
    SetMonitors(m_machine, nlohmann::json::array({Monitor(144)}));
    EXPECT_EQ(testing_support::RunChild("DpiUnawareProcess"), 0);
}

} // namespace

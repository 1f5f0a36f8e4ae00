// The flyout as a person meets it: above the taskbar, closed by its Close button, closing itself on
// deactivation once the logon is two minutes old (Windows 10 only), deaf to F1 and Esc, and
// announcing itself to the screen reader.
#include <string>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace std::chrono_literals;
using testing_support::CTestMachine;
using testing_support::SetMachineFact;

const char* const kStart = "MENUITEM_LAUNCH_TOOLBAR,|";
const COLORREF kDesktop = RGB(0, 99, 177);
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kCloseHoverRed = RGB(0xE9, 0x10, 0x22);

std::string PointWords(POINT pt) {
    return std::to_string(pt.x) + " " + std::to_string(pt.y);
}

// A click on the desktop: the shell takes the foreground and the program is deactivated.
bool Deactivate(e2e::CProgram& program) {
    return program.Input("click 5 5");
}

TEST(Flyout, StandsOnTheTaskbarWithItsTitleBarAndAWhiteBody) {
    for (const char* profile : {"consumer-win11", "business-win10"}) {
        CTestMachine machine(profile);
        e2e::CProgram program(kStart);
        const auto flyout = program.WaitForFlyout();
        ASSERT_TRUE(flyout) << profile;
        const auto screen = program.Screen();
        int taskbarTop = 0;
        while (taskbarTop < screen.height && screen.At(5, taskbarTop) == kDesktop) {
            ++taskbarTop;
        }
        const RECT& title = flyout->titleBar;
        const int middle = (title.left + title.right) / 2;
        EXPECT_EQ(screen.At(title.left + 3, title.bottom + 5), kWhite) << profile << ": beside the grid";
        EXPECT_EQ(screen.At(middle, taskbarTop - 3), kWhite) << profile << ": the body reaches the taskbar";
        EXPECT_NE(screen.At(middle, taskbarTop), kWhite) << profile << ": and stops there";
        EXPECT_EQ(screen.At(middle, title.top - 1), kDesktop) << profile;
        EXPECT_GT(title.right - title.left, 400) << profile;
    }
}

TEST(Flyout, CloseTurnsRedUnderTheMouseAndEndsTheRunAfterThePageLeave) {
    CTestMachine machine;
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const POINT corner = {flyout->titleBar.right - 3, flyout->titleBar.top + 3};
    EXPECT_NE(program.Screen().At(corner.x, corner.y), kCloseHoverRed);
    ASSERT_TRUE(program.Input("move " + PointWords(flyout->closeCentre)));
    EXPECT_EQ(program.Screen().At(corner.x, corner.y), kCloseHoverRed);
    ASSERT_TRUE(program.Input("move " + PointWords(POINT{flyout->titleBar.left + 5, corner.y})));
    EXPECT_NE(program.Screen().At(corner.x, corner.y), kCloseHoverRed) << "the red goes on leave";

    ASSERT_TRUE(program.Input("click " + PointWords(flyout->closeCentre)));
    const auto run = program.WaitForExit();
    EXPECT_EQ(run.exitCode, 0);
    const auto telemetry = e2e::TelemetryEvents();
    ASSERT_EQ(telemetry.size(), 2u);
    EXPECT_EQ(telemetry[0]["event"], "telemetry.pageview");
    EXPECT_EQ(telemetry[0]["page"], "Pages.Toolbar");
    EXPECT_EQ(telemetry[1]["event"], "telemetry.page");
    EXPECT_EQ(telemetry[1]["page"], "Pages.Toolbar");
    const double seconds = std::stod(telemetry[1]["value"].get<std::string>());
    EXPECT_GE(seconds, 0.0);
    EXPECT_LE(seconds, run.elapsed.count() / 1000.0);
}

struct AutoCloseCase {
    const char* profile;
    int logonSecondsBeforeStart;
    bool endsOnFirstDeactivation;
    bool endsLater;
};

class FlyoutAutoClose : public testing::TestWithParam<AutoCloseCase> {};

TEST_P(FlyoutAutoClose, DeactivationEndsTheRunOnlyOnWindows10TwoMinutesAfterLogon) {
    const AutoCloseCase& c = GetParam();
    CTestMachine machine(c.profile);
    SetMachineFact(machine.Folder(), "/session/logonSecondsBeforeStart", c.logonSecondsBeforeStart);
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    ASSERT_TRUE(Deactivate(program));
    if (c.endsOnFirstDeactivation) {
        EXPECT_EQ(program.WaitForExit().exitCode, 0);
        return;
    }
    program.Screen();
    ASSERT_TRUE(program.IsRunning()) << "deactivated before the two minutes";
    if (!c.endsLater) {
        return;
    }
    // The rest of the two minutes is ten seconds: time enough for the first deactivation under the
    // sanitizers. Deactivate again until the flyout goes.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    const POINT title = {flyout->titleBar.left + 10, flyout->titleBar.top + 5};
    while (program.IsRunning() && std::chrono::steady_clock::now() < deadline) {
        program.Input("click " + PointWords(title));
        Deactivate(program);
    }
    EXPECT_EQ(program.WaitForExit(5s).exitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(Logons, FlyoutAutoClose,
                         testing::Values(AutoCloseCase{"business-win10", 600, true, false},
                                         AutoCloseCase{"business-win10", 30, false, false},
                                         AutoCloseCase{"business-win10", 110, false, true},
                                         AutoCloseCase{"consumer-win11", 600, false, false}));

// The dialog manager gives the focus to the first tab stop, the Close button: Enter there closes.
TEST(Flyout, F1AndEscLeaveItOpenAndEnterOnTheFocusedCloseEndsIt) {
    CTestMachine machine("business-win10");
    e2e::CProgram program(kStart);
    ASSERT_TRUE(program.WaitForFlyout());
    for (const char* key : {"f1", "escape"}) {
        ASSERT_TRUE(program.Input(std::string("key ") + key));
        program.Screen();
        EXPECT_TRUE(program.IsRunning()) << key;
    }
    ASSERT_TRUE(program.Input("key enter"));
    EXPECT_EQ(program.WaitForExit().exitCode, 0);
    const auto telemetry = e2e::TelemetryEvents();
    ASSERT_FALSE(telemetry.empty());
    EXPECT_EQ(telemetry.back()["event"], "telemetry.page") << "the page leave of a closed flyout";
}

TEST(Flyout, InNarratorModeItSilencesTheReaderAndAsksItToReadTheTitle) {
    CTestMachine machine;
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Accessibility\\ATConfig\\narrator",
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegCloseKey(key);
    e2e::CProgram program(kStart);
    ASSERT_TRUE(program.WaitForFlyout());
    const std::vector<std::pair<int, bool>> expected = {{0x11, false}, {0x11, true},  {0x11, false},
                                                        {0x11, true},  {0x14, false}, {84, false},
                                                        {84, true},    {0x14, true}};
    std::vector<std::pair<int, bool>> pressed;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (pressed.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        pressed.clear();
        for (const auto& event : e2e::ReadEvents("input.key")) {
            pressed.emplace_back(event["vk"].get<int>(), event["up"].get<bool>());
        }
    }
    EXPECT_EQ(pressed, expected);
}

} // namespace

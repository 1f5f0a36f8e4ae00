// The privacy side of the grid on a business machine: the privacy guard toggle switched on the host and
// following the screen-privacy driver's registry state, and the camera privacy state the grid sets on
// the host once at every start.
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using testing_support::RunTool;

const char* const kStart = "MENUITEM_LAUNCH_TOOLBAR,|";
const char* const kDriverKey = "'HKLM\\SOFTWARE\\Corvex\\Shadeveil'";

bool CloseFlyout(e2e::CProgram& program, const e2e::FlyoutOnScreen& flyout) {
    return program.Click(flyout.closeCentre) && program.WaitForExit().exitCode == 0;
}

TEST(PrivacyGuard, AClickSwitchesTheHostAndTheDriversStateRepaintsTheButton) {
    CTestMachine machine("business-win10");
    ASSERT_TRUE(e2e::OfferFeatureAlone("PrivacyGuard", "off"));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto button = program.WaitForFeatureButton(*flyout, e2e::kButtonOff);
    ASSERT_TRUE(button) << "the first place, off";

    ASSERT_TRUE(program.Click(button->centre));
    const auto sets = e2e::WaitForEvents("contract.SetPrivacyGuard", 1);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]["state"], 1);
    EXPECT_EQ(e2e::HostFeature("PrivacyGuard")["state"], 1);
    EXPECT_EQ(RunTool(std::string("reg get ") + kDriverKey + " State").output, "1\n")
        << "the driver publishes the host's state";
    const auto telemetry = e2e::ReadEvents("telemetry.feature");
    ASSERT_EQ(telemetry.size(), 1u);
    EXPECT_EQ(telemetry[0]["name"], "Features.Toolbar.Flipdecks.PrivacyGuard");
    EXPECT_EQ(telemetry[0]["value"], "On");
    ASSERT_TRUE(program.MoveMouse(POINT{flyout->titleBar.left + 10, flyout->titleBar.top + 5}));
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOn));

    // A hotkey switching the guard off reaches the button through the driver's value.
    ASSERT_EQ(RunTool(std::string("reg set ") + kDriverKey + " State REG_DWORD 0").exitCode, 0);
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOff)) << "the watcher repaints it";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

TEST(CameraPrivacy, EveryStartOfTheGridSetsTheStateOnceAndNoButtonShowsForIt) {
    CTestMachine machine;
    ASSERT_TRUE(e2e::OfferFeatureAlone("WiFiSecurity", "off"));
    ASSERT_TRUE(RunTool("feature WiFiSecurity --supported no").exitCode == 0);
    for (size_t start = 1; start <= 2; ++start) {
        e2e::CProgram program(kStart);
        const auto flyout = program.WaitForFlyout();
        ASSERT_TRUE(flyout);
        const auto sets = e2e::WaitForEvents("contract.SetCamera", start);
        ASSERT_EQ(sets.size(), start);
        EXPECT_EQ(sets.back()["state"], 1);
        EXPECT_FALSE(e2e::FindFeatureButton(program.Screen(), *flyout));
        EXPECT_TRUE(CloseFlyout(program, *flyout));
    }
}

} // namespace

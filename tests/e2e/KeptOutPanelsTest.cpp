// The program's own flyout shows none of the eye-care, security-score and privacy panels, on either
// profile, even where the host offers privacy monitoring and a security score is kept: no panel asks the
// host and no panel's telemetry is sent.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

class KeptOutPanels : public testing::TestWithParam<const char*> {};

TEST_P(KeptOutPanels, TheFlyoutShowsNoneOfThem) {
    CTestMachine machine(GetParam());
    ASSERT_EQ(testing_support::RunTool("privacy form rotating").exitCode, 0);
    ASSERT_EQ(
        testing_support::RunTool("reg set 'HKCU\\Software\\Corvex\\AmpwiseToast' SecurityScore REG_DWORD 45")
            .exitCode,
        0);
    e2e::CProgram program("MENUITEM_LAUNCH_TOOLBAR,|");
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    ASSERT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOff)) << "the grid has probed its buttons";
    ASSERT_TRUE(program.Click(flyout->closeCentre));
    EXPECT_EQ(program.WaitForExit().exitCode, 0);

    for (const char* pszCall : {"contract.GetPrivacyMonitor", "contract.GetEyeCareTempSettings"}) {
        EXPECT_TRUE(e2e::ReadEvents(pszCall).empty()) << pszCall;
    }
    for (const nlohmann::json& event : e2e::TelemetryEvents()) {
        EXPECT_EQ(event.value("name", ""), "") << "no panel's feature event: " << event.dump();
        EXPECT_EQ(event.value("page", ""), "Pages.Toolbar") << event.dump();
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, KeptOutPanels, testing::Values("consumer-win11", "business-win10"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

} // namespace

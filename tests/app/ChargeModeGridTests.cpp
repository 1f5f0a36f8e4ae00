// Conservation mode and rapid charge in the consumer grid against the simulated host: a click or Enter on
// one switches the other off first (through its own switch, or in narrator mode by its look alone), so
// that the two are never on together.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/FeaturesPanelDlg.h"
#include "platform/com.h"
#include "platform/window/Desktop.h"
#include "services/ContractClient.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;

constexpr auto kLongWait = std::chrono::seconds(60);
const FeatureEvent kConservationOn{"Features.Toolbar.Flipdecks.ConservationMode", "On",
                                   "Features.Toolbar.Flipdecks"};
const FeatureEvent kRapidOn{"Features.Toolbar.Flipdecks.RapidCharge", "On", "Features.Toolbar.Flipdecks"};
const FeatureEvent kRapidOff{"Features.Toolbar.Flipdecks.RapidCharge", "Off", "Features.Toolbar.Flipdecks"};
const FeatureEvent kConservationOff{"Features.Toolbar.Flipdecks.ConservationMode", "Off",
                                    "Features.Toolbar.Flipdecks"};

std::vector<int> SetModes() {
    std::vector<int> modes;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents("contract.SetBatteryChargeMode")) {
        modes.push_back(record.value("mode", -1));
    }
    return modes;
}

// The consumer grid with the host's features, in an apartment, once both charge modes are probed.
class ChargeModeGridTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        g_nKobalBrand = 0;
    }
    void TearDown() override {
        if (m_grid.m_hWnd) {
            m_grid.DestroyWindow();
        }
        ReleaseContractInterface();
        CoUninitialize();
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }
    void Open() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
        CWnd& parent = MakeParent(400, 200);
        ASSERT_TRUE(m_grid.Create(CFeaturesPanelDlg::IDD, &parent));
        m_grid.ShowWindow(SW_SHOW);
        ASSERT_TRUE(PumpUntil(
            [this] {
                return m_grid.m_btnConservationMode.m_bInited == 1 && m_grid.m_btnRapidCharge.m_bInited == 1;
            },
            kLongWait));
        ASSERT_EQ(m_grid.m_btnConservationMode.m_nSupport, 1);
        ASSERT_EQ(m_grid.m_btnRapidCharge.m_nSupport, 1);
    }
    void Click(CDeckFeatureButton& button) {
        m_grid.SendMessage(WM_COMMAND, MAKEWPARAM(button.GetDlgCtrlID(), BN_CLICKED),
                           reinterpret_cast<LPARAM>(button.m_hWnd));
    }
    bool WaitForModes(const std::vector<int>& modes) {
        return PumpUntil([&modes] { return SetModes() == modes; }, kLongWait);
    }

    CFeaturesPanelDlg m_grid;
    int m_nBrandBefore = g_nKobalBrand;
};

TEST_F(ChargeModeGridTest, ConservationModeSwitchesRapidChargeOffFirstAndTheMirrorImage) {
    RunMachineTool("feature RapidCharge --state on");
    Open();
    ASSERT_EQ(m_grid.m_btnRapidCharge.m_nOn, 1);
    Click(m_grid.m_btnConservationMode);
    EXPECT_EQ(m_grid.m_btnRapidCharge.m_nOn, 0);
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nOn, 1);
    EXPECT_EQ(FeatureEvents(), (std::vector<FeatureEvent>{kRapidOff, kConservationOn}));
    EXPECT_TRUE(WaitForModes({0, 2})) << "rapid charge's call first";
    EXPECT_EQ(features_test::HostFeatureState("ConservationMode"), 1);
    EXPECT_EQ(features_test::HostFeatureState("RapidCharge"), 0);

    Click(m_grid.m_btnRapidCharge);
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nOn, 0);
    EXPECT_EQ(m_grid.m_btnRapidCharge.m_nOn, 1);
    EXPECT_EQ(FeatureEvents(),
              (std::vector<FeatureEvent>{kRapidOff, kConservationOn, kConservationOff, kRapidOn}));
    EXPECT_TRUE(WaitForModes({0, 2, 0, 1}));
    EXPECT_EQ(features_test::HostFeatureState("RapidCharge"), 1);
    EXPECT_EQ(features_test::HostFeatureState("ConservationMode"), 0);

    Click(m_grid.m_btnRapidCharge);
    EXPECT_TRUE(WaitForModes({0, 2, 0, 1, 0})) << "switching off leaves the other alone";
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nOn, 0);
}

TEST_F(ChargeModeGridTest, EnterOnTheFocusedButtonTakesTheSamePath) {
    RunMachineTool("feature RapidCharge --state on");
    Open();
    m_grid.m_btnConservationMode.SetFocus();
    platform::desktop::PressKey(VK_RETURN);
    EXPECT_TRUE(WaitForModes({0, 2}));
    EXPECT_EQ(m_grid.m_btnRapidCharge.m_nOn, 0);
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nOn, 1);
}

TEST_F(ChargeModeGridTest, InNarratorModeTheOtherOneOnlyShowsOff) {
    g_bNarrator = true;
    RunMachineTool("feature ConservationMode --state on");
    Open();
    Click(m_grid.m_btnRapidCharge);
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nOn, 0);
    EXPECT_EQ(m_grid.m_btnConservationMode.m_nStatus, 0);
    EXPECT_EQ(m_grid.m_btnConservationMode.GetNarratorText(), CString(L"Conservation mode off."));
    EXPECT_EQ(FeatureEvents(), (std::vector<FeatureEvent>{kRapidOn})) << "no switch of its own";
    EXPECT_TRUE(WaitForModes({1}));
    EXPECT_EQ(features_test::HostFeatureState("ConservationMode"), 0) << "the host's one mode ends it";
}

} // namespace

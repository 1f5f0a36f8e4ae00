// The battery panel in the process: its layout with and without the battery and the thermal line, the
// thermal line's conditions and its watcher, the links' keys with their telemetry and pages, the keys it
// swallows, the tooltips, and what a panel without battery leaves out.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/BatteryTimeInfoDlg.h"
#include "app/FlipdeckExDlg.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "platform/window/Desktop.h"
#include "platform/window/PowerNotify.h"
#include "services/ContractClient.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpMessages;
using controls_test::PumpUntil;
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;
using testing_support::SetMachineFact;

constexpr auto kLongWait = std::chrono::seconds(60);
// The panel's width: every share of the template's 270 columns is then a whole number of pixels.
constexpr int kWidth = 540;
const wchar_t kToolbarKey[] = L"SOFTWARE\\Corvex\\Ampwise";

// A panel of the machine's brand in a parent window, kWidth wide.
class BatteryPanelTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override {
        if (m_pPanel && m_pPanel->m_hWnd) {
            m_pPanel->DestroyWindow();
        }
        m_pPanel.reset();
        ReleaseContractInterface();
        CoUninitialize();
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }
    CBatteryTimeInfoDlg& Open(int nBrand, bool bNoBattery = false) {
        g_nKobalBrand = nBrand;
        CreateContractInterfaceInstance();
        CWnd& parent = m_window.m_hWnd ? m_window : MakeParent(kWidth + 20, 400);
        m_pPanel = std::make_unique<CBatteryTimeInfoDlg>();
        m_pPanel->m_bNoBattery = bNoBattery ? 1 : 0;
        EXPECT_TRUE(m_pPanel->Create(CBatteryTimeInfoDlg::IDD, &parent));
        m_pPanel->ShowWindow(SW_SHOW);
        m_pPanel->SetWindowPos(nullptr, 0, 0, kWidth, 200, SWP_NOZORDER | SWP_NOACTIVATE);
        PumpMessages();
        return *m_pPanel;
    }
    // A height of the template in pixels.
    int Rows(int nDialogUnits) const {
        CRect rc(0, 0, 0, nDialogUnits);
        ::MapDialogRect(m_pPanel->m_hWnd, &rc);
        return rc.Height();
    }
    CRect Place(const CWnd& control) const {
        CRect rc;
        control.GetWindowRect(&rc);
        m_pPanel->ScreenToClient(&rc);
        return rc;
    }
    static void SetToolbarValue(const wchar_t* pszName, DWORD dwType, const void* pData, DWORD cbData) {
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &hKey, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
        RegCloseKey(hKey);
    }
    static void SetToolbarText(const wchar_t* pszName, const wchar_t* pszText) {
        SetToolbarValue(pszName, REG_SZ, pszText,
                        static_cast<DWORD>((wcslen(pszText) + 1) * sizeof(wchar_t)));
    }
    static void SetToolbarDword(const wchar_t* pszName, DWORD dwValue) {
        SetToolbarValue(pszName, REG_DWORD, &dwValue, sizeof(dwValue));
    }

    std::unique_ptr<CBatteryTimeInfoDlg> m_pPanel;
    int m_nBrandBefore = g_nKobalBrand;
};

struct LayoutCase {
    const char* pszName;
    const char* pszProfile;
    int nBrand;
    bool bNoBattery;
    bool bThermal;
};

class BatteryPanelLayout : public BatteryPanelTest, public testing::WithParamInterface<LayoutCase> {};

// Top-down from 11 columns: the heading and its link, the picture 7 rows lower, the thermal line 16
// rows under it, the "FLIPDECKS" heading 16 rows under that, and the panel 10 rows beyond it.
TEST_P(BatteryPanelLayout, StacksItsLinesInTheShareOfItsWidth) {
    const LayoutCase& c = GetParam();
    testing_support::CTestMachine machine(c.pszProfile);
    CBatteryTimeInfoDlg& panel = Open(c.nBrand, c.bNoBattery);
    const int nHeading = Rows(15);
    int y = 22;
    if (!c.bNoBattery) {
        EXPECT_EQ(Place(panel.m_stBatteryTitle).TopLeft(), CPoint(10, y));
        EXPECT_EQ(Place(panel.m_lnkBatteryDetails).TopLeft(), CPoint(294, y + 2));
        y += nHeading + 7;
        EXPECT_EQ(Place(panel.m_stBattery).TopLeft(), CPoint(40, y));
        EXPECT_EQ(Place(panel.m_stBattery).Height(), Rows(52));
        y += Rows(52) + 16;
    }
    for (const CWnd* pControl : {static_cast<const CWnd*>(&panel.m_stBatteryTitle),
                                 static_cast<const CWnd*>(&panel.m_lnkBatteryDetails),
                                 static_cast<const CWnd*>(&panel.m_stBattery)}) {
        EXPECT_EQ(pControl->IsWindowVisible() != FALSE, !c.bNoBattery);
    }
    EXPECT_EQ(panel.m_lnkThermal.IsWindowVisible() != FALSE, c.bThermal);
    EXPECT_EQ(panel.m_stThermalStatus.IsWindowVisible() != FALSE, c.bThermal);
    if (c.bThermal) {
        EXPECT_EQ(Place(panel.m_lnkThermal).TopLeft(), CPoint(14, y));
        EXPECT_EQ(Place(panel.m_stThermalStatus).TopLeft(), CPoint(268, y - 2));
        y += nHeading + 16;
    }
    EXPECT_EQ(Place(panel.m_stDeckTitle).TopLeft(), CPoint(10, y));
    EXPECT_EQ(Place(panel.m_lnkAllSettings).TopLeft(), CPoint(294, y + 2));
    CRect rcPanel;
    panel.GetClientRect(&rcPanel);
    EXPECT_EQ(rcPanel, CRect(0, 0, kWidth, y + nHeading + 10));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryPanelLayout,
    testing::Values(LayoutCase{"ConsumerWithThermalLine", "consumer-win11", 0, false, true},
                    LayoutCase{"BusinessWithoutThermalLine", "business-win10", 1, false, false},
                    LayoutCase{"NoBatteryWithThermalLine", "consumer-win11", 0, true, true},
                    LayoutCase{"NoBatteryNoThermalLine", "business-win10", 1, true, false}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.pszName); });

TEST_F(BatteryPanelTest, TheThermalLineNeedsTheToolbarsSupportAndTextTheServiceAndTheDevice) {
    const struct {
        const char* pszName;
        std::optional<DWORD> support; // none: left as the profile has it
        const wchar_t* pszText;       // null: left
        const char* pszServiceState;  // null: running
        bool bDevice;
        bool bShown;
    } cases[] = {
        {"the consumer notebook's", std::nullopt, nullptr, nullptr, true, true},
        {"support 0x5000 exactly", 0x5000u, nullptr, nullptr, true, true},
        {"support below 0x5000", 0x4FFFu, nullptr, nullptr, true, false},
        {"an empty text", std::nullopt, L"", nullptr, true, false},
        {"the service stopped", std::nullopt, nullptr, "stopped", true, false},
        {"no device", std::nullopt, nullptr, nullptr, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        testing_support::CTestMachine machine("consumer-win11");
        if (c.support) {
            SetToolbarDword(L"KobalRMDSupport", *c.support);
        }
        if (c.pszText) {
            SetToolbarText(L"KobalRMDStatusText", c.pszText);
        }
        if (c.pszServiceState) {
            SetMachineFact(machine.Folder(), "/services/QRMDSVC/state", c.pszServiceState);
        }
        if (!c.bDevice) {
            SetMachineFact(machine.Folder(), "/devices/OxqPmDrv", nullptr);
        }
        CBatteryTimeInfoDlg& panel = Open(0);
        EXPECT_EQ(panel.m_lnkThermal.IsWindowVisible() != FALSE, c.bShown);
        EXPECT_EQ(panel.m_stThermalStatus.IsWindowVisible() != FALSE, c.bShown);
        if (c.bShown) {
            EXPECT_EQ(panel.m_stThermalStatus.m_title.m_strText, CString(L":  Balanced mode"));
            CString strLink;
            panel.m_lnkThermal.GetWindowText(strLink);
            EXPECT_EQ(strLink, CString(L"Intelligent cooling"));
        }
        panel.DestroyWindow();
        m_pPanel.reset();
        ReleaseContractInterface();
    }
}

TEST_F(BatteryPanelTest, TheThermalLineFollowsTheToolbarsText) {
    CBatteryTimeInfoDlg& panel = Open(0);
    ASSERT_TRUE(panel.m_stThermalStatus.IsWindowVisible());
    SetToolbarText(L"KobalRMDStatusText", L"Quiet mode");
    EXPECT_TRUE(PumpUntil([&panel] { return panel.m_stThermalStatus.m_title.m_strText == L":  Quiet mode"; },
                          kLongWait));
    EXPECT_EQ(panel.m_strThermalStatus, CString(L"Quiet mode"));
}

// The feature events and the pages opened, without their times.
std::vector<std::string> LinkActions() {
    std::vector<std::string> actions;
    for (const nlohmann::json& record : ReadMachineEvents()) {
        const std::string event = record.value("event", "");
        if (event == "telemetry.feature") {
            actions.push_back(record.value("name", "") + "|" + record.value("page", "") + "|" +
                              record.value("value", ""));
        } else if (event == "shell.execute") {
            actions.push_back(record.value("file", ""));
        }
    }
    return actions;
}

// The key pressed and released on the focused control, as the person's keyboard gives it; the actions
// taken by then, once there are at least that many.
std::vector<std::string> PressKey(CWnd& focused, BYTE nKey, size_t nExpected) {
    focused.SetFocus();
    platform::desktop::PressKey(nKey);
    PumpUntil([nExpected] { return LinkActions().size() >= nExpected; }, kLongWait);
    PumpMessages(); // the actions are taken while the key's messages run
    return LinkActions();
}

TEST_F(BatteryPanelTest, SpaceOrEnterOnALinkSendsItsEventAndOpensItsPage) {
    CBatteryTimeInfoDlg& panel = Open(0);
    ASSERT_TRUE(panel.m_lnkThermal.IsWindowVisible());
    const size_t nBefore = LinkActions().size();
    PressKey(panel.m_lnkAllSettings, VK_SPACE, nBefore + 2);
    PressKey(panel.m_lnkThermal, VK_RETURN, nBefore + 4);
    PressKey(panel.m_lnkBatteryDetails, VK_SPACE, nBefore + 6);
    PressKey(panel.m_lnkBatteryDetails, VK_RETURN, nBefore + 8);
    const std::vector<std::string> actions = PressKey(panel.m_lnkAllSettings, 'A', nBefore + 8);
    ASSERT_EQ(actions.size(), nBefore + 8) << "an event and a page each, nothing for another key";
    EXPECT_EQ(actions[nBefore],
              "Features.Toolbar.Flipdecks.GoToSolvaneAllSettingsPage|Features.Toolbar.PowerInformation|");
    EXPECT_EQ(actions[nBefore + 1], "corvex-solvane3:device-settings");
    EXPECT_EQ(actions[nBefore + 2],
              "Features.Toolbar.PowerInformation.GoToPowerSmartSettingsByKobalIntelligentCooling|"
              "Features.Toolbar.PowerInformation|");
    EXPECT_EQ(actions[nBefore + 3], "corvex-solvane3:power");
    std::set<std::string> details;
    for (const size_t i : {nBefore + 5, nBefore + 7}) {
        EXPECT_EQ(
            actions[i - 1],
            "Features.Toolbar.Flipdecks.GoToSolvaneBatteryDetailsPage|Features.Toolbar.PowerInformation|");
        const std::string prefix = "corvex-solvane3:device-settings?batterydetail=";
        ASSERT_EQ(actions[i].rfind(prefix, 0), 0u) << actions[i];
        const std::string number = actions[i].substr(prefix.size());
        EXPECT_TRUE(!number.empty() && number.size() <= 5 &&
                    number.find_first_not_of("0123456789") == std::string::npos)
            << number;
        details.insert(number);
    }
    EXPECT_EQ(details.size(), 2u) << "each opening its own random page number";
}

TEST_F(BatteryPanelTest, EscAndEnterStopAtThePanel) {
    CBatteryTimeInfoDlg& panel = Open(0);
    for (const UINT nKey : {VK_ESCAPE, VK_RETURN}) {
        MSG msg{panel.m_stDeckTitle.m_hWnd, WM_KEYDOWN, nKey, 0, 0, {}};
        EXPECT_TRUE(panel.PreTranslateMessage(&msg)) << nKey;
    }
}

TEST_F(BatteryPanelTest, TheTooltipsNameTheHeadingsLinksAndTheThermalLine) {
    CBatteryTimeInfoDlg& panel = Open(0);
    const struct {
        const CWnd* pControl;
        const wchar_t* pszTip; // null: none
    } cases[] = {
        {&panel.m_stBatteryTitle, L"MY BATTERY"},
        {&panel.m_lnkBatteryDetails, L"BATTERY DETAILS"},
        {&panel.m_stDeckTitle, L"FLIPDECKS\x0002"},
        {&panel.m_lnkAllSettings, L"ALL SETTINGS\x0002"},
        {&panel.m_lnkThermal, L"Intelligent cooling"},
        {&panel.m_stThermalStatus, L"Balanced mode"},
        {&panel.m_stBattery, nullptr},
    };
    for (const auto& c : cases) {
        NMTTDISPINFOW info{};
        info.hdr = NMHDR{nullptr, reinterpret_cast<UINT_PTR>(c.pControl->m_hWnd), TTN_NEEDTEXTW};
        info.uFlags = TTF_IDISHWND;
        LRESULT result = -1;
        EXPECT_TRUE(panel.OnToolTipNeedText(0, &info.hdr, &result));
        EXPECT_EQ(result, 0);
        if (c.pszTip) {
            ASSERT_EQ(info.lpszText, info.szText);
            EXPECT_STREQ(info.szText, c.pszTip);
        } else {
            EXPECT_EQ(info.lpszText, nullptr);
        }
    }
    NMTTDISPINFOW byId{};
    byId.hdr = NMHDR{nullptr, CBatteryTimeInfoDlg::IDC_BATTERY_TITLE, TTN_NEEDTEXTW};
    LRESULT result = -1;
    EXPECT_TRUE(panel.OnToolTipNeedText(0, &byId.hdr, &result));
    EXPECT_EQ(byId.lpszText, nullptr) << "only tools by window are served";
}

TEST_F(BatteryPanelTest, WithoutBatteryNoHostQueryAndNoWatcherRun) {
    CBatteryTimeInfoDlg& panel = Open(0, true);
    EXPECT_FALSE(panel.m_stBattery.IsWindowVisible());
    EXPECT_EQ(panel.m_PowerStatusMonitor.m_pfnCallback, nullptr) << "no PowerStatusInfo watcher";
    panel.DestroyWindow(); // waits for the panel's workers
    for (const char* pszQuery : {"contract.GetBatteryChargeModeEx", "contract.IsSupportBatteryEx"}) {
        EXPECT_TRUE(ReadMachineEvents(pszQuery).empty()) << pszQuery;
    }
}

// The flyout's body stacks the battery panel first and the grid under it; a power notification makes
// the panel read the battery again, and a start without battery leaves it no notification to act on.
TEST_F(BatteryPanelTest, TheBodyStacksThePanelFirstAndAPowerNotificationRefreshesIt) {
    g_bNarrator = true;
    CreateContractInterfaceInstance();
    CFlipdeckExDlg flyout;
    ASSERT_TRUE(flyout.Create(CFlipdeckExDlg::IDD, nullptr));
    PumpMessages();
    CBatteryTimeInfoDlg& panel = flyout.m_featuresDlg.m_batteryTimeInfoDlg;
    ASSERT_NE(panel.m_hWnd, nullptr);
    CRect rcPanel;
    panel.GetWindowRect(&rcPanel);
    flyout.m_featuresDlg.ScreenToClient(&rcPanel);
    CRect rcGrid;
    flyout.m_featuresDlg.m_featuresPanelDlg.GetWindowRect(&rcGrid);
    flyout.m_featuresDlg.ScreenToClient(&rcGrid);
    EXPECT_EQ(rcPanel.top, 0);
    EXPECT_EQ(rcGrid.top, rcPanel.bottom);
    const auto shows = [&panel](const wchar_t* pszPercent) {
        return panel.m_stBattery.GetNarratorText().Find(pszPercent) >= 0;
    };
    ASSERT_TRUE(PumpUntil([&] { return shows(L" 80% "); }, kLongWait));

    SetMachineFact(m_machine.Folder(), "/power/batteryPercent", 35);
    platform::desktop::NotifyPowerSettingChange(GUID_BATTERY_PERCENTAGE_REMAINING, 35);
    EXPECT_TRUE(PumpUntil([&] { return shows(L" 35% "); }, kLongWait));
    flyout.DestroyWindow();
}

} // namespace

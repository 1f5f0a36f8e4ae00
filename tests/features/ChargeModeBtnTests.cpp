// The conservation mode and rapid charge buttons: their reading of the host's charge-mode and capability
// answers, their probes against the simulated host (system battery, capability, supported and current
// modes), their clicks with the host's one charge mode, the telemetry and the toolbar's
// "PowerStatusInfo" bits, the order in which their set calls reach the host, and the looks of their states.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "features/BatteryChargeMode.h"
#include "features/ConservationModeBtn.h"
#include "features/RapidChargeBtn.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;
using testing_support::SetMachineFact;

constexpr auto kLongWait = std::chrono::seconds(60);

// The toolbar's "PowerStatusInfo"; 0 without the value.
DWORD PowerStatusInfo() {
    return features_test::PowerStatusInfo().value_or(0);
}

// The mode of each recorded SetBatteryChargeMode.
std::vector<int> SetModes() {
    std::vector<int> modes;
    for (const nlohmann::json& record : ReadMachineEvents("contract.SetBatteryChargeMode")) {
        modes.push_back(record.value("mode", -1));
    }
    return modes;
}

// ---- Answers ----

TEST(ChargeModeAnswer, TheSettingsGiveTheSupportedAndTheCurrentModeByTheirExactKeys) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        const char* pszSupported;
        const char* pszCurrent;
    } cases[] = {
        {"both",
         "<?xml version=\"1.0\"?><SettingList><Setting "
         "key=\"Supported-BatteryChargeMode\">Normal,Quick,Storage"
         "</Setting><Setting key=\"BatteryChargeMode\">Storage</Setting></SettingList>",
         true, "Normal,Quick,Storage", "Storage"},
        {"inside Data",
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting "
         "key=\"BatteryChargeMode\"&gt;Quick&lt;/Setting"
         "&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true, "before", "Quick"},
        {"a later entry overwrites",
         "<SettingList><Setting key=\"BatteryChargeMode\">Quick</Setting><Setting key=\"BatteryChargeMode\">"
         "Normal</Setting></SettingList>",
         true, "before", "Normal"},
        {"an entry without text leaves its output",
         "<SettingList><Setting key=\"BatteryChargeMode\"/></SettingList>", true, "before", "before"},
        {"keys in another case",
         "<SettingList><Setting key=\"batterychargemode\">Quick</Setting></SettingList>", true, "before",
         "before"},
        {"no list", "<CapabilityList><Setting key=\"BatteryChargeMode\">Quick</Setting></CapabilityList>",
         false, "before", "before"},
        {"malformed", "<SettingList><Setting key=\"BatteryChargeMode\">Quick</Setting>", false, "before",
         "before"},
        {"null", nullptr, false, "before", "before"},
    };
    for (const auto& c : cases) {
        std::string strSupported = "before";
        std::string strCurrent = "before";
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        EXPECT_EQ(CBatteryChargeMode::ParseBatteryChargeModeSettings(answer, strSupported, strCurrent),
                  c.bParsed)
            << c.pszName;
        EXPECT_EQ(strSupported, c.pszSupported) << c.pszName;
        EXPECT_EQ(strCurrent, c.pszCurrent) << c.pszName;
    }
}

std::string Capabilities(const std::string& strEntries) {
    return "<?xml version=\"1.0\"?><CapabilityList>" + strEntries + "</CapabilityList>";
}

std::string Capability(const char* pszKey, const char* pszText) {
    return std::string("<Capability key=\"") + pszKey + "\">" + pszText + "</Capability>";
}

TEST(ChargeModeAnswer, ConservationModeIsSupportedForStorageWithoutItsLimit) {
    const struct {
        const char* pszName;
        std::optional<std::string> answer; // none: a null answer
        bool bSupported;
    } cases[] = {
        {"storage", Capabilities(Capability("ChargeMode-Storage", "true")), true},
        {"storage in another case, limit false",
         Capabilities(Capability("ChargeMode-Storage", "TRUE") +
                      Capability("ChargeMode-StorageLimited", "false")),
         true},
        {"storage limited",
         Capabilities(Capability("ChargeMode-Storage", "true") +
                      Capability("ChargeMode-StorageLimited", "True")),
         false},
        {"a later entry overwrites",
         Capabilities(Capability("ChargeMode-Storage", "true") + Capability("ChargeMode-Storage", "false")),
         false},
        {"no storage", Capabilities(Capability("BatteryChargeThreshold", "true")), false},
        {"the key in another case", Capabilities(Capability("chargemode-storage", "true")), false},
        {"inside Data",
         "<ContractResponse><Data>&lt;CapabilityList&gt;&lt;Capability "
         "key=\"ChargeMode-Storage\"&gt;true&lt;/"
         "Capability&gt;&lt;/CapabilityList&gt;</Data></ContractResponse>",
         true},
        {"malformed", Capabilities(Capability("ChargeMode-Storage", "true")).substr(0, 60), false},
        {"null", std::nullopt, false},
    };
    for (const auto& c : cases) {
        int nSupported = 7;
        const ContractAnswer answer = c.answer ? ContractAnswer(c.answer->c_str()) : ContractAnswer();
        EXPECT_EQ(CConservationModeBtn::ParseConservationModeCapability(answer, nSupported), c.bSupported)
            << c.pszName;
        EXPECT_EQ(nSupported, c.bSupported ? 1 : 0) << c.pszName;
    }
}

// ---- The buttons on the machine ----

// A consumer machine with the log on, its host offering both modes, a parent window, and an apartment;
// the contract instance only when a test makes it.
class ChargeModeBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        g_nKobalBrand = 0;
    }
    void TearDown() override {
        // Destroying a window waits for the button's workers.
        for (const auto& pButton : m_pButtons) {
            if (pButton->m_hWnd) {
                pButton->DestroyWindow();
            }
        }
        m_pButtons.clear();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_bNarrator = false;
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }
    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    // The button made as the grid's child, initialised and probed.
    template <typename Btn> Btn& ProbedButton() {
        auto pButton = std::make_unique<Btn>();
        Btn& button = *pButton;
        CWnd& parent = m_window.m_hWnd ? m_window : MakeParent();
        const int x = 20 + 60 * static_cast<int>(m_pButtons.size());
        EXPECT_TRUE(button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{x, 10, x + 48, 58},
                                  &parent, Btn::IDC));
        m_pButtons.push_back(std::move(pButton));
        EXPECT_TRUE(button.Init(&m_window));
        EXPECT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
        return button;
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    std::vector<std::unique_ptr<CChargeModeBtn>> m_pButtons;
    int m_nBrandBefore = g_nKobalBrand;
};

struct ProbeCase {
    const char* pszName;
    bool bRapid;             // else conservation mode
    const char* pszHostMode; // "" normal
    const char* pszFeatures; // flipdeck-machine commands, ";"-separated
    const char* pszBattery;  // the battery fact: null present, "none" or "unknown"
    int nSupport;
    int nOn;
    int nIcon;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class ChargeModeBtnProbeTest : public ChargeModeBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(ChargeModeBtnProbeTest, TakesSupportAndStateFromTheHostsChargeModesAndTheBatteryFromTheSystem) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostMode) {
        RunMachineTool(std::string("host mode ") + c.pszHostMode);
    }
    for (std::string strCommands = c.pszFeatures; !strCommands.empty();) {
        const size_t nEnd = strCommands.find(';');
        RunMachineTool(strCommands.substr(0, nEnd));
        strCommands = nEnd == std::string::npos ? "" : strCommands.substr(nEnd + 1);
    }
    if (c.pszBattery) {
        SetMachineFact(m_machine.Folder(), "/power/battery", c.pszBattery);
    }
    StartContract();
    const CChargeModeBtn& button = c.bRapid ? static_cast<CChargeModeBtn&>(ProbedButton<CRapidChargeBtn>())
                                            : ProbedButton<CConservationModeBtn>();
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_bSupported, c.nSupport);
    EXPECT_EQ(button.m_nOn, c.nOn);
    EXPECT_EQ(button.m_nStatus, c.nOn);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChargeModeBtnProbeTest,
    testing::Values(ProbeCase{"ConservationOff", false, "", "", nullptr, 1, 0, 371,
                              "[GetBatteryChargeModeEx  resonse:<?xml"},
                    ProbeCase{"ConservationOnInData", false, "",
                              "feature ConservationMode --state on --form data", nullptr, 1, 1, 370,
                              "[CM IsSupportBatteryEx  resonse:<?xml"},
                    // Both modes listed, the current one rapid charge: supported, shown off.
                    ProbeCase{"ConservationWhileRapidChargeIsOn", false, "", "feature RapidCharge --state on",
                              nullptr, 1, 0, 371, "BatteryChargeMode\">Quick<"},
                    ProbeCase{"ConservationLimited", false, "",
                              "feature ConservationMode --answer ChargeMode-StorageLimited=true", nullptr, 0,
                              0, 0, "[don't support ConservationMode!]"},
                    ProbeCase{"ConservationWithoutBattery", false, "", "feature ConservationMode --state on",
                              "none", 0, 0, 0, "[CM BatteryStatus is error. not support]"},
                    ProbeCase{"ConservationWithUnknownBattery", false, "", "", "unknown", 0, 0, 0,
                              "[CM BatteryStatus is error. not support]"},
                    ProbeCase{"ConservationFailingHost", false, "failing", "", nullptr, 0, 0, 0,
                              "[CM IsSupportBatteryEx response is null]"},
                    ProbeCase{"ConservationMalformedHost", false, "malformed", "", nullptr, 0, 0, 0,
                              "[don't support ConservationMode!]"},
                    ProbeCase{"RapidOff", true, "", "", nullptr, 1, 0, 377,
                              "[CRapidChargeBtn GetBatteryChargeModeEx  resonse:"},
                    ProbeCase{"RapidOn", true, "", "feature RapidCharge --state on --form data", nullptr, 1,
                              1, 376, "[CRapidChargeBtn GetBatteryChargeModeEx  resonse:<?xml"},
                    // Hidden whatever the current mode says when the supported ones lack it.
                    ProbeCase{"RapidNotAmongTheSupportedModes", true, "",
                              "feature RapidCharge --supported no --answer BatteryChargeMode=Quick", nullptr,
                              0, 1, 376, "BatteryChargeMode\">Quick<"},
                    ProbeCase{"RapidWithoutBattery", true, "", "", "none", 0, 0, 0,
                              "[CRapidChargeBtn BatteryStatus is error. not support]"},
                    ProbeCase{"RapidFailingHost", true, "failing", "", nullptr, 0, 0, 0,
                              "[CRapidChargeBtn GetBatteryChargeModeEx response is null]"},
                    ProbeCase{"RapidMalformedHost", true, "malformed", "", nullptr, 0, 0, 0,
                              "[CRapidChargeBtn GetBatteryChargeModeEx  resonse:"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(ChargeModeBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    CConservationModeBtn& conservation = ProbedButton<CConservationModeBtn>();
    CRapidChargeBtn& rapid = ProbedButton<CRapidChargeBtn>();
    EXPECT_EQ(conservation.m_nSupport, 0);
    EXPECT_EQ(rapid.m_nSupport, 0);
    EXPECT_EQ(CConservationModeBtn::SetConservationMode(&conservation), static_cast<unsigned>(-1));
    EXPECT_EQ(CRapidChargeBtn::SetRapidCharge(&rapid), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    for (const char* pszName :
         {"CConservationModeBtn::DoJudgeSupportCallback", "CRapidChargeBtn::DoJudgeSupportCallback"}) {
        EXPECT_NE(
            strLog.find(std::string("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                                    "Pactbridge.dll][") +
                        pszName + "]"),
            std::string::npos)
            << strLog;
    }
    for (const char* pszName :
         {"CConservationModeBtn::SetConservationMode", "CRapidChargeBtn::SetRapidCharge"}) {
        EXPECT_NE(strLog.find(
                      std::string("[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][") +
                      pszName + "]"),
                  std::string::npos)
            << strLog;
    }
}

TEST_F(ChargeModeBtnTest, AnUnsupportedButtonSetsNothingAndItsCallNeverReportsDone) {
    RunMachineTool("feature RapidCharge --supported no");
    StartContract();
    CRapidChargeBtn& rapid = ProbedButton<CRapidChargeBtn>();
    ASSERT_EQ(rapid.m_bSupported, 0);
    rapid.m_nOn = 1;
    EXPECT_EQ(CRapidChargeBtn::SetRapidCharge(&rapid), static_cast<unsigned>(-1));
    EXPECT_EQ(rapid.m_bSetDone, 0);
    EXPECT_TRUE(SetModes().empty());
}

struct ClickCase {
    bool bRapid;
    int nOnMode;
    DWORD dwBit;
    const wchar_t* pszOnCaption;
    const wchar_t* pszOffCaption;
    const wchar_t* pszOnTip;
    const wchar_t* pszOffTip;
    int nOnIcon;
    int nOffIcon;
    const char* pszEvent;
    const char* pszHostFeature;
};

TEST_F(ChargeModeBtnTest, AClickSwitchesTheHostsChargeModeAndPublishesTheState) {
    StartContract();
    const ClickCase cases[] = {
        {false, 2, 1u << 2, L"Conservation mode on", L"Conservation mode off", L"Conservation mode: On",
         L"Conservation mode: Off", 370, 371, "Features.Toolbar.Flipdecks.ConservationMode",
         "ConservationMode"},
        {true, 1, 1u << 3, L"Rapid charge on", L"Rapid charge off", L"Rapid charge: On", L"Rapid charge: Off",
         376, 377, "Features.Toolbar.Flipdecks.RapidCharge", "RapidCharge"},
    };
    std::vector<int> modes;
    std::vector<FeatureEvent> events;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszHostFeature);
        CChargeModeBtn& button = c.bRapid ? static_cast<CChargeModeBtn&>(ProbedButton<CRapidChargeBtn>())
                                          : ProbedButton<CConservationModeBtn>();
        ASSERT_EQ(button.m_nSupport, 1);
        for (const int nState : {1, 0}) {
            button.ClicktoSwitch();
            EXPECT_EQ(button.m_nOn, nState);
            EXPECT_EQ(button.m_nStatus, nState);
            EXPECT_EQ(button.m_nStatusIconID, nState ? c.nOnIcon : c.nOffIcon);
            EXPECT_EQ(button.m_strCaption.Get(), CString(nState ? c.pszOnCaption : c.pszOffCaption));
            EXPECT_EQ(button.m_strTip.Get(), CString(nState ? c.pszOnTip : c.pszOffTip));
            EXPECT_EQ((PowerStatusInfo() & c.dwBit) != 0, nState == 1);
            modes.push_back(nState ? c.nOnMode : 0);
            events.push_back({c.pszEvent, nState ? "On" : "Off", "Features.Toolbar.Flipdecks"});
            EXPECT_TRUE(PumpUntil([&] { return SetModes() == modes && button.m_bSetDone == 1; }, kLongWait))
                << SetModes().size();
            EXPECT_EQ(features_test::HostFeatureState(c.pszHostFeature), nState);
            EXPECT_EQ(FeatureEvents(), events);
        }
    }
    EXPECT_NE(LogText().find("[SetConservationMode nSetState=2, resonse:<?xml"), std::string::npos);
    EXPECT_NE(LogText().find("[SetRapidCharge nSetState=0, resonse:<?xml"), std::string::npos);
}

TEST_F(ChargeModeBtnTest, SetCallsReachTheHeldHostInTheOrderOfTheClicks) {
    StartContract();
    CConservationModeBtn& conservation = ProbedButton<CConservationModeBtn>();
    CRapidChargeBtn& rapid = ProbedButton<CRapidChargeBtn>();
    RunMachineTool("host mode slow");
    for (int i = 0; i < 3; ++i) {
        conservation.ClicktoSwitch();
        rapid.ClicktoSwitch();
    }
    RunMachineTool("host mode normal");
    EXPECT_TRUE(PumpUntil([] { return SetModes().size() == 6; }, kLongWait));
    EXPECT_EQ(SetModes(), (std::vector<int>{2, 1, 2, 1, 2, 1}));
    EXPECT_EQ(features_test::HostFeatureState("RapidCharge"), 1) << "the last click's";
    EXPECT_EQ(features_test::HostFeatureState("ConservationMode"), 0);
}

TEST_F(ChargeModeBtnTest, TheStatusRoutineShowsOffOnOrDisabledAndPublishesOnlyOn) {
    const struct {
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        bool bBit;
    } cases[] = {
        {0, L"Conservation mode off", L"Conservation mode: Off", 371, false},
        {1, L"Conservation mode on", L"Conservation mode: On", 370, true},
        {2, L"Conservation mode DISABLED", L"Conservation mode", 372, false},
        {5, L"Conservation mode DISABLED", L"Conservation mode", 372, false}, // another state keeps the look
    };
    g_bNarrator = true;
    CConservationModeBtn button;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nState);
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip));
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
        EXPECT_EQ(button.GetNarratorText(), CString(c.pszCaption) + L".");
        EXPECT_EQ((PowerStatusInfo() & (1u << 2)) != 0, c.bBit);
    }
}

} // namespace

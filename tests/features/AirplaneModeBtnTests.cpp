// The airplane power mode button: its reading of the power manager's capability and settings answers,
// its probe against the simulated host on a business notebook with and without the power manager, its
// click with the PowerStatusInfo bit published at once, and the images, captions, tips and bit of its
// states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "features/AirplaneModeBtn.h"
#include "platform/com.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RecordedStates;
using features_test::RunMachineTool;

constexpr int kOnPng = 421;
constexpr int kOffPng = 422;
constexpr int kDisabledPng = 423;
constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kBusinessBrand = 1;
constexpr int kConsumerBrand = 0;

const wchar_t kToolbarKey[] = L"SOFTWARE\\Corvex\\Ampwise";

const FeatureEvent kModeOn{"Features.Toolbar.Flipdecks.AirplanePowerMode", "On",
                           "Features.Toolbar.Flipdecks"};
const FeatureEvent kModeOff{"Features.Toolbar.Flipdecks.AirplanePowerMode", "Off",
                            "Features.Toolbar.Flipdecks"};

// The toolbar's PowerStatusInfo; none while the program has not written it.
std::optional<DWORD> PowerStatusInfo() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(hKey, L"PowerStatusInfo", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

void WritePowerStatusInfo(DWORD value) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    RegSetValueExW(hKey, L"PowerStatusInfo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(hKey);
}

void WriteCachedState(const wchar_t* pszStatus, const wchar_t* pszIcon, const wchar_t* pszType) {
    for (const auto& [pszKey, pszValue] :
         {std::pair{L"support", L"1"}, std::pair{L"status", pszStatus}, std::pair{L"StatusIconID", pszIcon},
          std::pair{L"StateIconType", pszType}}) {
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"AirplanePowerMode", pszKey, pszValue, GetShowExCfgPath().c_str()));
    }
}

TEST(AirplaneModeBtnAnswer, TheFirstEntryKeyedExactlyAirplanePowerModeGivesItsText) {
    enum EList { Capability, Setting };
    const struct {
        const char* pszName;
        EList list;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        const char* pszValue;
    } cases[] = {
        {"capability", Capability,
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"AirplanePowerMode\">True</Capability>"
         "</CapabilityList>",
         true, "True"},
        {"setting inside Data", Setting,
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting "
         "key=\"AirplanePowerMode\"&gt;False&lt;/Setting&gt;"
         "&lt;/SettingList&gt;</Data></ContractResponse>",
         true, "False"},
        {"the text as it is", Capability,
         "<CapabilityList><Capability key=\"AirplanePowerMode\">true</Capability></CapabilityList>", true,
         "true"},
        {"the first entry wins", Setting,
         "<SettingList><Setting key=\"Other\">x</Setting><Setting key=\"AirplanePowerMode\">True</Setting>"
         "<Setting key=\"AirplanePowerMode\">False</Setting></SettingList>",
         true, "True"},
        {"an entry holding no text", Capability,
         "<CapabilityList><Capability key=\"AirplanePowerMode\"><x/></Capability></CapabilityList>", true,
         ""},
        {"an entry holding nothing", Capability,
         "<CapabilityList><Capability key=\"AirplanePowerMode\"/></CapabilityList>", true, "before"},
        {"the key in another case", Capability,
         "<CapabilityList><Capability key=\"airplanepowermode\">True</Capability></CapabilityList>", false,
         "before"},
        {"the attribute in another case", Capability,
         "<CapabilityList><Capability Key=\"AirplanePowerMode\">True</Capability></CapabilityList>", false,
         "before"},
        {"entries of the other list", Capability,
         "<CapabilityList><Setting key=\"AirplanePowerMode\">True</Setting></CapabilityList>", false,
         "before"},
        {"the other list", Setting,
         "<CapabilityList><Capability key=\"AirplanePowerMode\">True</Capability></CapabilityList>", false,
         "before"},
        {"malformed", Capability, "<CapabilityList><Capability key=\"AirplanePowerMode\">True</Capability>",
         false, "before"},
        {"null", Setting, nullptr, false, "before"},
    };
    for (const auto& c : cases) {
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        std::string strValue = "before";
        const bool bParsed = c.list == Capability
                                 ? CAirplaneModeBtn::ParseAirplaneModeCapability(answer, strValue)
                                 : CAirplaneModeBtn::ParseAirplaneModeSetting(answer, strValue);
        EXPECT_EQ(bParsed, c.bParsed) << c.pszName;
        EXPECT_EQ(strValue, c.pszValue) << c.pszName;
    }
}

// A machine with the log on, the host offering the mode, a business notebook whose power manager runs, a
// parent window and the button as its child, in an apartment; the contract instance only when a test
// makes it.
class AirplaneModeBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        RunMachineTool("feature AirplanePowerMode --supported yes");
        RunPowerManager(true);
        g_nKobalBrand = kBusinessBrand;
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }

    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    void RunPowerManager(bool bRunning) const {
        nlohmann::json processes = nlohmann::json::array();
        if (bRunning) {
            processes.push_back({{"name", "Voltaro.exe"},
                                 {"path", "C:\\Windows\\System32\\Voltaro.exe"},
                                 {"pid", 4200112},
                                 {"access", "allowed"}});
        }
        testing_support::SetMachineFact(m_machine.Folder(), "/processes", processes);
    }

    // The button made, initialised and probed.
    CAirplaneModeBtn& ProbedButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, CAirplaneModeBtn::IDC));
        EXPECT_TRUE(m_button.Init(&m_window));
        EXPECT_TRUE(PumpUntil([this] { return m_button.m_bInited == 1; }, kLongWait));
        return m_button;
    }
    // Destroying the window waits for the button's workers.
    void DestroyButton() {
        if (m_button.m_hWnd) {
            m_button.DestroyWindow();
        }
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    CAirplaneModeBtn m_button;

private:
    int m_nBrandBefore = g_nKobalBrand;
};

// What the machine and the host hold and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    int nBrand;
    bool bPowerManager;
    const char* pszHostCommand;    // flipdeck-machine host ...; "" for a normal host
    const char* pszFeatureOptions; // flipdeck-machine feature AirplanePowerMode ...
    bool bHostAsked;
    int nSupport;
    int nStatus;
    int nIcon; // 0: none chosen
    const wchar_t* pszCaption;
    std::optional<DWORD> powerStatusInfo; // none: not written
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class AirplaneModeBtnProbeTest : public AirplaneModeBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(AirplaneModeBtnProbeTest, TakesSupportAndStateFromTheHostWhileThePowerManagerRuns) {
    const ProbeCase& c = GetParam();
    g_nKobalBrand = c.nBrand;
    RunPowerManager(c.bPowerManager);
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    if (*c.pszFeatureOptions) {
        RunMachineTool(std::string("feature AirplanePowerMode ") + c.pszFeatureOptions);
    }
    StartContract();
    const CAirplaneModeBtn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(PowerStatusInfo(), c.powerStatusInfo);
    EXPECT_EQ(testing_support::ReadMachineEvents("contract.GetAirplaneModeCapability").empty(),
              !c.bHostAsked);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AirplaneModeBtnProbeTest,
    testing::Values(
        ProbeCase{"OffDirect", kBusinessBrand, true, "", "", true, 1, FeatureStateOff, kOffPng,
                  L"Airplane power mode off", 0u, "[AirplaneMode - GetAllPowerSettings resonse:<?xml"},
        ProbeCase{"OnInData", kBusinessBrand, true, "", "--state on --form data", true, 1, FeatureStateOn,
                  kOnPng, L"Airplane power mode on", 1u, "[GetAirplaneModeCapability resonse:<?xml"},
        ProbeCase{"TextsInLowerCase", kBusinessBrand, true, "", "--state on --answer AirplanePowerMode=true",
                  true, 1, FeatureStateOn, kOnPng, L"Airplane power mode on", 1u,
                  "<Setting key=\"AirplanePowerMode\">true</Setting>"},
        ProbeCase{"Unsupported", kBusinessBrand, true, "", "--supported no --state on", true, 0,
                  FeatureStateOff, 0, L"", std::nullopt,
                  "<Capability key=\"AirplanePowerMode\">False</Capability>"},
        ProbeCase{"PowerManagerNotRunning", kBusinessBrand, false, "", "--state on", false, 0,
                  FeatureStateOff, 0, L"", std::nullopt,
                  "[AirplaneMode Voltaro.exe error or not running ---> dont support]"},
        ProbeCase{"ConsumerBrandNeedsNoPowerManager", kConsumerBrand, false, "", "--state on", true, 1,
                  FeatureStateOn, kOnPng, L"Airplane power mode on", 1u,
                  "[AirplaneMode - GetAllPowerSettings resonse:"},
        ProbeCase{"MalformedAnswer", kBusinessBrand, true, "mode malformed", "--state on", true, 0,
                  FeatureStateOff, 0, L"", std::nullopt, "[GetAirplaneModeCapability resonse:<?xml"},
        ProbeCase{"FailingHost", kBusinessBrand, true, "mode failing", "--state on", false, 0,
                  FeatureStateOff, 0, L"", std::nullopt, "[GetAirplaneModeCapability response is null]"},
        // Supported without the settings: the state is neither shown nor published.
        ProbeCase{"NoSettingsAnswer", kBusinessBrand, true, "answer GetAllPowerSettings null", "--state on",
                  true, 1, FeatureStateOff, 0, L"", std::nullopt,
                  "[AirplaneMode - GetAllPowerSettings response is null]"},
        ProbeCase{"SettingsCallFails", kBusinessBrand, true, "answer GetAllPowerSettings error", "--state on",
                  true, 1, FeatureStateOff, 0, L"", std::nullopt,
                  "[AirplaneMode - GetAllPowerSettings response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

// A host without an answer, or with one the probe cannot read, leaves the cached support, state and
// image; only a state the probe ends with is published.
TEST_F(AirplaneModeBtnTest, AnUnreadableHostLeavesTheCachedStateShown) {
    const struct {
        const char* pszHostMode;
        std::optional<DWORD> powerStatusInfo;
    } cases[] = {{"failing", std::nullopt}, {"malformed", 1u}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszHostMode);
        WriteCachedState(L"1", L"421", L"1");
        RunMachineTool(std::string("host mode ") + c.pszHostMode);
        StartContract();
        CAirplaneModeBtn button;
        ASSERT_TRUE(button.Init(nullptr));
        ASSERT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
        EXPECT_EQ(button.m_nSupport, 1);
        EXPECT_EQ(button.m_nStatus, FeatureStateOn);
        EXPECT_EQ(button.m_nStatusIconID, kOnPng);
        EXPECT_EQ(PowerStatusInfo(), c.powerStatusInfo);
        ReleaseContractInterface();
    }
}

TEST_F(AirplaneModeBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    EXPECT_EQ(ProbedButton().m_nSupport, 0);
    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CAirplaneModeBtn::SetAirplaneMode(&nState), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CAirplaneModeBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CAirplaneModeBtn::SetAirplaneMode]"),
              std::string::npos)
        << strLog;
}

// The battery features' other bits stay as they are.
TEST_F(AirplaneModeBtnTest, AClickPublishesTheNewStateAtOnceAndSwitchesTheModeOnTheHost) {
    WritePowerStatusInfo(0b1010);
    StartContract();
    CAirplaneModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);
    ASSERT_EQ(PowerStatusInfo(), std::optional<DWORD>(0b1010));

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        DWORD dwPowerStatusInfo;
        FeatureEvent event;
    } clicks[] = {
        {FeatureStateOn, kOnPng, L"Airplane power mode on", L"Airplane power mode: On", 0b1011, kModeOn},
        {FeatureStateOff, kOffPng, L"Airplane power mode off", L"Airplane power mode: Off", 0b1010,
         kModeOff}};
    std::vector<int> setStates;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        RunMachineTool("host mode slow"); // holds the set worker
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        EXPECT_EQ(PowerStatusInfo(), std::optional<DWORD>(click.dwPowerStatusInfo));
        EXPECT_EQ(RecordedStates("contract.SetAirplaneMode"), setStates) << "before the host has it";
        RunMachineTool("host mode normal");
        setStates.push_back(click.nState);
        events.push_back(click.event);
        EXPECT_TRUE(
            PumpUntil([&] { return RecordedStates("contract.SetAirplaneMode") == setStates; }, kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("AirplanePowerMode"), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    EXPECT_NE(LogText().find("[SetAirplaneMode nCurState=0, resonse:<?xml"), std::string::npos) << LogText();
}

TEST_F(AirplaneModeBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    CAirplaneModeBtn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return RecordedStates("contract.SetAirplaneMode").size() == 3; }, kLongWait));
    EXPECT_EQ(RecordedStates("contract.SetAirplaneMode").back(), FeatureStateOn);
    EXPECT_EQ(features_test::HostFeatureState("AirplanePowerMode"), FeatureStateOn);
    EXPECT_EQ(PowerStatusInfo(), std::optional<DWORD>(1));
}

// A cached status that is no state stays unshown and unpublished; a click then switches the mode on,
// never to a value the host does not know.
TEST_F(AirplaneModeBtnTest, ACachedStatusThatIsNoStateIsFollowedByOn) {
    WriteCachedState(L"7", L"422", L"0");
    RunMachineTool("host mode malformed");
    StartContract();
    CAirplaneModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, 7);
    EXPECT_EQ(button.m_nStatusIconID, kOffPng);
    EXPECT_EQ(PowerStatusInfo(), std::nullopt);

    RunMachineTool("host mode normal");
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
    EXPECT_TRUE(PumpUntil([] { return RecordedStates("contract.SetAirplaneMode") == std::vector<int>{1}; },
                          kLongWait));
    EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{kModeOn});
}

TEST_F(AirplaneModeBtnTest, TheStatusTextsAndTheBitFollowTheState) {
    const struct {
        bool bNarrator;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
        DWORD dwPowerStatusInfo; // from 0b0101
    } cases[] = {
        {false, FeatureStateOff, L"Airplane power mode off", L"Airplane power mode: Off", kOffPng,
         FeatureStateOff, 0b0100},
        {true, FeatureStateOn, L"Airplane power mode on", L"Airplane power mode: On", kOnPng, FeatureStateOn,
         0b0101},
        {true, FeatureStateDisabled, L"Airplane power mode DISABLED", L"Airplane power mode", kDisabledPng,
         FeatureStateDisabled, 0b0100},
        {true, 7, L"before", L"tip before", 0, 999, 0b0101},
        {false, -1, L"before", L"tip before", 0, 999, 0b0101},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNarrator) + "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        WritePowerStatusInfo(0b0101);
        CAirplaneModeBtn button;
        button.m_strCaption = L"before";
        button.m_strTip = L"tip before";
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(PowerStatusInfo(), std::optional<DWORD>(c.dwPowerStatusInfo)) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

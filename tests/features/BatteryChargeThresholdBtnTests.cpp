// The battery charge threshold button: its reading of the host's capability and status answers, the
// threshold texts and the set call's arguments made of them, its probe against the simulated host
// (power manager, system battery, support, state, battery reset), its click with the host's state, the
// set call's arguments and the telemetry, the toolbar's "PowerStatusInfo" bit, and the images, captions
// and tips of its states.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "features/BatteryChargeThresholdBtn.h"
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
using Btn = CBatteryChargeThresholdBtn;

constexpr auto kLongWait = std::chrono::seconds(60);
constexpr DWORD kThresholdBit = 1u << 1;

const FeatureEvent kThresholdOn{"Features.Toolbar.Flipdecks.BatteryChargeThreshold", "On",
                                "Features.Toolbar.Flipdecks"};
const FeatureEvent kThresholdOff{"Features.Toolbar.Flipdecks.BatteryChargeThreshold", "Off",
                                 "Features.Toolbar.Flipdecks"};
const wchar_t kOnCaption[] = L"Battery charge threshold on";
const wchar_t kOffCaption[] = L"Battery charge threshold off";
const wchar_t kDisabledCaption[] = L"Battery charge threshold DISABLED";

std::optional<bool> ThresholdBit() {
    const std::optional<DWORD> value = features_test::PowerStatusInfo();
    return value ? std::optional((*value & kThresholdBit) != 0) : std::nullopt;
}

// The arguments of each recorded SetChargeThreshold: "ENABLE|THRESHOLD1|THRESHOLD2".
std::vector<std::string> SetCalls() {
    std::vector<std::string> calls;
    for (const nlohmann::json& record : ReadMachineEvents("contract.SetChargeThreshold")) {
        calls.push_back(std::to_string(record.value("enable", -1)) + "|" + record.value("threshold1", "?") +
                        "|" + record.value("threshold2", "?"));
    }
    return calls;
}

// ---- Answers ----

TEST(BatteryChargeThresholdBtnAnswer, TheCapabilityIsTheFirstEntryKeyedExactlyAndItsTextIgnoringCase) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        int nSupported;
    } cases[] = {
        {"supported",
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"ChargeMode-Storage\">true</Capability>"
         "<Capability key=\"BatteryChargeThreshold\">true</Capability></CapabilityList>",
         true, 1},
        {"text in another case",
         "<CapabilityList><Capability key=\"BatteryChargeThreshold\">TRUE</Capability>"
         "</CapabilityList>",
         true, 1},
        {"not true",
         "<CapabilityList><Capability key=\"BatteryChargeThreshold\">yes</Capability></CapabilityList>", true,
         0},
        {"no text", "<CapabilityList><Capability key=\"BatteryChargeThreshold\"/></CapabilityList>", true, 0},
        {"the first entry counts",
         "<CapabilityList><Capability key=\"BatteryChargeThreshold\">false</Capability>"
         "<Capability key=\"BatteryChargeThreshold\">true</Capability></CapabilityList>",
         true, 0},
        {"inside Data",
         "<ContractResponse><Data>&lt;CapabilityList&gt;&lt;Capability key=\"BatteryChargeThreshold\"&gt;"
         "true&lt;/Capability&gt;&lt;/CapabilityList&gt;</Data></ContractResponse>",
         true, 1},
        {"key in another case",
         "<CapabilityList><Capability key=\"batterychargethreshold\">true</Capability></CapabilityList>",
         false, 0},
        {"other entries",
         "<CapabilityList><Setting key=\"BatteryChargeThreshold\">true</Setting></CapabilityList>", false, 0},
        {"no list", "<SettingList><Setting key=\"BatteryChargeThreshold\">true</Setting></SettingList>",
         false, 0},
        {"malformed", "<CapabilityList><Capability key=\"BatteryChargeThreshold\">true</Capability>", false,
         0},
        {"null", nullptr, false, 0},
    };
    for (const auto& c : cases) {
        int nSupported = 7;
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        EXPECT_EQ(Btn::ParseChargeThresholdCapability(answer, nSupported), c.bParsed) << c.pszName;
        EXPECT_EQ(nSupported, c.nSupported) << c.pszName;
    }
}

std::string Battery(const char* pszEnabled, const char* pszStart, const char* pszStop) {
    return std::string("<BatteryChargeThreshold><IsEnabled>") + pszEnabled + "</IsEnabled><StartValue>" +
           pszStart + "</StartValue><StopValue>" + pszStop + "</StopValue></BatteryChargeThreshold>";
}

std::string Reset(const char* pszRunning, const char* pszKey = "IsResetRunning") {
    return std::string("<BatteryResetStatus><Setting key=\"") + pszKey + "\">" + pszRunning +
           "</Setting></BatteryResetStatus>";
}

std::string Status(const std::string& strBody) {
    return "<?xml version=\"1.0\"?><ChargeThresholdStatus>" + strBody + "</ChargeThresholdStatus>";
}

struct SettingsCase {
    const char* pszName;
    std::optional<std::string> answer; // none: a null answer
    bool bParsed;
    int nResetRunning;
    int nEnabled;
    const char* pszThreshold1;
    const char* pszThreshold2;
};

TEST(BatteryChargeThresholdBtnAnswer, TheStatusGivesEachBatterysTextTheSwitchAndTheReset) {
    const SettingsCase cases[] = {
        {"one battery, rounded down", Status(Battery("true", "77", "83") + Reset("false")), true, 0, 1,
         "1-[75% - 80%]", ""},
        {"two, the second on",
         Status(Battery("false", "40", "60") + Battery("TRUE", "75", "80") + Reset("false")), true, 0, 1,
         "1-[40% - 60%]", "2-[75% - 80%]"},
        {"two off", Status(Battery("False", "40", "60") + Reset("false") + Battery("no", "50", "100")), true,
         0, 0, "1-[40% - 60%]", "2-[50% - 100%]"},
        // Each percentage is the number its text starts with; none is 0.
        {"missing or odd percentages",
         Status("<BatteryChargeThreshold><IsEnabled>true</IsEnabled><StopValue>80%</StopValue>"
                "</BatteryChargeThreshold>" +
                Reset("false")),
         true, 0, 1, "1-[0% - 80%]", ""},
        {"percentages with blanks and signs",
         Status(Battery("true", " +42 percent", "percent 90") + Reset("false")), true, 0, 1, "1-[40% - 0%]",
         ""},
        {"reset running, its key in any case",
         Status(Battery("true", "75", "80") + Reset("True", "isresetrunning")), true, 1, 1, "1-[75% - 80%]",
         ""},
        {"the first status's last setting counts",
         Status(Battery("true", "75", "80") +
                "<BatteryResetStatus><Setting key=\"IsResetRunning\">true</Setting><Setting "
                "key=\"IsResetRunning\">false</Setting></BatteryResetStatus>"),
         true, 0, 1, "1-[75% - 80%]", ""},
        {"a later status adds a running reset",
         Status(Battery("true", "75", "80") + Reset("false") + Reset("true")), true, 1, 1, "1-[75% - 80%]",
         ""},
        {"a later status does not end one",
         Status(Battery("true", "75", "80") + Reset("true") + Reset("false")), true, 1, 1, "1-[75% - 80%]",
         ""},
        {"other settings", Status(Battery("true", "75", "80") + Reset("true", "IsResetRunnings")), true, 0, 1,
         "1-[75% - 80%]", ""},
        {"inside Data",
         "<ContractResponse><Data>&lt;BatteryChargeThreshold&gt;&lt;IsEnabled&gt;true&lt;/IsEnabled&gt;&lt;"
         "StartValue&gt;60&lt;/StartValue&gt;&lt;StopValue&gt;90&lt;/StopValue&gt;&lt;/"
         "BatteryChargeThreshold&gt;</Data></ContractResponse>",
         true, 0, 1, "1-[60% - 90%]", ""},
        {"no reset status", Status(Battery("true", "75", "80")), true, 0, 1, "1-[75% - 80%]", ""},
        {"a threshold without its switch, a reset status",
         Status("<BatteryChargeThreshold><StartValue>75</StartValue></BatteryChargeThreshold>" +
                Reset("true")),
         true, 1, 0, "", ""},
        {"a threshold without its switch alone",
         Status("<BatteryChargeThreshold><StartValue>75</StartValue></BatteryChargeThreshold>"), false, 0, 0,
         "", ""},
        {"no threshold", Status(Reset("true")), false, 0, 0, "", ""},
        {"malformed", Status(Battery("true", "75", "80")).substr(0, 60), false, 0, 0, "", ""},
        {"null", std::nullopt, false, 0, 0, "", ""},
    };
    for (const auto& c : cases) {
        int nResetRunning = 7;
        int nEnabled = 7;
        std::string strThreshold1 = "before";
        std::string strThreshold2 = "before";
        const ContractAnswer answer = c.answer ? ContractAnswer(c.answer->c_str()) : ContractAnswer();
        EXPECT_EQ(
            Btn::ParseChargeThresholdSettings(answer, nResetRunning, nEnabled, strThreshold1, strThreshold2),
            c.bParsed)
            << c.pszName;
        EXPECT_EQ(nResetRunning, c.nResetRunning) << c.pszName;
        EXPECT_EQ(nEnabled, c.nEnabled) << c.pszName;
        EXPECT_EQ(strThreshold1, c.pszThreshold1) << c.pszName;
        EXPECT_EQ(strThreshold2, c.pszThreshold2) << c.pszName;
    }
}

TEST(BatteryChargeThresholdBtnAnswer, AThresholdTextHoldsAtMostNineteenCharacters) {
    TiXmlDocument document;
    document.Parse("<T><Start>-2147483648</Start><Stop>2147483647</Stop></T>");
    const TiXmlElement* pRoot = document.RootElement();
    ASSERT_TRUE(pRoot);
    std::string strText;
    Btn::FormatChargeThresholdText(strText, 2, pRoot->FirstChildElement("Start"),
                                   pRoot->FirstChildElement("Stop"));
    EXPECT_EQ(strText, "2-[-2147483645% - 2");
    Btn::FormatChargeThresholdText(strText, 1, nullptr, nullptr);
    EXPECT_EQ(strText, "1-[0% - 0%]");
}

TEST(BatteryChargeThresholdBtnAnswer, TheSetArgumentIsTheTextsThreeFieldsEachAtMostEightCharacters) {
    const struct {
        const char* pszText;
        int nScanned;
        const wchar_t* pszArgument;
    } cases[] = {
        {"1-[75% - 80%]", 3, L"1,75,80"},
        {"2-[0% - 100%]", 3, L"2,0,100"},
        {"", 0, L""},
        {"1-[75%", 2, L"1,75,"},
        {"garbage", 1, L"garbage,,"},
        {"-[75% - 80%]", 0, L",,"},
        {"123456789-[75% - 80%]", 3, L"12345678,[75,80"},
        {"1-[123456789012% - 80%]", 2, L"1,12345678,"},
    };
    for (const auto& c : cases) {
        _bstr_t argument(L"before");
        EXPECT_EQ(Btn::BuildChargeThresholdArguments(c.pszText, argument), c.nScanned) << c.pszText;
        EXPECT_STREQ(static_cast<const wchar_t*>(argument) ? static_cast<const wchar_t*>(argument) : L"",
                     c.pszArgument)
            << c.pszText;
    }
}

// ---- The button on the machine ----

// A machine with the log on, the maker's power manager running on a business-brand machine, the host
// offering the feature, a parent window and the button as its child, in an apartment; the contract
// instance only when a test makes it.
class BatteryChargeThresholdBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        g_nKobalBrand = 1;
        RunPowerManager(true);
        RunMachineTool("feature BatteryChargeThreshold --supported yes");
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }

    void RunPowerManager(bool bRunning) const {
        nlohmann::json processes = nlohmann::json::array();
        if (bRunning) {
            processes.push_back({{"name", "Voltaro.exe"},
                                 {"path", "C:\\Windows\\System32\\Voltaro.exe"},
                                 {"pid", 4200112},
                                 {"access", "allowed"}});
        }
        SetMachineFact(m_machine.Folder(), "/processes", processes);
    }
    void SetBattery(const char* pszBattery) const {
        SetMachineFact(m_machine.Folder(), "/power/battery", pszBattery);
    }
    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }

    Btn& MakeButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, Btn::IDC));
        return m_button;
    }
    // The button made, initialised and probed.
    Btn& ProbedButton() {
        Btn& button = MakeButton();
        EXPECT_TRUE(button.Init(&m_window));
        EXPECT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
        return button;
    }
    // Destroying the window waits for the button's workers.
    void DestroyButton() {
        if (m_button.m_hWnd) {
            m_button.DestroyWindow();
        }
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    // A threshold that is on, greyed: the click neither switches nor sets nor reports, and the toolbar's
    // bit stays on.
    void ExpectClickIgnored() {
        StartContract();
        Btn& button = ProbedButton();
        ASSERT_EQ(button.m_nStatusIconID, Btn::kDisabledPng);
        EXPECT_EQ(button.m_bDisabled, 1);
        EXPECT_EQ(button.m_strTip.Get(), CString(L"Battery charge threshold"));
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nEnabled, 1);
        EXPECT_EQ(button.m_nStatusIconID, Btn::kDisabledPng);
        DestroyButton(); // waits for any worker the click might have started
        EXPECT_TRUE(SetCalls().empty());
        EXPECT_TRUE(FeatureEvents().empty());
        EXPECT_EQ(ThresholdBit(), true);
    }

    Btn m_button;
    int m_nBrandBefore = g_nKobalBrand;
};

// What the machine and the host hold, and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostCommand;    // flipdeck-machine host ...; "" for a normal host
    const char* pszFeatureOptions; // flipdeck-machine feature BatteryChargeThreshold ...
    bool bPowerManager;
    const char* pszBattery; // the battery fact: null present, "none" or "unknown"
    int nSupport;
    int nStatus;
    int nIcon;
    const wchar_t* pszCaption;
    int nResetRunning;
    BYTE bBatteryError;
    std::optional<bool> thresholdBit; // none: not written
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class BatteryChargeThresholdBtnProbeTest : public BatteryChargeThresholdBtnTest,
                                           public testing::WithParamInterface<ProbeCase> {};

TEST_P(BatteryChargeThresholdBtnProbeTest, TakesSupportStateAndResetFromTheHostAndTheBatteryFromTheSystem) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    if (*c.pszFeatureOptions) {
        RunMachineTool(std::string("feature BatteryChargeThreshold ") + c.pszFeatureOptions);
    }
    RunPowerManager(c.bPowerManager);
    if (c.pszBattery) {
        SetBattery(c.pszBattery);
    }
    StartContract();
    const Btn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(button.m_nResetRunning, c.nResetRunning);
    EXPECT_EQ(button.m_bBatteryError, c.bBatteryError);
    EXPECT_EQ(ThresholdBit(), c.thresholdBit);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatteryChargeThresholdBtnProbeTest,
    testing::Values(
        ProbeCase{"OffDirect", "", "--form direct", true, nullptr, 1, FeatureStateOff, Btn::kOffPng,
                  kOffCaption, 0, 0, false, "[BCT GetChargeThresholdStatusEx  resonse:<?xml"},
        ProbeCase{"OnInData", "", "--state on --form data", true, nullptr, 1, FeatureStateOn, Btn::kOnPng,
                  kOnCaption, 0, 0, true, "[BCT IsSupportBatteryEx  resonse:<?xml"},
        ProbeCase{"SecondBatteryOn", "", "--answer Batteries=2 --answer IsEnabled2=true", true, nullptr, 1,
                  FeatureStateOn, Btn::kOnPng, kOnCaption, 0, 0, true, "<IsEnabled>true</IsEnabled>"},
        // The bit carries the threshold's state while the button is greyed.
        ProbeCase{"ResetRunning", "", "--state on --state disabled", true, nullptr, 1, FeatureStateOn,
                  Btn::kDisabledPng, kDisabledCaption, 1, 0, true, "IsResetRunning\">true<"},
        ProbeCase{"NoBattery", "", "", true, "none", 1, FeatureStateOff, Btn::kDisabledPng, kDisabledCaption,
                  0, 1, false, "[BCT GetChargeThresholdStatusEx  resonse:"},
        ProbeCase{"UnknownBattery", "", "--state on", true, "unknown", 1, FeatureStateOn, Btn::kDisabledPng,
                  kDisabledCaption, 0, 1, true, "[BCT GetChargeThresholdStatusEx  resonse:"},
        // An unreadable status shows off, whatever the host's state.
        ProbeCase{"StatusWithoutThreshold", "", "--state on --answer Batteries=0", true, nullptr, 1,
                  FeatureStateOff, Btn::kOffPng, kOffCaption, 0, 0, false,
                  "<ChargeThresholdStatus></ChargeThresholdStatus>"},
        ProbeCase{"Unsupported", "", "--supported no --state on", true, nullptr, 0, FeatureStateOff, 0, L"",
                  -1, 0, std::nullopt, "<Capability key=\"BatteryChargeThreshold\">false</Capability>"},
        ProbeCase{"CapabilityNotTrue", "", "--answer BatteryChargeThreshold=yes", true, nullptr, 0,
                  FeatureStateOff, 0, L"", -1, 0, std::nullopt, "[BCT IsSupportBatteryEx  resonse:"},
        ProbeCase{"PowerManagerNotRunning", "", "--state on", false, nullptr, 0, FeatureStateOff, 0, L"", -1,
                  0, std::nullopt, "[BCT Voltaro.exe error or not running ---> dont support]"},
        ProbeCase{"MalformedHost", "mode malformed", "--state on", true, nullptr, 0, FeatureStateOff, 0, L"",
                  -1, 0, std::nullopt, "[BCT IsSupportBatteryEx  resonse:"},
        ProbeCase{"FailingHost", "mode failing", "--state on", true, nullptr, 0, FeatureStateOff, 0, L"", -1,
                  0, std::nullopt, "[BCT IsSupportBatteryEx response is null]"},
        // Supported without a status: nothing is shown or published, and no reset is known (no click).
        ProbeCase{"NoStatusAnswer", "answer GetChargeThresholdStatusEx null", "--state on", true, nullptr, 1,
                  FeatureStateOff, 0, L"", -1, 0, std::nullopt,
                  "[BCT GetChargeThresholdStatusEx response is null]"},
        ProbeCase{"StatusCallFails", "answer GetChargeThresholdStatusEx error", "--state on", true, nullptr,
                  1, FeatureStateOff, 0, L"", -1, 0, std::nullopt,
                  "[BCT GetChargeThresholdStatusEx response is null]"},
        ProbeCase{"MalformedStatus", "answer GetChargeThresholdStatusEx malformed", "--state on", true,
                  nullptr, 1, FeatureStateOff, Btn::kOffPng, kOffCaption, 0, 0, false,
                  "[BCT GetChargeThresholdStatusEx  resonse:"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(BatteryChargeThresholdBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    const Btn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_EQ(Btn::SetChargeThreshold(&m_button), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CBatteryChargeThresholdBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CBatteryChargeThresholdBtn::SetChargeThreshold]"),
              std::string::npos)
        << strLog;
}

TEST_F(BatteryChargeThresholdBtnTest, AClickSwitchesTheThresholdWithTheBatteriesPercentagesAndPublishesIt) {
    RunMachineTool("feature BatteryChargeThreshold --answer Batteries=2 --answer StartValue=77 --answer "
                   "StopValue=83 --answer StartValue2=40 --answer StopValue2=60");
    StartContract();
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        const char* pszSetCall;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOn, Btn::kOnPng, kOnCaption, L"Battery charge threshold: On",
                   "1|1,75,80|2,40,60", kThresholdOn},
                  {FeatureStateOff, Btn::kOffPng, kOffCaption, L"Battery charge threshold: Off", "0|1|2",
                   kThresholdOff}};
    std::vector<std::string> setCalls;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nEnabled, click.nState);
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        EXPECT_EQ(ThresholdBit(), click.nState == FeatureStateOn);
        setCalls.push_back(click.pszSetCall);
        events.push_back(click.event);
        EXPECT_TRUE(PumpUntil([&] { return SetCalls() == setCalls; }, kLongWait)) << SetCalls().size();
        EXPECT_EQ(features_test::HostFeatureState("BatteryChargeThreshold"), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    EXPECT_NE(LogText().find("[SetChargeThreshold SetStatus=0, resonse:<?xml"), std::string::npos);
    const auto text = platform::ReadWholeFile(platform::MachineFolder() / "host.json");
    const nlohmann::json answer =
        nlohmann::json::parse(text.value_or("{}"))["features"]["BatteryChargeThreshold"]["answer"];
    EXPECT_EQ(answer.value("StartValue", ""), "75") << "the host took the rounded percentages";
    EXPECT_EQ(answer.value("StopValue", ""), "80");
}

TEST_F(BatteryChargeThresholdBtnTest, WithOneBatteryTheSecondArgumentIsEmpty) {
    StartContract();
    Btn& button = ProbedButton();
    button.ClicktoSwitch();
    EXPECT_TRUE(PumpUntil([] { return !SetCalls().empty(); }, kLongWait));
    EXPECT_EQ(SetCalls(), std::vector<std::string>{"1|1,75,80|"});
    std::string strThreshold1;
    std::string strThreshold2;
    button.GetThresholdTexts(strThreshold1, strThreshold2);
    EXPECT_EQ(strThreshold1, "1-[75% - 80%]");
    EXPECT_EQ(strThreshold2, "");
}

TEST_F(BatteryChargeThresholdBtnTest, TextsThatDoNotScanGiveTheDefaultThresholds) {
    RunMachineTool("feature BatteryChargeThreshold --answer Batteries=0");
    StartContract();
    Btn& button = ProbedButton();
    std::string strThreshold1 = "before";
    std::string strThreshold2 = "before";
    button.GetThresholdTexts(strThreshold1, strThreshold2);
    ASSERT_EQ(strThreshold1 + strThreshold2, "") << "the unreadable status cleared them";

    button.ClicktoSwitch();
    EXPECT_TRUE(PumpUntil([] { return !SetCalls().empty(); }, kLongWait));
    EXPECT_EQ(SetCalls(), std::vector<std::string>{"1|1,75,80|2,75,80"});
    DestroyButton(); // the worker has set the texts
    m_button.GetThresholdTexts(strThreshold1, strThreshold2);
    EXPECT_EQ(strThreshold1, "1-[75% - 80%]");
    EXPECT_EQ(strThreshold2, "2-[75% - 80%]");
}

TEST_F(BatteryChargeThresholdBtnTest, WhileABatteryResetRunsAClickChangesNothing) {
    RunMachineTool("feature BatteryChargeThreshold --state on --state disabled");
    ExpectClickIgnored();
}

TEST_F(BatteryChargeThresholdBtnTest, WithoutTheSystemBatteryAClickChangesNothing) {
    RunMachineTool("feature BatteryChargeThreshold --state on");
    SetBattery("none");
    ExpectClickIgnored();
}

TEST_F(BatteryChargeThresholdBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    Btn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nEnabled, 1);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return SetCalls().size() == 3; }, kLongWait));
    EXPECT_EQ(SetCalls().back(), "1|1,75,80|");
    EXPECT_EQ(features_test::HostFeatureState("BatteryChargeThreshold"), FeatureStateOn);
}

TEST_F(BatteryChargeThresholdBtnTest, TheStatusRoutineShowsTheStateOrTheDisabledOneAndPublishesTheState) {
    const struct {
        bool bNarrator;
        int nResetRunning;
        BYTE bBatteryError;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
        bool bBit;
    } cases[] = {
        {false, 0, 0, 0, kOffCaption, L"Battery charge threshold: Off", Btn::kOffPng, FeatureStateOff, false},
        {true, 0, 0, 1, kOnCaption, L"Battery charge threshold: On", Btn::kOnPng, FeatureStateOn, true},
        {true, -1, 0, 5, kOnCaption, L"Battery charge threshold: On", Btn::kOnPng, FeatureStateOn, true},
        {true, 1, 0, 0, kDisabledCaption, L"Battery charge threshold", Btn::kDisabledPng,
         FeatureStateDisabled, false},
        {false, 0, 1, 1, kDisabledCaption, L"Battery charge threshold", Btn::kDisabledPng,
         FeatureStateDisabled, true},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.nResetRunning) + "/" + std::to_string(c.bBatteryError) +
                                    "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        Btn button;
        button.m_nResetRunning = c.nResetRunning;
        button.m_bBatteryError = c.bBatteryError;
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_nStatus, c.nState) << strCase;
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
        EXPECT_EQ(ThresholdBit(), c.bBit) << strCase;
    }
}

} // namespace

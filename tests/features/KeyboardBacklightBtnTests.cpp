// The keyboard backlight button: its reading of the host's capability, level and auto-mode answers, its
// probe on both brands against the simulated host (level kinds, auto mode, disabled backlight, model
// H352, answers missing or cut short, no contract instance), its click cycles with the set calls that
// reach the host and the telemetry they send, and the images, captions and tips of its states.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "features/KeyboardBacklightBtn.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;

using Btn = CKeyboardBacklightBtn;
constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kKobal = 1;
constexpr int kIxor = 0;

// The button's set calls as the host recorded them: the method and its argument.
using SetCall = std::pair<std::string, int>;

std::vector<SetCall> SetCalls() {
    std::vector<SetCall> calls;
    for (const nlohmann::json& record : ReadMachineEvents("contract.Set")) {
        calls.emplace_back(record.value("event", ""), record.value("state", -1));
    }
    return calls;
}

SetCall BackLight(int nLevel) {
    return {"contract.SetBackLight", nLevel};
}

SetCall SmartSense(int nState) {
    return {"contract.SetSmartSense", nState};
}

FeatureEvent LevelEvent(const char* pszValue) {
    return {"Features.Toolbar.Flipdecks.KeyboardBacklight", pszValue, "Features.Toolbar.Flipdecks"};
}

// The log written while the call ran.
template <typename Call> std::string LogOf(const testing_support::CTestMachine& machine, Call call) {
    const size_t nBefore = features_test::MachineLogText(machine).size();
    call();
    return features_test::MachineLogText(machine).substr(nBefore);
}

const char kParseFailure[] = "[Parse XML file failure.][BacklightSettingsResponse]";
const char kNoRoot[] = "[Get XML Root Element failure.][BacklightSettingsResponse]";

class KeyboardBacklightParseTest : public testing::Test {
protected:
    void SetUp() override { features_test::StartMachineLog(m_machine); }
    void TearDown() override { g_bLogEnabled = false; }

    testing_support::CTestMachine m_machine;
};

TEST_F(KeyboardBacklightParseTest, TheSettingParsersReadTheirTwoKeysAndLogWhatDoesNotParse) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        std::string strLevel;
        std::string strStatus;
        std::string strEnabled;
        std::string strOn;
        const char* pszLogLine; // of the level parser; null: none
    } cases[] = {
        {"direct",
         "<?xml version=\"1.0\"?><SettingList><Setting key=\"KeyboardBacklightLevel\">TwoLevels</Setting>"
         "<Setting key=\"KeyboardBacklightStatus\">Level_2</Setting><Setting key=\"IsAutoModeEnabled\">True"
         "</Setting><Setting key=\"IsAutoModeOn\">False</Setting></SettingList>",
         true, "TwoLevels", "Level_2", "True", "False", nullptr},
        {"inside Data",
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting key=\"KeyboardBacklightStatus\"&gt;Auto&lt;/"
         "Setting&gt;&lt;Setting key=\"IsAutoModeOn\"&gt;True&lt;/Setting&gt;&lt;/SettingList&gt;</Data>"
         "</ContractResponse>",
         true, "", "Auto", "", "True", nullptr},
        {"the last entry of a key counts, one without text is passed over",
         "<SettingList><Setting key=\"KeyboardBacklightLevel\">OneLevel</Setting><Setting "
         "key=\"KeyboardBacklightLevel\">TwoLevelsAuto</Setting><Setting key=\"KeyboardBacklightLevel\"/>"
         "<Setting key=\"IsAutoModeEnabled\">False</Setting><Setting key=\"IsAutoModeEnabled\"></Setting>"
         "</SettingList>",
         true, "TwoLevelsAuto", "", "False", "", nullptr},
        {"keys compared exactly, other entries left out",
         "<SettingList><Setting key=\"keyboardbacklightlevel\">OneLevel</Setting><Capability "
         "key=\"KeyboardBacklightStatus\">Auto</Capability><Setting Key=\"IsAutoModeOn\">True</Setting>"
         "</SettingList>",
         true, "", "", "", "", nullptr},
        {"no list", "<CapabilityList><Capability key=\"IsAutoModeOn\">True</Capability></CapabilityList>",
         true, "", "", "", "", nullptr},
        {"malformed", "<SettingList><Setting key=\"KeyboardBacklightLevel\">OneLevel</Setting>", false, "",
         "", "", "", kParseFailure},
        {"empty", "", false, "", "", "", "", kParseFailure},
        {"null", nullptr, false, "", "", "", "", kParseFailure},
        {"no root element", "<?xml version=\"1.0\"?><!-- none -->", false, "", "", "", "", kNoRoot},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        std::string strLevel = "before";
        std::string strStatus = "before";
        const std::string strLog = LogOf(m_machine, [&] {
            EXPECT_EQ(Btn::ParseBacklightSettings(answer, strLevel, strStatus), c.bParsed);
        });
        EXPECT_EQ(strLevel, c.strLevel);
        EXPECT_EQ(strStatus, c.strStatus);
        if (c.pszLogLine) {
            EXPECT_NE(strLog.find(c.pszLogLine), std::string::npos) << strLog;
        } else {
            EXPECT_EQ(strLog, "");
        }

        // The auto parser reads its own keys from the same lists, without logging.
        std::string strEnabled = "before";
        std::string strOn = "before";
        EXPECT_EQ(
            LogOf(m_machine,
                  [&] { EXPECT_EQ(Btn::ParseAutoBacklightSettings(answer, strEnabled, strOn), c.bParsed); }),
            "");
        EXPECT_EQ(strEnabled, c.strEnabled);
        EXPECT_EQ(strOn, c.strOn);
    }
}

TEST(KeyboardBacklightCapability, TheFirstControlEntryOfTheCapabilityListCounts) {
    const struct {
        const char* pszName;
        const char* pszAnswer;
        bool bFound;
        std::string strValue;
    } cases[] = {
        {"direct",
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"Other\">False</Capability>"
         "<Capability key=\"KeyboardBacklightControl\">True</Capability></CapabilityList>",
         true, "True"},
        {"inside Data, the first of two",
         "<Response><Data>&lt;CapabilityList&gt;&lt;Capability key=\"KeyboardBacklightControl\"&gt;false&lt;/"
         "Capability&gt;&lt;Capability key=\"KeyboardBacklightControl\"&gt;True&lt;/Capability&gt;&lt;/"
         "CapabilityList&gt;</Data></Response>",
         true, "false"},
        {"without text", "<CapabilityList><Capability key=\"KeyboardBacklightControl\"/></CapabilityList>",
         true, ""},
        {"no such entry",
         "<CapabilityList><Capability key=\"keyboardbacklightcontrol\">True</Capability></CapabilityList>",
         false, ""},
        {"no list", "<SettingList><Setting key=\"KeyboardBacklightControl\">True</Setting></SettingList>",
         false, ""},
        {"malformed", "<CapabilityList><Capability key=\"KeyboardBacklightControl\">True", false, ""},
    };
    for (const auto& c : cases) {
        std::string strValue = "before";
        EXPECT_EQ(Btn::ParseBacklightCapability(ContractAnswer(c.pszAnswer), strValue), c.bFound)
            << c.pszName;
        EXPECT_EQ(strValue, c.strValue) << c.pszName;
    }
}

// A machine with the log on, a parent window and the button as its child, in an apartment; the brand,
// the contract instance and the button only when a test makes them.
class KeyboardBacklightBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
    }
    void TearDown() override {
        DestroyButton();
        m_pButton.reset();
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
    static void SetHostFeature(const std::string& strOptions) {
        if (!strOptions.empty()) {
            RunMachineTool("feature KeyboardBacklight " + strOptions);
        }
    }

    Btn& MakeButton() {
        DestroyButton();
        m_pButton = std::make_unique<Btn>();
        if (!m_window.m_hWnd) {
            MakeParent();
        }
        EXPECT_TRUE(m_pButton->Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                      RECT{20, 10, 68, 58}, &m_window, Btn::IDC));
        return *m_pButton;
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
        if (m_pButton && m_pButton->m_hWnd) {
            m_pButton->DestroyWindow();
        }
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    std::unique_ptr<Btn> m_pButton;

private:
    int m_nBrandBefore = g_nKobalBrand;
};

// What the host holds and what the probe then makes of it on the brand's road.
struct ProbeCase {
    const char* pszName;
    int nBrand;
    const char* pszHostCommand;    // flipdeck-machine host ...; "" for a normal host
    const char* pszFeatureOptions; // flipdeck-machine feature KeyboardBacklight ...
    int nSupport;
    int nLevelType;
    int nKbbStatus;
    int nSmartSenseSupport;
    int nSmartSenseStatus;
    int nIcon; // 0: none chosen
    bool bDisabled;
    const wchar_t* pszCaption;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class KeyboardBacklightProbeTest : public KeyboardBacklightBtnTest,
                                   public testing::WithParamInterface<ProbeCase> {};

TEST_P(KeyboardBacklightProbeTest, TakesSupportLevelKindAndStateFromTheHostByTheBrandsRoad) {
    const ProbeCase& c = GetParam();
    g_nKobalBrand = c.nBrand;
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    SetHostFeature(c.pszFeatureOptions);
    StartContract();
    const Btn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nKbbLevelType, c.nLevelType);
    EXPECT_EQ(button.m_nKbbStatus, c.nKbbStatus);
    EXPECT_EQ(button.m_nSmartSenseSupport, c.nSmartSenseSupport);
    EXPECT_EQ(button.m_nSmartSenseStatus, c.nSmartSenseStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_bKbbDisabled, c.bDisabled);
    EXPECT_EQ(button.m_bDisabled, c.bDisabled ? 1 : 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
    if (c.nIcon != 0 && c.nBrand == kKobal) {
        EXPECT_EQ(button.m_nStatus, c.nKbbStatus) << "the business road shows the level as the status";
    }
}

const wchar_t kOff[] = L"Keyboard backlight off";
const wchar_t kLow[] = L"Keyboard backlight low";
const wchar_t kOn[] = L"Keyboard backlight on";
const wchar_t kHigh[] = L"Keyboard backlight high";
const wchar_t kAuto[] = L"Keyboard backlight auto";

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardBacklightProbeTest,
    testing::Values(
        ProbeCase{"IxorOffInData", kIxor, "", "--form data", 1, 3, Btn::kLevelOff, 0, 0, Btn::kOffPng, false,
                  kOff, "[KBB ###1 m_nSupport=1,  m_nStatus=0, m_nKbbSupport=1, m_nKbbStatus=0]"},
        ProbeCase{"IxorAuto", kIxor, "", "--state 3", 1, 3, Btn::kLevelAuto, 0, 0, Btn::kAutoPng, false,
                  kAuto, "[KBB GetBacklightStatusEx  resonse:<?xml"},
        ProbeCase{"IxorOneLevelIsOn", kIxor, "", "--state 1 --answer KeyboardBacklightLevel=OneLevel", 1, 1,
                  Btn::kLevel1, 0, 0, Btn::kLevel1Png, false, kOn, "m_nKbbStatus=1]"},
        ProbeCase{"IxorRedWhiteHigh", kIxor, "",
                  "--state 2 --answer KeyboardBacklightLevel=TwoLevelsRedWhite", 1, 3, Btn::kLevel2, 0, 0,
                  Btn::kLevel2Png, false, kHigh, "m_nKbbStatus=2]"},
        ProbeCase{"IxorControlIgnoresCase", kIxor, "", "--state 1 --answer KeyboardBacklightControl=tRUE", 1,
                  3, Btn::kLevel1, 0, 0, Btn::kLevel1Png, false, kLow, "KeyboardBacklightControl\">tRUE<"},
        ProbeCase{"IxorTwoLevelsHidden", kIxor, "", "--state 1 --answer KeyboardBacklightLevel=TwoLevels", 0,
                  2, Btn::kLevelOff, 0, 0, Btn::kOffPng, false, kOff, "m_nKbbSupport=0"},
        ProbeCase{"IxorLevelComparedExactly", kIxor, "", "--answer KeyboardBacklightLevel=onelevel", 0, 0,
                  Btn::kLevelOff, 0, 0, Btn::kOffPng, false, kOff, "m_nKbbSupport=0"},
        ProbeCase{"IxorUnsupported", kIxor, "", "--supported no", 0, 0, Btn::kLevelOff, 0, 0, 0, false, L"",
                  "[KBB dont support KBB]"},
        ProbeCase{"IxorDisabled", kIxor, "", "--state disabled", 1, 3, Btn::kLevelOff, 0, 0,
                  Btn::kDisabledPng, true, L"", "DisabledOff"},
        ProbeCase{"IxorMalformed", kIxor, "mode malformed", "", 0, 0, Btn::kLevelOff, 0, 0, 0, false, L"",
                  "[KBB dont support KBB]"},
        ProbeCase{"IxorFailing", kIxor, "mode failing", "", 0, 0, Btn::kLevelOff, 0, 0, 0, false, L"",
                  "[KBB IsSupportBacklightEx response is null]"},
        // Without a status the probe stops: the capability's support stays, nothing is shown.
        ProbeCase{"IxorNoStatusAnswer", kIxor, "answer GetBacklightStatusEx null", "", 1, 0, Btn::kLevelOff,
                  0, 0, 0, false, L"", "[KBB GetBacklightStatusEx response is null]"},
        ProbeCase{"KobalOffWithAuto", kKobal, "", "", 1, 4, Btn::kLevelOff, 1, 0, Btn::kOffPng, false, kOff,
                  "[KBB GetAutoKBDBacklightEx  resonse:<?xml"},
        ProbeCase{"KobalAutoInData", kKobal, "", "--state 3 --form data", 1, 4, Btn::kLevel1, 1, 1,
                  Btn::kAutoPng, false, kAuto,
                  "[KBB ###1 m_nSupport=0,  m_nStatus=0, m_nKbbSupport=1, m_nKbbStatus=1]"},
        ProbeCase{"KobalAutoOnOverLevel2", kKobal, "", "--state 2 --answer IsAutoModeOn=True", 1, 4,
                  Btn::kLevel1, 1, 1, Btn::kAutoPng, false, kAuto, "m_nKbbStatus=1]"},
        ProbeCase{"KobalLevel2WithoutAuto", kKobal, "", "--state 2 --answer IsAutoModeEnabled=False", 1, 4,
                  Btn::kLevel2, 0, 0, Btn::kLevel2Png, false, kHigh, "m_nKbbStatus=2]"},
        // Without the auto mode, the status's "Auto" is shown as auto all the same.
        ProbeCase{"KobalAutoComparedExactly", kKobal, "", "--state 3 --answer IsAutoModeEnabled=true", 1, 4,
                  Btn::kLevel1, 0, 1, Btn::kAutoPng, false, kAuto, "IsAutoModeEnabled\">true<"},
        ProbeCase{"KobalTwoLevelsWithAutoHidden", kKobal, "", "--answer KeyboardBacklightLevel=TwoLevels", 0,
                  2, Btn::kLevelOff, 1, 0, Btn::kOffPng, false, kOff, "m_nKbbSupport=1"},
        ProbeCase{"KobalTwoLevelsWithoutAuto", kKobal, "",
                  "--state 1 --answer KeyboardBacklightLevel=TwoLevels --answer IsAutoModeEnabled=False", 1,
                  2, Btn::kLevel1, 0, 0, Btn::kLevel1Png, false, kLow, "m_nKbbStatus=1]"},
        ProbeCase{"KobalTwoLevelsAfterAnInvokeError", kKobal, "",
                  "--answer KeyboardBacklightLevel=TwoLevels --answer IsAutoModeEnabled=False --answer "
                  "Result=PluginInvokeError1",
                  0, 2, Btn::kLevelOff, 0, 0, Btn::kOffPng, false, kOff, "PluginInvokeError1"},
        ProbeCase{"KobalOneLevelIsOn", kKobal, "",
                  "--state 1 --answer KeyboardBacklightLevel=OneLevel --answer IsAutoModeEnabled=False", 1, 1,
                  Btn::kLevel1, 0, 0, Btn::kLevel1Png, false, kOn, "m_nKbbStatus=1]"},
        ProbeCase{"KobalAutoWithoutALevelKind", kKobal, "", "--answer KeyboardBacklightLevel=ThreeLevels", 1,
                  0, Btn::kLevelOff, 1, 0, Btn::kOffPng, false, kOff, "m_nKbbSupport=0"},
        ProbeCase{"KobalUnsupported", kKobal, "", "--supported no", 0, 0, Btn::kLevelOff, 0, 0, Btn::kOffPng,
                  false, kOff, "KeyboardBacklightLevel\">None<"},
        ProbeCase{"KobalDisabled", kKobal, "", "--state disabled", 1, 4, Btn::kLevelOff, 1, 0,
                  Btn::kDisabledPng, true, L"", "DisabledOff"},
        ProbeCase{"KobalMalformed", kKobal, "mode malformed", "", 0, 0, Btn::kLevelOff, 0, 0, Btn::kOffPng,
                  false, kOff, "[Parse XML file failure.][BacklightSettingsResponse]"},
        ProbeCase{"KobalFailing", kKobal, "mode failing", "", 0, 0, Btn::kLevelOff, 0, 0, 0, false, L"",
                  "[KBB GetAutoKBDBacklightEx response is null]"},
        // The auto mode known, the status not: the probe stops with the support it had (none cached).
        ProbeCase{"KobalNoStatusAnswer", kKobal, "answer GetBacklightStatusEx null", "", 0, 0, Btn::kLevelOff,
                  1, 0, 0, false, L"", "[KBB GetBacklightStatusEx response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(KeyboardBacklightBtnTest, AModelH352NeverShowsTheButtonOnEitherBrand) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const std::wstring strVersion = L"Kobal Terra H352 Gen 3";
    RegSetValueExW(hKey, L"SystemVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(strVersion.c_str()),
                   static_cast<DWORD>((strVersion.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    StartContract();
    for (const int nBrand : {kIxor, kKobal}) {
        SCOPED_TRACE(nBrand);
        g_nKobalBrand = nBrand;
        const Btn& button = ProbedButton();
        EXPECT_TRUE(button.m_bIsH352Machine);
        EXPECT_EQ(button.m_nSupport, 0);
    }
    EXPECT_NE(LogText().find("[KBB  dont support m_bIsH352Machine]"), std::string::npos);
    EXPECT_TRUE(ReadMachineEvents("contract.IsSupportBacklightEx").empty());
    EXPECT_TRUE(ReadMachineEvents("contract.GetAutoKBDBacklightEx").empty());
}

TEST_F(KeyboardBacklightBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    for (const auto& [nBrand, pszProbe] : {std::pair{kIxor, "CKeyboardBacklightBtn::IxorJudgeSupport"},
                                           std::pair{kKobal, "CKeyboardBacklightBtn::KobalJudgeSupport"}}) {
        g_nKobalBrand = nBrand;
        EXPECT_EQ(ProbedButton().m_nSupport, 0) << pszProbe;
        EXPECT_NE(
            LogText().find(std::string("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                                       "Pactbridge.dll][") +
                           pszProbe + "]"),
            std::string::npos)
            << pszProbe;
    }
    Btn& button = *m_pButton;
    EXPECT_EQ(Btn::SetShownState(&button), static_cast<unsigned>(-1));
    button.m_nSmartSenseSupport = 1;
    button.m_nSmartSenseStatus = 1;
    EXPECT_EQ(Btn::SetShownState(&button), static_cast<unsigned>(-1));
    for (const char* pszSetter : {"SetBackLight", "SetSmartSense"}) {
        EXPECT_NE(LogText().find(std::string("[Error:IContractInterfacePtr is Null, please register "
                                             "Pactbridge.dll][CKeyboardBacklightBtn::") +
                                 pszSetter + "]"),
                  std::string::npos)
            << pszSetter;
    }
}

// One click: what the button shows at once, the set call the host then records and the state it ends in.
struct ClickStep {
    int nIcon;
    const wchar_t* pszCaption;
    const wchar_t* pszTip;
    const char* pszValue;
    SetCall call;
    int nHostState;
};

struct CycleCase {
    const char* pszName;
    int nBrand;
    const char* pszFeatureOptions;
    std::vector<ClickStep> steps;
};

void PrintTo(const CycleCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class KeyboardBacklightCycleTest : public KeyboardBacklightBtnTest,
                                   public testing::WithParamInterface<CycleCase> {};

TEST_P(KeyboardBacklightCycleTest, EachClickShowsTheNextStateSetsItOnTheHostAndSendsItsValue) {
    const CycleCase& c = GetParam();
    g_nKobalBrand = c.nBrand;
    SetHostFeature(c.pszFeatureOptions);
    StartContract();
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);

    std::vector<SetCall> calls;
    std::vector<FeatureEvent> events;
    for (const ClickStep& step : c.steps) {
        SCOPED_TRACE(step.pszValue);
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatusIconID, step.nIcon);
        EXPECT_EQ(button.m_nStateIconType, Btn::kLevelStateType);
        EXPECT_EQ(button.m_strCaption.Get(), CString(step.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(step.pszTip));
        calls.push_back(step.call);
        events.push_back(LevelEvent(step.pszValue));
        EXPECT_TRUE(PumpUntil([&] { return SetCalls() == calls; }, kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("KeyboardBacklight"), step.nHostState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    const std::string strSetter = c.steps.back().call.first.substr(std::string("contract.").size());
    EXPECT_NE(LogText().find("[KBB " + strSetter + " nCurState="), std::string::npos);
}

const ClickStep kToAuto{Btn::kAutoPng, kAuto, L"Keyboard backlight: Auto", "Auto", SmartSense(1), 3};
const ClickStep kToLow{Btn::kLevel1Png, kLow, L"Keyboard backlight: Low", "Level_1", BackLight(1), 1};
const ClickStep kToHigh{Btn::kLevel2Png, kHigh, L"Keyboard backlight: High", "Level_2", BackLight(2), 2};
const ClickStep kToOff{Btn::kOffPng, kOff, L"Keyboard backlight: Off", "Off", BackLight(0), 0};
const ClickStep kToOn{Btn::kLevel1Png, kOn, L"Keyboard backlight: On", "Level_1", BackLight(1), 1};
const ClickStep kToAutoLevel{Btn::kAutoPng, kAuto, L"Keyboard backlight: Auto", "Auto", BackLight(3), 3};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardBacklightCycleTest,
    testing::Values(
        CycleCase{"KobalWithAuto", kKobal, "", {kToAuto, kToLow, kToHigh, kToOff, kToAuto}},
        CycleCase{"KobalRedWhiteWithAuto",
                  kKobal,
                  "--answer KeyboardBacklightLevel=TwoLevelsRedWhite",
                  {kToAuto, kToLow, kToHigh, kToOff}},
        CycleCase{"KobalFromAuto", kKobal, "--state 3", {kToLow, kToHigh, kToOff, kToAuto}},
        CycleCase{"KobalWithoutAuto", kKobal, "--answer IsAutoModeEnabled=False", {kToLow, kToHigh, kToOff}},
        CycleCase{"KobalOneLevel",
                  kKobal,
                  "--answer KeyboardBacklightLevel=OneLevel --answer IsAutoModeEnabled=False",
                  {kToOn, kToOff, kToOn}},
        CycleCase{"IxorWithAuto", kIxor, "", {kToAutoLevel, kToLow, kToHigh, kToOff, kToAutoLevel}},
        CycleCase{"IxorFromHigh",
                  kIxor,
                  "--state 2 --answer KeyboardBacklightLevel=TwoLevelsRedWhite",
                  {kToOff, kToAutoLevel, kToLow}},
        CycleCase{"IxorOneLevel", kIxor, "--answer KeyboardBacklightLevel=OneLevel", {kToOn, kToOff, kToOn}}),
    [](const testing::TestParamInfo<CycleCase>& info) { return std::string(info.param.pszName); });

TEST_F(KeyboardBacklightBtnTest, FastClicksLeaveTheHostInTheStateShown) {
    g_nKobalBrand = kKobal;
    StartContract();
    Btn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch(); // auto, through the smart-sense switch
    // The first set call is held by the host when the next clicks come.
    ASSERT_TRUE(PumpUntil(
        [this] { return LogText().find("[KBB SetSmartSense value=1.]") != std::string::npos; }, kLongWait));
    button.ClicktoSwitch(); // level 1
    button.ClicktoSwitch(); // level 2
    EXPECT_EQ(button.m_nStatusIconID, Btn::kLevel2Png);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return SetCalls().size() == 3; }, kLongWait));
    EXPECT_EQ(SetCalls(), (std::vector<SetCall>{SmartSense(1), BackLight(2), BackLight(2)}));
    EXPECT_EQ(features_test::HostFeatureState("KeyboardBacklight"), 2);
}

TEST_F(KeyboardBacklightBtnTest, ADisabledBacklightTakesNoClickOnEitherBrand) {
    SetHostFeature("--state 2");
    SetHostFeature("--state disabled");
    StartContract();
    for (const int nBrand : {kIxor, kKobal}) {
        SCOPED_TRACE(nBrand);
        g_nKobalBrand = nBrand;
        Btn& button = ProbedButton();
        ASSERT_EQ(button.m_nStatusIconID, Btn::kDisabledPng);
        EXPECT_EQ(button.m_strTip.Get(), CString(L"Keyboard backlight: Off"));
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatusIconID, Btn::kDisabledPng);
        DestroyButton(); // waits for any worker the click might have started
    }
    EXPECT_TRUE(SetCalls().empty());
    EXPECT_TRUE(FeatureEvents().empty());
    EXPECT_EQ(features_test::HostFeatureState("KeyboardBacklight"), 2);
}

TEST_F(KeyboardBacklightBtnTest, TheStatusTextsFollowTheImageTheLevelKindTheDisabledFlagAndTheNarrator) {
    const struct {
        int nBrand;
        bool bNarrator;
        bool bKbbDisabled;
        int nLevelType;
        int nImage;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {kIxor, false, false, 3, Btn::kOffPng, kOff, L"Keyboard backlight: Off", Btn::kOffPng, 3},
        {kKobal, true, false, 4, Btn::kLevel1Png, kLow, L"Keyboard backlight: Low", Btn::kLevel1Png, 3},
        {kIxor, false, false, 1, Btn::kLevel1Png, kOn, L"Keyboard backlight: On", Btn::kLevel1Png, 3},
        {kKobal, false, false, 2, Btn::kLevel2Png, kHigh, L"Keyboard backlight: High", Btn::kLevel2Png, 3},
        {kIxor, true, false, 3, Btn::kAutoPng, kAuto, L"Keyboard backlight: Auto", Btn::kAutoPng, 3},
        {kKobal, false, false, 4, 999, L"before", L"tip before", 999, 3},
        {kIxor, false, true, 3, Btn::kLevel2Png, L"before", L"Keyboard backlight: Off", Btn::kDisabledPng, 2},
        {kKobal, true, true, 4, Btn::kAutoPng, L"Keyboard backlight DISABLED", L"Keyboard backlight",
         Btn::kDisabledPng, 2},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.nBrand) + "/" + std::to_string(c.bNarrator) + "/" +
                                    std::to_string(c.bKbbDisabled) + "/" + std::to_string(c.nImage);
        g_nKobalBrand = c.nBrand;
        g_bNarrator = c.bNarrator;
        Btn button;
        button.m_nKbbLevelType = c.nLevelType;
        button.m_bKbbDisabled = c.bKbbDisabled;
        button.m_nKbbStatus = Btn::kLevel2;
        button.m_nStatus = 7;
        button.m_strCaption = L"before";
        button.m_strTip = L"tip before";
        button.SetButtonStatusIcon(c.nImage);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.m_nStatus, c.nBrand == kKobal ? Btn::kLevel2 : 7) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

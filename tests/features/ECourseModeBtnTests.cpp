// The interactive e-course mode button: its reading of the audio plug-in's profile capabilities and
// e-course settings, its probe against the simulated host (Dolby or Maxwave profile, the mode's state,
// the audio driver), its click with its telemetry, and the images, captions and constant description tip
// of its states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "features/ECourseModeBtn.h"
#include "platform/com.h"
#include "platform/inifile.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RecordedStates;
using features_test::RunMachineTool;

constexpr int kOnPng = 388;
constexpr int kOffPng = 389;
constexpr int kDisabledPng = 390;
constexpr auto kLongWait = std::chrono::seconds(60);

const wchar_t kDescription[] = L"This function is useful for on-line courses when there are voice "
                               L"interactions between teacher and students.";
const wchar_t kOffCaption[] = L"Interactive E-course mode off";
const wchar_t kOnCaption[] = L"Interactive E-course mode on";
const wchar_t kDisabledCaption[] = L"Interactive E-course mode DISABLED";

const FeatureEvent kModeOn{"Features.Toolbar.Flipdecks.ECourseMode", "On", "Features.Toolbar.Flipdecks"};
const FeatureEvent kModeOff{"Features.Toolbar.Flipdecks.ECourseMode", "Off", "Features.Toolbar.Flipdecks"};

ContractAnswer AnswerOf(const char* pszAnswer) {
    return pszAnswer ? ContractAnswer(pszAnswer) : ContractAnswer();
}

TEST(ECourseModeBtnAnswer, TheProfileCapabilitiesAreKeyedByKeyExactlyAndTheLastTextCounts) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        const char* pszDolby;
        const char* pszMaxwave;
        const char* pszSupported;
    } cases[] = {
        {"all three",
         "<?xml version=\"1.0\"?><CapabilityList><Capability Key=\"IsDolbyAudioProfile\">True</Capability>"
         "<Capability Key=\"IsMaxwaveAudioProfile\">False</Capability>"
         "<Capability Key=\"AudioProfilesSupported\">Dynamic,Movie</Capability></CapabilityList>",
         true, "True", "False", "Dynamic,Movie"},
        {"inside Data",
         "<ContractResponse><Data>&lt;CapabilityList&gt;&lt;Capability Key=\"IsMaxwaveAudioProfile\"&gt;TRUE"
         "&lt;/Capability&gt;&lt;/CapabilityList&gt;</Data></ContractResponse>",
         true, "d", "TRUE", "s"},
        {"the attribute key in lower case",
         "<CapabilityList><Capability key=\"IsDolbyAudioProfile\">True</Capability></CapabilityList>", true,
         "d", "m", "s"},
        {"names in another case",
         "<CapabilityList><Capability Key=\"isdolbyaudioprofile\">True</Capability></CapabilityList>", true,
         "d", "m", "s"},
        {"a later text overwrites, an entry without one does not",
         "<CapabilityList><Capability Key=\"IsDolbyAudioProfile\">False</Capability>"
         "<Capability Key=\"IsDolbyAudioProfile\">True</Capability><Capability Key=\"IsDolbyAudioProfile\"/>"
         "<Setting Key=\"IsMaxwaveAudioProfile\">True</Setting></CapabilityList>",
         true, "True", "m", "s"},
        {"empty list", "<Response><CapabilityList/></Response>", true, "d", "m", "s"},
        {"the other list",
         "<SettingList><Capability Key=\"IsDolbyAudioProfile\">True</Capability></SettingList>", false, "d",
         "m", "s"},
        {"malformed", "<CapabilityList><Capability Key=\"IsDolbyAudioProfile\">True</Capability>", false, "d",
         "m", "s"},
        {"null", nullptr, false, "d", "m", "s"},
    };
    for (const auto& c : cases) {
        std::string strDolby = "d";
        std::string strMaxwave = "m";
        std::string strSupported = "s";
        EXPECT_EQ(
            CECourseModeBtn::ParseDolbyCapability(AnswerOf(c.pszAnswer), strDolby, strMaxwave, strSupported),
            c.bParsed)
            << c.pszName;
        EXPECT_EQ(strDolby, c.pszDolby) << c.pszName;
        EXPECT_EQ(strMaxwave, c.pszMaxwave) << c.pszName;
        EXPECT_EQ(strSupported, c.pszSupported) << c.pszName;
    }
}

TEST(ECourseModeBtnAnswer, TheSettingsStartUnknownAndTakeTrueOrFalseInAnyCase) {
    const struct {
        const char* pszName;
        const char* pszAnswer;
        bool bParsed;
        bool bProfileEnabled;
        bool bDriverAvailable;
        int nState;
    } cases[] = {
        {"all three",
         "<SettingList><Setting key=\"IsAudioProfileEnabled\">true</Setting><Setting "
         "key=\"DriverAvailability\">TRUE</Setting><Setting "
         "key=\"ECourseStatus\">True</Setting></SettingList>",
         true, true, true, 1},
        {"off inside Data",
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting "
         "key=\"ECourseStatus\"&gt;FALSE&lt;/Setting&gt;"
         "&lt;/SettingList&gt;</Data></ContractResponse>",
         true, false, false, 0},
        {"texts that are not true or false",
         "<SettingList><Setting key=\"IsAudioProfileEnabled\">yes</Setting><Setting "
         "key=\"DriverAvailability\">1</Setting><Setting "
         "key=\"ECourseStatus\">unknown</Setting></SettingList>",
         true, false, false, -1},
        {"entries without text",
         "<SettingList><Setting key=\"IsAudioProfileEnabled\"/><Setting "
         "key=\"ECourseStatus\"/></SettingList>",
         true, false, false, -1},
        {"the last entry of a key counts",
         "<SettingList><Setting key=\"ECourseStatus\">true</Setting><Setting "
         "key=\"ECourseStatus\">false</Setting>"
         "<Setting key=\"DriverAvailability\">true</Setting><Setting key=\"DriverAvailability\">no</Setting>"
         "</SettingList>",
         true, false, false, 0},
        {"keys in another case or attribute",
         "<SettingList><Setting key=\"ecoursestatus\">true</Setting><Setting "
         "Key=\"ECourseStatus\">true</Setting>"
         "<Capability key=\"ECourseStatus\">true</Capability></SettingList>",
         true, false, false, -1},
        {"no list", "<CapabilityList><Setting key=\"ECourseStatus\">true</Setting></CapabilityList>", false,
         false, false, -1},
        {"malformed", "<SettingList><Setting key=\"ECourseStatus\">true</Setting>", false, false, false, -1},
        {"null", nullptr, false, false, false, -1},
    };
    for (const auto& c : cases) {
        bool bProfileEnabled = true;
        bool bDriverAvailable = true;
        int nState = 5;
        EXPECT_EQ(CECourseModeBtn::ParseECourseSettings(AnswerOf(c.pszAnswer), bProfileEnabled,
                                                        bDriverAvailable, nState),
                  c.bParsed)
            << c.pszName;
        EXPECT_EQ(bProfileEnabled, c.bProfileEnabled) << c.pszName;
        EXPECT_EQ(bDriverAvailable, c.bDriverAvailable) << c.pszName;
        EXPECT_EQ(nState, c.nState) << c.pszName;
    }
}

// A consumer machine with the log on, its host offering the Dolby profile and the mode off, a parent window
// and the button as its child, in an apartment; the contract instance only when a test makes it.
class ECourseModeBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        CControlWindowTest::TearDown();
    }

    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    // The button made, initialised and probed.
    CECourseModeBtn& ProbedButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, CECourseModeBtn::IDC));
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

    CECourseModeBtn m_button;
};

// What the host holds and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostCommand;  // flipdeck-machine host ...; "" for a normal host
    const char* pszDolbyOptions; // flipdeck-machine feature DolbyAudio ...
    const char* pszECourseOptions;
    bool bStatusAsked;
    int nAudioProfile;
    int nSupport;
    int nStatus;
    int nIcon; // 0: none chosen
    bool bDisabled;
    const wchar_t* pszCaption;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class ECourseModeBtnProbeTest : public ECourseModeBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(ECourseModeBtnProbeTest, TakesTheProfileTheDriverAndTheStateFromTheHost) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    if (*c.pszDolbyOptions) {
        RunMachineTool(std::string("feature DolbyAudio ") + c.pszDolbyOptions);
    }
    if (*c.pszECourseOptions) {
        RunMachineTool(std::string("feature ECourseMode ") + c.pszECourseOptions);
    }
    StartContract();
    const CECourseModeBtn& button = ProbedButton();

    EXPECT_FLOAT_EQ(button.m_fIconScale, 1.0f);
    EXPECT_EQ(button.m_nAudioProfile, c.nAudioProfile);
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_bDisabled, c.bDisabled ? 1 : 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(button.m_strTip.Get(), CString(kDescription));
    EXPECT_EQ(testing_support::ReadMachineEvents("contract.GetECourseStatusEx").empty(), !c.bStatusAsked);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ECourseModeBtnProbeTest,
    testing::Values(
        ProbeCase{"DolbyOff", "", "", "", true, CECourseModeBtn::ProfileDolby, 1, FeatureStateOff, kOffPng,
                  false, kOffCaption, "[ECourse GetECourseStatusEx  resonse:<?xml"},
        ProbeCase{"OnInData", "", "--form data", "--state on --form data", true,
                  CECourseModeBtn::ProfileDolby, 1, FeatureStateOn, kOnPng, false, kOnCaption,
                  "[ECourse IsSupportDolbyEx  resonse:<?xml"},
        ProbeCase{"DolbyInLowerCase", "", "--answer IsDolbyAudioProfile=true", "--state on", true,
                  CECourseModeBtn::ProfileDolby, 1, FeatureStateOn, kOnPng, false, kOnCaption,
                  "IsDolbyAudioProfile\">true<"},
        ProbeCase{"Maxwave", "", "--supported no --answer IsMaxwaveAudioProfile=TRUE", "--state on", true,
                  CECourseModeBtn::ProfileMaxwave, 1, FeatureStateOn, kOnPng, false, kOnCaption,
                  "IsMaxwaveAudioProfile\">TRUE<"},
        ProbeCase{"NoAudioProfile", "", "--supported no", "--state on", false, CECourseModeBtn::ProfileNone,
                  0, FeatureStateOff, 0, false, L"", "IsDolbyAudioProfile\">False<"},
        ProbeCase{"StateInCapitals", "", "", "--state on --answer ECourseStatus=FALSE", true,
                  CECourseModeBtn::ProfileDolby, 1, FeatureStateOff, kOffPng, false, kOffCaption,
                  "ECourseStatus\">FALSE<"},
        ProbeCase{"StateUnknown", "", "", "--state on --answer ECourseStatus=unknown", true,
                  CECourseModeBtn::ProfileDolby, 0, FeatureStateOff, kOffPng, false, kOffCaption,
                  "ECourseStatus\">unknown<"},
        ProbeCase{"ProfileNotEnabled", "", "", "--supported no --state on", true,
                  CECourseModeBtn::ProfileDolby, 0, FeatureStateOff, kOffPng, false, kOffCaption,
                  "IsAudioProfileEnabled\">false<"},
        ProbeCase{"NoAudioDriver", "", "", "--state on --state disabled", true, CECourseModeBtn::ProfileDolby,
                  1, FeatureStateOn, kDisabledPng, true, kDisabledCaption, "DriverAvailability\">false<"},
        ProbeCase{"MalformedAnswer", "mode malformed", "", "--state on", false, CECourseModeBtn::ProfileNone,
                  0, FeatureStateOff, 0, false, L"", "[ECourse IsSupportDolbyEx  resonse:<?xml"},
        ProbeCase{"FailingHost", "mode failing", "", "--state on", false, CECourseModeBtn::ProfileNone, 0,
                  FeatureStateOff, 0, false, L"", "[ECourse IsSupportDolbyEx response is null]"},
        // A profile without a status leaves support and state as they were (none cached: hidden).
        ProbeCase{"NoStatusAnswer", "answer GetECourseStatusEx null", "", "--state on", true,
                  CECourseModeBtn::ProfileDolby, 0, FeatureStateOff, 0, false, L"",
                  "[ECourse GetECourseStatusEx response is null]"},
        ProbeCase{"StatusCallFails", "answer GetECourseStatusEx error", "", "--state on", false,
                  CECourseModeBtn::ProfileDolby, 0, FeatureStateOff, 0, false, L"",
                  "[ECourse GetECourseStatusEx response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(ECourseModeBtnTest, AHostWithoutAnAnswerLeavesTheCachedStateShown) {
    for (const auto& [pszKey, pszValue] :
         {std::pair{L"support", L"1"}, std::pair{L"status", L"1"}, std::pair{L"StatusIconID", L"388"},
          std::pair{L"StateIconType", L"1"}}) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"ECourseMode", pszKey, pszValue, GetShowExCfgPath().c_str()));
    }
    RunMachineTool("host mode failing");
    StartContract();
    const CECourseModeBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 1);
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
}

TEST_F(ECourseModeBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    EXPECT_EQ(ProbedButton().m_nSupport, 0);
    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CECourseModeBtn::SetECourseMode(&nState), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CECourseModeBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CECourseModeBtn::SetECourseMode]"),
              std::string::npos)
        << strLog;
}

TEST_F(ECourseModeBtnTest, AClickSwitchesTheModeOnTheHostAndTheTipStaysTheDescription) {
    StartContract();
    CECourseModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOn, kOnPng, kOnCaption, kModeOn},
                  {FeatureStateOff, kOffPng, kOffCaption, kModeOff}};
    std::vector<int> setStates;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(kDescription));
        setStates.push_back(click.nState);
        events.push_back(click.event);
        EXPECT_TRUE(
            PumpUntil([&] { return RecordedStates("contract.SetECourseMode") == setStates; }, kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("ECourseMode"), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[SetECourseMode value=1.]"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("[SetECourseMode nCurState=0, resonse:<?xml"), std::string::npos) << strLog;
}

TEST_F(ECourseModeBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    CECourseModeBtn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return RecordedStates("contract.SetECourseMode").size() == 3; }, kLongWait));
    EXPECT_EQ(RecordedStates("contract.SetECourseMode").back(), FeatureStateOn);
    EXPECT_EQ(features_test::HostFeatureState("ECourseMode"), FeatureStateOn);
}

TEST_F(ECourseModeBtnTest, WithoutTheAudioDriverAClickChangesNothing) {
    RunMachineTool("feature ECourseMode --state disabled");
    StartContract();
    CECourseModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_bDisabled, 1);
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_nStatusIconID, kDisabledPng);
    DestroyButton(); // waits for any worker the click might have started
    EXPECT_TRUE(RecordedStates("contract.SetECourseMode").empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

TEST_F(ECourseModeBtnTest, TheStatusTextsFollowTheStateAndTheDriver) {
    const struct {
        bool bNarrator;
        bool bDriverAvailable;
        int nState;
        const wchar_t* pszCaption;
        int nIcon;
        int nStateType;
    } cases[] = {
        {false, true, FeatureStateOff, kOffCaption, kOffPng, FeatureStateOff},
        {true, true, FeatureStateOn, kOnCaption, kOnPng, FeatureStateOn},
        {true, true, FeatureStateDisabled, L"before", 0, 999},
        {false, true, -1, L"before", 0, 999},
        {true, false, FeatureStateOn, kDisabledCaption, kDisabledPng, FeatureStateDisabled},
        {true, false, 7, kDisabledCaption, kDisabledPng, FeatureStateDisabled},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNarrator) + "/" + std::to_string(c.bDriverAvailable) +
                                    "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CECourseModeBtn button;
        EXPECT_EQ(CString(button.GetDescription()), CString(kDescription)) << strCase;
        button.m_bDriverAvailable = c.bDriverAvailable ? 1 : 0;
        button.m_strCaption = L"before";
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(kDescription)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

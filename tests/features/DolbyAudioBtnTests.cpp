// The Dolby audio button, made and initialised by the test as a grid that places it would: the app-scenario
// plug-in's status, its reading of the audio plug-in's settings, its probe against the simulated host
// (Dolby, Maxwave or no profile, the current profile against the supported ones, the profile's state),
// the lock by an application scenario, its click with its telemetry and set calls, and the images,
// captions and tips of its states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "features/DolbyAudioBtn.h"
#include "services/FeatureState.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::kAppScenarioKey;
using features_test::RecordedStates;
using features_test::RunMachineTool;
using features_test::SetAppScenarioAudio;
using testing_support::ReadMachineEvents;

constexpr int kOnPng = 418;
constexpr int kOffPng = 419;
constexpr int kDisabledPng = 420;
constexpr auto kLongWait = std::chrono::seconds(60);

const wchar_t kOnCaption[] = L"Dolby audio on";
const wchar_t kOffCaption[] = L"Dolby audio off";
const wchar_t kDisabledCaption[] = L"Dolby audio DISABLED";
const wchar_t kOnTip[] = L"Dolby audio: On";
const wchar_t kOffTip[] = L"Dolby audio: Off";

const FeatureEvent kDolbyOn{"Features.Toolbar.Flipdecks.Dolby", "On", "Features.Toolbar.Flipdecks"};
const FeatureEvent kDolbyOff{"Features.Toolbar.Flipdecks.Dolby", "Off", "Features.Toolbar.Flipdecks"};

ContractAnswer AnswerOf(const char* pszAnswer) {
    return pszAnswer ? ContractAnswer(pszAnswer) : ContractAnswer();
}

TEST(DolbyAudioAppScenario, OnlyTheTextOpenInAnyCaseMeansAScenarioHoldsTheAudio) {
    const struct {
        const char* pszType;
        const char* pszData; // null: no value
        bool bOpen;
    } cases[] = {
        {"REG_SZ", "Open", true},   {"REG_SZ", "open", true},    {"REG_SZ", "OPEN", true},
        {"REG_SZ", "Close", false}, {"REG_SZ", "Opened", false}, {"REG_SZ", "", false},
        {"REG_DWORD", "1", false},  {"REG_SZ", nullptr, false},
    };
    testing_support::CTestMachine machine;
    EXPECT_FALSE(IsAppScenarioAudioOpen()) << "the profile's plug-in holds nothing";
    for (const auto& c : cases) {
        SetAppScenarioAudio(c.pszType, c.pszData);
        EXPECT_EQ(IsAppScenarioAudioOpen(), c.bOpen)
            << c.pszType << " " << (c.pszData ? c.pszData : "(none)");
    }
    RunMachineTool(std::string("reg delete ") + kAppScenarioKey);
    EXPECT_FALSE(IsAppScenarioAudioOpen()) << "without the key";
}

TEST(DolbyAudioBtnAnswer, TheSettingsAreKeyedByKeyExactlyAndTheLastEntryCounts) {
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        const char* pszEnabled;
        const char* pszCurrent;
        bool bDriver;
    } cases[] = {
        {"all three",
         "<?xml version=\"1.0\"?><SettingList><Setting key=\"IsAudioProfileEnabled\">True</Setting>"
         "<Setting key=\"CurrentAudioProfile\">Movie</Setting><Setting "
         "key=\"DriverAvailability\">TRUE</Setting>"
         "</SettingList>",
         true, "True", "Movie", true},
        {"inside Data",
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting key=\"IsAudioProfileEnabled\"&gt;False"
         "&lt;/Setting&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true, "False", "c", false},
        {"the texts as they stand, an entry without one empty",
         "<SettingList><Setting key=\"IsAudioProfileEnabled\">true</Setting>"
         "<Setting key=\"CurrentAudioProfile\"/><Setting "
         "key=\"DriverAvailability\">yes</Setting></SettingList>",
         true, "true", "", false},
        {"the last entry of a key counts",
         "<SettingList><Setting key=\"CurrentAudioProfile\">Game</Setting>"
         "<Setting key=\"CurrentAudioProfile\">Voice</Setting><Setting "
         "key=\"DriverAvailability\">true</Setting>"
         "<Setting key=\"DriverAvailability\">false</Setting></SettingList>",
         true, "e", "Voice", false},
        {"keys in another case or attribute",
         "<SettingList><Setting Key=\"IsAudioProfileEnabled\">True</Setting>"
         "<Setting key=\"currentaudioprofile\">Movie</Setting>"
         "<Capability key=\"IsAudioProfileEnabled\">True</Capability></SettingList>",
         true, "e", "c", false},
        {"the other list",
         "<CapabilityList><Setting key=\"IsAudioProfileEnabled\">True</Setting></CapabilityList>", false, "e",
         "c", false},
        {"malformed", "<SettingList><Setting key=\"IsAudioProfileEnabled\">True</Setting>", false, "e", "c",
         false},
        {"null", nullptr, false, "e", "c", false},
    };
    for (const auto& c : cases) {
        std::string strEnabled = "e";
        std::string strCurrent = "c";
        bool bDriver = true;
        EXPECT_EQ(CDolbyAudioBtn::ParseDolbySettings(AnswerOf(c.pszAnswer), strEnabled, strCurrent, bDriver),
                  c.bParsed)
            << c.pszName;
        EXPECT_EQ(strEnabled, c.pszEnabled) << c.pszName;
        EXPECT_EQ(strCurrent, c.pszCurrent) << c.pszName;
        EXPECT_EQ(bDriver, c.bDriver) << c.pszName;
    }
}

// The consumer notebook's host offers the Dolby profile on.
class DolbyAudioBtnTest : public features_test::CHostButtonTest<CDolbyAudioBtn> {};

// What the host holds and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostMode;     // "" normal
    const char* pszDolbyOptions; // flipdeck-machine feature DolbyAudio ...
    bool bStatusAsked;
    int nAudioProfile;
    int nSupport;
    int nStatus;
    int nIcon; // 0: none chosen
    const wchar_t* pszCaption;
    const wchar_t* pszTip;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class DolbyAudioBtnProbeTest : public DolbyAudioBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(DolbyAudioBtnProbeTest, TakesTheProfileAndTheStateFromTheHost) {
    const ProbeCase& c = GetParam();
    SetUpHost(c.pszHostMode, "DolbyAudio", c.pszDolbyOptions);
    StartContract();
    const CDolbyAudioBtn& button = ProbedButton();

    EXPECT_EQ(button.m_nAudioProfile, c.nAudioProfile);
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_bDisabled, 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip));
    EXPECT_EQ(ReadMachineEvents("contract.GetDolbyStatusEx").empty(), !c.bStatusAsked);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DolbyAudioBtnProbeTest,
    testing::Values(ProbeCase{"DolbyOn", "", "", true, CDolbyAudioBtn::ProfileDolby, 1, FeatureStateOn,
                              kOnPng, kOnCaption, kOnTip, "[GetDolbyStatusEx  resonse:<?xml"},
                    ProbeCase{"OffInData", "", "--state off --form data", true, CDolbyAudioBtn::ProfileDolby,
                              1, FeatureStateOff, kOffPng, kOffCaption, kOffTip,
                              "[IsSupportDolbyEx  resonse:<?xml"},
                    ProbeCase{"EnabledInLowerCaseIsOff", "", "--answer IsAudioProfileEnabled=true", true,
                              CDolbyAudioBtn::ProfileDolby, 1, FeatureStateOff, kOffPng, kOffCaption, kOffTip,
                              "IsAudioProfileEnabled\">true<"},
                    // The profile is taken in any case, the probe goes on only for "True" as it stands.
                    ProbeCase{"DolbyInLowerCase", "", "--answer IsDolbyAudioProfile=true", false,
                              CDolbyAudioBtn::ProfileDolby, 0, FeatureStateOff, 0, L"", kOffTip,
                              "IsDolbyAudioProfile\">true<"},
                    ProbeCase{"Maxwave", "", "--supported no --answer IsMaxwaveAudioProfile=TRUE", false,
                              CDolbyAudioBtn::ProfileMaxwave, 0, FeatureStateOff, 0, L"", kOffTip,
                              "IsMaxwaveAudioProfile\">TRUE<"},
                    ProbeCase{"NoAudioProfile", "", "--supported no", false, CDolbyAudioBtn::ProfileNone, 0,
                              FeatureStateOff, 0, L"", kOffTip, "IsDolbyAudioProfile\">False<"},
                    ProbeCase{"CurrentProfileUnknownWhateverTheList", "",
                              "--answer CurrentAudioProfile=Unknown --answer AudioProfilesSupported=", true,
                              CDolbyAudioBtn::ProfileDolby, 1, FeatureStateOn, kOnPng, kOnCaption, kOnTip,
                              "CurrentAudioProfile\">Unknown<"},
                    ProbeCase{"CurrentProfileInTheList", "", "--answer CurrentAudioProfile=Game", true,
                              CDolbyAudioBtn::ProfileDolby, 1, FeatureStateOn, kOnPng, kOnCaption, kOnTip,
                              "CurrentAudioProfile\">Game<"},
                    ProbeCase{"CurrentProfileInsideAnEntry", "", "--answer CurrentAudioProfile=ovie,Mu", true,
                              CDolbyAudioBtn::ProfileDolby, 1, FeatureStateOn, kOnPng, kOnCaption, kOnTip,
                              "CurrentAudioProfile\">ovie,Mu<"},
                    ProbeCase{"CurrentProfileInAnotherCase", "", "--answer CurrentAudioProfile=game", true,
                              CDolbyAudioBtn::ProfileDolby, 0, FeatureStateOn, 0, L"", kOffTip,
                              "CurrentAudioProfile\">game<"},
                    ProbeCase{"CurrentProfileNotSupported", "", "--answer CurrentAudioProfile=Cinema", true,
                              CDolbyAudioBtn::ProfileDolby, 0, FeatureStateOn, 0, L"", kOffTip,
                              "CurrentAudioProfile\">Cinema<"},
                    ProbeCase{"MalformedAnswer", "malformed", "", false, CDolbyAudioBtn::ProfileNone, 0,
                              FeatureStateOff, 0, L"", kOffTip, "[IsSupportDolbyEx  resonse:<?xml"},
                    ProbeCase{"FailingHost", "failing", "", false, CDolbyAudioBtn::ProfileNone, 0,
                              FeatureStateOff, 0, L"", kOffTip, "[IsSupportDolbyEx response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(DolbyAudioBtnTest, AHostWithoutAnAnswerLeavesTheCachedStateShown) {
    features_test::WriteCachedState(L"DolbyAudio", 1, FeatureStateOff, kOffPng, FeatureStateOff);
    RunMachineTool("host mode failing");
    StartContract();
    const CDolbyAudioBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 1);
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_nStatusIconID, kOffPng);
}

TEST_F(DolbyAudioBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    EXPECT_EQ(ProbedButton().m_nSupport, 0);
    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CDolbyAudioBtn::SetDolby(&nState), static_cast<unsigned>(-1));
    features_test::ExpectNoContractLogged(LogText(), "CDolbyAudioBtn::DoJudgeSupportCallback",
                                          "CDolbyAudioBtn::SetDolby");
}

TEST_F(DolbyAudioBtnTest, AClickSwitchesTheProfileOnTheHostAndSendsItsEvent) {
    StartContract();
    CDolbyAudioBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOn);

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOff, kOffPng, kOffCaption, kOffTip, kDolbyOff},
                  {FeatureStateOn, kOnPng, kOnCaption, kOnTip, kDolbyOn}};
    std::vector<int> setStates;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        setStates.push_back(click.nState);
        events.push_back(click.event);
        EXPECT_TRUE(PumpUntil([&] { return RecordedStates("contract.SetDolby") == setStates; }, kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("DolbyAudio"), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[SetDolby value=0.]"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("[SetDolby nCurState=1, resonse:<?xml"), std::string::npos) << strLog;
}

TEST_F(DolbyAudioBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    ASSERT_EQ(ProbedButton().m_nStatus, FeatureStateOn);
    ExpectFastClicksEndInTheLastState("contract.SetDolby", "DolbyAudio");
    EXPECT_EQ(m_pButton->m_nStatus, FeatureStateOff);
}

// An application scenario that holds the audio when the button is made locks it: the probe shows it
// disabled at once, and a click sets nothing and sends nothing.
TEST_F(DolbyAudioBtnTest, AnApplicationScenarioHoldingTheAudioLocksTheButton) {
    SetAppScenarioAudio("REG_SZ", "open");
    StartContract();
    CDolbyAudioBtn& button = ProbedButton();
    EXPECT_EQ(button.m_bAppScenarioAudio, 1);
    EXPECT_EQ(button.m_nSupport, 1);
    EXPECT_EQ(button.m_nStatus, FeatureStateOn) << "the profile's own state is kept";
    EXPECT_EQ(button.m_nStatusIconID, kDisabledPng);
    EXPECT_EQ(button.m_bDisabled, 1);
    EXPECT_EQ(button.m_strCaption.Get(), CString(kDisabledCaption));
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Dolby audio"));

    button.ClicktoSwitch();
    SetAppScenarioAudio("REG_SZ", "Close");
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kDisabledPng);
    DestroyButton(); // waits for any worker a click might have started
    EXPECT_TRUE(RecordedStates("contract.SetDolby").empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

// The cached state came without the probe's look: the first click then only greys the button.
TEST_F(DolbyAudioBtnTest, WithTheAudioHeldAClickOnACachedStateOnlyGreysTheButton) {
    features_test::WriteCachedState(L"DolbyAudio", 1, FeatureStateOn, kOnPng, FeatureStateOn);
    SetAppScenarioAudio("REG_SZ", "Open");
    RunMachineTool("host mode failing");
    StartContract();
    CDolbyAudioBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatusIconID, kOnPng);
    ASSERT_EQ(button.m_bDisabled, 0);
    RunMachineTool("host mode normal");
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kDisabledPng);
    EXPECT_EQ(button.m_bDisabled, 1);
    DestroyButton();
    EXPECT_TRUE(RecordedStates("contract.SetDolby").empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

TEST_F(DolbyAudioBtnTest, TheStatusTextsFollowTheState) {
    const struct {
        bool bNarrator;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {false, FeatureStateOff, kOffCaption, kOffTip, kOffPng, FeatureStateOff},
        {true, FeatureStateOn, kOnCaption, kOnTip, kOnPng, FeatureStateOn},
        {true, FeatureStateDisabled, kDisabledCaption, L"Dolby audio", kDisabledPng, FeatureStateDisabled},
        {true, 3, L"before", L"tip before", 0, 999},
        {false, -1, L"before", L"tip before", 0, 999},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNarrator) + "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CDolbyAudioBtn button;
        EXPECT_EQ(button.m_strTip.Get(), CString(kOffTip)) << strCase;
        button.m_strCaption = L"before";
        button.m_strTip = L"tip before";
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

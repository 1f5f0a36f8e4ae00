// The touchpad button, made and initialised by the test as a grid that places it would: Windows'
// precision-touchpad switch, its reading of the touchpad plug-in's answers, its probe against the
// simulated host (capability, state, "NoCapability", model H352), its click with Windows' switch on and
// off, the business brand's second set when the host does not confirm the first, and the images,
// captions and tips of its states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "features/TouchpadBtn.h"
#include "services/FeatureState.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::kPrecisionKey;
using features_test::kTouchPadSettingsPage;
using features_test::OpenedPages;
using features_test::RunMachineTool;
using features_test::SetCall;
using features_test::SetPrecisionSwitch;
using testing_support::ReadMachineEvents;

constexpr int kOnPng = 367;
constexpr int kOffPng = 368;
constexpr int kDisabledPng = 369;
constexpr int kKobal = 1;
constexpr int kIxor = 0;
constexpr auto kLongWait = std::chrono::seconds(60);

const wchar_t kOnCaption[] = L"Touchpad on";
const wchar_t kOffCaption[] = L"Touchpad off";
const wchar_t kDisabledCaption[] = L"Touchpad DISABLED";
const wchar_t kOnTip[] = L"Touchpad: On";
const wchar_t kOffTip[] = L"Touchpad: Off";

FeatureEvent TouchPadEvent(const char* pszValue) {
    return {"Features.Toolbar.Flipdecks.TouchPad", pszValue, "Features.Toolbar.Flipdecks"};
}

ContractAnswer AnswerOf(const char* pszAnswer) {
    return pszAnswer ? ContractAnswer(pszAnswer) : ContractAnswer();
}

// The touchpad's set calls as the host recorded them.
std::vector<SetCall> SetCalls() {
    return features_test::SetCalls({"contract.SetTouchPad", "contract.SetKobalTouchPad"});
}

TEST(TouchpadPrecisionSwitch, IsOnForADwordOneAndWhenItsKeyIsMissing) {
    const struct {
        const char* pszType;
        const char* pszData; // null: no value
        bool bOn;
    } cases[] = {
        {"REG_DWORD", "1", true}, {"REG_DWORD", "0", false}, {"REG_DWORD", "2", false},
        {"REG_SZ", "1", false},   {"REG_QWORD", "1", false}, {"REG_DWORD", nullptr, false},
    };
    testing_support::CTestMachine machine;
    EXPECT_TRUE(IsPrecisionTouchPadEnabled()) << "the profile's switch";
    for (const auto& c : cases) {
        SetPrecisionSwitch(c.pszType, c.pszData);
        EXPECT_EQ(IsPrecisionTouchPadEnabled(), c.bOn)
            << c.pszType << " " << (c.pszData ? c.pszData : "(none)");
    }
    RunMachineTool(std::string("reg delete ") + kPrecisionKey);
    EXPECT_TRUE(IsPrecisionTouchPadEnabled()) << "without the key";
}

TEST(TouchpadBtnAnswer, TheCapabilityIsTheFirstTouchPadControlKeyedExactly) {
    const struct {
        const char* pszName;
        const char* pszAnswer;
        bool bFound;
        const char* pszValue;
    } cases[] = {
        {"direct",
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"Other\">False</Capability>"
         "<Capability key=\"TouchPadControl\">True</Capability></CapabilityList>",
         true, "True"},
        {"inside Data, the first of two",
         "<ContractResponse><Data>&lt;CapabilityList&gt;&lt;Capability key=\"TouchPadControl\"&gt;true"
         "&lt;/Capability&gt;&lt;Capability key=\"TouchPadControl\"&gt;True&lt;/Capability&gt;"
         "&lt;/CapabilityList&gt;</Data></ContractResponse>",
         true, "true"},
        {"without a text", "<CapabilityList><Capability key=\"TouchPadControl\"/></CapabilityList>", true,
         ""},
        {"key in another case or attribute",
         "<CapabilityList><Capability key=\"touchpadcontrol\">True</Capability>"
         "<Capability Key=\"TouchPadControl\">True</Capability></CapabilityList>",
         false, "v"},
        {"in the setting list",
         "<SettingList><Capability key=\"TouchPadControl\">True</Capability></SettingList>", false, "v"},
        {"malformed", "<CapabilityList><Capability key=\"TouchPadControl\">True</Capability>", false, "v"},
        {"null", nullptr, false, "v"},
    };
    for (const auto& c : cases) {
        std::string strValue = "v";
        EXPECT_EQ(CTouchpadBtn::ParseTouchPadCapability(AnswerOf(c.pszAnswer), strValue), c.bFound)
            << c.pszName;
        EXPECT_EQ(strValue, c.pszValue) << c.pszName;
    }
}

TEST(TouchpadBtnAnswer, TheStatusTakesTheLastStateAndItsErrorCode) {
    const struct {
        const char* pszName;
        const char* pszAnswer;
        bool bParsed;
        const char* pszState;
        const char* pszErrorCode;
    } cases[] = {
        {"state", "<SettingList><Setting key=\"TouchPadEnabled\">True</Setting></SettingList>", true, "True",
         "e"},
        {"no capability inside Data",
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting key=\"TouchPadEnabled\" "
         "errorCode=\"NoCapability\"&gt;False&lt;/Setting&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true, "False", "NoCapability"},
        {"the last entry counts, a code stays",
         "<SettingList><Setting key=\"TouchPadEnabled\" errorCode=\"nocapability\">True</Setting>"
         "<Setting key=\"TouchPadEnabled\">False</Setting><Setting key=\"Other\" errorCode=\"X\">1</Setting>"
         "</SettingList>",
         true, "False", "nocapability"},
        {"an empty list", "<SettingList/>", true, "s", "e"},
        {"no list", "<CapabilityList><Setting key=\"TouchPadEnabled\">True</Setting></CapabilityList>", false,
         "s", "e"},
        {"null", nullptr, false, "s", "e"},
    };
    for (const auto& c : cases) {
        std::string strState = "s";
        std::string strErrorCode = "e";
        EXPECT_EQ(CTouchpadBtn::ParseTouchPadStatus(AnswerOf(c.pszAnswer), strState, strErrorCode), c.bParsed)
            << c.pszName;
        EXPECT_EQ(strState, c.pszState) << c.pszName;
        EXPECT_EQ(strErrorCode, c.pszErrorCode) << c.pszName;
    }
}

TEST(TouchpadBtnAnswer, TheSetResultIsTheFirstStateTrueInAnyCase) {
    const struct {
        const char* pszAnswer;
        bool bFound;
        int nState;
    } cases[] = {
        {"<SettingList><Setting key=\"TouchPadEnabled\">TRUE</Setting></SettingList>", true, 1},
        {"<SettingList><Setting key=\"TouchPadEnabled\">False</Setting>"
         "<Setting key=\"TouchPadEnabled\">True</Setting></SettingList>",
         true, 0},
        {"<SettingList><Setting key=\"TouchPadEnabled\">1</Setting></SettingList>", true, 0},
        {"<SettingList><Setting key=\"TouchPadEnabled\"/></SettingList>", true, 0},
        {"<SettingList><Setting key=\"Other\">True</Setting></SettingList>", false, -1},
        {"<SettingList><Setting key=\"TouchPadEnabled\">True</Setting>", false, -1},
        {nullptr, false, -1},
    };
    for (const auto& c : cases) {
        int nState = -1;
        EXPECT_EQ(CTouchpadBtn::ParseSetTouchPadResult(AnswerOf(c.pszAnswer), nState), c.bFound)
            << (c.pszAnswer ? c.pszAnswer : "null");
        EXPECT_EQ(nState, c.nState) << (c.pszAnswer ? c.pszAnswer : "null");
    }
}

// The consumer notebook's host offers the touchpad on, and Windows' switch is on.
class TouchpadBtnTest : public features_test::CHostButtonTest<CTouchpadBtn> {};

struct ProbeCase {
    const char* pszName;
    const char* pszHostMode;        // "" normal
    const char* pszTouchpadOptions; // flipdeck-machine feature Touchpad ...
    const char* pszPrecision;       // Windows' "Enabled" (REG_DWORD)
    bool bStatusAsked;
    int nSupport;
    int nStatus;
    int nIcon; // 0: none chosen
    bool bVisible;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class TouchpadBtnProbeTest : public TouchpadBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(TouchpadBtnProbeTest, TakesTheCapabilityAndTheStateFromTheHost) {
    const ProbeCase& c = GetParam();
    SetUpHost(c.pszHostMode, "Touchpad", c.pszTouchpadOptions);
    SetPrecisionSwitch("REG_DWORD", c.pszPrecision);
    StartContract();
    const CTouchpadBtn& button = ProbedButton();

    EXPECT_EQ(button.m_bPrecisionTouchPadOn, std::string(c.pszPrecision) == "1" ? 1 : 0);
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.IsWindowVisible() != FALSE, c.bVisible);
    EXPECT_EQ(ReadMachineEvents("contract.GetTouchPadStatusEx").empty(), !c.bStatusAsked);
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TouchpadBtnProbeTest,
    testing::Values(ProbeCase{"On", "", "", "1", true, 1, FeatureStateOn, kOnPng, true,
                              "[Test DoJudgeSupportByPXH Touchpad m_nSupport=1, m_nStatus=1]"},
                    ProbeCase{"OffInData", "", "--state off --form data", "1", true, 1, FeatureStateOff,
                              kOffPng, true, "[Test GetTouchPadStatusEx  resonse:<?xml"},
                    ProbeCase{"StateInLowerCaseIsOff", "", "--answer TouchPadEnabled=true", "1", true, 1,
                              FeatureStateOff, kOffPng, true, "TouchPadEnabled\">true<"},
                    ProbeCase{"WindowsSwitchOffShowsOff", "", "", "0", true, 1, FeatureStateOn, kOffPng, true,
                              "[Test SetButtonStatusIcon Touchpad m_nSupport=1, m_nStatus=1]"},
                    ProbeCase{"CapabilityInLowerCase", "", "--answer TouchPadControl=true", "1", false, 0,
                              FeatureStateOff, 0, false, "[Test IsSupportTouchPadEx2  resonse:<?xml"},
                    ProbeCase{"Unsupported", "", "--supported no", "1", false, 0, FeatureStateOff, 0, false,
                              "[Test DoJudgeSupportByPXH Touchpad m_nSupport=0, m_nStatus=0]"},
                    ProbeCase{"NoCapabilityInTheStatus", "", "--supported no --answer TouchPadControl=True",
                              "1", true, 0, FeatureStateOff, 0, false, "errorCode=\"NoCapability\""},
                    ProbeCase{"MalformedAnswer", "malformed", "", "1", false, 0, FeatureStateOff, 0, false,
                              "[Test IsSupportTouchPadEx2  resonse:<?xml"},
                    ProbeCase{"FailingHost", "failing", "", "1", false, 0, FeatureStateOff, 0, true,
                              "[Test IsSupportTouchPadEx2 response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(TouchpadBtnTest, AModelH352IsNeverAskedAndNeverShown) {
    RunMachineTool(
        "reg set 'HKLM\\HARDWARE\\DESCRIPTION\\System\\BIOS' SystemVersion REG_SZ 'Ixor Aeris H352 Pro'");
    StartContract();
    const CTouchpadBtn& button = ProbedButton();
    EXPECT_EQ(button.m_bIsH352Machine, 1);
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_EQ(button.m_nStatusIconID, 0);
    EXPECT_TRUE(ReadMachineEvents("contract.IsSupportTouchPadEx2").empty());
    EXPECT_NE(LogText().find("[Test dont support m_bIsH352Machine]"), std::string::npos) << LogText();
}

TEST_F(TouchpadBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    EXPECT_EQ(ProbedButton().m_nSupport, 0);
    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CTouchpadBtn::SetTouchPad(&nState), static_cast<unsigned>(-1));
    features_test::ExpectNoContractLogged(LogText(), "CTouchpadBtn::DoJudgeSupportCallback",
                                          "CTouchpadBtn::SetTouchPad");
}

// With Windows' switch on a click switches the host's touchpad; with it off a click opens Windows'
// settings, switching the host's touchpad on first when it is off.
struct ClickCase {
    const char* pszName;
    const char* pszPrecision;
    const char* pszHostState;
    int nStateAfter;
    std::vector<SetCall> sets;
    std::vector<FeatureEvent> events;
    std::vector<std::string> pages;
};

void PrintTo(const ClickCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class TouchpadBtnClickTest : public TouchpadBtnTest, public testing::WithParamInterface<ClickCase> {};

TEST_P(TouchpadBtnClickTest, SwitchesTheHostOrOpensWindowsSettings) {
    const ClickCase& c = GetParam();
    RunMachineTool(std::string("feature Touchpad --state ") + c.pszHostState);
    SetPrecisionSwitch("REG_DWORD", c.pszPrecision);
    StartContract();
    CTouchpadBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, c.nStateAfter);
    EXPECT_EQ(FeatureEvents(), c.events) << "sent at once";
    EXPECT_EQ(OpenedPages(), c.pages);
    DestroyButton(); // waits for the set worker
    EXPECT_EQ(SetCalls(), c.sets);
    EXPECT_EQ(features_test::HostFeatureState("Touchpad"), c.nStateAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, TouchpadBtnClickTest,
                         testing::Values(ClickCase{"WindowsOnHostOn",
                                                   "1",
                                                   "on",
                                                   FeatureStateOff,
                                                   {{"contract.SetTouchPad", 0}},
                                                   {TouchPadEvent("Off")},
                                                   {}},
                                         ClickCase{"WindowsOnHostOff",
                                                   "1",
                                                   "off",
                                                   FeatureStateOn,
                                                   {{"contract.SetTouchPad", 1}},
                                                   {TouchPadEvent("On")},
                                                   {}},
                                         ClickCase{"WindowsOffHostOn",
                                                   "0",
                                                   "on",
                                                   FeatureStateOn,
                                                   {},
                                                   {},
                                                   {std::string(kTouchPadSettingsPage) + " 3"}},
                                         ClickCase{"WindowsOffHostOff",
                                                   "0",
                                                   "off",
                                                   FeatureStateOn,
                                                   {{"contract.SetTouchPad", 1}},
                                                   {TouchPadEvent("On")},
                                                   {std::string(kTouchPadSettingsPage) + " 3"}}),
                         [](const testing::TestParamInfo<ClickCase>& info) {
                             return std::string(info.param.pszName);
                         });

TEST_F(TouchpadBtnTest, AClickShowsTheNewStateAtOnceAndTheNextOneSwitchesBack) {
    StartContract();
    CTouchpadBtn& button = ProbedButton();
    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
    } clicks[] = {{FeatureStateOff, kOffPng, kOffCaption, kOffTip},
                  {FeatureStateOn, kOnPng, kOnCaption, kOnTip}};
    std::vector<SetCall> sets;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        sets.emplace_back("contract.SetTouchPad", click.nState);
        EXPECT_TRUE(PumpUntil([&] { return SetCalls() == sets; }, kLongWait));
    }
    EXPECT_EQ(FeatureEvents(), (std::vector<FeatureEvent>{TouchPadEvent("Off"), TouchPadEvent("On")}));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[SetTouchPad value=0.]"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("[SetTouchPad nCurState=1, resonse:<?xml"), std::string::npos) << strLog;
}

TEST_F(TouchpadBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    ASSERT_EQ(ProbedButton().m_nStatus, FeatureStateOn);
    ExpectFastClicksEndInTheLastState("contract.SetTouchPad", "Touchpad");
    EXPECT_EQ(m_pButton->m_nStatus, FeatureStateOff);
}

// A set the host fails leaves the host as it was, and the button showing the state it asked for, whole;
// no second set on the business brand. The next probe shows the host's state, and a click then reaches it.
TEST_F(TouchpadBtnTest, AFailingSetLeavesTheHostAsItWasAndTheButtonWhole) {
    g_nKobalBrand = kKobal;
    StartContract();
    ASSERT_EQ(ProbedButton().m_nStatus, FeatureStateOn);
    RunMachineTool("host answer SetTouchPad error");
    m_pButton->ClicktoSwitch();
    EXPECT_EQ(m_pButton->m_nStatus, FeatureStateOff);
    EXPECT_EQ(m_pButton->m_nStatusIconID, kOffPng);
    EXPECT_EQ(m_pButton->m_strCaption.Get(), CString(kOffCaption));
    EXPECT_EQ(m_pButton->m_strTip.Get(), CString(kOffTip));
    DestroyButton(); // waits for the set worker
    EXPECT_NE(LogText().find("[SetTouchPad value=0.]"), std::string::npos) << LogText();
    EXPECT_TRUE(SetCalls().empty()) << "the failed call did nothing, and no second one followed";
    EXPECT_EQ(features_test::HostFeatureState("Touchpad"), FeatureStateOn);

    RunMachineTool("host answer SetTouchPad normal");
    CTouchpadBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn) << "the host's state";
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
    button.ClicktoSwitch();
    DestroyButton();
    EXPECT_EQ(SetCalls(), (std::vector<SetCall>{{"contract.SetTouchPad", 0}}));
    EXPECT_EQ(features_test::HostFeatureState("Touchpad"), FeatureStateOff);
    EXPECT_EQ(FeatureEvents(), (std::vector<FeatureEvent>{TouchPadEvent("Off"), TouchPadEvent("Off")}));
}

// The host's answer to the set: confirming the new state, naming another (its text overridden), or cut
// short so that it names none.
struct RepeatCase {
    const char* pszName;
    int nBrand;
    const char* pszAnswerOption; // feature Touchpad ...; "" none
    bool bMalformed;
    std::vector<SetCall> sets;
};

void PrintTo(const RepeatCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class TouchpadBtnRepeatTest : public TouchpadBtnTest, public testing::WithParamInterface<RepeatCase> {};

TEST_P(TouchpadBtnRepeatTest, TheBusinessBrandSetsOnceMoreWhatTheHostDidNotConfirm) {
    const RepeatCase& c = GetParam();
    g_nKobalBrand = c.nBrand;
    RunMachineTool("feature Touchpad --state off");
    if (*c.pszAnswerOption) {
        RunMachineTool(std::string("feature Touchpad ") + c.pszAnswerOption);
    }
    StartContract();
    CTouchpadBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);
    if (c.bMalformed) {
        RunMachineTool("host mode malformed");
    }
    button.ClicktoSwitch();
    DestroyButton(); // waits for the set worker
    EXPECT_EQ(SetCalls(), c.sets);
    EXPECT_EQ(features_test::HostFeatureState("Touchpad"), FeatureStateOn);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TouchpadBtnRepeatTest,
    testing::Values(RepeatCase{"BusinessConfirmed", kKobal, "", false, {{"contract.SetTouchPad", 1}}},
                    RepeatCase{"BusinessOtherState",
                               kKobal,
                               "--answer TouchPadEnabled=False",
                               false,
                               {{"contract.SetTouchPad", 1}, {"contract.SetKobalTouchPad", 1}}},
                    RepeatCase{"BusinessNoState",
                               kKobal,
                               "",
                               true,
                               {{"contract.SetTouchPad", 1}, {"contract.SetKobalTouchPad", 1}}},
                    RepeatCase{"ConsumerOtherState",
                               kIxor,
                               "--answer TouchPadEnabled=False",
                               false,
                               {{"contract.SetTouchPad", 1}}}),
    [](const testing::TestParamInfo<RepeatCase>& info) { return std::string(info.param.pszName); });

TEST_F(TouchpadBtnTest, TheStatusTextsFollowTheStateAndWindowsSwitch) {
    const struct {
        bool bNarrator;
        int nSupport;
        bool bPrecisionOn;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
        bool bNarratorText;
    } cases[] = {
        {false, 1, true, FeatureStateOff, kOffCaption, kOffTip, kOffPng, FeatureStateOff, true},
        {true, 1, true, FeatureStateOn, kOnCaption, kOnTip, kOnPng, FeatureStateOn, true},
        {true, 1, true, FeatureStateDisabled, kDisabledCaption, L"Touchpad", kDisabledPng,
         FeatureStateDisabled, true},
        {true, 1, true, 5, L"before", L"tip before", 0, 999, true},
        {false, 1, false, FeatureStateOn, L"before", kOffTip, kOffPng, FeatureStateOff, true},
        {true, 1, false, FeatureStateDisabled, kDisabledCaption, L"Touchpad", kOffPng, FeatureStateOff, true},
        {true, 0, true, FeatureStateOn, L"before", L"tip before", 0, 999, false},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNarrator) + "/" + std::to_string(c.nSupport) + "/" +
                                    std::to_string(c.bPrecisionOn) + "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CTouchpadBtn button;
        EXPECT_EQ(button.m_strTip.Get(), CString(kOffTip)) << strCase;
        button.m_nSupport = c.nSupport;
        button.m_bPrecisionTouchPadOn = c.bPrecisionOn ? 1 : 0;
        button.m_strCaption = L"before";
        button.m_strTip = L"tip before";
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.GetNarratorText(),
                  c.bNarrator && c.bNarratorText ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

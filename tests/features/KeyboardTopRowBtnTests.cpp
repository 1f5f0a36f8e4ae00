// The keyboard top-row button: its reading of the host's capability and setting answers of both brands,
// the state it shows by the Fn lock and the keys that lead, its probe against the simulated host, its
// click that turns the Fn lock over on the host with its telemetry, the business brand's Fn sticky key
// that greys it, and the images, captions and tips of its states.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "features/KeyboardTopRowBtn.h"
#include "platform/com.h"
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
using features_test::RecordedStates;
using features_test::RunMachineTool;

using Btn = CKeyboardTopRowBtn;
constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kKobal = 1;
constexpr int kIxor = 0;

const FeatureEvent kToSpecial{"Features.Toolbar.Flipdecks.KeyboardTopRow", "Special_Function_Enabled",
                              "Features.Toolbar.Flipdecks"};
const FeatureEvent kToF1F12{"Features.Toolbar.Flipdecks.KeyboardTopRow", "F1F12_Function_Enabled",
                            "Features.Toolbar.Flipdecks"};
const wchar_t kSpecialCaption[] = L"Special function enabled";
const wchar_t kF1F12Caption[] = L"F1 - F12 function enabled";
const wchar_t kSpecialTip[] = L"Keyboard top-row function: Special function";
const wchar_t kF1F12Tip[] = L"Keyboard top-row function: F1-F12 function";

const char* SetEvent(int nBrand) {
    return nBrand == kKobal ? "contract.SetKobalFnLock" : "contract.SetIxorFnLock";
}

class KeyboardTopRowParseTest : public testing::Test {
protected:
    void SetUp() override { features_test::StartMachineLog(m_machine); }
    void TearDown() override { g_bLogEnabled = false; }

    testing_support::CTestMachine m_machine;
};

using Flags = std::vector<bool>;

// Each parser with its flags, in its order.
const std::pair<const char*, std::function<bool(const ContractAnswer&, Flags&)>> kParsers[] = {
    {"KobalCapability",
     [](const ContractAnswer& a, Flags& f) {
         bool b[3] = {true, true, true};
         const bool bParsed = Btn::ParseKobalKbdCapability(a, b[0], b[1], b[2]);
         f = {b[0], b[1], b[2]};
         return bParsed;
     }},
    {"KobalSettings",
     [](const ContractAnswer& a, Flags& f) {
         bool b[3] = {true, true, true};
         const bool bParsed = Btn::ParseKobalKBDSettings(a, b[0], b[1], b[2]);
         f = {b[0], b[1], b[2]};
         return bParsed;
     }},
    {"IxorCapability",
     [](const ContractAnswer& a, Flags& f) {
         bool b[2] = {true, true};
         const bool bParsed = Btn::ParseIxorKbdCapability(a, b[0], b[1]);
         f = {b[0], b[1]};
         return bParsed;
     }},
    {"IxorPrimeKey",
     [](const ContractAnswer& a, Flags& f) {
         bool b = true;
         const bool bParsed = Btn::ParseIxorPrimeKeySettings(a, b);
         f = {b};
         return bParsed;
     }},
    {"IxorFnLock",
     [](const ContractAnswer& a, Flags& f) {
         bool b = true;
         const bool bParsed = Btn::ParseIxorFnLockSettings(a, b);
         f = {b};
         return bParsed;
     }},
};

TEST_F(KeyboardTopRowParseTest, EachParserReadsItsKeysExactlyAndTheirTextsIgnoringCase) {
    enum { KobalCapability, KobalSettings, IxorCapability, IxorPrimeKey, IxorFnLock };
    const struct {
        const char* pszName;
        int nParser;
        const char* pszAnswer;
        bool bParsed;
        Flags flags;
        const char* pszLogLine; // null: nothing logged
    } cases[] = {
        {"business capabilities",
         KobalCapability,
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"PrimaryFunction\">True</Capability>"
         "<Capability key=\"FnLock\">TRUE</Capability><Capability key=\"FnStickKey\">false</Capability>"
         "</CapabilityList>",
         true,
         {true, true, false},
         nullptr},
        {"business settings inside Data",
         KobalSettings,
         "<ContractResponse><Data>&lt;SettingList&gt;&lt;Setting key=\"PrimaryFunction\"&gt;SELECT&lt;/"
         "Setting&gt;&lt;Setting key=\"FnLock\"&gt;false&lt;/Setting&gt;&lt;Setting "
         "key=\"FnStickKey\"&gt;True&lt;/Setting&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true,
         {true, false, true},
         nullptr},
        {"a primary function that is not select",
         KobalSettings,
         "<SettingList><Setting key=\"PrimaryFunction\">selected</Setting><Setting "
         "key=\"FnLock\">true</Setting>"
         "</SettingList>",
         true,
         {false, true, false},
         nullptr},
        {"keys exactly, the last entry counts",
         KobalCapability,
         "<CapabilityList><Capability key=\"primaryfunction\">true</Capability><Capability "
         "key=\"FnLock\">true"
         "</Capability><Capability key=\"FnLock\">no</Capability><Setting key=\"FnStickKey\">true</Setting>"
         "</CapabilityList>",
         true,
         {false, false, false},
         nullptr},
        {"the settings list is not the capability list",
         KobalCapability,
         "<SettingList><Setting key=\"PrimaryFunction\">true</Setting></SettingList>",
         true,
         {false, false, false},
         nullptr},
        {"consumer capability with the prime key only",
         IxorCapability,
         "<CapabilityList><Capability key=\"PrimeKey\">true</Capability><Capability key=\"FnLock\"/>"
         "</CapabilityList>",
         true,
         {true, false},
         nullptr},
        {"the Fn keys lead",
         IxorPrimeKey,
         "<SettingList><Setting key=\"PrimeKey\">FnKey</Setting></SettingList>",
         true,
         {true},
         nullptr},
        {"the hotkeys lead",
         IxorPrimeKey,
         "<SettingList><Setting key=\"PrimeKey\">hotkey</Setting></SettingList>",
         true,
         {false},
         nullptr},
        {"Fn lock on",
         IxorFnLock,
         "<SettingList><Setting key=\"FnLock\">True</Setting></SettingList>",
         true,
         {true},
         nullptr},
        {"capabilities malformed",
         IxorCapability,
         "<CapabilityList><Capability key=\"PrimeKey\">true",
         false,
         {false, false},
         nullptr},
        {"settings malformed",
         IxorFnLock,
         "<SettingList><Setting key=\"FnLock\">true</Setting>",
         false,
         {false},
         "[Parse XML file failure.][BacklightSettingsResponse]"},
        {"settings without a root element",
         KobalSettings,
         "<?xml version=\"1.0\"?>",
         false,
         {false, false, false},
         "[Get XML Root Element failure.][BacklightSettingsResponse]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const size_t nLogBefore = features_test::MachineLogText(m_machine).size();
        Flags flags;
        EXPECT_EQ(kParsers[c.nParser].second(ContractAnswer(c.pszAnswer), flags), c.bParsed);
        EXPECT_EQ(flags, c.flags);
        const std::string strLog = features_test::MachineLogText(m_machine).substr(nLogBefore);
        if (c.pszLogLine) {
            EXPECT_NE(strLog.find(c.pszLogLine), std::string::npos) << strLog;
        } else {
            EXPECT_EQ(strLog, "");
        }
    }
}

TEST(KeyboardTopRowState, TheFnLockShowsTheSpecialFunctionsUnlessTheF1F12KeysLeadAndTheReverse) {
    const struct {
        bool bPrimaryFunction;
        bool bFnLock;
        int nShown;
    } cases[] = {{true, true, Btn::kStateSpecial},
                 {true, false, Btn::kStateF1F12},
                 {false, false, Btn::kStateSpecial},
                 {false, true, Btn::kStateF1F12}};
    const testing_support::CTestMachine machine;
    for (const auto& c : cases) {
        Btn button;
        button.m_bPrimaryFunction = c.bPrimaryFunction;
        button.m_bFnLock = c.bFnLock;
        EXPECT_EQ(button.ShownState(), c.nShown) << c.bPrimaryFunction << c.bFnLock;
    }
}

// A machine with the log on, a parent window and the button as its child, in an apartment; the brand,
// the contract instance and the button only when a test makes them.
class KeyboardTopRowBtnTest : public controls_test::CControlWindowTest {
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
            RunMachineTool("feature KeyboardTopRowKey " + strOptions);
        }
    }

    // The button made, initialised on the brand and probed.
    Btn& ProbedButton(int nBrand) {
        DestroyButton();
        g_nKobalBrand = nBrand;
        m_pButton = std::make_unique<Btn>();
        if (!m_window.m_hWnd) {
            MakeParent();
        }
        EXPECT_TRUE(m_pButton->Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                      RECT{20, 10, 68, 58}, &m_window, Btn::IDC));
        EXPECT_TRUE(m_pButton->Init(&m_window));
        EXPECT_TRUE(PumpUntil([this] { return m_pButton->m_bInited == 1; }, kLongWait));
        return *m_pButton;
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
    const char* pszFeatureOptions; // flipdeck-machine feature KeyboardTopRowKey ...
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

class KeyboardTopRowProbeTest : public KeyboardTopRowBtnTest,
                                public testing::WithParamInterface<ProbeCase> {};

TEST_P(KeyboardTopRowProbeTest, TakesSupportAndSettingsFromTheHostByTheBrandsRoad) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    SetHostFeature(c.pszFeatureOptions);
    StartContract();
    const Btn& button = ProbedButton(c.nBrand);

    EXPECT_EQ(button.m_bKobalBrand, c.nBrand == kKobal);
    EXPECT_FLOAT_EQ(button.m_fIconScale, 0.91f);
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_bDisabled, c.bDisabled ? 1 : 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardTopRowProbeTest,
    testing::Values(
        ProbeCase{"KobalSpecial", kKobal, "", "", 1, Btn::kStateSpecial, Btn::kSpecialPng, false,
                  kSpecialCaption, "[GetKobalKBDSettings  resonse:<?xml"},
        ProbeCase{"KobalF1F12InData", kKobal, "", "--state off --form data", 1, Btn::kStateF1F12,
                  Btn::kF1F12Png, false, kF1F12Caption, "[GetKobalKBDCapability  resonse:<?xml"},
        // The Fn sticky key greys the button in the image of the state the settings give.
        ProbeCase{"KobalStickyKeySpecial", kKobal, "", "--answer FnStickKey=TRUE", 1, FeatureStateDisabled,
                  Btn::kSpecialDisabledPng, true, L"", "FnStickKey\">TRUE<"},
        ProbeCase{"KobalStickyKeyF1F12", kKobal, "", "--state off --answer FnStickKey=true", 1,
                  FeatureStateDisabled, Btn::kF1F12DisabledPng, true, L"", "FnStickKey\">true<"},
        // Whatever the business road finds, the probe shows the state of the settings it has
        // (none: the special functions).
        ProbeCase{"KobalWithoutFnLock", kKobal, "", "--answer FnLock=no", 0, Btn::kStateSpecial,
                  Btn::kSpecialPng, false, kSpecialCaption, "[GetKobalKBDCapability  resonse:"},
        ProbeCase{"KobalUnsupported", kKobal, "", "--supported no", 0, Btn::kStateSpecial, Btn::kSpecialPng,
                  false, kSpecialCaption, "PrimaryFunction\">false<"},
        ProbeCase{"KobalMalformed", kKobal, "mode malformed", "", 0, Btn::kStateSpecial, Btn::kSpecialPng,
                  false, kSpecialCaption, "[GetKobalKBDCapability  resonse:"},
        ProbeCase{"KobalFailing", kKobal, "mode failing", "", 0, Btn::kStateSpecial, Btn::kSpecialPng, false,
                  kSpecialCaption, "[GetKobalKBDCapability response is null]"},
        ProbeCase{"KobalNoSettingsAnswer", kKobal, "answer GetKobalKBDSettings null", "--state off", 0,
                  Btn::kStateSpecial, Btn::kSpecialPng, false, kSpecialCaption,
                  "[GetKobalKBDSettings response is null]"},
        // Settings that do not parse are cleared: the F1-F12 keys' lock the host holds is gone.
        ProbeCase{"KobalMalformedSettings", kKobal, "answer GetKobalKBDSettings malformed", "--state off", 0,
                  Btn::kStateSpecial, Btn::kSpecialPng, false, kSpecialCaption,
                  "[ParseKobalKBDSettings parse failed]"},
        ProbeCase{"IxorSpecial", kIxor, "", "", 1, Btn::kStateSpecial, Btn::kSpecialPng, false,
                  kSpecialCaption, "[GetIxorPrimeKeySettings  resonse:<?xml"},
        ProbeCase{"IxorF1F12", kIxor, "", "--state off", 1, Btn::kStateF1F12, Btn::kF1F12Png, false,
                  kF1F12Caption, "FnLock\">true<"},
        ProbeCase{"IxorStickyKeyIsBusinessOnly", kIxor, "", "--answer FnStickKey=true", 1, Btn::kStateSpecial,
                  Btn::kSpecialPng, false, kSpecialCaption, "FnStickKey\">true<"},
        ProbeCase{"IxorPrimeKeyOnly", kIxor, "", "--answer FnLock=false", 0, FeatureStateOff, 0, false, L"",
                  "[GetIxorKBDCapability  resonse:"},
        ProbeCase{"IxorMalformed", kIxor, "mode malformed", "", 0, FeatureStateOff, 0, false, L"",
                  "[GetIxorKBDCapability  resonse:"},
        ProbeCase{"IxorFailing", kIxor, "mode failing", "", 0, FeatureStateOff, 0, false, L"",
                  "[GetIxorKBDCapability response is null]"},
        // Each settings query of the consumer road logs under the prime key's name.
        ProbeCase{"IxorNoPrimeKeyAnswer", kIxor, "answer GetIxorPrimeKeySettings null", "", 0,
                  FeatureStateOff, 0, false, L"", "[GetIxorPrimeKeySettings response is null]"},
        ProbeCase{"IxorNoFnLockAnswer", kIxor, "answer GetIxorFnLockSettings error", "", 0, FeatureStateOff,
                  0, false, L"", "[GetIxorPrimeKeySettings response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(KeyboardTopRowBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    for (const auto& [nBrand, pszProbe] : {std::pair{kIxor, "CKeyboardTopRowBtn::IxorJudgeSupport"},
                                           std::pair{kKobal, "CKeyboardTopRowBtn::KobalJudgeSupport"}}) {
        EXPECT_EQ(ProbedButton(nBrand).m_nSupport, 0) << pszProbe;
        EXPECT_NE(
            LogText().find(std::string("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                                       "Pactbridge.dll][") +
                           pszProbe + "]"),
            std::string::npos)
            << pszProbe;
    }
    std::atomic<bool> bFnLock = true;
    EXPECT_EQ(Btn::KobalSetFnLock(&bFnLock), static_cast<unsigned>(-1));
    EXPECT_EQ(Btn::IxorSetFnLock(&bFnLock), static_cast<unsigned>(-1));
    for (const char* pszWorker : {"KobalSetFnLock", "IxorSetFnLock"}) {
        EXPECT_NE(LogText().find(std::string("[Error:IContractInterfacePtr is Null, please register "
                                             "Pactbridge.dll][CKeyboardTopRowBtn::") +
                                 pszWorker + "]"),
                  std::string::npos)
            << pszWorker;
    }
}

TEST_F(KeyboardTopRowBtnTest, AClickTurnsTheFnLockOverOnTheHostOnEachBrand) {
    StartContract();
    for (const int nBrand : {kKobal, kIxor}) {
        SCOPED_TRACE(nBrand);
        Btn& button = ProbedButton(nBrand);
        ASSERT_EQ(button.m_nStatus, Btn::kStateSpecial);
        ASSERT_FALSE(button.m_bFnLock);

        const struct {
            int nStatus;
            int nIcon;
            const wchar_t* pszCaption;
            const wchar_t* pszTip;
            FeatureEvent event;
        } clicks[] = {{Btn::kStateF1F12, Btn::kF1F12Png, kF1F12Caption, kF1F12Tip, kToF1F12},
                      {Btn::kStateSpecial, Btn::kSpecialPng, kSpecialCaption, kSpecialTip, kToSpecial}};
        std::vector<int> sent;
        const size_t nEventsBefore = FeatureEvents().size();
        std::vector<FeatureEvent> events = FeatureEvents();
        for (const auto& click : clicks) {
            button.ClicktoSwitch();
            EXPECT_EQ(button.m_nStatus, click.nStatus);
            EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
            EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
            EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
            sent.push_back(button.m_bFnLock ? 1 : 0);
            events.push_back(click.event);
            EXPECT_TRUE(PumpUntil([&] { return RecordedStates(SetEvent(nBrand)) == sent; }, kLongWait));
            EXPECT_EQ(features_test::HostFeatureState("KeyboardTopRowKey"), click.nStatus);
            EXPECT_EQ(FeatureEvents(), events);
        }
        EXPECT_EQ(sent, (std::vector<int>{1, 0}));
        EXPECT_EQ(FeatureEvents().size(), nEventsBefore + 2);
    }
    EXPECT_NE(LogText().find("[KobalSetFnLock#2 nCurState=1, resonse:<?xml"), std::string::npos);
    EXPECT_NE(LogText().find("[IxorSetFnLock nCurState=0, resonse:<?xml"), std::string::npos);
}

// The keys that lead decide the state shown and the telemetry value, not the value sent.
TEST_F(KeyboardTopRowBtnTest, TheFnLockIsSentAsItIsWhicheverKeysLead) {
    StartContract();
    Btn& button = ProbedButton(kKobal);
    const struct {
        bool bPrimaryFunction;
        bool bFnLockBefore;
        int nSent;
        int nShown;
        FeatureEvent event;
    } cases[] = {{true, false, 1, Btn::kStateSpecial, kToSpecial},
                 {true, true, 0, Btn::kStateF1F12, kToF1F12},
                 {false, false, 1, Btn::kStateF1F12, kToF1F12},
                 {false, true, 0, Btn::kStateSpecial, kToSpecial}};
    std::vector<int> sent;
    for (const auto& c : cases) {
        button.m_bPrimaryFunction = c.bPrimaryFunction;
        button.m_bFnLock = c.bFnLockBefore;
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, c.nShown);
        EXPECT_EQ(FeatureEvents().back(), c.event);
        sent.push_back(c.nSent);
        EXPECT_TRUE(PumpUntil([&] { return RecordedStates("contract.SetKobalFnLock") == sent; }, kLongWait));
    }
}

TEST_F(KeyboardTopRowBtnTest, FastClicksLeaveTheHostInTheStateShown) {
    StartContract();
    Btn& button = ProbedButton(kIxor);
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, Btn::kStateF1F12);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return RecordedStates("contract.SetIxorFnLock").size() == 3; }, kLongWait));
    EXPECT_EQ(RecordedStates("contract.SetIxorFnLock").back(), 1);
    EXPECT_EQ(features_test::HostFeatureState("KeyboardTopRowKey"), Btn::kStateF1F12);
}

TEST_F(KeyboardTopRowBtnTest, TheBusinessFnStickyKeyTakesNoClick) {
    SetHostFeature("--answer FnStickKey=True");
    StartContract();
    Btn& button = ProbedButton(kKobal);
    ASSERT_EQ(button.m_nStatusIconID, Btn::kSpecialDisabledPng);
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatusIconID, Btn::kSpecialDisabledPng);
    EXPECT_FALSE(button.m_bFnLock);
    DestroyButton(); // waits for any worker the click might have started
    EXPECT_TRUE(RecordedStates("contract.SetKobalFnLock").empty());
    EXPECT_TRUE(FeatureEvents().empty());
    EXPECT_EQ(features_test::HostFeatureState("KeyboardTopRowKey"), Btn::kStateSpecial);
}

TEST_F(KeyboardTopRowBtnTest, TheStatusTextsFollowTheStateTheStickyKeyAndTheNarrator) {
    const struct {
        bool bKobalBrand;
        bool bFnStickKey;
        bool bPrimaryFunction;
        bool bFnLock;
        bool bNarrator;
        int nStatus;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {true, false, false, false, false, Btn::kStateSpecial, kSpecialCaption, kSpecialTip, Btn::kSpecialPng,
         3},
        {false, false, false, false, true, Btn::kStateF1F12, kF1F12Caption, kF1F12Tip, Btn::kF1F12Png, 3},
        {true, false, false, false, false, 5, L"before", L"tip before", 0, 999},
        {false, true, false, false, false, Btn::kStateSpecial, kSpecialCaption, kSpecialTip, Btn::kSpecialPng,
         3},
        // Greyed, the special functions' image and tip only while neither setting is on.
        {true, true, false, false, false, FeatureStateDisabled, L"before", kSpecialTip,
         Btn::kSpecialDisabledPng, 2},
        {true, true, true, true, false, FeatureStateDisabled, L"before", kF1F12Tip, Btn::kF1F12DisabledPng,
         2},
        {true, true, true, false, false, FeatureStateDisabled, L"before", kF1F12Tip, Btn::kF1F12DisabledPng,
         2},
        {true, true, false, true, true, FeatureStateDisabled, L"Keyboard top-row function DISABLED",
         L"Keyboard top-row function", Btn::kF1F12DisabledPng, 2},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bKobalBrand) + std::to_string(c.bFnStickKey) +
                                    std::to_string(c.bPrimaryFunction) + std::to_string(c.bFnLock) + "/" +
                                    std::to_string(c.nStatus);
        g_bNarrator = c.bNarrator;
        Btn button;
        button.m_bKobalBrand = c.bKobalBrand;
        button.m_bFnStickKey = c.bFnStickKey;
        button.m_bPrimaryFunction = c.bPrimaryFunction;
        button.m_bFnLock = c.bFnLock;
        button.m_strCaption = L"before";
        button.m_strTip = L"tip before";
        button.SetButtonStatusIcon(c.nStatus);
        EXPECT_EQ(button.m_nStatus, c.nStatus) << strCase;
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.GetNarratorText(), c.bNarrator ? CString(c.pszCaption) + L"." : CString())
            << strCase;
    }
}

} // namespace

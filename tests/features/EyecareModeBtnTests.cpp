// The eye-care button: the BIOS list and the plug-in version that decide whether it is offered, its
// reading of the host's colour-temperature settings, its probe against the simulated host, its click, the
// images, icon sizes, captions and tips of its states, and the long translated tip the grid wraps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "features/EyecareModeBtn.h"
#include "platform/com.h"
#include "platform/inifile.h"
#include "platform/internal.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/FeatureButtonTestSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using features_test::SetFileVersion;
using features_test::WriteBiosVersion;
using testing_support::ReadMachineEvents;
namespace fs = std::filesystem;

constexpr int kDisabledPng = 522;
constexpr int kOffPng = 524;
constexpr int kOnPng = 525;
constexpr float kOnScale = 0.65f;
constexpr float kScale = 0.7f;
constexpr int kButtonSize = 48;
const COLORREF kOnCircle = 0xFD814A;
constexpr auto kLongWait = std::chrono::seconds(60);

constexpr LANGID kEnglish = 0x0409;
constexpr LANGID kGerman = 0x0407;
constexpr LANGID kGreek = 0x0408;
constexpr LANGID kBrazilian = 0x0416;

const wchar_t kDriverDisabledTip[] = L"Eye care mode: Graphics driver disabled";

const FeatureEvent kToggleOn{"Features.Toolbar.Flipdecks.EyeCareModeToggle", "On",
                             "Features.Toolbar.Flipdecks"};
const FeatureEvent kToggleOff{"Features.Toolbar.Flipdecks.EyeCareModeToggle", "Off",
                              "Features.Toolbar.Flipdecks"};

const wchar_t kPluginX64[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x64\\"
    L"CorvexVisionProtectionPlugin.dll";
const wchar_t kPluginX86[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x86\\"
    L"CorvexVisionProtectionPlugin.dll";

// The thread's user-interface language for a test, the user's again afterwards.
class CThreadLanguage {
public:
    explicit CThreadLanguage(LANGID language) { SetThreadUILanguage(language); }
    ~CThreadLanguage() { SetThreadUILanguage(0); }
    CThreadLanguage(const CThreadLanguage&) = delete;
    CThreadLanguage& operator=(const CThreadLanguage&) = delete;
};

// The machine facts the probe's gates read, on a fresh consumer notebook with the log on.
class EyecareMachineTest : public testing::Test {
protected:
    void SetUp() override { features_test::StartMachineLog(m_machine); }
    void TearDown() override { g_bLogEnabled = false; }

    testing_support::CTestMachine m_machine;
};

TEST_F(EyecareMachineTest, TheBiosListMatchesTheFirstFiveCharactersIgnoringCase) {
    const struct {
        const char* pszVersion; // null: the BIOS structure has none
        bool bListed;
    } cases[] = {
        {"R47JD15W", true}, {"r2xjd20w(1.05)", true}, {"R5WPN", true},      {"R6VJD", true},
        {"R47J", false},    {"NRCN31VX", false},      {"XR47JD15W", false}, {"R47 JD15W", false},
        {"", false},        {nullptr, false},
    };
    for (const auto& c : cases) {
        WriteBiosVersion(m_machine, c.pszVersion);
        EXPECT_EQ(IsEyeCareWhiteListBios(), c.bListed) << (c.pszVersion ? c.pszVersion : "no version");
    }
    fs::remove(m_machine.Folder() / platform::kSmbiosTableFile);
    EXPECT_FALSE(IsEyeCareWhiteListBios()) << "no firmware table";
}

TEST_F(EyecareMachineTest, OnlyAPluginNewerThanThePanelsCounts) {
    const struct {
        const char* pszX64; // null: the file is missing
        const char* pszX86;
        bool bOk;
    } cases[] = {
        {"1.2.92.14", "1.2.92.14", false}, // the profiles'
        {"1.2.92.15", "1.2.92.14", true},  {"1.3.0.0", nullptr, true}, {"2.0.0.0", "1.0.0.0", true},
        {"1.2.91.99", "1.2.93.0", false}, // the x64 build decides when it is there
        {nullptr, "1.2.93.0", true},       {nullptr, nullptr, false}, // "File not found"
    };
    for (const auto& c : cases) {
        for (const auto& [pszPath, pszVersion] :
             {std::pair{kPluginX64, c.pszX64}, std::pair{kPluginX86, c.pszX86}}) {
            const fs::path file = m_machine.HostPath(pszPath);
            if (pszVersion) {
                ASSERT_TRUE(platform::ReplaceFileAtomically(file, "plug-in"));
            } else {
                fs::remove(file);
            }
            SetFileVersion(m_machine, pszPath, pszVersion);
        }
        EXPECT_EQ(IsEyeCarePluginVersionOk(), c.bOk)
            << (c.pszX64 ? c.pszX64 : "none") << " / " << (c.pszX86 ? c.pszX86 : "none");
    }
}

struct ParsedSettings {
    int nResult;
    int nEyeModeState;
    int nColorTemperature;
    bool bInSchedule;
    bool bApiCapability;
    int nCapability;
    bool operator==(const ParsedSettings&) const = default;
};

void PrintTo(const ParsedSettings& p, std::ostream* pOut) {
    *pOut << "{" << p.nResult << ", state " << p.nEyeModeState << ", " << p.nColorTemperature
          << " K, schedule " << p.bInSchedule << ", API " << p.bApiCapability << ", capability "
          << p.nCapability << "}";
}

ParsedSettings Parse(const char* pszAnswer) {
    const ContractAnswer answer = pszAnswer ? ContractAnswer(pszAnswer) : ContractAnswer();
    ParsedSettings parsed{7, 7, 7, true, true, 7};
    parsed.nResult = ParseEyeCareTempSettings(answer, parsed.nEyeModeState, parsed.nColorTemperature,
                                              parsed.bInSchedule, parsed.bApiCapability, parsed.nCapability);
    return parsed;
}

std::string Settings(const std::string& strEntries) {
    return "<?xml version=\"1.0\"?><SettingList><CTempSettings>" + strEntries +
           "</CTempSettings></SettingList>";
}

std::string Entry(const char* pszKey, const char* pszText) {
    return std::string("<Settings key=\"") + pszKey + "\">" + pszText + "</Settings>";
}

TEST_F(EyecareMachineTest, TheSettingsAnswerIsReadDirectlyOrInsideDataWithCodesByThePluginVersion) {
    const ParsedSettings kNothing{0, 0, -1, false, false, -1};
    const ParsedSettings kDefaults{1, 0, -1, false, false, -1};
    const std::string strAll = Settings(Entry("APICapability", "true") + Entry("Capability", "Support") +
                                        Entry("EyeModeState", "true") + Entry("ColorTemperature", "4800") +
                                        Entry("InSchedule", "true") + Entry("MyScheduleState", "TRUE"));
    const struct {
        const char* pszName;
        std::string strAnswer; // "<null>": a null answer
        ParsedSettings oldPlugin;
        ParsedSettings newPlugin;
    } cases[] = {
        {"all settings", strAll, {1, 1, 4800, true, true, 1}, {1, 1, 4800, true, true, 3}},
        {"inside Data",
         "<ContractResponse><Result>Success</Result><Data>" +
             std::string(
                 "&lt;SettingList&gt;&lt;CTempSettings&gt;&lt;Settings key=\"apicapability\"&gt;True&lt;/"
                 "Settings&gt;&lt;Settings key=\"CAPABILITY\"&gt;notavaliable&lt;/Settings&gt;&lt;/"
                 "CTempSettings&gt;&lt;/SettingList&gt;") +
             "</Data></ContractResponse>",
         {1, 0, -1, false, true, 2},
         {1, 0, -1, false, true, 4}},
        {"not supported",
         Settings(Entry("Capability", "NotSupport")),
         kDefaults,
         {1, 0, -1, false, false, 5}},
        {"another capability", Settings(Entry("Capability", "Unknown")), kDefaults, kDefaults},
        {"one schedule flag, texts not true",
         Settings(Entry("InSchedule", "true") + Entry("MyScheduleState", "yes") + Entry("EyeModeState", "1") +
                  Entry("APICapability", "")),
         kDefaults, kDefaults},
        {"temperature without a number",
         Settings(Entry("ColorTemperature", "") + Entry("EyeModeState", "True")),
         {1, 1, 6500, false, false, -1},
         {1, 1, 6500, false, false, -1}},
        {"temperature that is no number",
         Settings(Entry("ColorTemperature", "warm")),
         {1, 0, 6500, false, false, -1},
         {1, 0, 6500, false, false, -1}},
        {"entries without key or of another name",
         Settings("<Settings>true</Settings><Settings Key=\"APICapability\">true</Settings>"
                  "<Setting key=\"APICapability\">true</Setting>"),
         kDefaults, kDefaults},
        {"neither settings nor Data", "<SettingList/>", kDefaults, kDefaults},
        {"Data without settings", "<Response><Data>&lt;SettingList/&gt;</Data></Response>", kNothing,
         kNothing},
        {"malformed Data", "<Response><Data>&lt;CTempSettings&gt;</Data></Response>", kNothing, kNothing},
        {"empty Data", "<Response><Data/></Response>", kNothing, kNothing},
        {"malformed", Settings(Entry("APICapability", "true")).substr(10), kNothing, kNothing},
        {"null", "<null>", kNothing, kNothing},
    };
    for (const char* pszX64 : {"1.2.92.14", "1.2.92.15"}) {
        const bool bNewPlugin = std::string(pszX64) == "1.2.92.15";
        SetFileVersion(m_machine, kPluginX64, pszX64);
        ASSERT_EQ(IsEyeCarePluginVersionOk(), bNewPlugin);
        for (const auto& c : cases) {
            EXPECT_EQ(Parse(c.strAnswer == "<null>" ? nullptr : c.strAnswer.c_str()),
                      bNewPlugin ? c.newPlugin : c.oldPlugin)
                << c.pszName << " with the plug-in " << pszX64;
        }
    }
}

// A consumer notebook whose vision-protection plug-in is new enough for the button, with the log on, a
// parent window and the button as its child, in an apartment; the contract instance only when a test
// makes it.
class EyecareModeBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        SetFileVersion(m_machine, kPluginX64, "1.2.92.15");
        g_nKobalBrand = 0;
        g_nGamingDevice = 0;
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_nKobalBrand = m_nBrandBefore;
        g_nGamingDevice = m_nGamingBefore;
        CControlWindowTest::TearDown();
    }

    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }

    CEyecareModeBtn& MakeButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 20 + kButtonSize, 10 + kButtonSize}, &parent,
                                    CEyecareModeBtn::IDC));
        return m_button;
    }
    // The button made, initialised and probed.
    CEyecareModeBtn& ProbedButton() {
        CEyecareModeBtn& button = MakeButton();
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
    static void CacheState(int nSupport, int nStatus, int nIconId, int nStateType) {
        for (const auto& [pszKey, nValue] :
             {std::pair{L"support", nSupport}, std::pair{L"status", nStatus},
              std::pair{L"StatusIconID", nIconId}, std::pair{L"StateIconType", nStateType}}) {
            ASSERT_TRUE(WritePrivateProfileStringW(L"EyecareMode", pszKey, std::to_wstring(nValue).c_str(),
                                                   GetShowExCfgPath().c_str()));
        }
    }
    static std::vector<nlohmann::json> SetCalls() { return ReadMachineEvents("contract.SetEyeCareMode"); }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    CEyecareModeBtn m_button;

private:
    int m_nBrandBefore = g_nKobalBrand;
    int m_nGamingBefore = g_nGamingDevice;
};

// What the host holds and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostMode;       // "" normal
    const char* pszFeatureOptions; // flipdeck-machine feature EyeCareMode ...
    int nSupport;
    int nStatus;
    int nIcon;
    float fScale;
    const wchar_t* pszCaption;
    const wchar_t* pszTip;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class EyecareModeBtnProbeTest : public EyecareModeBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(EyecareModeBtnProbeTest, TakesSupportAndStateFromTheHostsSettings) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostMode) {
        RunMachineTool(std::string("host mode ") + c.pszHostMode);
    }
    RunMachineTool(std::string("feature EyeCareMode ") + c.pszFeatureOptions);
    StartContract();
    CEyecareModeBtn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_fIconScale, c.fScale);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip));
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
    const std::vector<nlohmann::json> queries = ReadMachineEvents("contract.GetEyeCareModeStatusEx");
    EXPECT_LE(queries.size(), 1u);
    for (const nlohmann::json& query : queries) {
        EXPECT_EQ(query.value("type", -1), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EyecareModeBtnProbeTest,
    testing::Values(
        ProbeCase{"OffDirect", "", "--state off", 1, FeatureStateOff, kOffPng, kScale, L"Eye care mode off",
                  L"Eye care mode: Off", "[ECM - GetEyeCareModeStatusEx resonse:<?xml"},
        ProbeCase{"OnInData", "", "--state on --form data", 1, FeatureStateOn, kOnPng, kOnScale,
                  L"Eye care mode on", L"Eye care mode: On", "&lt;CTempSettings&gt;"},
        // The graphics driver disabled: shown greyed, with the disabled caption as its tip.
        ProbeCase{"DriverDisabled", "", "--state disabled", 1, FeatureStateDisabled, kDisabledPng, kScale,
                  L"Eye care mode DISABLED", kDriverDisabledTip, "NotAvaliable"},
        ProbeCase{"CapabilityInAnotherCase", "", "--state on --answer Capability=SUPPORT", 1, FeatureStateOn,
                  kOnPng, kOnScale, L"Eye care mode on", L"Eye care mode: On", ">SUPPORT<"},
        ProbeCase{"Unsupported", "", "--supported no", 0, FeatureStateOff, kOffPng, kScale,
                  L"Eye care mode off", L"Eye care mode: Off", "\"Capability\">NotSupport<"},
        // Without the API capability the capability counts for nothing.
        ProbeCase{"NoApiCapability", "", "--state on --answer APICapability=false", 0, FeatureStateOff,
                  kOffPng, kScale, L"Eye care mode off", L"Eye care mode: Off", "\"APICapability\">false<"},
        ProbeCase{"SupportedButNotSupport", "", "--state on --answer Capability=NotSupport", 0,
                  FeatureStateOff, kOffPng, kScale, L"Eye care mode off", L"Eye care mode: Off",
                  "[ECM - GetEyeCareModeStatusEx"},
        ProbeCase{"MalformedAnswer", "malformed", "--state on", 0, FeatureStateOff, kOffPng, kScale,
                  L"Eye care mode off", L"Eye care mode: Off", "[ECM - GetEyeCareModeStatusEx resonse:"},
        ProbeCase{"FailingHost", "failing", "--state on", 0, FeatureStateOff, 0, kScale, L"",
                  L"Eye care mode: Off", "[ECM not support, GetEyeCareModeStatusEx response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

// Each gate leaves a button that was shown hidden, without asking the host.
TEST_F(EyecareModeBtnTest, BusinessGamingListedBiosAndAnOldPluginHideTheButtonWithoutAskingTheHost) {
    StartContract();
    const struct {
        const char* pszName;
        int nBrand;
        int nGaming;
        const char* pszBios;
        const char* pszPlugin;
        const char* pszLogLine;
    } cases[] = {
        {"business brand", 1, 0, "NRCN31VX", "1.2.92.15",
         "[ECM not support, IsKobalBrandMachine=1, IsGamingDeviceType=0\n"},
        {"gaming", 0, 1, "NRCN31VX", "1.2.92.15",
         "[ECM not support, IsKobalBrandMachine=0, IsGamingDeviceType=1"},
        {"listed BIOS", 0, 0, "R9CJD41W", "1.2.92.15",
         "[ECM not support, WhiteListDevice=1, PluginSupportWhiteList=1\n"},
        {"the panel's plug-in", 0, 0, "NRCN31VX", "1.2.92.14",
         "[ECM not support, WhiteListDevice=0, PluginSupportWhiteList=0"},
        {"listed BIOS and old plug-in", 0, 0, "r9cjd41w", "1.2.92.14",
         "[ECM not support, WhiteListDevice=1, PluginSupportWhiteList=0"},
    };
    for (const auto& c : cases) {
        g_nKobalBrand = c.nBrand;
        g_nGamingDevice = c.nGaming;
        WriteBiosVersion(m_machine, c.pszBios);
        SetFileVersion(m_machine, kPluginX64, c.pszPlugin);
        CEyecareModeBtn button;
        button.m_nSupport = 1;
        EXPECT_EQ(button.DoJudgeSupportCallback(), -2) << c.pszName;
        EXPECT_EQ(button.m_nSupport, 0) << c.pszName;
        EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << c.pszName << "\n" << LogText();
    }
    EXPECT_TRUE(ReadMachineEvents("contract.GetEyeCareModeStatusEx").empty());
}

TEST_F(EyecareModeBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    CacheState(1, FeatureStateOn, kOnPng, FeatureStateOn);
    CEyecareModeBtn& button = MakeButton();
    ASSERT_TRUE(button.Init(&m_window));
    EXPECT_EQ(button.m_fIconScale, kOnScale) << "the cached on image's size";
    ASSERT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_EQ(button.m_fIconScale, kOnScale);

    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CEyecareModeBtn::SetEyeCareMode(&nState), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CEyecareModeBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CEyecareModeBtn::SetEyeCareMode]"),
              std::string::npos)
        << strLog;
}

TEST_F(EyecareModeBtnTest, AClickSwitchesEyeCareOnTheHostWithItsTelemetry) {
    StartContract();
    CEyecareModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);

    const struct {
        int nState;
        int nIcon;
        float fScale;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        FeatureEvent event;
    } clicks[] = {
        {FeatureStateOn, kOnPng, kOnScale, L"Eye care mode on", L"Eye care mode: On", kToggleOn},
        {FeatureStateOff, kOffPng, kScale, L"Eye care mode off", L"Eye care mode: Off", kToggleOff}};
    std::vector<nlohmann::json> setCalls;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_fIconScale, click.fScale);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        setCalls.push_back({{"state", click.nState}, {"type", 1}});
        events.push_back(click.event);
        EXPECT_TRUE(PumpUntil(
            [&] {
                std::vector<nlohmann::json> calls;
                for (const nlohmann::json& record : SetCalls()) {
                    calls.push_back(
                        {{"state", record.value("state", -1)}, {"type", record.value("type", -1)}});
                }
                return calls == setCalls;
            },
            kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("EyeCareMode"), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
        if (click.nState == FeatureStateOn) {
            gdi_test::CSurface expected(kButtonSize, kButtonSize);
            features_test::DrawExpectedButton(expected, features_test::kRound48, kOnCircle, kOnPng,
                                              features_test::kIcon48At065);
            ASSERT_TRUE(Painted(button));
            EXPECT_EQ(controls_test::CClientPixels(button).Differences(expected), 0) << "the smaller on icon";
        }
    }
    EXPECT_NE(LogText().find("[ECM SetEyeCareMode nSetValue=0, resonse:<?xml"), std::string::npos);
}

TEST_F(EyecareModeBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    CEyecareModeBtn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([this] { return SetCalls().size() == 3; }, kLongWait));
    EXPECT_EQ(SetCalls().back().value("state", -1), FeatureStateOn);
    EXPECT_EQ(features_test::HostFeatureState("EyeCareMode"), FeatureStateOn);
}

TEST_F(EyecareModeBtnTest, NoClickActsBeforeTheProbeHasFinishedOrWhileTheDriverIsDisabled) {
    CEyecareModeBtn unprobed;
    unprobed.ClicktoSwitch();
    EXPECT_EQ(unprobed.m_nStatus, FeatureStateOff);

    RunMachineTool("feature EyeCareMode --state disabled");
    StartContract();
    CEyecareModeBtn& button = ProbedButton();
    ASSERT_EQ(button.m_bDisabled, 1);
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateDisabled);
    DestroyButton(); // waits for any worker the click might have started
    EXPECT_TRUE(SetCalls().empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

TEST_F(EyecareModeBtnTest, TheStatusRoutineSetsImageSizeCaptionAndTipOfKnownStatesOnly) {
    const struct {
        int nState;
        int nNameWhenDisabled;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
        float fScale;
    } cases[] = {
        {FeatureStateOff, 1, L"Eye care mode off", L"Eye care mode: Off", kOffPng, FeatureStateOff, kScale},
        {FeatureStateOn, 1, L"Eye care mode on", L"Eye care mode: On", kOnPng, FeatureStateOn, kOnScale},
        {FeatureStateDisabled, 1, L"Eye care mode DISABLED", L"Eye care mode", kDisabledPng,
         FeatureStateDisabled, kScale},
        {FeatureStateDisabled, 0, L"Eye care mode DISABLED", kDriverDisabledTip, kDisabledPng,
         FeatureStateDisabled, kScale},
        {7, 1, L"Eye care mode on", L"Eye care mode: On", kOnPng, FeatureStateOn, kOnScale},
        {-1, 1, L"Eye care mode on", L"Eye care mode: On", kOnPng, FeatureStateOn, kOnScale},
    };
    g_bNarrator = true;
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.nState) + "/" + std::to_string(c.nNameWhenDisabled);
        CEyecareModeBtn button;
        button.SetButtonStatusIcon(FeatureStateOn);
        button.m_nNameWhenDisabled = c.nNameWhenDisabled;
        button.SetButtonStatusIcon(c.nState);
        EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
        EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
        EXPECT_EQ(button.m_nStateIconType, c.nStateType) << strCase;
        EXPECT_EQ(button.m_bDisabled, c.nStateType == FeatureStateDisabled ? 1 : 0) << strCase;
        EXPECT_EQ(button.m_fIconScale, c.fScale) << strCase;
        EXPECT_EQ(button.GetNarratorText(), CString(c.pszCaption) + L".") << strCase;
    }
}

TEST_F(EyecareModeBtnTest, TheTextsComeFromTheStringTableWithTheEnglishNameAsWritten) {
    const struct {
        LANGID language;
        int nNameId; // the table's name, unless the English one
    } cases[] = {{kEnglish, 0}, {kGerman, 189}, {kGreek, 189}};
    for (const auto& c : cases) {
        const CThreadLanguage language(c.language);
        const CEyecareModeBtn button;
        CString strName = L"Eye care mode";
        if (c.nNameId) {
            LoadResString(strName, L"", c.nNameId);
        }
        EXPECT_EQ(button.m_strName, strName) << c.language;
        EXPECT_EQ(button.m_strKey, CString(L"EyecareMode"));
        for (const auto& [pText, nId] :
             {std::pair{&button.m_strOnTip, 519}, std::pair{&button.m_strOffTip, 521},
              std::pair{&button.m_strDisabledTip, 523}}) {
            CString strExpected;
            LoadResString(strExpected, L"", nId);
            EXPECT_EQ(*pText, strExpected) << c.language << "/" << nId;
        }
        EXPECT_EQ(button.m_strTip.Get(), button.m_strOffTip);
    }
}

// The grid wraps the disabled tip of four languages, compared exactly, whatever the thread's language.
TEST_F(EyecareModeBtnTest, TheGridRecognisesTheLongDisabledTipsOfFourLanguages) {
    const auto disabledTipIn = [](LANGID language) {
        const CThreadLanguage thread(language);
        CEyecareModeBtn button;
        button.m_nNameWhenDisabled = 0;
        button.SetButtonStatusIcon(FeatureStateDisabled);
        return button.m_strTip.Get();
    };
    const struct {
        LANGID language;
        bool bWrapped;
    } cases[] = {{0x041A, true},    {0x0816, true},      {0x0C0A, true},   {kGreek, true},
                 {kEnglish, false}, {kBrazilian, false}, {kGerman, false}, {0x241A, false}};
    for (const auto& c : cases) {
        const CString strTip = disabledTipIn(c.language);
        for (const LANGID threadLanguage : {kEnglish, c.language}) {
            const CThreadLanguage thread(threadLanguage);
            EXPECT_EQ(CEyecareModeBtn::IsWrappedTipText(strTip), c.bWrapped)
                << c.language << "/" << threadLanguage;
            EXPECT_EQ(GetThreadUILanguage(), threadLanguage) << "the thread's language is left as it was";
        }
    }
    EXPECT_FALSE(CEyecareModeBtn::IsWrappedTipText(L""));
    EXPECT_FALSE(CEyecareModeBtn::IsWrappedTipText(disabledTipIn(kGreek) + L" "));
}

} // namespace

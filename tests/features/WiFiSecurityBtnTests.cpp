// The WiFi security button: its reading of the host's status answer and of the location permission,
// its probe against the simulated host (plug-in and add-in files, support, state, permission), its click
// rule with and without the permission, and the captions and tips of its states.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "features/WiFiSecurityBtn.h"
#include "platform/com.h"
#include "platform/inifile.h"
#include "platform/internal.h"
#include "platform/registry.h"
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
using features_test::MachineLogText;
using features_test::RecordedStates;
using features_test::RunMachineTool;
using features_test::StartMachineLog;
using testing_support::ReadMachineEvents;
namespace fs = std::filesystem;

constexpr int kOnPng = 364;
constexpr int kOffPng = 365;
constexpr int kDisabledPng = 366;
constexpr auto kLongWait = std::chrono::seconds(60);

const wchar_t kPluginX64[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexWiFiSecurityPlugin\\x64\\CorvexWiFiSecurityPlugin."
    L"dll";
const wchar_t kPluginX86[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexWiFiSecurityPlugin\\x86\\CorvexWiFiSecurityPlugin."
    L"dll";
const wchar_t kAddinManifest[] =
    L"C:\\ProgramData\\Corvex\\Solvane\\Addins\\CorvexSecurityAddin\\AddinManifest.xml";
const wchar_t kUserLocationConsent[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\location";

void SetRegistryText(HKEY hRoot, const wchar_t* pszKey, REGSAM view, const wchar_t* pszName,
                     const std::wstring& strValue) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hRoot, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                   static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
}

// The user's own location consent denied: the host then lists "deny" for it.
void DenyUserLocationConsent() {
    SetRegistryText(HKEY_CURRENT_USER, kUserLocationConsent, 0, L"Value", L"Deny");
}

// The host's WiFi security entry as the tool changes it ("--state on", "--answer KEY=TEXT" ...).
void SetHostFeature(const std::string& strOptions) {
    if (!strOptions.empty()) {
        RunMachineTool("feature WiFiSecurity " + strOptions);
    }
}

int HostFeatureState() {
    return features_test::HostFeatureState("WiFiSecurity");
}

std::vector<int> SetCallStates() {
    return RecordedStates("contract.SetWiFiStatus");
}

const FeatureEvent kEnableOn{"Features.Toolbar.Flipdecks.WiFiSecurityEnable", "On",
                             "Features.Toolbar.Flipdecks"};
const FeatureEvent kEnableOff{"Features.Toolbar.Flipdecks.WiFiSecurityEnable", "Off",
                              "Features.Toolbar.Flipdecks"};
const FeatureEvent kGoToPage{"Features.Toolbar.PowerInformation.GoToWiFiSecurityPage", "",
                             "Features.Toolbar.PowerInformation"};

// A machine with the log on, a parent window and the button as the grid's child, in an apartment; the
// contract instance only when a test makes it.
class WiFiSecurityBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        StartMachineLog(m_machine);
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

    CWiFiSecurityBtn& MakeButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, CWiFiSecurityBtn::IDC));
        return m_button;
    }
    // The button made, initialised and probed.
    CWiFiSecurityBtn& ProbedButton() {
        CWiFiSecurityBtn& button = MakeButton();
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

    void WriteMachineFile(const wchar_t* pszPath) const {
        const fs::path file = m_machine.HostPath(pszPath);
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "<Addin/>";
    }
    void RemoveMachineFile(const wchar_t* pszPath) const { fs::remove(m_machine.HostPath(pszPath)); }

    std::string LogText() const { return MachineLogText(m_machine); }

    CWiFiSecurityBtn m_button;
};

TEST(WiFiSecurityBtnPermission, CountsAllowOncePerConsentAndTakesNoTextAsGranted) {
    const struct {
        const char* pszText;
        bool bAllowed;
    } cases[] = {{"", true},
                 {"allow,allow,allow", true},
                 {"allowallowallow", true},
                 {"allow,allow", false},
                 {"allow,allow,allow,allow", false},
                 {"deny,allow,allow", false},
                 {"Allow,allow,allow", false},
                 {"ALLOW,ALLOW,ALLOW", false},
                 {" ", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(CWiFiSecurityBtn::IsLocationPermissionAllowed(c.pszText), c.bAllowed)
            << '"' << c.pszText << '"';
    }
}

TEST(WiFiSecurityBtnAnswer, ReadsTheFiveSettingsDirectlyOrInsideData) {
    using Texts = std::vector<std::string>;
    const struct {
        const char* pszName;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        Texts texts; // IsSupported, IsEnabled, SystemPolicy, UserPreference, LocationPermission
    } cases[] = {
        {"direct",
         "<?xml version=\"1.0\"?><SettingList><Setting key=\"IsSupported\">true</Setting>"
         "<Setting key=\"IsEnabled\">false</Setting><Setting key=\"SystemPolicy\">true</Setting>"
         "<Setting key=\"UserPreference\">True</Setting>"
         "<Setting key=\"LocationPermission\">allow,deny,allow</Setting></SettingList>",
         true,
         {"true", "false", "true", "True", "allow,deny,allow"}},
        {"inside Data",
         "<ContractResponse><Result>Success</Result><Data>&lt;SettingList&gt;&lt;Setting "
         "key=\"LocationPermission\"&gt;allow&lt;/Setting&gt;&lt;Setting key=\"IsSupported\"&gt;true&lt;/"
         "Setting&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true,
         {"true", "", "", "", "allow"}},
        {"settings without key or text",
         "<SettingList><Setting>true</Setting><Setting key=\"IsSupported\"/><Setting Key=\"IsEnabled\">true"
         "</Setting><Setting key=\"SystemPolicy\"><!-- none --></Setting>"
         "<Setting key=\"UserPreference\">true</Setting></SettingList>",
         true,
         {"false", "", "", "true", ""}},
        {"empty list", "<Response><SettingList/></Response>", true, {"false", "", "", "", ""}},
        {"no list",
         "<CapabilityList><Capability key=\"IsSupported\">true</Capability></CapabilityList>",
         false,
         {"false", "", "", "", ""}},
        {"malformed",
         "<SettingList><Setting key=\"IsSupported\">true</Setting>",
         false,
         {"false", "", "", "", ""}},
        {"malformed Data",
         "<Response><Data>&lt;SettingList&gt;</Data></Response>",
         false,
         {"false", "", "", "", ""}},
        {"null", nullptr, false, {"false", "", "", "", ""}},
    };
    for (const auto& c : cases) {
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        CWiFiSecurityBtn::WifiSecurityStatus status;
        status.strIsEnabled = "left from before";
        EXPECT_EQ(CWiFiSecurityBtn::ParseWifiSecurityStatus(answer, status), c.bParsed) << c.pszName;
        EXPECT_EQ((Texts{status.strIsSupported, status.strIsEnabled, status.strSystemPolicy,
                         status.strUserPreference, status.strLocationPermission}),
                  c.texts)
            << c.pszName;
    }
}

// What the host holds and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostMode;       // "" normal
    const char* pszFeatureOptions; // flipdeck-machine feature WiFiSecurity ...
    bool bDenyLocation;
    int nSupport;
    int nStatus;
    int nLocationPermission;
    int nIcon;
    const wchar_t* pszCaption;
    const char* pszLogLine;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class WiFiSecurityBtnProbeTest : public WiFiSecurityBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(WiFiSecurityBtnProbeTest, TakesSupportStateAndPermissionFromTheHost) {
    const ProbeCase& c = GetParam();
    if (*c.pszHostMode) {
        RunMachineTool(std::string("host mode ") + c.pszHostMode);
    }
    SetHostFeature(c.pszFeatureOptions);
    if (c.bDenyLocation) {
        DenyUserLocationConsent();
    }
    StartContract();
    CWiFiSecurityBtn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nLocationPermission, c.nLocationPermission);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WiFiSecurityBtnProbeTest,
    testing::Values(
        ProbeCase{"OffInData", "", "", false, 1, FeatureStateOff, 1, kOffPng, L"WiFi security off",
                  "[Wifi security is supported, but is not enabled!]"},
        ProbeCase{"OnDirect", "", "--state on --form direct", false, 1, FeatureStateOn, 1, kOnPng,
                  L"WiFi security on", "[Wifi security is supported, status has been checked successfully]"},
        ProbeCase{"OnWithoutLocationPermission", "", "--state on", true, 1, FeatureStateOff, 0, kOffPng, L"",
                  "userPreferenceTrue: 1,m_bLocationPermissionAvailable: 0]"},
        ProbeCase{"OnWithAnEmptyLocationPermission", "", "--state on --answer LocationPermission=", false, 1,
                  FeatureStateOn, 1, kOnPng, L"WiFi security on", "m_bLocationPermissionAvailable: 1]"},
        ProbeCase{"OnAgainstTheUsersPreference", "", "--state on --answer UserPreference=false", false, 1,
                  FeatureStateOff, 1, kOffPng, L"WiFi security off",
                  "[Wifi security is supported, but is not enabled!]"},
        ProbeCase{"Unsupported", "", "--supported no", false, 0, FeatureStateOff, 1, 0, L"",
                  "[GetWifiSecurityStatus=====>isSupportedTrue: 0,isEnabledTrue: 0,systemPolicyTrue: "
                  "1,userPreferenceTrue: 0,m_bLocationPermissionAvailable: 1]"},
        ProbeCase{"IsSupportedWithACapitalT", "", "--state on --answer IsSupported=True", false, 0,
                  FeatureStateOff, 1, 0, L"", "isSupportedTrue: 0,isEnabledTrue: 1"},
        ProbeCase{"AgainstTheSystemPolicy", "", "--state on --answer SystemPolicy=false", false, 0,
                  FeatureStateOff, 1, 0, L"", "systemPolicyTrue: 0"},
        ProbeCase{"MalformedAnswer", "malformed", "--state on", false, 0, FeatureStateOff, 0, 0, L"",
                  "[JudgeSupportWifiSecurity]---->Not support."},
        ProbeCase{"FailingHost", "failing", "--state on", false, 0, FeatureStateOff, 0, 0, L"",
                  "[GetWifiSecurityStatus response is null]"}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(WiFiSecurityBtnTest, AHostWithoutAnAnswerLeavesTheCachedStateShown) {
    for (const auto& [pszKey, pszValue] :
         {std::pair{L"support", L"1"}, std::pair{L"status", L"1"}, std::pair{L"StatusIconID", L"364"},
          std::pair{L"StateIconType", L"1"}}) {
        ASSERT_TRUE(
            WritePrivateProfileStringW(L"WiFiSecurity", pszKey, pszValue, GetShowExCfgPath().c_str()));
    }
    RunMachineTool("host mode failing");
    StartContract();
    const CWiFiSecurityBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 1);
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
}

TEST_F(WiFiSecurityBtnTest, ThePluginCountsInEitherBuildUnlessTheSolvaneAddinIsInstalled) {
    const struct {
        const char* pszName;
        bool bX86;
        bool bX64;
        bool bAddin;
        bool bAvailable;
    } cases[] = {{"x64 only", false, true, false, true},
                 {"x86 only", true, false, false, true},
                 {"both", true, true, false, true},
                 {"neither", false, false, false, false},
                 {"x64 and the add-in", false, true, true, false},
                 {"the add-in alone", false, false, true, false}};
    for (const auto& c : cases) {
        for (const auto& [pszPath, bPresent] : {std::pair{kPluginX86, c.bX86}, std::pair{kPluginX64, c.bX64},
                                                std::pair{kAddinManifest, c.bAddin}}) {
            if (bPresent) {
                WriteMachineFile(pszPath);
            } else {
                RemoveMachineFile(pszPath);
            }
        }
        EXPECT_EQ(CWiFiSecurityBtn::IsWiFiSecurityPluginAvailable(), c.bAvailable) << c.pszName;
    }
}

TEST_F(WiFiSecurityBtnTest, TheSolvaneAddinHidesTheButtonWithoutAskingTheHost) {
    WriteMachineFile(kAddinManifest);
    StartContract();
    const CWiFiSecurityBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_NE(
        LogText().find(
            "[dont show WiFiSecurityBtn, because WiFiPlugin is not available, or WiFiAddIn is installed.]"),
        std::string::npos);
    EXPECT_TRUE(ReadMachineEvents("contract.GetWifiSecurityStatus").empty());
}

TEST_F(WiFiSecurityBtnTest, WithoutThePluginTheButtonIsHidden) {
    RemoveMachineFile(kPluginX64);
    StartContract();
    const CWiFiSecurityBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 0);
    EXPECT_NE(LogText().find("[dont show WiFiSecurityBtn"), std::string::npos);
}

TEST_F(WiFiSecurityBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    const CWiFiSecurityBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 0);

    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CWiFiSecurityBtn::SetWiFiStatus(&nState), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CWiFiSecurityBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CWiFiSecurityBtn::SetWiFiStatus]"),
              std::string::npos)
        << strLog;
}

TEST_F(WiFiSecurityBtnTest, WithThePermissionAClickSwitchesTheServiceOnTheHost) {
    StartContract();
    CWiFiSecurityBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOn, kOnPng, L"WiFi security on", L"WiFi security: On", kEnableOn},
                  {FeatureStateOff, kOffPng, L"WiFi security off", L"WiFi security: Off", kEnableOff}};
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
        EXPECT_TRUE(PumpUntil([&] { return SetCallStates() == setStates; }, kLongWait));
        EXPECT_EQ(HostFeatureState(), click.nState);
        EXPECT_EQ(FeatureEvents(), events);
    }
    EXPECT_NE(LogText().find("[SetWiFiStatus #2 nCurState=0, resonse:"), std::string::npos);
}

TEST_F(WiFiSecurityBtnTest, FastClicksLeaveTheHostInTheStateShown) {
    StartContract();
    CWiFiSecurityBtn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    // The first set call is held by the host when the second click comes.
    ASSERT_TRUE(PumpUntil(
        [this] { return LogText().find("[SetWiFiStatus #1 nCurState=1]") != std::string::npos; }, kLongWait));
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return SetCallStates().size() == 2; }, kLongWait));
    EXPECT_EQ(SetCallStates(), (std::vector<int>{FeatureStateOn, FeatureStateOff}));
    EXPECT_EQ(HostFeatureState(), FeatureStateOff);
}

TEST_F(WiFiSecurityBtnTest, WithoutThePermissionAClickOpensTheSolvanePageAndShowsOff) {
    SetHostFeature("--state on");
    DenyUserLocationConsent();
    StartContract();
    CWiFiSecurityBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nLocationPermission, 0);

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_nStatusIconID, kOffPng);
    EXPECT_EQ(button.m_strTip.Get(), CString(L"WiFi security: Off"));
    EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{kGoToPage});
    const std::vector<nlohmann::json> opened = ReadMachineEvents("shell.execute");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].value("file", ""), "corvex-solvane3:wifi-security");
    EXPECT_EQ(opened[0].value("show", 0), SW_SHOWMAXIMIZED);

    DestroyButton(); // waits for any worker the click might have started
    EXPECT_TRUE(SetCallStates().empty());
    EXPECT_EQ(HostFeatureState(), FeatureStateOn) << "the service is left as it is";
}

TEST_F(WiFiSecurityBtnTest, TheStatusTextsFollowTheStateThePermissionAndTheNarrator) {
    const struct {
        int nPermission;
        bool bNarrator;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {1, false, FeatureStateOff, L"WiFi security off", L"WiFi security: Off", kOffPng, FeatureStateOff},
        {1, true, FeatureStateOn, L"WiFi security on", L"WiFi security: On", kOnPng, FeatureStateOn},
        {1, false, FeatureStateDisabled, L"WiFi security DISABLED", L"WiFi security", kDisabledPng,
         FeatureStateDisabled},
        {1, true, 7, L"before", L"tip before", 0, 999},
        {0, false, FeatureStateOn, L"before", L"WiFi security: Off", kOffPng, FeatureStateOff},
        {0, true, FeatureStateOn, L"WiFi security DISABLED", L"WiFi security: DISABLED", kOffPng,
         FeatureStateOff},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.nPermission) + "/" + std::to_string(c.bNarrator) + "/" +
                                    std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CWiFiSecurityBtn button;
        button.m_nLocationPermission = c.nPermission;
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

// The privacy guard button: its reading of the host's capability and setting answers, its probe against
// the simulated host, its click, and its watch of the screen-privacy driver's registry value, which
// repaints it when another process switches the guard and ends with the button.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "features/PrivacyGuardBtn.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RecordedStates;
using features_test::RunMachineTool;

constexpr int kOnPng = 379;
constexpr int kOffPng = 380;
constexpr int kDisabledPng = 381;
const COLORREF kOnCircle = 0xFD814A;
constexpr auto kLongWait = std::chrono::seconds(60);
// A change made before the watcher has armed its notification is not reported, as on Windows: a test
// changes the value again after this long without seeing it.
constexpr auto kRetrySlice = std::chrono::milliseconds(100);

const wchar_t kShadeveilKey[] = L"SOFTWARE\\Corvex\\Shadeveil";
const wchar_t kShadeveil32Key[] = L"SOFTWARE\\Wow6432Node\\Corvex\\Shadeveil";

const FeatureEvent kGuardOn{"Features.Toolbar.Flipdecks.PrivacyGuard", "On", "Features.Toolbar.Flipdecks"};
const FeatureEvent kGuardOff{"Features.Toolbar.Flipdecks.PrivacyGuard", "Off", "Features.Toolbar.Flipdecks"};

// The driver's "State" as raw registry data in the key (literal path, 64-bit view); no type deletes it.
void WriteShadeveilValue(const wchar_t* pszKey, std::optional<DWORD> type,
                         const std::vector<BYTE>& data = {}) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    if (type) {
        EXPECT_EQ(RegSetValueExW(hKey, L"State", 0, *type, data.data(), static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    } else {
        RegDeleteValueW(hKey, L"State");
    }
    RegCloseKey(hKey);
}

std::vector<BYTE> DwordBytes(DWORD value) {
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(&value);
    return {pBytes, pBytes + sizeof(value)};
}

void WriteShadeveilState(DWORD value) {
    WriteShadeveilValue(kShadeveilKey, REG_DWORD, DwordBytes(value));
}

std::optional<DWORD> ShadeveilState() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShadeveilKey, 0, KEY_READ | KEY_WOW64_64KEY, &hKey) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(hKey, L"State", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

// Makes a change until the button shows what it should (the watcher may not be armed yet); writing the
// value again notifies the watcher, as on Windows.
bool ChangeUntilShown(const std::function<void()>& change, const std::function<bool()>& shown) {
    const auto deadline = std::chrono::steady_clock::now() + kLongWait;
    while (std::chrono::steady_clock::now() < deadline) {
        change();
        if (PumpUntil(shown, kRetrySlice)) {
            return true;
        }
    }
    return false;
}

TEST(PrivacyGuardBtnAnswer, ReadsBothFlagsOfItsListIgnoringTheCaseOfKeysAndTexts) {
    enum EList { Capability, Settings };
    const struct {
        const char* pszName;
        EList list;
        const char* pszAnswer; // null: a null answer
        bool bParsed;
        int nPrivacyGuard;
        int nOnPassword;
    } cases[] = {
        {"capabilities", Capability,
         "<?xml version=\"1.0\"?><CapabilityList><Capability key=\"PrivacyGuard\">True</Capability>"
         "<Capability key=\"PrivacyGuardOnPassword\">False</Capability></CapabilityList>",
         true, 1, 0},
        {"keys and texts in any case", Capability,
         "<CapabilityList><Capability key=\"privacyguard\">TRUE</Capability>"
         "<Capability key=\"PRIVACYGUARDONPASSWORD\">true</Capability></CapabilityList>",
         true, 1, 1},
        {"only the password key", Capability,
         "<CapabilityList><Capability key=\"PrivacyGuardOnPassword\">True</Capability></CapabilityList>",
         true, 0, 1},
        {"the last entry of a key counts", Settings,
         "<SettingList><Setting key=\"PrivacyGuard\">True</Setting><Setting "
         "key=\"PrivacyGuard\">False</Setting>"
         "</SettingList>",
         true, 0, 0},
        {"texts that are not True", Settings,
         "<SettingList><Setting key=\"PrivacyGuard\">Yes</Setting><Setting key=\"PrivacyGuardOnPassword\">1"
         "</Setting></SettingList>",
         true, 0, 0},
        {"an entry without text", Settings, "<SettingList><Setting key=\"PrivacyGuard\"/></SettingList>",
         true, 0, 0},
        {"settings inside Data", Settings,
         "<ContractResponse><Result>Success</Result><Data>&lt;SettingList&gt;&lt;Setting "
         "key=\"PrivacyGuard\"&gt;True&lt;/Setting&gt;&lt;/SettingList&gt;</Data></ContractResponse>",
         true, 1, 0},
        {"other entries, attributes and keys", Capability,
         "<CapabilityList><Setting key=\"PrivacyGuard\">True</Setting><Capability Key=\"PrivacyGuard\">True"
         "</Capability><Capability>True</Capability><Capability key=\"PrivacyGuards\">True</Capability>"
         "</CapabilityList>",
         false, 0, 0},
        {"the other list", Capability,
         "<SettingList><Setting key=\"PrivacyGuard\">True</Setting></SettingList>", false, 0, 0},
        {"empty list", Settings, "<Response><SettingList/></Response>", false, 0, 0},
        {"malformed", Capability, "<CapabilityList><Capability key=\"PrivacyGuard\">True</Capability>", false,
         0, 0},
        {"malformed Data", Settings, "<Response><Data>&lt;SettingList&gt;</Data></Response>", false, 0, 0},
        {"null", Capability, nullptr, false, 0, 0},
    };
    for (const auto& c : cases) {
        const ContractAnswer answer = c.pszAnswer ? ContractAnswer(c.pszAnswer) : ContractAnswer();
        int nPrivacyGuard = 7;
        int nOnPassword = 7;
        const bool bParsed =
            c.list == Capability
                ? CPrivacyGuardBtn::ParsePrivacyGuardCapability(answer, nPrivacyGuard, nOnPassword)
                : CPrivacyGuardBtn::ParsePrivacyGuardSettings(answer, nPrivacyGuard, nOnPassword);
        EXPECT_EQ(bParsed, c.bParsed) << c.pszName;
        EXPECT_EQ(nPrivacyGuard, c.nPrivacyGuard) << c.pszName;
        EXPECT_EQ(nOnPassword, c.nOnPassword) << c.pszName;
    }
}

// A machine with the log on, the host offering the guard, a parent window and the button as its child, in
// an apartment; the driver's key and the contract instance only when a test makes them. Without the key
// the watcher ends at once, so that nothing but the test changes the button.
class PrivacyGuardBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        RunMachineTool("feature PrivacyGuard --supported yes");
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
    // The screen-privacy driver, its guard off.
    static void InstallDriver() { WriteShadeveilState(FeatureStateOff); }

    CPrivacyGuardBtn& MakeButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, CPrivacyGuardBtn::IDC));
        return m_button;
    }
    // The button made, initialised and probed.
    CPrivacyGuardBtn& ProbedButton() {
        CPrivacyGuardBtn& button = MakeButton();
        EXPECT_TRUE(button.Init(&m_window));
        EXPECT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
        return button;
    }
    // Destroying the window ends the watcher and waits for the button's workers.
    void DestroyButton() {
        if (m_button.m_hWnd) {
            m_button.DestroyWindow();
        }
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    CPrivacyGuardBtn m_button;
};

// The workers of the process, as the layer counts them, are back to what they were.
bool WorkersBackTo(int nBefore) {
    return PumpUntil([nBefore] { return platform::LiveWorkerCount() <= nBefore; }, kLongWait);
}

// What the host holds and what the probe then makes of it.
struct ProbeCase {
    const char* pszName;
    const char* pszHostCommand;    // flipdeck-machine host ...; "" for a normal host
    const char* pszFeatureOptions; // flipdeck-machine feature PrivacyGuard ...
    int nSupport;
    int nStatus;
    int nIcon;
    const wchar_t* pszCaption;
    const char* pszLogLine;
    bool bWatching; // the watcher goes on after the probe
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class PrivacyGuardBtnProbeTest : public PrivacyGuardBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(PrivacyGuardBtnProbeTest, TakesSupportAndStateFromTheHostAndStopsWatchingWhatItDoesNotOffer) {
    const ProbeCase& c = GetParam();
    InstallDriver();
    if (*c.pszHostCommand) {
        RunMachineTool(std::string("host ") + c.pszHostCommand);
    }
    if (*c.pszFeatureOptions) {
        RunMachineTool(std::string("feature PrivacyGuard ") + c.pszFeatureOptions);
    }
    StartContract();
    const int nWorkersBefore = platform::LiveWorkerCount();
    CPrivacyGuardBtn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_NE(LogText().find(c.pszLogLine), std::string::npos) << LogText();
    if (c.bWatching) {
        EXPECT_TRUE(ChangeUntilShown([] { WriteShadeveilState(FeatureStateDisabled); },
                                     [&button] { return button.m_nStatusIconID == kDisabledPng; }));
    } else {
        EXPECT_TRUE(WorkersBackTo(nWorkersBefore)) << "the watcher ended";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrivacyGuardBtnProbeTest,
    testing::Values(ProbeCase{"OnDirect", "", "--state on --form direct", 1, FeatureStateOn, kOnPng,
                              L"Privacy guard on", "[GetPrivacyGuardStatus  resonse:<?xml", true},
                    ProbeCase{"OffInData", "", "--form data", 1, FeatureStateOff, kOffPng,
                              L"Privacy guard off", "[IsSupportPrivacyGuard  resonse:<?xml", true},
                    // A further entry in another case follows the host's own in both lists.
                    ProbeCase{"KeyInAnotherCase", "", "--answer privacyguard=TRUE", 1, FeatureStateOn, kOnPng,
                              L"Privacy guard on", "key=\"privacyguard\">TRUE<", true},
                    ProbeCase{"Unsupported", "", "--supported no --state on", 0, FeatureStateOff, 0, L"",
                              "<Capability key=\"PrivacyGuard\">False</Capability>", false},
                    ProbeCase{"CapabilityNotTrue", "", "--answer PrivacyGuard=Yes", 0, FeatureStateOff, 0,
                              L"", "[IsSupportPrivacyGuard  resonse:", false},
                    ProbeCase{"MalformedAnswer", "mode malformed", "--state on", 0, FeatureStateOff, 0, L"",
                              "[IsSupportPrivacyGuard  resonse:", false},
                    // No answer at all is no verdict on the feature: the watcher goes on.
                    ProbeCase{"FailingHost", "mode failing", "--state on", 0, FeatureStateOff, 0, L"",
                              "[IsSupportPrivacyGuard response is null]", true},
                    // Supported, but without a readable status: the state and its image stay as they were.
                    ProbeCase{"NoStatusAnswer", "answer GetPrivacyGuardStatus null", "--state on", 1,
                              FeatureStateOff, 0, L"", "[GetPrivacyGuardStatus response is null]", true},
                    ProbeCase{"StatusCallFails", "answer GetPrivacyGuardStatus error", "--state on", 1,
                              FeatureStateOff, 0, L"", "[GetPrivacyGuardStatus response is null]", true},
                    ProbeCase{"MalformedStatus", "answer GetPrivacyGuardStatus malformed", "--state on", 1,
                              FeatureStateOff, 0, L"", "[GetPrivacyGuardStatus  resonse:", true}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(PrivacyGuardBtnTest, WithoutAContractInstanceNothingIsShownOrSet) {
    const CPrivacyGuardBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, 0);

    std::atomic<int> nState = FeatureStateOn;
    EXPECT_EQ(CPrivacyGuardBtn::SetPrivacyGuard(&nState), static_cast<unsigned>(-1));
    const std::string strLog = LogText();
    EXPECT_NE(strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CPrivacyGuardBtn::DoJudgeSupportCallback]"),
              std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register "
                          "Pactbridge.dll][CPrivacyGuardBtn::SetPrivacyGuard]"),
              std::string::npos)
        << strLog;
}

TEST_F(PrivacyGuardBtnTest, AClickSwitchesTheGuardOnTheHostAndTheDriverFollows) {
    StartContract();
    CPrivacyGuardBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 1);
    ASSERT_EQ(button.m_nStatus, FeatureStateOff);

    const struct {
        int nState;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOn, kOnPng, L"Privacy guard on", L"Privacy guard: On", kGuardOn},
                  {FeatureStateOff, kOffPng, L"Privacy guard off", L"Privacy guard: Off", kGuardOff}};
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
        EXPECT_TRUE(
            PumpUntil([&] { return RecordedStates("contract.SetPrivacyGuard") == setStates; }, kLongWait));
        EXPECT_EQ(features_test::HostFeatureState("PrivacyGuard"), click.nState);
        EXPECT_EQ(ShadeveilState(), std::optional<DWORD>(click.nState));
        EXPECT_EQ(FeatureEvents(), events);
    }
    EXPECT_NE(LogText().find("[SetPrivacyGuard nCurState=0, resonse:<?xml"), std::string::npos);
}

TEST_F(PrivacyGuardBtnTest, FastClicksLeaveTheHostInTheStateTheLastClickAskedFor) {
    StartContract();
    CPrivacyGuardBtn& button = ProbedButton();
    RunMachineTool("host mode slow");
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    RunMachineTool("host mode normal");

    EXPECT_TRUE(PumpUntil([] { return RecordedStates("contract.SetPrivacyGuard").size() == 3; }, kLongWait));
    EXPECT_EQ(RecordedStates("contract.SetPrivacyGuard").back(), FeatureStateOn);
    EXPECT_EQ(features_test::HostFeatureState("PrivacyGuard"), FeatureStateOn);
    EXPECT_EQ(ShadeveilState(), std::optional<DWORD>(FeatureStateOn));
}

TEST_F(PrivacyGuardBtnTest, AnotherProcessSwitchingTheGuardRepaintsTheButton) {
    InstallDriver();
    StartContract();
    CPrivacyGuardBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatusIconID, kOffPng);

    EXPECT_TRUE(ChangeUntilShown(
        [] { RunMachineTool("reg set 'HKLM\\SOFTWARE\\Corvex\\Shadeveil' State REG_DWORD 1"); },
        [&button] { return button.m_nStatusIconID == kOnPng; }));
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Privacy guard on"));
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Privacy guard: On"));
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(controls_test::CClientPixels(button).Count(kOnCircle), 0) << "the on circle is painted";

    // The driver greys the guard: the button takes no click.
    EXPECT_TRUE(ChangeUntilShown(
        [] { RunMachineTool("reg set 'HKLM\\SOFTWARE\\Corvex\\Shadeveil' State REG_DWORD 2"); },
        [&button] { return button.m_nStatusIconID == kDisabledPng; }));
    EXPECT_EQ(button.m_bDisabled, 1);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Privacy guard DISABLED"));
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Privacy guard"));
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateDisabled);
    DestroyButton(); // waits for any worker the click might have started
    EXPECT_TRUE(RecordedStates("contract.SetPrivacyGuard").empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

// Read on the test's thread by a button without a watcher: each case starts from the guard shown on.
TEST_F(PrivacyGuardBtnTest, TheDriversValueIsItsFirstFourBytesAStateOrOffAndAnythingElseIsLeftOut) {
    using Bytes = std::vector<BYTE>;
    const struct {
        const char* pszName;
        std::function<void()> write;
        int nStatus;
        int nIcon;
    } cases[] = {
        {"off", [] { WriteShadeveilState(0); }, FeatureStateOff, kOffPng},
        {"on", [] { WriteShadeveilState(1); }, FeatureStateOn, kOnPng},
        {"disabled", [] { WriteShadeveilState(2); }, FeatureStateDisabled, kDisabledPng},
        {"no state", [] { WriteShadeveilState(3); }, FeatureStateOn, kOnPng},
        {"all bits", [] { WriteShadeveilState(0xFFFFFFFFu); }, FeatureStateOn, kOnPng},
        {"missing", [] { WriteShadeveilValue(kShadeveilKey, std::nullopt); }, FeatureStateOff, kOffPng},
        // The value is read as four bytes whatever its type: '1' and its end are 49, no state.
        {"text",
         [] {
             WriteShadeveilValue(kShadeveilKey, REG_SZ, Bytes{'1', 0, 0, 0});
         },
         FeatureStateOn, kOnPng},
        {"short off",
         [] {
             WriteShadeveilValue(kShadeveilKey, REG_BINARY, Bytes{0, 0});
         },
         FeatureStateOff, kOffPng},
        {"short disabled",
         [] {
             WriteShadeveilValue(kShadeveilKey, REG_DWORD, Bytes{2, 0});
         },
         FeatureStateDisabled, kDisabledPng},
        {"long",
         [] {
             WriteShadeveilValue(kShadeveilKey, REG_DWORD, Bytes{1, 0, 0, 0, 0, 0, 0, 0});
         },
         FeatureStateOff, kOffPng},
        // The program's own 32-bit view first, where a copy of the key is there.
        {"32-bit copy",
         [] {
             WriteShadeveilState(0);
             WriteShadeveilValue(kShadeveil32Key, REG_DWORD, DwordBytes(2));
         },
         FeatureStateDisabled, kDisabledPng},
        {"no key",
         [] {
             RegDeleteTreeW(HKEY_LOCAL_MACHINE, kShadeveil32Key);
             HKEY hCorvex = nullptr;
             ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex", 0,
                                     KEY_ALL_ACCESS | KEY_WOW64_64KEY, &hCorvex),
                       ERROR_SUCCESS);
             RegDeleteTreeW(hCorvex, L"Shadeveil");
             RegCloseKey(hCorvex);
         },
         FeatureStateOn, kOnPng},
    };
    CPrivacyGuardBtn button;
    for (const auto& c : cases) {
        button.m_nStatus = FeatureStateOn;
        button.SetButtonStatusIcon(FeatureStateOn);
        c.write();
        button.ReadShadeveilState();
        EXPECT_EQ(button.m_nStatus, c.nStatus) << c.pszName;
        EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << c.pszName;
    }
}

TEST_F(PrivacyGuardBtnTest, DestroyingTheWindowEndsTheWatcher) {
    InstallDriver();
    StartContract();
    const int nWorkersBefore = platform::LiveWorkerCount();
    CPrivacyGuardBtn& button = ProbedButton();
    ASSERT_TRUE(ChangeUntilShown([] { WriteShadeveilState(FeatureStateOn); },
                                 [&button] { return button.m_nStatus == FeatureStateOn; }));
    DestroyButton();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
}

// Under the sanitizers a watcher left behind would use the freed button at the next change.
TEST_F(PrivacyGuardBtnTest, AButtonDeletedWithoutAWindowEndsItsWatcherFirst) {
    InstallDriver();
    StartContract();
    const int nWorkersBefore = platform::LiveWorkerCount();
    auto pButton = std::make_unique<CPrivacyGuardBtn>();
    ASSERT_TRUE(pButton->Init(nullptr));
    ASSERT_TRUE(PumpUntil([&pButton] { return pButton->m_bInited == 1; }, kLongWait));
    ASSERT_TRUE(ChangeUntilShown([] { WriteShadeveilState(FeatureStateOn); },
                                 [&pButton] { return pButton->m_nStatus == FeatureStateOn; }));
    pButton.reset();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
    WriteShadeveilState(FeatureStateOff);
}

TEST_F(PrivacyGuardBtnTest, TheStatusTextsFollowTheState) {
    const struct {
        bool bNarrator;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {false, FeatureStateOff, L"Privacy guard off", L"Privacy guard: Off", kOffPng, FeatureStateOff},
        {true, FeatureStateOn, L"Privacy guard on", L"Privacy guard: On", kOnPng, FeatureStateOn},
        {true, FeatureStateDisabled, L"Privacy guard DISABLED", L"Privacy guard", kDisabledPng,
         FeatureStateDisabled},
        {true, 7, L"before", L"tip before", 0, 999},
        {false, -1, L"before", L"tip before", 0, 999},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNarrator) + "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CPrivacyGuardBtn button;
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

// The microphone button: Windows' microphone consents, its probe of the machine's capture endpoint on
// the probe worker, its click that mutes the endpoint itself, its watch of the on-screen display's mute
// value (which a mute by flipdeck-machine reaches), the fresh probe after F4, and its status texts.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "features/MicrophoneBtn.h"
#include "platform/audio/Microphone.h"
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
using features_test::RunMachineTool;
using testing_support::ReadMachineEvents;

constexpr int kOnPng = 385;
constexpr int kOffPng = 386;
constexpr int kDisabledPng = 387;
constexpr auto kLongWait = std::chrono::seconds(60);
// A change made before the watcher has armed its notification is not reported, as on Windows: a test
// changes the value again after this long without seeing it.
constexpr auto kRetrySlice = std::chrono::milliseconds(100);

const wchar_t kOnScreenDisplayKey[] = L"SOFTWARE\\Corvex\\OnScreenDisplay";

const FeatureEvent kMicOn{"Features.Toolbar.Flipdecks.Micphone", "On", "Features.Toolbar.Flipdecks"};
const FeatureEvent kMicOff{"Features.Toolbar.Flipdecks.Micphone", "Off", "Features.Toolbar.Flipdecks"};

// The four consent keys in the order the button reads them (literal paths, 64-bit view).
const struct {
    HKEY hRoot;
    const wchar_t* pszPath;
} kConsents[] = {
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\microphone"},
    {HKEY_CURRENT_USER,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\microphone"},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
                        L"\\microphone\\A7C30B21.CorvexConsort_q7m3ztv8250n4"},
    {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore"
                        L"\\microphone\\NonPackaged"},
};
const wchar_t kConsent32Key[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
                                L"CapabilityAccessManager\\ConsentStore\\microphone";

// A REG_SZ "Value" in the key; null deletes it.
void WriteConsentValue(HKEY hRoot, const wchar_t* pszPath, const wchar_t* pszValue) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(hRoot, pszPath, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &hKey,
                              nullptr),
              ERROR_SUCCESS);
    if (pszValue) {
        const std::wstring strValue = pszValue;
        RegSetValueExW(hKey, L"Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(strValue.c_str()),
                       static_cast<DWORD>((strValue.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(hKey, L"Value");
    }
    RegCloseKey(hKey);
}

// The on-screen display's "MicrophoneMuteState" as raw registry data (64-bit view); no type deletes it.
void WriteMuteValue(std::optional<DWORD> type, const std::vector<BYTE>& data = {}) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kOnScreenDisplayKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    if (type) {
        EXPECT_EQ(RegSetValueExW(hKey, L"MicrophoneMuteState", 0, *type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    } else {
        RegDeleteValueW(hKey, L"MicrophoneMuteState");
    }
    RegCloseKey(hKey);
}

std::vector<BYTE> DwordBytes(DWORD value) {
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(&value);
    return {pBytes, pBytes + sizeof(value)};
}

void WriteMuteState(DWORD value) {
    WriteMuteValue(REG_DWORD, DwordBytes(value));
}

void RemoveOnScreenDisplay() {
    RunMachineTool("reg delete 'HKLM\\SOFTWARE\\Corvex\\OnScreenDisplay'");
}

bool MicrophoneMuted() {
    return platform::audio::CurrentMicrophone().muted;
}

// The "mute" of each audio.mute record.
std::vector<bool> MuteCalls() {
    std::vector<bool> mutes;
    for (const nlohmann::json& record : ReadMachineEvents("audio.mute")) {
        mutes.push_back(record.value("mute", false));
    }
    return mutes;
}

// Makes a change until the button shows what it should (the watcher may not be armed yet).
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

// The workers of the process, as the layer counts them, are back to what they were.
bool WorkersBackTo(int nBefore) {
    return PumpUntil([nBefore] { return platform::LiveWorkerCount() <= nBefore; }, kLongWait);
}

TEST(MicrophoneAccess, AnyConsentSetToSomethingButAllowDeniesAccess) {
    const testing_support::CTestMachine machine;
    const struct {
        const char* pszName;
        const wchar_t* pszValues[4]; // null: no value
        bool bAllowed;
    } cases[] = {
        {"the profile's", {L"Allow", L"Allow", L"Allow", L"Allow"}, true},
        {"none set", {nullptr, nullptr, nullptr, nullptr}, true},
        {"any case", {L"ALLOW", L"allow", L"aLLoW", nullptr}, true},
        {"empty texts are skipped", {L"", L"", L"Allow", L""}, true},
        {"the user denies", {L"Allow", L"Deny", L"Allow", L"Allow"}, false},
        {"the device denies", {L"Deny", L"Allow", L"Allow", L"Allow"}, false},
        {"the Solvane app is denied", {nullptr, nullptr, L"Deny", nullptr}, false},
        {"desktop apps are asked", {L"Allow", L"Allow", L"Allow", L"Prompt"}, false},
        {"a longer text", {L"Allowed", nullptr, nullptr, nullptr}, false},
    };
    for (const auto& c : cases) {
        for (size_t i = 0; i < std::size(kConsents); ++i) {
            WriteConsentValue(kConsents[i].hRoot, kConsents[i].pszPath, c.pszValues[i]);
        }
        EXPECT_EQ(IsMicrophoneAccessAllowed(), c.bAllowed) << c.pszName;
    }

    // Without the device's key in the 64-bit view, the program's own view holds it.
    for (const auto& consent : kConsents) {
        WriteConsentValue(consent.hRoot, consent.pszPath, nullptr);
    }
    HKEY hStore = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore",
                      0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &hStore),
        ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(hStore, L"microphone"), ERROR_SUCCESS);
    RegCloseKey(hStore);
    WriteConsentValue(HKEY_LOCAL_MACHINE, kConsent32Key, L"Deny");
    EXPECT_FALSE(IsMicrophoneAccessAllowed());
}

// A machine with a live microphone, a parent window and the button as its child, in an apartment.
class MicrophoneBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        CControlWindowTest::TearDown();
    }

    // The host's contract instance, through which the telemetry goes.
    static void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    CMicrophoneBtn& MakeButton() {
        CWnd& parent = MakeParent();
        EXPECT_TRUE(m_button.Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                    RECT{20, 10, 68, 58}, &parent, CMicrophoneBtn::IDC));
        return m_button;
    }
    // The button made, initialised and probed (on the probe worker).
    CMicrophoneBtn& ProbedButton() {
        CMicrophoneBtn& button = MakeButton();
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

    CMicrophoneBtn m_button;
};

struct ProbeCase {
    const char* pszName;
    const char* pszTool; // flipdeck-machine ..., "" none
    int nSupport;
    int nStatus;
    int nIcon;
    const wchar_t* pszCaption;
    const wchar_t* pszTip;
    int nNoMicAccess;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class MicrophoneBtnProbeTest : public MicrophoneBtnTest, public testing::WithParamInterface<ProbeCase> {};

TEST_P(MicrophoneBtnProbeTest, TakesStateAndSupportFromTheCaptureEndpointAndAccessFromTheConsents) {
    const ProbeCase& c = GetParam();
    if (*c.pszTool) {
        RunMachineTool(c.pszTool);
    }
    const CMicrophoneBtn& button = ProbedButton();
    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nStatus, c.nStatus);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_bDisabled, c.nIcon == kDisabledPng ? 1 : 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip));
    EXPECT_EQ(button.m_bNoMicAccess, c.nNoMicAccess);
    EXPECT_TRUE(MuteCalls().empty()) << "a probe only reads";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MicrophoneBtnProbeTest,
    testing::Values(
        ProbeCase{"Live", "", 1, FeatureStateOn, kOnPng, L"Microphone on", L"Microphone: On", 0},
        ProbeCase{"Muted", "audio mute on", 1, FeatureStateOff, kOffPng, L"Microphone off",
                  L"Microphone: Off", 0},
        ProbeCase{"NoMicrophone", "audio microphone absent", 0, FeatureStateOff, kDisabledPng, L"",
                  L"Microphone: Off", 0},
        ProbeCase{"NoCoreAudio",
                  "reg delete "
                  "'HKLM\\SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{BCDE0395-E52F-467C-8E3D-C4579291692E}'",
                  0, FeatureStateOff, kDisabledPng, L"", L"Microphone: Off", 0},
        // Shown off whatever the endpoint's state, which the button keeps.
        ProbeCase{"AccessDenied",
                  "reg set 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\"
                  "ConsentStore\\microphone' Value REG_SZ Deny",
                  1, FeatureStateOn, kOffPng, L"", L"Microphone: Off", 1}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(MicrophoneBtnTest, AClickMutesOrUnmutesTheEndpointAtOnce) {
    StartContract();
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOn);

    const struct {
        int nState;
        bool bMuted;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        FeatureEvent event;
    } clicks[] = {{FeatureStateOff, true, kOffPng, L"Microphone off", L"Microphone: Off", kMicOff},
                  {FeatureStateOn, false, kOnPng, L"Microphone on", L"Microphone: On", kMicOn}};
    std::vector<bool> mutes;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nStatus, click.nState);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption));
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        EXPECT_EQ(MicrophoneMuted(), click.bMuted) << "set before the click returns";
        mutes.push_back(click.bMuted);
        events.push_back(click.event);
        EXPECT_EQ(MuteCalls(), mutes);
        EXPECT_EQ(FeatureEvents(), events);
    }
}

TEST_F(MicrophoneBtnTest, WithoutAccessAClickOpensTheSolvaneAudioPageOnly) {
    RunMachineTool("reg set 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\"
                   "ConsentStore\\microphone\\NonPackaged' Value REG_SZ Deny");
    StartContract();
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_bNoMicAccess, 1);

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kOffPng);
    const std::vector<nlohmann::json> opened = ReadMachineEvents("shell.execute");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].value("file", ""), "corvex-solvane3:audio");
    EXPECT_EQ(opened[0].value("show", 0), SW_SHOWMAXIMIZED);
    EXPECT_FALSE(MicrophoneMuted());
    EXPECT_TRUE(MuteCalls().empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

TEST_F(MicrophoneBtnTest, AMuteTheEndpointDidNotTakeIsNeitherShownNorReported) {
    StartContract();
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOn);
    RunMachineTool("audio microphone absent");

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
    EXPECT_EQ(button.m_nStatusIconID, kOnPng);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Microphone on"));
    EXPECT_TRUE(MuteCalls().empty());
    EXPECT_TRUE(FeatureEvents().empty());
}

TEST_F(MicrophoneBtnTest, TheMicrophoneKeysValueSwitchesTheImageWithoutTouchingTheEndpoint) {
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatusIconID, kOnPng);

    EXPECT_TRUE(
        ChangeUntilShown([] { WriteMuteState(1); }, [&button] { return button.m_nStatusIconID == kOffPng; }));
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Microphone off"));
    EXPECT_FALSE(MicrophoneMuted());
    EXPECT_TRUE(MuteCalls().empty());

    EXPECT_TRUE(
        ChangeUntilShown([] { WriteMuteState(0); }, [&button] { return button.m_nStatusIconID == kOnPng; }));
    EXPECT_EQ(button.m_nStatus, FeatureStateOn);
}

TEST_F(MicrophoneBtnTest, AMuteByTheMachineToolReachesTheButtonThroughTheOnScreenDisplay) {
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOn);

    EXPECT_TRUE(ChangeUntilShown(
        [] {
            RunMachineTool("audio mute off");
            RunMachineTool("audio mute on");
        },
        [&button] { return button.m_nStatusIconID == kOffPng; }));
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Microphone: Off"));
    ASSERT_TRUE(Painted(button));
    EXPECT_TRUE(MuteCalls().empty()) << "the program set nothing";
}

// Read on the test's thread by a button without a watcher: each case starts from its own state.
TEST_F(MicrophoneBtnTest, NonzeroFirstFourBytesAreMutedAndAnythingElseLive) {
    using Bytes = std::vector<BYTE>;
    const struct {
        const char* pszName;
        std::function<void()> write;
        int nStart;
        int nStatus;
    } cases[] = {
        {"muted", [] { WriteMuteState(1); }, FeatureStateOn, FeatureStateOff},
        {"all bits", [] { WriteMuteState(0xFFFFFFFFu); }, FeatureStateOn, FeatureStateOff},
        {"live", [] { WriteMuteState(0); }, FeatureStateOff, FeatureStateOn},
        {"missing", [] { WriteMuteValue(std::nullopt); }, FeatureStateOff, FeatureStateOn},
        // The value is read as four bytes whatever its type.
        {"text",
         [] {
             WriteMuteValue(REG_SZ, Bytes{'1', 0, 0, 0});
         },
         FeatureStateOn, FeatureStateOff},
        {"short",
         [] {
             WriteMuteValue(REG_DWORD, Bytes{1, 0});
         },
         FeatureStateOn, FeatureStateOff},
        {"short zero",
         [] {
             WriteMuteValue(REG_BINARY, Bytes{0, 0});
         },
         FeatureStateOff, FeatureStateOn},
        {"long",
         [] {
             WriteMuteValue(REG_BINARY, Bytes{1, 0, 0, 0, 0, 0, 0, 0});
         },
         FeatureStateOff, FeatureStateOn},
        {"no key", [] { RemoveOnScreenDisplay(); }, FeatureStateOff, FeatureStateOff},
    };
    CMicrophoneBtn button;
    button.m_nSupport = 1;
    for (const auto& c : cases) {
        button.m_nStatus = c.nStart;
        button.SetButtonStatusIcon(c.nStart);
        c.write();
        button.ReadMicrophoneMuteState();
        EXPECT_EQ(button.m_nStatus, c.nStatus) << c.pszName;
        EXPECT_EQ(button.m_nStatusIconID, c.nStatus == FeatureStateOn ? kOnPng : kOffPng) << c.pszName;
    }
}

// Without the on-screen display nothing follows the endpoint: only a probe reads it again.
TEST_F(MicrophoneBtnTest, AnF4KeyDownStartsAFreshProbeAndEveryMessageReachesTheBase) {
    RemoveOnScreenDisplay();
    const int nWorkersBefore = platform::LiveWorkerCount();
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_EQ(button.m_nStatus, FeatureStateOn);
    ASSERT_TRUE(WorkersBackTo(nWorkersBefore)) << "no watcher without the key";

    const struct {
        UINT message;
        WPARAM key;
        const char* pszMute; // audio mute ... before the message
        BOOL bMouseBefore;
        BOOL bMouseAfter; // the base's mouse-or-keyboard flag
        int nStatus;      // once the workers are done
    } keys[] = {
        {WM_KEYUP, VK_F4, "on", TRUE, TRUE, FeatureStateOn},
        {WM_KEYDOWN, VK_F1, "on", TRUE, FALSE, FeatureStateOn},
        {WM_KEYDOWN, VK_F4, "on", TRUE, FALSE, FeatureStateOff},
        {WM_SYSKEYDOWN, VK_F4, "off", TRUE, FALSE, FeatureStateOn},
        {WM_LBUTTONDOWN, VK_F4, "on", FALSE, TRUE, FeatureStateOn},
    };
    for (const auto& key : keys) {
        RunMachineTool(std::string("audio mute ") + key.pszMute);
        button.m_bMouseInput = key.bMouseBefore;
        MSG msg{button.m_hWnd, key.message, key.key, 0, 0, {0, 0}};
        button.PreTranslateMessage(&msg);
        EXPECT_EQ(button.m_bMouseInput, key.bMouseAfter) << key.message;
        EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
        EXPECT_EQ(button.m_nStatus, key.nStatus) << key.message << "/" << key.key;
    }

    // The probe at once on this thread, whose apartment it keeps.
    button.RefreshNow();
    EXPECT_EQ(button.m_nStatus, FeatureStateOff);
    EXPECT_EQ(button.m_nStatusIconID, kOffPng);
}

TEST_F(MicrophoneBtnTest, DestroyingTheWindowEndsTheWatcher) {
    const int nWorkersBefore = platform::LiveWorkerCount();
    CMicrophoneBtn& button = ProbedButton();
    ASSERT_TRUE(ChangeUntilShown([] { WriteMuteState(1); },
                                 [&button] { return button.m_nStatus == FeatureStateOff; }));
    DestroyButton();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
}

// Under the sanitizers a watcher left behind would use the freed button at the next change.
TEST_F(MicrophoneBtnTest, AButtonDeletedWithoutAWindowEndsItsWatcherFirst) {
    const int nWorkersBefore = platform::LiveWorkerCount();
    auto pButton = std::make_unique<CMicrophoneBtn>();
    ASSERT_TRUE(pButton->Init(nullptr));
    ASSERT_TRUE(PumpUntil([&pButton] { return pButton->m_bInited == 1; }, kLongWait));
    ASSERT_TRUE(ChangeUntilShown([] { WriteMuteState(1); },
                                 [&pButton] { return pButton->m_nStatus == FeatureStateOff; }));
    pButton.reset();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
    WriteMuteState(0);
}

TEST_F(MicrophoneBtnTest, TheStatusTextsFollowTheStateTheSupportTheAccessAndTheNarrator) {
    const struct {
        BYTE bNoAccess;
        bool bNarrator;
        int nSupport;
        int nState;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
        int nStateType;
    } cases[] = {
        {0, false, 1, FeatureStateOff, L"Microphone off", L"Microphone: Off", kOffPng, FeatureStateOff},
        {0, true, 1, FeatureStateOn, L"Microphone on", L"Microphone: On", kOnPng, FeatureStateOn},
        {0, false, 1, FeatureStateDisabled, L"Microphone DISABLED", L"Microphone", kDisabledPng,
         FeatureStateDisabled},
        {0, true, 1, 7, L"before", L"tip before", 0, 999},
        // Only a support of exactly 1 shows a state.
        {0, true, 2, FeatureStateOn, L"before", L"tip before", 0, 999},
        {0, false, 0, FeatureStateOn, L"before", L"tip before", 0, 999},
        // Denied access shows off whatever the state and support.
        {1, false, 1, FeatureStateOn, L"before", L"Microphone: Off", kOffPng, FeatureStateOff},
        {1, true, 0, FeatureStateDisabled, L"Microphone DISABLED", L"Microphone: DISABLED", kOffPng,
         FeatureStateOff},
    };
    for (const auto& c : cases) {
        const std::string strCase = std::to_string(c.bNoAccess) + "/" + std::to_string(c.bNarrator) + "/" +
                                    std::to_string(c.nSupport) + "/" + std::to_string(c.nState);
        g_bNarrator = c.bNarrator;
        CMicrophoneBtn button;
        button.m_bNoMicAccess = c.bNoAccess;
        button.m_nSupport = c.nSupport;
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

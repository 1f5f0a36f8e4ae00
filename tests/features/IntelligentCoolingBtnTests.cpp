// The intelligent cooling button: the version and mode it reads from the thermal service's values, its
// support on the machine, its clicks that send the next mode to the service as a control code with their
// telemetry, its watch of the service's values, which repaints it when the mode changes elsewhere, and
// the toolbar's time stamps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "features/IxorIntelligentCoolingBtn.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/threads.h"
#include "services/ContractClient.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using Btn = CIxorIntelligentCoolingBtn;

constexpr int kIntelligentPng = 392;
constexpr int kPerformancePng = 382;
constexpr int kCoolQuietPng = 397;
constexpr int kBatterySavingPng = 403;
constexpr int kModeStateType = 3;
constexpr auto kLongWait = std::chrono::seconds(60);
// A change made before the watcher has armed its notification is not reported, as on Windows.
constexpr auto kRetrySlice = std::chrono::milliseconds(100);

const wchar_t kIcKey[] = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC";
const wchar_t kMmcKey[] = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC\\MMC";
const char kPage[] = "Features.Toolbar.Flipdecks";
const char kEvent3[] = "Features.Toolbar.Flipdecks.IntelligentCooling30ForIxorpad";
const char kEvent4[] = "Features.Toolbar.Flipdecks.IntelligentCooling40ForIxorpad";

// A value of one of the service's keys as raw registry data (64-bit view); no type deletes it.
void WriteValue(const wchar_t* pszKey, const wchar_t* pszName, std::optional<DWORD> type,
                const std::vector<BYTE>& data = {}) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    if (type) {
        EXPECT_EQ(RegSetValueExW(hKey, pszName, 0, *type, data.data(), static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    } else {
        RegDeleteValueW(hKey, pszName);
    }
    RegCloseKey(hKey);
}

std::vector<BYTE> DwordBytes(DWORD value) {
    const BYTE* pBytes = reinterpret_cast<const BYTE*>(&value);
    return {pBytes, pBytes + sizeof(value)};
}

void WriteDword(const wchar_t* pszKey, const wchar_t* pszName, DWORD value) {
    WriteValue(pszKey, pszName, REG_DWORD, DwordBytes(value));
}

void WriteStatus(DWORD dwCapability, DWORD dwCurrentSetting, DWORD dwAutomaticModeSetting) {
    WriteDword(kMmcKey, L"Capability", dwCapability);
    WriteDword(kMmcKey, L"CurrentSetting", dwCurrentSetting);
    WriteDword(kMmcKey, L"AutomaticModeSetting", dwAutomaticModeSetting);
}

std::optional<ULONGLONG> QueryValue(HKEY hRoot, const wchar_t* pszKey, const wchar_t* pszName,
                                    DWORD dwWantedType) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(hRoot, pszKey, 0, KEY_READ | KEY_WOW64_64KEY, &hKey) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD dwType = REG_NONE;
    ULONGLONG nValue = 0;
    DWORD cbValue = sizeof(nValue);
    const LSTATUS status =
        RegQueryValueExW(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&nValue), &cbValue);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS && dwType == dwWantedType ? std::optional(nValue) : std::nullopt;
}

// The service's "CurrentSetting" and "AutomaticModeSetting".
std::pair<std::optional<ULONGLONG>, std::optional<ULONGLONG>> ServiceSettings() {
    return {QueryValue(HKEY_LOCAL_MACHINE, kMmcKey, L"CurrentSetting", REG_DWORD),
            QueryValue(HKEY_LOCAL_MACHINE, kMmcKey, L"AutomaticModeSetting", REG_DWORD)};
}

std::optional<ULONGLONG> ToolbarTime(const wchar_t* pszName) {
    return QueryValue(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise", pszName, REG_QWORD);
}

// The control codes the thermal service received, in order.
std::vector<int> ServiceControls() {
    std::vector<int> codes;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents("service.control")) {
        EXPECT_EQ(record.value("service", ""), "QRMDSVC");
        codes.push_back(record.value("control", -1));
    }
    return codes;
}

// One fact of the current machine (null removes it).
void SetFact(const std::string& strPointer, const nlohmann::json& value) {
    testing_support::SetMachineFact(platform::MachineFolder(), strPointer, value);
}

void SetServiceFact(const nlohmann::json& service) {
    SetFact("/services/QRMDSVC", service);
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

bool WorkersBackTo(int nBefore) {
    return PumpUntil([nBefore] { return platform::LiveWorkerCount() <= nBefore; }, kLongWait);
}

TEST(IntelligentCoolingBtnValues, TheVersionValueGivesTheThermalSolution) {
    const struct {
        DWORD dwValue;
        int nVersion;
    } cases[] = {{0, 0},      {0x3FFF, 0}, {0x4000, 3}, {0x4FFF, 3},     {0x5000, 4},
                 {0x5FFF, 4}, {0x6000, 5}, {0x6001, 5}, {0xFFFFFFFFu, 5}};
    for (const auto& c : cases) {
        EXPECT_EQ(Btn::VersionOfValue(c.dwValue), c.nVersion) << std::hex << c.dwValue;
    }
}

TEST(IntelligentCoolingBtnValues, TheServicesValuesStandForAModeOrForNone) {
    const struct {
        DWORD dwCapability;
        DWORD dwCurrentSetting;
        DWORD dwAutomaticModeSetting;
        int nMode; // 0: the shown mode stays
    } cases[] = {
        {0xA, 3, 2, Btn::ModeIntelligent},
        {0x0, 0, 2, Btn::ModeIntelligent},
        {0x2, 1, 1, Btn::ModeCoolQuiet},
        {0xA, 1, 1, Btn::ModeCoolQuiet},
        {0x8, 3, 1, Btn::ModePerformance},
        {0xA, 3, 1, Btn::ModePerformance},
        {0x8, 1, 1, 0},
        {0x2, 3, 1, 0},
        {0x1, 1, 1, 0},
        {0x0, 1, 1, Btn::ModeCoolQuiet},
        {0x0, 3, 1, Btn::ModePerformance},
        {0x0, 7, 1, Btn::ModePerformance},
        {0xA, 1, 0, 0},
        {0xA, 1, 3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Btn::ModeOfStatus(c.dwCapability, c.dwCurrentSetting, c.dwAutomaticModeSetting), c.nMode)
            << c.dwCapability << "/" << c.dwCurrentSetting << "/" << c.dwAutomaticModeSetting;
    }
}

TEST(IntelligentCoolingBtnValues, AClickCyclesTheModesOfItsSolutionOrSwitchesIntelligentCoolingOnAndOff) {
    const struct {
        int nVersion;
        int nMode;
        DWORD dwCapability;
        DWORD dwAutomaticModeSetting;
        int nNext;
        const wchar_t* pszValue;
    } cases[] = {
        {3, Btn::ModeIntelligent, 0xA, 2, Btn::ModePerformance, L"Performance"},
        {3, Btn::ModePerformance, 0xA, 1, Btn::ModeCoolQuiet, L"Cool_Quiet"},
        {3, Btn::ModeCoolQuiet, 0xA, 1, Btn::ModeIntelligent, L"Intelligent_Cooling"},
        {3, 0, 0x0, 1, Btn::ModeIntelligent, L"Intelligent_Cooling"},
        {4, Btn::ModeIntelligent, 0xA, 2, Btn::ModeCoolQuiet, L"Battery_Saving"},
        {4, Btn::ModeCoolQuiet, 0xA, 1, Btn::ModePerformance, L"Extreme_Performance"},
        {5, Btn::ModePerformance, 0xF, 1, Btn::ModeIntelligent, L"Intelligent_Cooling"},
        {5, 0, 0x0, 1, Btn::ModeIntelligent, L"Intelligent_Cooling"},
        // Without one of the two fixed modes only on and off, whatever the mode shown and the version.
        {3, Btn::ModeIntelligent, 0x2, 2, Btn::ModePerformance, L"Off"},
        {3, Btn::ModePerformance, 0x2, 1, Btn::ModeIntelligent, L"On"},
        {4, Btn::ModeCoolQuiet, 0x8, 2, Btn::ModePerformance, L"Off"},
        {5, Btn::ModeIntelligent, 0x1, 1, Btn::ModeIntelligent, L"On"},
    };
    for (const auto& c : cases) {
        const Btn::ModeChoice next =
            Btn::NextModeOfClick(c.nVersion, c.nMode, c.dwCapability, c.dwAutomaticModeSetting);
        EXPECT_EQ(next.nCode, c.nNext) << c.nVersion << "/" << c.nMode << "/" << c.dwCapability;
        EXPECT_STREQ(next.pszValue, c.pszValue) << c.nVersion << "/" << c.nMode << "/" << c.dwCapability;
    }
}

// A machine with the log on and the consumer notebook's thermal solution (version 4, intelligent mode),
// a parent window and the button as its child, in an apartment; the contract instance, which carries the
// telemetry, only when a test makes it.
class IntelligentCoolingBtnTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        features_test::StartMachineLog(m_machine);
        g_bIntelligentCoolingActive = false;
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_bIntelligentCoolingActive = false;
        CControlWindowTest::TearDown();
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
    // The button made, initialised and, when supported, probed.
    Btn& ProbedButton() {
        Btn& button = MakeButton();
        EXPECT_TRUE(button.Init(&m_window));
        if (button.m_nSupport > 0) {
            EXPECT_TRUE(PumpUntil([&button] { return button.m_bInited == 1; }, kLongWait));
        }
        return button;
    }
    // The click's set worker has sent its mode.
    bool SetDone(const Btn& button) {
        return PumpUntil([&button] { return !button.m_bBusy; }, kLongWait);
    }
    // Destroying the window ends the watcher and waits for the button's workers.
    void DestroyButton() {
        if (m_button.m_hWnd) {
            m_button.DestroyWindow();
        }
    }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    Btn m_button;
};

struct ProbeCase {
    const char* pszName;
    std::function<void()> change;
    int nSupport;
    int nMode;
    int nIcon;
    const wchar_t* pszCaption;
};

void PrintTo(const ProbeCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class IntelligentCoolingBtnProbeTest : public IntelligentCoolingBtnTest,
                                       public testing::WithParamInterface<ProbeCase> {};

TEST_P(IntelligentCoolingBtnProbeTest, TakesTheSolutionAndItsModeFromTheServiceAndItsDriver) {
    const ProbeCase& c = GetParam();
    c.change();
    StartContract();
    const int nWorkersBefore = platform::LiveWorkerCount();
    const std::time_t before = std::time(nullptr);
    Btn& button = ProbedButton();

    EXPECT_EQ(button.m_nSupport, c.nSupport);
    EXPECT_EQ(button.m_nMode, c.nMode);
    EXPECT_EQ(button.m_nStatusIconID, c.nIcon);
    EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption));
    EXPECT_EQ(g_bIntelligentCoolingActive.load(), c.nSupport > 0);
    const std::optional<ULONGLONG> initTime = ToolbarTime(L"IxorRMDToolbarInitTime");
    if (c.nSupport > 0) {
        ASSERT_TRUE(initTime.has_value());
        EXPECT_GE(*initTime, static_cast<ULONGLONG>(before));
        EXPECT_LE(*initTime, static_cast<ULONGLONG>(std::time(nullptr)));
        EXPECT_EQ(button.m_nStateIconType, c.nMode ? kModeStateType : 999);
        return;
    }
    // Nothing is loaded or started, and no click is taken.
    EXPECT_FALSE(initTime.has_value());
    ASSERT_TRUE(button.m_pImages[0]);
    EXPECT_EQ(button.m_pImages[0]->nPngId, 0);
    EXPECT_FALSE(button.m_pImages[0]->pBitmap);
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nMode, 0);
    EXPECT_TRUE(FeatureEvents().empty());
    EXPECT_TRUE(ServiceControls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntelligentCoolingBtnProbeTest,
    testing::Values(
        ProbeCase{"Version4Intelligent", [] {}, 4, Btn::ModeIntelligent, kIntelligentPng,
                  L"Intelligent cooling mode on"},
        ProbeCase{"Version3Performance",
                  [] {
                      WriteDword(kIcKey, L"Version", 0x4FFF);
                      WriteStatus(0xA, 3, 1);
                  },
                  3, Btn::ModePerformance, kPerformancePng, L"Performance mode on"},
        ProbeCase{"Version3CoolQuiet",
                  [] {
                      WriteDword(kIcKey, L"Version", 0x4000);
                      WriteStatus(0x2, 1, 1);
                  },
                  3, Btn::ModeCoolQuiet, kCoolQuietPng, L"Cool &&& quiet mode on"},
        ProbeCase{"Version5BatterySaving",
                  [] {
                      WriteDword(kIcKey, L"Version", 0x6000);
                      WriteStatus(0xA, 1, 1);
                  },
                  5, Btn::ModeCoolQuiet, kBatterySavingPng, L"Battery saving mode on"},
        // Values that name no mode leave the mode unknown.
        ProbeCase{"ModeOutsideTheCapability", [] { WriteStatus(0x8, 1, 1); }, 4, 0, 0, L""},
        ProbeCase{"VersionTooOld", [] { WriteDword(kIcKey, L"Version", 0x3FFF); }, 0, 0, 0, L""},
        ProbeCase{"NoVersion", [] { WriteValue(kIcKey, L"Version", std::nullopt); }, 0, 0, 0, L""},
        ProbeCase{"VersionAsText",
                  [] {
                      WriteValue(kIcKey, L"Version", REG_SZ, {'2', 0, 0, 0, 0, 0, 0, 0});
                  },
                  0, 0, 0, L""},
        ProbeCase{"VersionTooLong",
                  [] {
                      WriteValue(kIcKey, L"Version", REG_DWORD, {0, 0x50, 0, 0, 0, 0, 0, 0});
                  },
                  0, 0, 0, L""},
        ProbeCase{"NoStatusKey", [] { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMmcKey); }, 0, 0, 0, L""},
        ProbeCase{
            "ServiceStopped",
            [] {
                SetServiceFact({{"state", "stopped"}, {"module", "C:\\Windows\\System32\\QRMDSVC.dll"}});
            },
            0, 0, 0, L""},
        ProbeCase{"NoService", [] { SetServiceFact(nullptr); }, 0, 0, 0, L""},
        ProbeCase{"NoEnergyDriver", [] { SetFact("/devices", nullptr); }, 0, 0, 0, L""}),
    [](const testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.pszName); });

TEST_F(IntelligentCoolingBtnTest, TheProbeLogsTheServicesValues) {
    ProbedButton();
    EXPECT_NE(LogText().find("[Ixor RMDGetStatus  Capability=10,CurrentSetting=1,AutomaticModeSetting=2]"),
              std::string::npos)
        << LogText();
}

TEST_F(IntelligentCoolingBtnTest, ClicksCycleTheNewerModesThroughTheService) {
    StartContract();
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nMode, Btn::ModeIntelligent);

    const struct {
        int nMode;
        int nIcon;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        const char* pszValue;
        ULONGLONG nCurrentSetting;
        ULONGLONG nAutomaticModeSetting;
    } clicks[] = {
        {Btn::ModeCoolQuiet, kBatterySavingPng, L"Battery saving mode on",
         L"Intelligent cooling: Battery saving mode", "Battery_Saving", 1, 1},
        {Btn::ModePerformance, kPerformancePng, L"Extreme performance mode on",
         L"Intelligent cooling: Extreme performance mode", "Extreme_Performance", 3, 1},
        {Btn::ModeIntelligent, kIntelligentPng, L"Intelligent cooling mode on",
         L"Intelligent cooling: Intelligent mode", "Intelligent_Cooling", 3, 2},
    };
    std::vector<int> sent;
    std::vector<FeatureEvent> events;
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.nMode);
        button.ClicktoSwitch();
        EXPECT_EQ(button.m_nMode, click.nMode);
        EXPECT_EQ(button.m_nStatus, click.nMode == Btn::ModeIntelligent ? 1 : 0);
        EXPECT_EQ(button.m_nStatusIconID, click.nIcon);
        EXPECT_EQ(button.m_strCaption.Get(), CString(click.pszCaption)) << "the grid draws it at once";
        EXPECT_EQ(button.m_strTip.Get(), CString(click.pszTip));
        sent.push_back(click.nMode);
        events.push_back({kEvent4, click.pszValue, kPage});
        EXPECT_TRUE(PumpUntil([&] { return ServiceControls() == sent; }, kLongWait));
        EXPECT_TRUE(SetDone(button));
        EXPECT_EQ(ServiceSettings(), std::make_pair(std::optional(click.nCurrentSetting),
                                                    std::optional(click.nAutomaticModeSetting)));
        EXPECT_EQ(FeatureEvents(), events);
    }
    // The watcher reads the service's values after each set: the button keeps what the service took.
    EXPECT_TRUE(PumpUntil([&button] { return button.m_nMode == Btn::ModeIntelligent; }, kLongWait));
}

TEST_F(IntelligentCoolingBtnTest, AMachineThatOnlySwitchesIntelligentCoolingSendsOffAndOn) {
    WriteDword(kIcKey, L"Version", 0x4000);
    WriteStatus(0x2, 1, 2);
    StartContract();
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nSupport, 3);

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nMode, Btn::ModePerformance);
    EXPECT_EQ(button.m_nStatus, 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Performance mode on"));
    EXPECT_TRUE(
        PumpUntil([] { return ServiceControls() == std::vector<int>{Btn::ModePerformance}; }, kLongWait));
    ASSERT_TRUE(SetDone(button));

    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nMode, Btn::ModeIntelligent);
    EXPECT_EQ(button.m_nStatus, 1);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Intelligent cooling mode on"));
    EXPECT_TRUE(PumpUntil(
        [] {
            return ServiceControls() == std::vector<int>{Btn::ModePerformance, Btn::ModeIntelligent};
        },
        kLongWait));
    EXPECT_EQ(FeatureEvents(), (std::vector<FeatureEvent>{{kEvent3, "Off", kPage}, {kEvent3, "On", kPage}}));
}

TEST_F(IntelligentCoolingBtnTest, AModeChangedElsewhereRepaintsTheButton) {
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nMode, Btn::ModeIntelligent);

    EXPECT_TRUE(ChangeUntilShown([] { RunMachineTool("feature IntelligentCooling --mode performance"); },
                                 [&button] { return button.m_nMode == Btn::ModePerformance; }));
    EXPECT_EQ(button.m_nStatusIconID, kPerformancePng);
    EXPECT_EQ(button.m_nStatus, 0);
    EXPECT_EQ(button.m_strCaption.Get(), CString(L"Extreme performance mode on"));
    EXPECT_EQ(button.m_strTip.Get(), CString(L"Intelligent cooling: Extreme performance mode"));
    ASSERT_TRUE(Painted(button));
    EXPECT_GT(controls_test::CClientPixels(button).Count(0xFFFFFF), 0) << "the white circle is painted";

    EXPECT_TRUE(ChangeUntilShown([] { RunMachineTool("feature IntelligentCooling --mode battery-saving"); },
                                 [&button] { return button.m_nMode == Btn::ModeCoolQuiet; }));
    EXPECT_EQ(button.m_nStatusIconID, kBatterySavingPng);
    EXPECT_TRUE(ServiceControls().empty()) << "the button sends nothing for a change it did not make";
}

// Read on the test's thread by a button without a watcher: each case starts from the performance mode of a
// machine without cool and quiet.
TEST_F(IntelligentCoolingBtnTest, TheServicesValuesAreReadWithinTheirBounds) {
    using Bytes = std::vector<BYTE>;
    const struct {
        const char* pszName;
        std::function<void()> write;
        int nMode;
    } cases[] = {
        {"cool and quiet", [] { WriteStatus(0xA, 1, 1); }, Btn::ModeCoolQuiet},
        // A capability read as 0 takes any fixed mode; the capability 0x8 had left cool and quiet out.
        {"no capability",
         [] {
             WriteDword(kMmcKey, L"CurrentSetting", 1);
             WriteValue(kMmcKey, L"Capability", std::nullopt);
         },
         Btn::ModeCoolQuiet},
        {"capability as text",
         [] {
             WriteDword(kMmcKey, L"CurrentSetting", 1);
             WriteValue(kMmcKey, L"Capability", REG_SZ, Bytes{'8', 0, 0, 0});
         },
         Btn::ModeCoolQuiet},
        {"cool and quiet outside the capability", [] { WriteDword(kMmcKey, L"CurrentSetting", 1); },
         Btn::ModePerformance},
        {"no automatic setting", [] { WriteValue(kMmcKey, L"AutomaticModeSetting", std::nullopt); },
         Btn::ModePerformance},
        {"automatic setting as text",
         [] {
             WriteValue(kMmcKey, L"AutomaticModeSetting", REG_SZ, Bytes{'2', 0, 0, 0});
         },
         Btn::ModePerformance},
        {"short automatic setting",
         [] {
             WriteValue(kMmcKey, L"AutomaticModeSetting", REG_DWORD, Bytes{2, 0});
         },
         Btn::ModePerformance},
        {"automatic setting as a QWORD",
         [] {
             WriteValue(kMmcKey, L"AutomaticModeSetting", REG_QWORD, Bytes{2, 0, 0, 0, 0, 0, 0, 0});
         },
         Btn::ModePerformance},
        {"no mode", [] { WriteStatus(0xA, 1, 9); }, Btn::ModePerformance},
        {"intelligent", [] { WriteStatus(0xFFFFFFFFu, 0xFFFFFFFFu, 2); }, Btn::ModeIntelligent},
        {"no key", [] { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMmcKey); }, Btn::ModePerformance},
    };
    Btn button;
    button.m_nSupport = 4;
    for (const auto& c : cases) {
        WriteStatus(0x8, 3, 1);
        button.UpdateModeFromStatus();
        ASSERT_EQ(button.m_nMode, Btn::ModePerformance);
        c.write();
        button.UpdateModeFromStatus();
        EXPECT_EQ(button.m_nMode, c.nMode) << c.pszName;
    }
}

// A stopped service takes no control, and a removed one is not even reached: that leaves the button busy,
// so that each later click waits its 1.5 s, then goes on.
TEST_F(IntelligentCoolingBtnTest, AnUnavailableServiceLeavesTheNewModeAndTheNextClickGoesOn) {
    StartContract();
    Btn& button = ProbedButton();
    const int nWorkersBefore = platform::LiveWorkerCount();
    const struct {
        const char* pszName;
        nlohmann::json service;
        bool bBusy;
    } cases[] = {
        {"stopped", {{"state", "stopped"}, {"module", "C:\\Windows\\System32\\QRMDSVC.dll"}}, false},
        {"removed", nullptr, true},
    };
    std::vector<FeatureEvent> events;
    int nMode = Btn::ModeIntelligent;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        SetServiceFact(c.service);
        for (int nClick = 0; nClick < 2; ++nClick) {
            button.ClicktoSwitch();
            EXPECT_NE(button.m_nMode, nMode);
            nMode = button.m_nMode;
            EXPECT_TRUE(WorkersBackTo(nWorkersBefore)) << "the set worker ends";
            EXPECT_EQ(button.m_bBusy, c.bBusy);
        }
        events.resize(events.size() + 2);
    }
    EXPECT_EQ(FeatureEvents().size(), events.size());
    EXPECT_TRUE(ServiceControls().empty());
    EXPECT_EQ(ServiceSettings(), std::make_pair(std::optional<ULONGLONG>(1), std::optional<ULONGLONG>(2)));
}

TEST_F(IntelligentCoolingBtnTest, AControlTheServiceFailsIsSentOnceMoreAndTheWatcherBringsTheRealModeBack) {
    Btn& button = ProbedButton();
    ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, kMmcKey, true), ERROR_SUCCESS);
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nMode, Btn::ModeCoolQuiet);
    EXPECT_TRUE(SetDone(button));
    EXPECT_EQ(ServiceControls(), (std::vector<int>{Btn::ModeCoolQuiet, Btn::ModeCoolQuiet}));
    EXPECT_EQ(ServiceSettings(), std::make_pair(std::optional<ULONGLONG>(1), std::optional<ULONGLONG>(2)));

    ASSERT_EQ(platform::SetRegistryKeyReadOnly(HKEY_LOCAL_MACHINE, kMmcKey, false), ERROR_SUCCESS);
    EXPECT_TRUE(ChangeUntilShown([] { WriteStatus(0xA, 1, 2); },
                                 [&button] { return button.m_nMode == Btn::ModeIntelligent; }));
}

// In narrator mode every status shown sets the button's window text, which the watcher sends to the
// user-interface thread: a click there while the watcher waits for that thread must go through.
TEST_F(IntelligentCoolingBtnTest, AClickWhileTheWatcherWaitsToSetTheNarratorTextGoesThrough) {
    g_bNarrator = true;
    Btn& button = ProbedButton();
    ASSERT_EQ(button.m_nMode, Btn::ModeIntelligent);
    // Not pumping, the thread leaves the watcher waiting in its message once it has taken the new mode.
    const auto deadline = std::chrono::steady_clock::now() + kLongWait;
    for (auto retry = std::chrono::steady_clock::now();
         button.m_nMode != Btn::ModePerformance && std::chrono::steady_clock::now() < deadline;) {
        if (std::chrono::steady_clock::now() >= retry) {
            WriteStatus(0xA, 3, 1);
            retry = std::chrono::steady_clock::now() + kRetrySlice;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(button.m_nMode, Btn::ModePerformance) << "the watcher read the change";
    button.ClicktoSwitch();
    EXPECT_EQ(button.m_nMode, Btn::ModeIntelligent);
    EXPECT_EQ(button.GetNarratorText(), CString(L"Intelligent cooling mode on."));
    EXPECT_TRUE(
        PumpUntil([] { return ServiceControls() == std::vector<int>{Btn::ModeIntelligent}; }, kLongWait));
    g_bNarrator = false;
}

TEST_F(IntelligentCoolingBtnTest, DestroyingTheWindowEndsTheWatcher) {
    const int nWorkersBefore = platform::LiveWorkerCount();
    Btn& button = ProbedButton();
    ASSERT_TRUE(ChangeUntilShown([] { RunMachineTool("feature IntelligentCooling --mode cool-quiet"); },
                                 [&button] { return button.m_nMode == Btn::ModeCoolQuiet; }));
    DestroyButton();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
}

// Under the sanitizers a watcher left behind would use the freed button at the next change.
TEST_F(IntelligentCoolingBtnTest, AButtonDeletedWithoutAWindowEndsItsWatcherFirst) {
    const int nWorkersBefore = platform::LiveWorkerCount();
    auto pButton = std::make_unique<Btn>();
    ASSERT_TRUE(pButton->Init(nullptr));
    ASSERT_TRUE(PumpUntil([&pButton] { return pButton->m_bInited == 1; }, kLongWait));
    ASSERT_TRUE(ChangeUntilShown([] { WriteStatus(0xA, 3, 1); },
                                 [&pButton] { return pButton->m_nMode == Btn::ModePerformance; }));
    pButton.reset();
    EXPECT_TRUE(WorkersBackTo(nWorkersBefore));
    WriteStatus(0xA, 1, 2);
}

TEST_F(IntelligentCoolingBtnTest, TheStatusTextsFollowTheModeAndTheSolution) {
    const struct {
        int nVersion;
        int nMode;
        const wchar_t* pszCaption;
        const wchar_t* pszTip;
        int nIcon;
    } cases[] = {
        {3, Btn::ModeIntelligent, L"Intelligent cooling mode on", L"Intelligent cooling: Intelligent mode",
         kIntelligentPng},
        {3, Btn::ModePerformance, L"Performance mode on", L"Intelligent cooling: Performance mode",
         kPerformancePng},
        {3, Btn::ModeCoolQuiet, L"Cool &&& quiet mode on", L"Intelligent cooling: Cool &&& quiet mode",
         kCoolQuietPng},
        {4, Btn::ModeIntelligent, L"Intelligent cooling mode on", L"Intelligent cooling: Intelligent mode",
         kIntelligentPng},
        {4, Btn::ModePerformance, L"Extreme performance mode on",
         L"Intelligent cooling: Extreme performance mode", kPerformancePng},
        {5, Btn::ModeCoolQuiet, L"Battery saving mode on", L"Intelligent cooling: Battery saving mode",
         kBatterySavingPng},
        // Another code shows the intelligent mode's image and leaves the texts.
        {5, 0, L"before", L"tip before", kIntelligentPng},
        {3, 147, L"before", L"tip before", kIntelligentPng},
    };
    for (const bool bNarrator : {false, true}) {
        g_bNarrator = bNarrator;
        for (const auto& c : cases) {
            const std::string strCase =
                std::to_string(bNarrator) + "/" + std::to_string(c.nVersion) + "/" + std::to_string(c.nMode);
            Btn button;
            EXPECT_EQ(button.m_strTip.Get(), CString(L"Intelligent cooling: Intelligent mode")) << strCase;
            button.m_nSupport = c.nVersion;
            button.m_strCaption = L"before";
            button.m_strTip = L"tip before";
            button.SetButtonStatusIcon(c.nMode);
            EXPECT_EQ(button.m_nMode, c.nMode) << strCase;
            EXPECT_EQ(button.m_strCaption.Get(), CString(c.pszCaption)) << strCase;
            EXPECT_EQ(button.m_strTip.Get(), CString(c.pszTip)) << strCase;
            EXPECT_EQ(button.m_nStatusIconID, c.nIcon) << strCase;
            EXPECT_EQ(button.m_nStateIconType, kModeStateType) << strCase;
            EXPECT_EQ(button.m_bDisabled, 0) << strCase;
            EXPECT_EQ(button.GetNarratorText(), bNarrator ? CString(c.pszCaption) + L"." : CString())
                << strCase;
        }
    }
}

TEST_F(IntelligentCoolingBtnTest, TheGridKnowsItsLongTipsInTheirLanguagesExactly) {
    const struct {
        const wchar_t* pszText;
        bool bWrapped;
        bool bNarrowMargin;
    } cases[] = {
        {L"インテリジェント クーリング: エクストリーム パフォーマンス モード", true, false},
        {L"Интеллектуальное охлаждение: Режим максимальной производительности", true, false},
        {L"Интеллектуальное охлаждение: Режим экономии заряда батареи", true, false},
        {L"Інтелектуальне охолодження: Режим економії заряду акумулятора", false, true},
        {L"Інтелектуальне охолодження: Режим максимальної продуктивності", false, false},
        {L"インテリジェント クーリング: バッテリー節約モード", false, false},
        {L"Интеллектуальное охлаждение: Режим экономии заряда батареи ", false, false},
        {L"Intelligent cooling: Extreme performance mode", false, false},
        {L"", false, false},
    };
    const LANGID language = GetThreadUILanguage();
    for (const auto& c : cases) {
        EXPECT_EQ(Btn::IsWrappedTipText(c.pszText), c.bWrapped) << platform::ToUtf8(c.pszText);
        EXPECT_EQ(Btn::IsNarrowMarginTipText(c.pszText), c.bNarrowMargin) << platform::ToUtf8(c.pszText);
    }
    EXPECT_EQ(GetThreadUILanguage(), language);

    // The tip a Japanese button shows in extreme performance mode is one of them.
    SetThreadUILanguage(Btn::kLangJapanese);
    Btn button;
    button.m_nSupport = 5;
    button.SetButtonStatusIcon(Btn::ModePerformance);
    SetThreadUILanguage(language);
    EXPECT_TRUE(Btn::IsWrappedTipText(button.m_strTip.Get()));
}

TEST_F(IntelligentCoolingBtnTest, TheToolbarsTimeStampsAreWrittenOnlyOnAMachineWithTheSolution) {
    Btn::WriteIntelligentCoolingToolbarTime(false);
    EXPECT_FALSE(ToolbarTime(L"IxorRMDToolbarExitTime").has_value()) << "no button found a solution";

    g_bIntelligentCoolingActive = true;
    const std::time_t before = std::time(nullptr);
    Btn::WriteIntelligentCoolingToolbarTime(true);
    Btn::WriteIntelligentCoolingToolbarTime(false);
    for (const wchar_t* pszName : {L"IxorRMDToolbarInitTime", L"IxorRMDToolbarExitTime"}) {
        const std::optional<ULONGLONG> stamp = ToolbarTime(pszName);
        ASSERT_TRUE(stamp.has_value());
        EXPECT_GE(*stamp, static_cast<ULONGLONG>(before));
        EXPECT_LE(*stamp, static_cast<ULONGLONG>(std::time(nullptr)));
    }

    // Without the toolbar's key nothing is made.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise"), ERROR_SUCCESS);
    Btn::WriteIntelligentCoolingToolbarTime(false);
    EXPECT_FALSE(ToolbarTime(L"IxorRMDToolbarExitTime").has_value());
}

} // namespace

// The eye-care panel in a container that creates it, on the simulated host: the probe's support and
// state by the host's settings and the plug-in's version, the one-time hand-over to a newer plug-in, the
// switch, the state the plug-in keeps in the registry, the keys it swallows, its tooltips, and a probe
// that outlives its panel.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "app/EyecareModeDlg.h"
#include "platform/registry.h"
#include "platform/threads.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "tests/app/PanelTestSupport.h"

namespace {

using namespace panels_test;
using namespace std::chrono_literals;

const wchar_t kPluginX64[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x64\\"
    L"CorvexVisionProtectionPlugin.dll";
const wchar_t kToastKey[] = L"Software\\Corvex\\AmpwiseToast";
const wchar_t kVisionKey[] = L"Software\\Corvex\\Plexhost\\PluginData\\CorvexVisionProtectionPlugin";
constexpr int kOffIcon = 173;
constexpr int kOnIcon = 174;
constexpr auto kLongWait = std::chrono::seconds(60);

class CPanelProbe : public CEyecareModeDlg {
public:
    using CEyecareModeDlg::m_workers;
};

// ResetEyeCareMode as stored; -1 when it is missing.
int StoredResetValue() {
    HKEY hKey = nullptr;
    DWORD dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToastKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return -1;
    }
    const LONG status = RegQueryValueExW(hKey, L"ResetEyeCareMode", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(&dwValue), &cbValue);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS ? static_cast<int>(dwValue) : -1;
}

void SetUserValue(const wchar_t* pszKey, const wchar_t* pszName, DWORD dwType, const void* pData,
                  DWORD cbData) {
    HKEY hKey = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(hKey, pszName, 0, dwType, static_cast<const BYTE*>(pData), cbData);
    RegCloseKey(hKey);
}

class EyecareModeDlgTest : public CPanelTest {
protected:
    void SetUp() override {
        CPanelTest::SetUp();
        features_test::StartMachineLog(m_machine);
        g_nEyeModeState = 0;
    }
    void TearDown() override {
        CPanelTest::TearDown();
        g_bLogEnabled = false;
    }
    void DestroyPanels() override { m_pPanel.reset(); }
    // A new panel made with the support the container gives it, its probe waited for.
    CPanelProbe& OpenPanel(int nSupportGiven) {
        m_pPanel.reset(new CPanelProbe);
        CPanelProbe& panel = *m_pPanel;
        panel.m_nSupport = nSupportGiven;
        EXPECT_TRUE(panel.Create(CEyecareModeDlg::IDD, &m_container));
        panel.ShowWindow(SW_SHOW);
        EXPECT_TRUE(PumpUntil([&panel] { return !panel.m_workers.IsRunning(); }, kLongWait));
        Settle();
        return panel;
    }
    void UseNewPlugin() { features_test::SetFileVersion(m_machine, kPluginX64, "1.2.92.15"); }
    std::string LogText() const { return features_test::MachineLogText(m_machine); }

    // Destroyed with its window.
    struct CPanelDeleter {
        void operator()(CPanelProbe* pPanel) const {
            if (pPanel->m_hWnd) {
                pPanel->DestroyWindow();
            }
            delete pPanel;
        }
    };
    std::unique_ptr<CPanelProbe, CPanelDeleter> m_pPanel;
};

struct ProbeCase {
    const char* pszName;
    const char* pszHostChange; // flipdeck-machine words; "" none
    int nSupport;
    int nState;
    int nRelayouts; // WM_SIZE (0, 0) to the container
};

TEST_F(EyecareModeDlgTest, WithTheOlderPluginTheProbeTakesSupportAndStateFromTheHost) {
    const ProbeCase cases[] = {
        {"offered and off", "", 1, 0, 1},
        {"offered and on", "feature EyeCareMode --state on", 1, 1, 1},
        {"graphics driver disabled", "feature EyeCareMode --state disabled", 0, 0, 2},
        {"not offered: no capability the older plug-in knows", "feature EyeCareMode --supported no", 1, 0, 2},
        {"answers cut short: the first support stays", "host mode malformed", 1, 0, 1},
    };
    StartContract();
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        if (*c.pszHostChange) {
            RunMachineTool(c.pszHostChange);
        }
        m_container.m_nRelayouts = 0;
        CPanelProbe& panel = OpenPanel(-1);
        EXPECT_EQ(panel.m_nSupport, c.nSupport);
        EXPECT_EQ(panel.m_nState, c.nState);
        EXPECT_EQ(g_nEyeModeState, c.nState);
        EXPECT_EQ(panel.m_icon.m_nImageId, c.nState ? kOnIcon : kOffIcon);
        EXPECT_EQ(panel.m_switch.m_bOn, c.nState != 0);
        EXPECT_EQ(m_container.m_nRelayouts, c.nRelayouts);
        EXPECT_TRUE(ReadMachineEvents("contract.SetEyeCareMode").empty())
            << "the older plug-in is told nothing";
        RunMachineTool("feature EyeCareMode --supported yes --state off");
        RunMachineTool("host mode normal");
    }
}

TEST_F(EyecareModeDlgTest, AFailingHostOrNoHostLeavesTheSupportTheContainerGave) {
    EXPECT_EQ(OpenPanel(1).m_nSupport, 1);
    m_pPanel.reset();
    const std::string strLog = LogText();
    const std::string strLine = "[Error:IContractInterfacePtr is Null, please register "
                                "Pactbridge.dll][CEyecareModeDlg::JudgeEyeCareMode]";
    ASSERT_NE(strLog.find(strLine), std::string::npos) << strLog;
    EXPECT_EQ(strLog.find(strLine, strLog.find(strLine) + 1), std::string::npos) << "logged once";

    StartContract();
    RunMachineTool("host mode failing");
    EXPECT_EQ(OpenPanel(-1).m_nSupport, -1);
    EXPECT_EQ(m_container.m_nRelayouts, 0);
}

TEST_F(EyecareModeDlgTest, ANewerPluginOnABiosNotListedTakesEyeCareOverOnce) {
    UseNewPlugin();
    StartContract();
    ASSERT_TRUE(IsEyeCarePanelAllowed()) << "no hand-over value yet";
    EXPECT_EQ(OpenPanel(1).m_nSupport, 0) << "the panel withdraws";
    EXPECT_EQ(m_container.m_nRelayouts, 1);
    const auto calls = ReadMachineEvents("contract.SetEyeCareMode");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].value("state", -1), 5);
    EXPECT_EQ(calls[0].value("type", -1), 1);
    EXPECT_EQ(StoredResetValue(), 5);
    EXPECT_FALSE(IsEyeCarePanelAllowed()) << "the next start makes no panel";

    OpenPanel(1);
    EXPECT_EQ(ReadMachineEvents("contract.SetEyeCareMode").size(), 1u) << "once";
}

TEST_F(EyecareModeDlgTest, ANewerPluginOnAListedBiosStoresWhetherThePanelWasShown) {
    UseNewPlugin();
    features_test::WriteBiosVersion(m_machine, "R47JD15W");
    StartContract();
    for (const auto& [nGiven, nStored] : {std::pair{1, 3}, std::pair{0, 4}}) {
        EXPECT_EQ(OpenPanel(nGiven).m_nSupport, 0);
        EXPECT_EQ(StoredResetValue(), nStored) << "shown before: " << nGiven;
    }
    EXPECT_TRUE(ReadMachineEvents("contract.SetEyeCareMode").empty());
    EXPECT_FALSE(IsEyeCarePanelAllowed());
}

TEST_F(EyecareModeDlgTest, TheSwitchFlipsTheStateAndTellsTheHost) {
    StartContract();
    CPanelProbe& panel = OpenPanel(1);
    ASSERT_FALSE(panel.m_switch.m_bOn);
    for (const auto& [nState, pszValue] : {std::pair{1, "On"}, std::pair{0, "Off"}}) {
        ClickOnCentre(panel.m_switch);
        EXPECT_EQ(panel.m_nState, nState);
        EXPECT_EQ(g_nEyeModeState, nState);
        EXPECT_EQ(panel.m_switch.m_bOn, nState != 0);
        EXPECT_EQ(panel.m_icon.m_nImageId, nState ? kOnIcon : kOffIcon);
        ASSERT_TRUE(PumpUntil([nState] { return features_test::HostFeatureState("EyeCareMode") == nState; },
                              kLongWait));
        const auto telemetry = FeatureEvents();
        ASSERT_FALSE(telemetry.empty());
        EXPECT_EQ(telemetry.back(), (FeatureEvent{"Features.Toolbar.Flipdecks.EyeCareModeToggle", pszValue,
                                                  "Features.Toolbar.Flipdecks"}));
    }
    const auto calls = ReadMachineEvents("contract.SetEyeCareMode");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].value("state", -1), 1);
    EXPECT_EQ(calls[1].value("type", -1), 1);
}

TEST_F(EyecareModeDlgTest, TheStartStateIsThePluginsRegistryValue) {
    const DWORD dwOn = 1;
    const wchar_t szText[] = L"1";
    const struct {
        const char* pszName;
        DWORD dwType; // REG_NONE: no value
        const void* pData;
        DWORD cbData;
        int nState;
    } cases[] = {
        {"no value", REG_NONE, nullptr, 0, 0},
        {"on", REG_DWORD, &dwOn, sizeof(dwOn), 1},
        {"a text is no state", REG_SZ, szText, sizeof(szText), 0},
    };
    for (const auto& c : cases) {
        if (c.dwType != REG_NONE) {
            SetUserValue(kVisionKey, L"EyeModeState", c.dwType, c.pData, c.cbData);
        }
        g_nEyeModeState = 7;
        ReadVisionProtectionState();
        EXPECT_EQ(g_nEyeModeState, c.nState) << c.pszName;
    }
    RunMachineTool("feature EyeCareMode --state on");
    ReadVisionProtectionState();
    EXPECT_EQ(g_nEyeModeState, 1) << "the host's plug-in publishes its state";
    CPanelProbe& panel = OpenPanel(1); // without a contract instance: only the registry tells
    EXPECT_TRUE(panel.m_switch.m_bOn);
    EXPECT_EQ(panel.m_icon.m_nImageId, kOnIcon);
}

TEST_F(EyecareModeDlgTest, EscapeAndEnterOnTheSwitchAreSwallowed) {
    CPanelProbe& panel = OpenPanel(1);
    panel.m_switch.SetFocus();
    for (const BYTE key : {VK_RETURN, VK_ESCAPE}) {
        platform::desktop::PressKey(key);
        Settle();
        EXPECT_FALSE(panel.m_switch.m_bOn) << "not clicked by " << int(key);
        EXPECT_TRUE(panel.IsWindowVisible()) << "not closed by " << int(key);
    }
    EXPECT_TRUE(FeatureEvents().empty());
    platform::desktop::PressKey(VK_SPACE);
    Settle();
    EXPECT_TRUE(panel.m_switch.m_bOn) << "the space bar still clicks it";
}

TEST_F(EyecareModeDlgTest, TheInformationIconTellsTheFeatureAndTheTitleOnlyWhenCut) {
    CPanelProbe& panel = OpenPanel(1);
    CToolTipAsker tip;
    EXPECT_EQ(tip.Ask(panel, panel.m_info),
              L"Eye Care Mode adjusts the color temperature of your display to filter "
              L"out blue light and reduce eye strain.");
    EXPECT_EQ(tip.MaxTipWidth(), 300);
    EXPECT_EQ(tip.Ask(panel, panel.m_title), L"<none>") << "the title fits";
    panel.m_title.MoveWindow(0, 0, 30, 20);
    ASSERT_TRUE(Painted(panel.m_title));
    EXPECT_EQ(tip.Ask(panel, panel.m_title), L"Eye Care Mode");
}

TEST_F(EyecareModeDlgTest, AProbeHeldByTheHostNeitherHoldsUpTheCloseNorTouchesThePanelAfterwards) {
    StartContract();
    RunMachineTool("host mode slow");
    auto pPanel = std::make_unique<CPanelProbe>();
    ASSERT_TRUE(pPanel->Create(CEyecareModeDlg::IDD, &m_container));
    ASSERT_TRUE(pPanel->m_workers.IsRunning());
    const auto start = std::chrono::steady_clock::now();
    pPanel->DestroyWindow();
    pPanel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    RunMachineTool("host mode normal");
    EXPECT_TRUE(platform::WaitForWorkers(60000)) << "the probe ends by itself";
    EXPECT_TRUE(ReadMachineEvents("contract.GetEyeCareModeStatusEx").empty()) << "it went no further";
}

} // namespace

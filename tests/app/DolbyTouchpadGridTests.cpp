// The Dolby audio and touchpad buttons in a grid that initialises and places them, against the simulated
// host: the probe places or hides them, and a click through the grid switches the host, sends the event
// and shows the caption; the app-scenario status locks Dolby, Windows' switch off opens its touchpad
// settings, and on the business brand a set the host does not confirm goes once more through the
// brand's own method.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/FeaturesPanelDlg.h"
#include "platform/com.h"
#include "services/ContractClient.h"
#include "services/FeatureState.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"

namespace {

using controls_test::PumpMessages;
using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using features_test::RunMachineTool;
using features_test::SetCall;

constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kGridWidth = 378; // one grid unit per pixel
constexpr int kButtonSize = 48;
constexpr int kRowOneTop = 20;
constexpr int kRowTwoTop = 89;
constexpr int kKobal = 1;
constexpr int kIxor = 0;
// The places of the keyboard backlight and top-row buttons, which the grid initialises and places on
// every brand.
constexpr int kDolbyPlace = 1060;
constexpr int kTouchpadPlace = 1061;

const std::vector<std::string> kSetMethods = {"contract.SetDolby", "contract.SetTouchPad",
                                              "contract.SetKobalTouchPad"};

FeatureEvent DolbyEvent(const char* pszValue) {
    return {"Features.Toolbar.Flipdecks.Dolby", pszValue, "Features.Toolbar.Flipdecks"};
}

FeatureEvent TouchPadEvent(const char* pszValue) {
    return {"Features.Toolbar.Flipdecks.TouchPad", pszValue, "Features.Toolbar.Flipdecks"};
}

// The grid with the Dolby and touchpad buttons in two places that it initialises and places itself.
class CDolbyTouchpadGrid : public CFeaturesPanelDlg {
public:
    ~CDolbyTouchpadGrid() override {
        if (m_hWnd) {
            DestroyWindow();
        }
    }
    CDeckFeatureButton* ButtonOfId(int nId) override {
        switch (nId) {
        case kDolbyPlace:
            return &m_btnDolbyAudio;
        case kTouchpadPlace:
            return &m_btnTouchpad;
        case CDolbyAudioBtn::IDC:
        case CTouchpadBtn::IDC:
            return nullptr; // their own places stay empty, as in the grid
        default:
            return CFeaturesPanelDlg::ButtonOfId(nId);
        }
    }
};

enum class Toggle { Dolby, Touchpad };

// The machine as the case sets it up, what the probe makes of it, and a click on the placed button.
struct GridCase {
    const char* pszName;
    int nBrand;
    std::vector<std::string> setup; // flipdeck-machine commands
    Toggle toggle;
    bool bPlaced;
    bool bDisabled;
    int nStateAfter; // the button's state after the click
    std::vector<SetCall> sets;
    std::vector<FeatureEvent> events;
    std::vector<std::string> pages;
    const wchar_t* pszCaption; // under the button after the click; null: none
    int nHostState;            // the host's state of the feature at the end
};

void PrintTo(const GridCase& c, std::ostream* pOut) {
    *pOut << c.pszName;
}

class DolbyTouchpadGridTest : public controls_test::CControlWindowTest,
                              public testing::WithParamInterface<GridCase> {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    }
    void TearDown() override {
        m_pGrid.reset();
        ReleaseContractInterface();
        CoUninitialize();
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }
    // The grid made after the machine is set up (the Dolby button reads the app-scenario status when
    // made), 378 pixels wide, once both buttons are probed.
    void Open(int nBrand) {
        g_nKobalBrand = nBrand;
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
        m_pGrid = std::make_unique<CDolbyTouchpadGrid>();
        CWnd& parent = MakeParent(400, 200);
        ASSERT_TRUE(m_pGrid->Create(CFeaturesPanelDlg::IDD, &parent));
        m_pGrid->ShowWindow(SW_SHOW);
        ASSERT_TRUE(PumpUntil(
            [this] {
                return m_pGrid->m_btnDolbyAudio.m_bInited == 1 && m_pGrid->m_btnTouchpad.m_bInited == 1;
            },
            kLongWait));
        m_pGrid->SetWindowPos(nullptr, 0, 0, kGridWidth, 158, SWP_NOZORDER | SWP_NOACTIVATE);
        PumpMessages();
    }
    CDeckFeatureButton& Button(Toggle toggle) {
        return toggle == Toggle::Dolby ? static_cast<CDeckFeatureButton&>(m_pGrid->m_btnDolbyAudio)
                                       : m_pGrid->m_btnTouchpad;
    }
    void Click(CDeckFeatureButton& button) {
        m_pGrid->SendMessage(WM_COMMAND, MAKEWPARAM(button.GetDlgCtrlID(), BN_CLICKED),
                             reinterpret_cast<LPARAM>(button.m_hWnd));
    }
    // Destroying the grid waits for the buttons' set workers.
    void Close() { m_pGrid.reset(); }

    std::unique_ptr<CDolbyTouchpadGrid> m_pGrid;
    int m_nBrandBefore = g_nKobalBrand;
};

TEST_P(DolbyTouchpadGridTest, TheProbePlacesTheButtonAndAClickSwitchesTheHost) {
    const GridCase& c = GetParam();
    for (const std::string& strCommand : c.setup) {
        RunMachineTool(strCommand);
    }
    Open(c.nBrand);
    CDeckFeatureButton& button = Button(c.toggle);
    ASSERT_EQ(button.IsWindowVisible() != FALSE, c.bPlaced);
    if (!c.bPlaced) {
        return;
    }
    CRect rc;
    button.GetWindowRect(&rc);
    m_pGrid->ScreenToClient(&rc);
    EXPECT_EQ(rc.Width(), kButtonSize) << "placed by the grid";
    EXPECT_TRUE(rc.top == kRowOneTop || rc.top == kRowTwoTop) << rc.top;
    EXPECT_EQ(button.m_bDisabled, c.bDisabled ? 1 : 0);

    Click(button);
    EXPECT_EQ(button.m_nStatus, c.nStateAfter);
    EXPECT_EQ(FeatureEvents(), c.events) << "sent at once";
    EXPECT_EQ(features_test::OpenedPages(), c.pages);
    if (m_pGrid->m_nCaptionTimer) {
        m_pGrid->KillTimer(m_pGrid->m_nCaptionTimer); // on a busy machine its two seconds may pass first
    }
    EXPECT_EQ(m_pGrid->m_strCaption, CString(c.pszCaption ? c.pszCaption : L""));
    EXPECT_EQ(m_pGrid->m_nCaptionTimer != 0, c.pszCaption != nullptr);
    Close();
    EXPECT_EQ(features_test::SetCalls(kSetMethods), c.sets);
    EXPECT_EQ(features_test::HostFeatureState(c.toggle == Toggle::Dolby ? "DolbyAudio" : "Touchpad"),
              c.nHostState);
}

const std::string kAppScenarioOpen =
    std::string("reg set ") + features_test::kAppScenarioKey + " Audio REG_SZ Open";

std::string PrecisionSwitch(const char* pszEnabled) {
    return std::string("reg set ") + features_test::kPrecisionKey + " Enabled REG_DWORD " + pszEnabled;
}

const std::string kSettingsOpened = std::string(features_test::kTouchPadSettingsPage) + " 3";

INSTANTIATE_TEST_SUITE_P(
    Cases, DolbyTouchpadGridTest,
    testing::Values(
        GridCase{"DolbyOn",
                 kIxor,
                 {},
                 Toggle::Dolby,
                 true,
                 false,
                 FeatureStateOff,
                 {{"contract.SetDolby", 0}},
                 {DolbyEvent("Off")},
                 {},
                 L"Dolby audio off",
                 FeatureStateOff},
        GridCase{"DolbyOffOnTheBusinessBrand",
                 kKobal,
                 {"feature DolbyAudio --state off"},
                 Toggle::Dolby,
                 true,
                 false,
                 FeatureStateOn,
                 {{"contract.SetDolby", 1}},
                 {DolbyEvent("On")},
                 {},
                 L"Dolby audio on",
                 FeatureStateOn},
        GridCase{"DolbyUnsupported",
                 kIxor,
                 {"feature DolbyAudio --supported no"},
                 Toggle::Dolby,
                 false,
                 false,
                 FeatureStateOff,
                 {},
                 {},
                 {},
                 nullptr,
                 FeatureStateOn},
        GridCase{"DolbyLockedByAnAppScenario",
                 kIxor,
                 {kAppScenarioOpen},
                 Toggle::Dolby,
                 true,
                 true,
                 FeatureStateOn,
                 {},
                 {},
                 {},
                 nullptr,
                 FeatureStateOn},
        GridCase{"TouchpadOn",
                 kIxor,
                 {},
                 Toggle::Touchpad,
                 true,
                 false,
                 FeatureStateOff,
                 {{"contract.SetTouchPad", 0}},
                 {TouchPadEvent("Off")},
                 {},
                 L"Touchpad off",
                 FeatureStateOff},
        GridCase{"TouchpadUnsupported",
                 kIxor,
                 {"feature Touchpad --supported no"},
                 Toggle::Touchpad,
                 false,
                 false,
                 FeatureStateOff,
                 {},
                 {},
                 {},
                 nullptr,
                 FeatureStateOn},
        GridCase{"TouchpadOffByWindowsHostOn",
                 kIxor,
                 {PrecisionSwitch("0")},
                 Toggle::Touchpad,
                 true,
                 false,
                 FeatureStateOn,
                 {},
                 {},
                 {kSettingsOpened},
                 L"",
                 FeatureStateOn},
        GridCase{"TouchpadOffByWindowsHostOff",
                 kIxor,
                 {PrecisionSwitch("0"), "feature Touchpad --state off"},
                 Toggle::Touchpad,
                 true,
                 false,
                 FeatureStateOn,
                 {{"contract.SetTouchPad", 1}},
                 {TouchPadEvent("On")},
                 {kSettingsOpened},
                 L"",
                 FeatureStateOn},
        GridCase{"BusinessRepeatsWhatTheHostDidNotConfirm",
                 kKobal,
                 {"feature Touchpad --state off", "feature Touchpad --answer TouchPadEnabled=False"},
                 Toggle::Touchpad,
                 true,
                 false,
                 FeatureStateOn,
                 {{"contract.SetTouchPad", 1}, {"contract.SetKobalTouchPad", 1}},
                 {TouchPadEvent("On")},
                 {},
                 L"Touchpad on",
                 FeatureStateOn},
        GridCase{"ConsumerDoesNotRepeat",
                 kIxor,
                 {"feature Touchpad --state off", "feature Touchpad --answer TouchPadEnabled=False"},
                 Toggle::Touchpad,
                 true,
                 false,
                 FeatureStateOn,
                 {{"contract.SetTouchPad", 1}},
                 {TouchPadEvent("On")},
                 {},
                 L"Touchpad on",
                 FeatureStateOn}),
    [](const testing::TestParamInfo<GridCase>& info) { return std::string(info.param.pszName); });

} // namespace

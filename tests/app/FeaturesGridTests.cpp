// The features grid in the process, with a probe button answered by the test in every place: the
// places of the supported buttons by brand, one or two rows and the height asked of the container, the
// caption after a click or Enter, the hover circle and the tooltips.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/FeaturesPanelDlg.h"
#include "services/FeatureState.h"
#include "services/MachineInfo.h"
#include "services/ResourceStrings.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/FeatureButtonTestSupport.h"

namespace {

using controls_test::PumpMessages;
using controls_test::PumpUntil;
using features_test::CProbeButton;
using features_test::StateAnswer;

constexpr int kGridWidth = 378; // one grid unit per pixel
constexpr int kOneRow = 89;
constexpr int kTwoRows = 158;
constexpr int kBusiness = 1;
constexpr int kConsumer = 0;
const COLORREF kBackground = 0xF4F1EB;

const int kAllIds[] = {1056, 1058, 1059, 1060, 1061, 1062, 1063, 1065, 1067, 1068, 1070, 1071, 1072, 1073};
const std::vector<int> kConsumerOrder = {1056, 1073, 1058, 1072, 1068, 1071, 1070, 1061, 1060};
const std::vector<int> kBusinessOrder = {1063, 1056, 1073, 1065, 1067, 1058, 1061, 1060};

// A grid with a probe button of its own in the place of every toggle.
class CProbeGrid : public CFeaturesPanelDlg {
public:
    CProbeGrid() {
        for (const int nId : kAllIds) {
            m_buttons[nId] = std::make_unique<CProbeButton>(std::to_wstring(nId).c_str());
        }
    }
    ~CProbeGrid() override {
        if (m_hWnd) {
            DestroyWindow();
        }
    }
    CDeckFeatureButton* ButtonOfId(int nId) override {
        const auto found = m_buttons.find(nId);
        return found == m_buttons.end() ? nullptr : found->second.get();
    }
    CProbeButton& Button(int nId) { return *m_buttons.at(nId); }

    std::map<int, std::unique_ptr<CProbeButton>> m_buttons;
};

// The flyout's body for the grid: it counts the WM_SIZE (0, 0) the grid sends it after a new height.
class CContainerStandIn : public CWnd {
public:
    int m_nRelayouts = 0;

protected:
    void OnSize(UINT nType, int cx, int cy) {
        if (nType == 0 && cx == 0 && cy == 0) {
            ++m_nRelayouts;
        }
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CContainerStandIn, CWnd)
ON_WM_SIZE()
END_MESSAGE_MAP()

CRect PlaceInParent(const CWnd& child) {
    CRect rc;
    child.GetWindowRect(&rc);
    ::MapWindowPoints(nullptr, ::GetParent(child.m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The k-th place (from 1) of a grid w pixels wide, every length a truncated share of w in 378ths.
CRect ExpectedPlace(int k, int w = kGridWidth) {
    const int c = k <= 5 ? k : k - 5;
    const int left = w * 2 / 378 + w * 22 * c / 378 + (c - 1) * (w * 48 / 378);
    const int top = w * (k <= 5 ? 20 : 89) / 378;
    return CRect(left, top, left + w * 48 / 378, top + w * 48 / 378);
}

class FeaturesGridTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(m_container.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 600, 500},
                                         nullptr, 0));
    }
    void TearDown() override {
        g_nKobalBrand = m_nBrandBefore;
        if (m_grid.m_hWnd) {
            m_grid.DestroyWindow();
        }
        m_container.DestroyWindow();
        CControlWindowTest::TearDown();
    }

    // The grid of the brand, 378 pixels wide, with the probes of the given buttons answered as
    // supported and those of the other initialised ones as unsupported.
    void Open(int nBrand, const std::vector<int>& supported) {
        g_nKobalBrand = nBrand;
        ASSERT_TRUE(m_grid.Create(CFeaturesPanelDlg::IDD, &m_container));
        for (const int nId : kAllIds) {
            const bool bSupported = std::find(supported.begin(), supported.end(), nId) != supported.end();
            m_grid.Button(nId).Answer(StateAnswer(bSupported ? 1 : 0, 0));
        }
        ASSERT_TRUE(PumpUntil([this] { return Probed(); }));
        Resize(kGridWidth, kOneRow);
    }
    // True once every button the grid initialised has finished its probe.
    bool Probed() {
        return std::all_of(std::begin(kAllIds), std::end(kAllIds), [this](int nId) {
            CProbeButton& button = m_grid.Button(nId);
            return button.m_pParent == nullptr || button.m_bInited == 1;
        });
    }
    void Resize(int cx, int cy) {
        m_grid.SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
        PumpMessages();
    }
    int GridHeight() const {
        CRect rc;
        m_grid.GetClientRect(&rc);
        return rc.Height();
    }
    // The ids of the visible buttons, left to right and top to bottom.
    std::vector<int> PlacedIds() {
        std::vector<std::pair<std::pair<int, int>, int>> placed;
        for (const int nId : kAllIds) {
            CProbeButton& button = m_grid.Button(nId);
            if (button.m_hWnd && button.IsWindowVisible()) {
                const CRect rc = PlaceInParent(button);
                placed.push_back({{rc.top, rc.left}, nId});
            }
        }
        std::sort(placed.begin(), placed.end());
        std::vector<int> ids;
        for (const auto& entry : placed) {
            ids.push_back(entry.second);
        }
        return ids;
    }
    void Click(int nId) {
        CProbeButton& button = m_grid.Button(nId);
        m_grid.SendMessage(WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), reinterpret_cast<LPARAM>(button.m_hWnd));
    }
    // How many pixels of the band under the first row differ from the panel's background.
    int CaptionInk() {
        PumpMessages();
        const controls_test::CClientPixels pixels(m_grid);
        return pixels.Count(kBackground, RECT{40, 70, 330, 86}, false);
    }

    CContainerStandIn m_container;
    CProbeGrid m_grid;
    int m_nBrandBefore = g_nKobalBrand;
};

struct LayoutCase {
    const char* name;
    int brand;
    std::vector<int> supported;
    std::vector<int> placed; // in the grid's order
    int height;
};

class FeaturesGridLayout : public FeaturesGridTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(FeaturesGridLayout, PlacesTheSupportedButtonsOfTheBrandInItsOrder) {
    const LayoutCase& c = GetParam();
    Open(c.brand, c.supported);
    EXPECT_EQ(PlacedIds(), c.placed);
    for (size_t k = 0; k < c.placed.size(); ++k) {
        EXPECT_EQ(PlaceInParent(m_grid.Button(c.placed[k])), ExpectedPlace(static_cast<int>(k + 1)))
            << "place " << k + 1;
    }
    EXPECT_TRUE(PumpUntil([&] { return GridHeight() == c.height; })) << GridHeight();
    EXPECT_EQ(m_grid.m_nPlacedCount, static_cast<int>(c.placed.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Brands, FeaturesGridLayout,
    testing::Values(LayoutCase{"ConsumerAll", kConsumer, kConsumerOrder, kConsumerOrder, kTwoRows},
                    LayoutCase{"BusinessAll",
                               kBusiness,
                               kBusinessOrder,
                               // the eye care button is in the order but never initialised there
                               {1063, 1056, 1065, 1067, 1058, 1061, 1060},
                               kTwoRows},
                    LayoutCase{"FiveIsOneRow",
                               kConsumer,
                               {1056, 1073, 1058, 1072, 1068},
                               {1056, 1073, 1058, 1072, 1068},
                               kOneRow},
                    LayoutCase{"SixthStartsRowTwo",
                               kConsumer,
                               {1060, 1073, 1058, 1072, 1068, 1056},
                               {1056, 1073, 1058, 1072, 1068, 1060},
                               kTwoRows},
                    LayoutCase{
                        "OtherBrandsButtonsStayOut", kConsumer, {1063, 1065, 1067, 1059, 1062}, {}, kOneRow},
                    LayoutCase{"NoneSupported", kBusiness, {}, {}, kOneRow}),
    [](const testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST_F(FeaturesGridTest, ASupportChangeLaysTheGridOutAgainAndTellsTheContainer) {
    Open(kConsumer, {1056, 1073, 1058, 1072, 1068, 1071});
    ASSERT_TRUE(PumpUntil([this] { return GridHeight() == kTwoRows; }));
    const int nRelayouts = m_container.m_nRelayouts;
    EXPECT_GE(nRelayouts, 1);

    CProbeButton& eyeCare = m_grid.Button(1073);
    eyeCare.Answer(StateAnswer(0, 0));
    eyeCare.RefreshNow();
    EXPECT_TRUE(PumpUntil([this] { return GridHeight() == kOneRow; }));
    EXPECT_GT(m_container.m_nRelayouts, nRelayouts);
    EXPECT_EQ(PlacedIds(), (std::vector<int>{1056, 1058, 1072, 1068, 1071}));
    EXPECT_EQ(PlaceInParent(m_grid.Button(1071)), ExpectedPlace(5)) << "the later ones move up a place";
}

TEST_F(FeaturesGridTest, AClickShowsTheCaptionUnderTheButtonUntilItsTimerEnds) {
    Open(kConsumer, {1056});
    ASSERT_EQ(CaptionInk(), 0);
    Click(1056);
    EXPECT_EQ(m_grid.Button(1056).m_nStatus, 1);
    ASSERT_NE(m_grid.m_nCaptionTimer, 0u);
    // The test ends the caption's time itself: on a busy machine the real two seconds may pass first.
    m_grid.KillTimer(m_grid.m_nCaptionTimer);
    EXPECT_EQ(m_grid.m_strCaption, L"Test feature on");
    EXPECT_EQ(m_grid.m_rcCaption.top, ExpectedPlace(1).bottom);
    EXPECT_EQ(m_grid.m_rcCaption.bottom, ExpectedPlace(1).bottom + 20);
    EXPECT_GT(CaptionInk(), 20);

    m_grid.Invalidate();
    EXPECT_GT(CaptionInk(), 20) << "a repaint keeps the caption while its timer runs";

    m_grid.SendMessage(WM_TIMER, CFeaturesPanelDlg::kWatchTimer);
    EXPECT_NE(m_grid.m_nCaptionTimer, 0u) << "the watch timer's tick changes nothing";
    m_grid.SendMessage(WM_TIMER, m_grid.m_nCaptionTimer);
    EXPECT_EQ(m_grid.m_nCaptionTimer, 0u);
    EXPECT_EQ(CaptionInk(), 0);
}

TEST_F(FeaturesGridTest, ACachedButtonStandsInItsPlaceBeforeItsProbeAnswers) {
    const CString strCache = GetShowExCfgPath().c_str();
    for (const auto& [key, value] : {std::pair{L"support", L"1"},
                                     {L"status", L"1"},
                                     {L"StatusIconID", L"364"},
                                     {L"StateIconType", L"1"}}) {
        ASSERT_TRUE(WritePrivateProfileStringW(L"1058", key, value, strCache));
    }
    g_nKobalBrand = kConsumer;
    ASSERT_TRUE(m_grid.Create(CFeaturesPanelDlg::IDD, &m_container));
    CProbeButton& microphone = m_grid.Button(1058);
    EXPECT_EQ(microphone.m_bInited, 0);
    EXPECT_TRUE(microphone.IsWindowVisible());
    CRect rcGrid;
    m_grid.GetClientRect(&rcGrid);
    EXPECT_EQ(PlaceInParent(microphone), ExpectedPlace(1, rcGrid.Width()));
    for (const int nId : kAllIds) {
        m_grid.Button(nId).Answer(StateAnswer(nId == 1058 ? 1 : 0, 1));
    }
    EXPECT_TRUE(PumpUntil([this] { return Probed(); }));
}

TEST_F(FeaturesGridTest, AClickBeforeTheProbeHasAnsweredShowsNoCaption) {
    g_nKobalBrand = kConsumer;
    ASSERT_TRUE(m_grid.Create(CFeaturesPanelDlg::IDD, &m_container));
    Click(1056);
    EXPECT_EQ(m_grid.m_nCaptionTimer, 0u);
    EXPECT_EQ(m_grid.Button(1056).m_nStatus, 0);
    for (const int nId : kAllIds) {
        m_grid.Button(nId).Answer(StateAnswer(0, 0));
    }
    EXPECT_TRUE(PumpUntil([this] { return Probed(); }));
}

TEST_F(FeaturesGridTest, EnterOnTheFocusedButtonSwitchesItAndIsSwallowed) {
    Open(kConsumer, {1056, 1058});
    m_grid.Button(1058).SetFocus();
    m_grid.Button(1058).PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    PumpMessages();
    EXPECT_EQ(m_grid.Button(1058).m_nStatus, 1);
    EXPECT_EQ(m_grid.Button(1056).m_nStatus, 0);
    EXPECT_NE(m_grid.m_nCaptionTimer, 0u);

    m_grid.SetFocus();
    m_grid.PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    PumpMessages();
    EXPECT_EQ(m_grid.Button(1058).m_nStatus, 1) << "Enter away from a button switches nothing";
}

TEST_F(FeaturesGridTest, HoverDrawsTheShadeAroundTheHoveredButton) {
    Open(kConsumer, {1056, 1058});
    const CRect rc = ExpectedPlace(2);
    const POINT ring{rc.left - 2, rc.CenterPoint().y};
    ASSERT_TRUE(Painted(m_grid));
    EXPECT_EQ(controls_test::CClientPixels(m_grid).At(ring.x, ring.y), kBackground);

    m_grid.Button(1058).PostMessage(WM_MOUSEHOVER, 0, 0);
    PumpMessages();
    EXPECT_EQ(m_grid.m_pHoverButton, &m_grid.Button(1058));
    EXPECT_EQ(m_grid.m_rcHover, rc);
    EXPECT_NE(controls_test::CClientPixels(m_grid).At(ring.x, ring.y), kBackground);

    m_grid.Button(1058).PostMessage(WM_MOUSELEAVE, 0, 0);
    PumpMessages();
    EXPECT_EQ(m_grid.m_pHoverButton, nullptr);
    ASSERT_TRUE(Painted(m_grid));
    EXPECT_EQ(controls_test::CClientPixels(m_grid).At(ring.x, ring.y), kBackground);
}

// TTN_NEEDTEXTW for a button's window, as the grid's tooltip asks for it.
struct ToolTipAsk {
    NMTTDISPINFOW info{};
    LRESULT result = -1;
    BOOL handled = FALSE;
};

class FeaturesGridToolTip : public FeaturesGridTest {
protected:
    // The answer stays in the fixture: the text may point into its own field.
    const ToolTipAsk& Ask(HWND hTool, UINT flags = TTF_IDISHWND) {
        ToolTipAsk& ask = m_ask;
        ask = ToolTipAsk{};
        ask.info.hdr = NMHDR{m_hToolTip, reinterpret_cast<UINT_PTR>(hTool), TTN_NEEDTEXTW};
        ask.info.uFlags = flags;
        ask.info.lpszText = nullptr;
        ask.handled = m_grid.OnToolTipNeedText(0, &ask.info.hdr, &ask.result);
        return ask;
    }
    void SetUp() override {
        FeaturesGridTest::SetUp();
        m_hToolTip = ::CreateWindowExW(WS_EX_TOPMOST, L"tooltips_class32", L"", WS_POPUP, 0, 0, 0, 0,
                                       m_container.m_hWnd, nullptr, nullptr, nullptr);
        ASSERT_NE(m_hToolTip, nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(m_hToolTip);
        FeaturesGridTest::TearDown();
    }
    HWND m_hToolTip = nullptr;
    ToolTipAsk m_ask;
};

TEST_F(FeaturesGridToolTip, NamesTheButtonUntilItsProbeEndsThenGivesItsTip) {
    g_nKobalBrand = kConsumer;
    ASSERT_TRUE(m_grid.Create(CFeaturesPanelDlg::IDD, &m_container));
    CProbeButton& button = m_grid.Button(1056);
    const ToolTipAsk& ask = Ask(button.m_hWnd);
    EXPECT_TRUE(ask.handled);
    EXPECT_EQ(ask.result, 0);
    ASSERT_NE(ask.info.lpszText, nullptr);
    EXPECT_STREQ(ask.info.lpszText, L"Test feature");
    EXPECT_EQ(ask.info.lpszText, ask.info.szText);

    for (const int nId : kAllIds) {
        m_grid.Button(nId).Answer(StateAnswer(nId == 1056 ? 1 : 0, 0));
    }
    ASSERT_TRUE(PumpUntil([this] { return Probed(); }));
    EXPECT_STREQ(Ask(button.m_hWnd).info.lpszText, L"Test feature: Off");

    EXPECT_EQ(Ask(button.m_hWnd, 0).info.lpszText, nullptr) << "only tools by window are served";
}

TEST_F(FeaturesGridToolTip, LongTipsGoThroughThePanelsBufferAndStandAboveTheButton) {
    Open(kConsumer, {1056});
    CProbeButton& button = m_grid.Button(1056);
    for (const int nLength : {78, 79, 3000}) {
        button.m_strTip = CString(std::wstring(static_cast<size_t>(nLength), L'x').c_str());
        const ToolTipAsk& ask = Ask(button.m_hWnd);
        ASSERT_NE(ask.info.lpszText, nullptr);
        const bool bOwnField = ask.info.lpszText == ask.info.szText;
        EXPECT_EQ(bOwnField, nLength < 79) << nLength;
        EXPECT_EQ(wcslen(ask.info.lpszText), static_cast<size_t>(std::min(nLength, 2047))) << nLength;
    }
    button.m_strTip = L"WiFi security: On";
    Ask(button.m_hWnd);
    CRect rcTip;
    CRect rcButton;
    ::GetWindowRect(m_hToolTip, &rcTip);
    button.GetWindowRect(&rcButton);
    EXPECT_LT(rcTip.top, rcButton.top) << "the tip stands above the button";
    EXPECT_LT(rcButton.top - rcTip.top, 40);
}

// The Spanish eye-care tip for a disabled graphics driver, one of the texts too long for one line.
CString SpanishDriverDisabledTip() {
    SetThreadUILanguage(0x0C0A);
    CEyecareModeBtn eyeCare;
    eyeCare.m_nNameWhenDisabled = 0;
    eyeCare.SetButtonStatusIcon(FeatureStateDisabled);
    SetThreadUILanguage(0);
    return eyeCare.m_strTip.Get();
}

TEST_F(FeaturesGridToolTip, ALongTranslatedTipWrapsAtThreeHundredPixelsHigherAboveTheButton) {
    Open(kConsumer, {1056});
    CProbeButton& button = m_grid.Button(1056);
    CRect rcButton;
    button.GetWindowRect(&rcButton);
    const struct {
        CString strTip;
        LRESULT nMaxWidth;
        int nRise; // from the button's top to the tip window's, with the tip's 2-pixel margin
    } cases[] = {
        {L"WiFi security: On", -1, 22},
        {SpanishDriverDisabledTip(), 300, 38},
        {ResStringOfLanguage(CKeyboardTopRowBtn::kLangUkrainian, nullptr, CKeyboardTopRowBtn::IDS_TIP_F1F12),
         300, 38}};
    for (const auto& c : cases) {
        button.m_strTip = c.strTip;
        Ask(button.m_hWnd);
        EXPECT_EQ(::SendMessageW(m_hToolTip, TTM_GETMAXTIPWIDTH, 0, 0), c.nMaxWidth) << c.nRise;
        CRect rcTip;
        ::GetWindowRect(m_hToolTip, &rcTip);
        EXPECT_EQ(rcButton.top - rcTip.top, c.nRise);
    }
}

} // namespace

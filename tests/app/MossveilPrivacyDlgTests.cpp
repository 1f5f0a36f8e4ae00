// The privacy panel in a container that creates it, on the simulated host: each form the host's
// privacy monitoring gives it (dashboard, rotating blocks, good job, single card, unavailable), the
// carousel's rotation and clicks, its links with their telemetry and pages, the page events at its end,
// the tab headings, its proportional layout and paint, and a refresh that outlives the panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/MossveilPrivacyDlg.h"
#include "platform/threads.h"
#include "tests/app/PanelTestSupport.h"

namespace {

using namespace panels_test;
using namespace std::chrono_literals;
using controls_test::CClientPixels;

constexpr auto kLongWait = std::chrono::seconds(60);
const COLORREF kCardFill = 0xF5F5F5;
const COLORREF kCardFrame = 0xD2D2D2;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kCountRed = RGB(255, 0, 0);
const COLORREF kMaskedMails = RGB(0x8C, 0x96, 0xB2);

class CPrivacyProbe : public CMossveilPrivacyDlg {
public:
    using CMossveilPrivacyDlg::m_workers;
};

struct CPrivacyDeleter {
    void operator()(CPrivacyProbe* pPanel) const {
        if (pPanel->m_hWnd) {
            pPanel->DestroyWindow();
        }
        delete pPanel;
    }
};

struct BlockShown {
    CString strTitle;
    int nPicture;
    CString strAction;
};

class PrivacyPanelTest : public CPanelTest {
protected:
    void DestroyPanels() override { m_pPanel.reset(); }

    // The panel of the host's privacy form (flipdeck-machine privacy ...), its owner the container, its
    // client 400 x 165 pixels.
    CPrivacyProbe& Open(const std::string& strPrivacy, bool bOwner = true, bool bSecurityHeading = true,
                        bool bContract = true) {
        RunMachineTool("privacy " + strPrivacy);
        if (bContract) {
            StartContract();
        }
        m_pPanel.reset(new CPrivacyProbe);
        CPrivacyProbe& panel = *m_pPanel;
        panel.m_pOwner = bOwner ? &m_container : nullptr;
        panel.m_bShowSecurityHeading = bSecurityHeading;
        EXPECT_TRUE(panel.Create(CMossveilPrivacyDlg::IDD, &m_container));
        panel.MoveWindow(0, 0, 400, 165);
        panel.ShowWindow(SW_SHOW);
        Settle();
        return panel;
    }
    BlockShown Shown() {
        BlockShown shown{};
        CString strText;
        CString strCount;
        shown.nPicture = 237;
        m_pPanel->SelectBlock(m_pPanel->m_nCurrentBlock, shown.strTitle, strText, shown.strAction, strCount,
                              shown.nPicture);
        return shown;
    }
    static size_t StatusCalls() { return ReadMachineEvents("contract.GetPrivacyMonitorStatus").size(); }
    static std::vector<std::string> ScrollPages() {
        std::vector<std::string> pages;
        for (const FeatureEvent& event : FeatureEvents()) {
            if (event.strName == "ScrollBar") {
                pages.push_back(event.strPage);
            }
        }
        return pages;
    }
    void ClickStatic(int nId) { ClickOnCentre(*m_pPanel->GetDlgItem(nId)); }
    int ClientHeight() const { return ClientRectOf(*m_pPanel).Height(); }

    std::unique_ptr<CPrivacyProbe, CPrivacyDeleter> m_pPanel;
};

TEST_F(PrivacyPanelTest, RotatingBlocksShowEachCountEveryThreeSeconds) {
    CPrivacyProbe& panel = Open("--state 1 --counts 2,-1,0,7,3,128,42 --mode 1");
    EXPECT_EQ(panel.m_nAvailability, 1);
    EXPECT_FALSE(panel.m_bSingle);
    const struct {
        int nBlock;
        const wchar_t* pszTitle;
        int nPicture;
        const wchar_t* pszAction;
        const char* pszPage;
    } steps[] = {
        {1, L"2 BREACHED ACCOUNTS FOUND", 251, L"FIX BREACHES", "PrivacyWidget.BreachedAccountsFoundBlock"},
        {2, L"KNOW WHO TRACKS YOU", 243, L"RUN CHECKUP", "PrivacyWidget.KnowWhoTracksYouBlock"},
        {3, L"NO VULNERABLE PASSWORDS FOUND", 240, L"EXPLORE NOW",
         "PrivacyWidget.NoVulnerablePasswordsFoundBlock"},
        {1, L"2 BREACHED ACCOUNTS FOUND", 251, L"FIX BREACHES", "PrivacyWidget.BreachedAccountsFoundBlock"},
    };
    std::vector<std::string> pages;
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& step = steps[i];
        // The first step at the start, then one every 3 s.
        ASSERT_TRUE(PumpUntil([&] { return ScrollPages().size() == i + 1; }, kLongWait)) << i;
        ASSERT_EQ(panel.m_nCurrentBlock, step.nBlock) << i;
        const BlockShown shown = Shown();
        EXPECT_EQ(shown.strTitle, step.pszTitle);
        EXPECT_EQ(shown.nPicture, step.nPicture);
        EXPECT_EQ(shown.strAction, step.pszAction);
        ASSERT_TRUE(Painted(panel));
        EXPECT_EQ(panel.m_picture.m_nImageId, step.nPicture);
        pages.push_back(step.pszPage);
    }
    EXPECT_EQ(ScrollPages(), pages);
    EXPECT_EQ(m_container.m_nRelayouts, 1) << "after initialisation only";
}

TEST_F(PrivacyPanelTest, GoodJobShrinksThePanelOnceAndItsLinkKeepsItUp) {
    CPrivacyProbe& panel = Open("form good-job");
    EXPECT_TRUE(panel.m_bGoodJob);
    EXPECT_TRUE(panel.m_bSingle);
    EXPECT_EQ(ClientHeight(), 165 - 165 / 4);
    EXPECT_EQ(m_container.m_nRelayouts, 2) << "after initialisation and after the resize";
    EXPECT_EQ(Shown().strTitle, L"GOOD JOB!");
    ASSERT_TRUE(PumpUntil([] { return StatusCalls() >= 2; }, kLongWait));
    Settle();
    EXPECT_EQ(ClientHeight(), 165 - 165 / 4) << "the state did not change again";
    EXPECT_TRUE(ScrollPages().empty());

    ClickOnCentre(panel.m_linkAction);
    EXPECT_EQ(FeatureEvents().back(), (FeatureEvent{"KeepItUpLink", "", "PrivacyWidget.GoodJobBlock"}));
    EXPECT_EQ(OpenedUris(), std::vector<std::string>{"corvex-solvane3:privacy-landing"});

    RunMachineTool("privacy form rotating");
    EXPECT_TRUE(PumpUntil([&panel] { return !panel.m_bGoodJob; }, kLongWait));
    EXPECT_TRUE(PumpUntil([this] { return ClientHeight() == (165 - 165 / 4) * 4 / 3; }, kLongWait))
        << "the quarter given back";
}

TEST_F(PrivacyPanelTest, TheSingleCardsLinkStillFollowsTheRotatingBlock) {
    CPrivacyProbe& panel = Open("--state 1 --counts -1,-1,-1,0,0,0,0 --mode 1");
    EXPECT_TRUE(panel.m_bSingle);
    EXPECT_EQ(Shown().strTitle, L"DISCOVER HOW PRIVATE YOU ARE");
    EXPECT_FALSE(panel.m_statics[4].IsWindowVisible()) << "no carousel";
    ASSERT_TRUE(PumpUntil([&panel] { return panel.m_nCurrentBlock == 2; }, kLongWait));
    ClickOnCentre(panel.m_linkAction);
    EXPECT_EQ(FeatureEvents().back(),
              (FeatureEvent{"RunCheckupLink", "", "PrivacyWidget.KnowWhoTracksYouBlock"}));
    EXPECT_EQ(OpenedUris(), std::vector<std::string>{"corvex-solvane3:privacy-trackers"});
}

TEST_F(PrivacyPanelTest, EachBlocksLinkOpensItsPage) {
    const struct {
        const char* pszCounts;
        int nBlock;
        FeatureEvent event;
        const char* pszUri;
    } cases[] = {
        {"3,0,0",
         1,
         {"FixBreachesLink", "", "PrivacyWidget.BreachedAccountsFoundBlock"},
         "corvex-solvane3:privacy-breaches"},
        {"0,1,0",
         1,
         {"CheckMoreEmailsLink", "", "PrivacyWidget.NoBreachedAccountsFoundBlock"},
         "corvex-solvane3:privacy-breaches"},
        {"0,1,0",
         2,
         {"ExploreTrackingToolsLink", "", "PrivacyWidget.TrackingToolsFoundBlock"},
         "corvex-solvane3:privacy-trackers"},
        {"1,0,0",
         2,
         {"ExploreNowLink", "", "PrivacyWidget.NoTrackingToolsFoundBlock"},
         "corvex-solvane3:privacy-landing"},
        {"1,0,5",
         3,
         {"GetPasswordsLink", "", "PrivacyWidget.VulnerablePasswordsFoundBlock"},
         "corvex-solvane3:privacy-browser-accounts"},
        {"1,0,0",
         3,
         {"ExploreNowLink", "", "PrivacyWidget.NoVulnerablePasswordsFoundBlock"},
         "corvex-solvane3:privacy-landing"},
        {"1,0,-1",
         3,
         {"RunCheckupLink", "", "PrivacyWidget.DiscoverVulnerablePasswordsBlock"},
         "corvex-solvane3:privacy-browser-accounts"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCounts + std::string(" block ") + std::to_string(c.nBlock));
        CPrivacyProbe& panel = Open(std::string("--state 1 --mode 1 --counts ") + c.pszCounts + ",1,1,1,1");
        ClickStatic(CMossveilPrivacyDlg::IDC_PREVIOUS + c.nBlock);
        ASSERT_EQ(panel.m_nCurrentBlock, c.nBlock);
        const size_t nOpened = OpenedUris().size();
        ClickOnCentre(panel.m_linkAction);
        EXPECT_EQ(FeatureEvents().back(), c.event);
        ASSERT_EQ(OpenedUris().size(), nOpened + 1);
        EXPECT_EQ(OpenedUris().back(), c.pszUri);
        m_pPanel.reset();
        ReleaseContractInterface();
    }
}

TEST_F(PrivacyPanelTest, ADotShowsItsBlockAndHoldsTheCardForOneStep) {
    CPrivacyProbe& panel = Open("form rotating");
    // Right after an automatic step, so that the click comes well before the next.
    ASSERT_TRUE(PumpUntil([] { return ScrollPages().size() == 2; }, kLongWait));
    ASSERT_EQ(panel.m_nCurrentBlock, 2);
    const size_t nCalls = StatusCalls();
    ClickStatic(CMossveilPrivacyDlg::IDC_DOT3);
    EXPECT_EQ(panel.m_nCurrentBlock, 3);
    EXPECT_EQ(ScrollPages().back(), "PrivacyWidget.NoVulnerablePasswordsFoundBlock");
    ASSERT_TRUE(PumpUntil([&panel] { return panel.m_nCurrentBlock == 1; }, kLongWait));
    EXPECT_EQ(StatusCalls(), nCalls + 2) << "the step after the click was skipped, the next went on";

    ClickStatic(CMossveilPrivacyDlg::IDC_PREVIOUS);
    EXPECT_EQ(panel.m_nCurrentBlock, 3) << "round from the first";
    ClickStatic(CMossveilPrivacyDlg::IDC_NEXT);
    EXPECT_EQ(panel.m_nCurrentBlock, 1) << "round from the last";
}

TEST_F(PrivacyPanelTest, TheDashboardShowsFourCountersAndItsEndSendsOnePageEvent) {
    CPrivacyProbe& panel = Open("--state 1 --counts 1,3,2,7,3,128,42 --mode 2");
    const int icons[4] = {247, 248, 246, 242};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(panel.m_statics[i].IsWindowVisible()) << i;
        EXPECT_EQ(panel.m_statics[i].m_nImageId, icons[i]) << i;
        EXPECT_EQ(PlaceInParent(panel.m_statics[i]), panel.m_rcIcons[i]) << i;
    }
    EXPECT_EQ(panel.m_rcIcons[1], CRect(400 * 260 / 500, 165 * 38 / 165, 400 * 260 / 500 + 30, 68))
        << "square";
    EXPECT_FALSE(panel.m_statics[4].IsWindowVisible());
    EXPECT_TRUE(panel.m_linkCheck.IsWindowVisible());
    EXPECT_FALSE(panel.m_linkAction.IsWindowVisible());
    EXPECT_FALSE(panel.m_picture.IsWindowVisible());
    ASSERT_TRUE(Painted(panel));
    const CRect& rcMails = panel.m_rcIcons[1];
    EXPECT_GT(
        CClientPixels(panel).Count(kMaskedMails, CRect(rcMails.right, rcMails.top, 400, rcMails.bottom)), 0)
        << "\"of  7\" stands out";

    ClickOnCentre(panel.m_linkCheck);
    EXPECT_EQ(FeatureEvents().back(), (FeatureEvent{"CheckLink", "", "PrivacyWidget.DashboardBlock"}));
    EXPECT_TRUE(OpenedUris().empty()) << "the privacy app's scheme is not a Solvane scheme";

    ASSERT_TRUE(PumpUntil([] { return StatusCalls() >= 2; }, kLongWait));
    Settle();
    m_pPanel.reset();
    const auto pages = ReadMachineEvents("telemetry.page");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].value("page", ""), "DashboardBlock");
    EXPECT_EQ(pages[0].value("from", "x"), "");
    EXPECT_TRUE(std::regex_match(pages[0].value("value", ""), std::regex("[0-9]+\\.[0-9]{7}")));
}

TEST_F(PrivacyPanelTest, TheEndSendsOnePageEventForEachBlockTheCardCouldShow) {
    Open("form rotating");
    m_pPanel.reset();
    std::vector<std::string> pages;
    for (const nlohmann::json& record : ReadMachineEvents("telemetry.page")) {
        pages.push_back(record.value("page", ""));
    }
    std::sort(pages.begin(), pages.end());
    EXPECT_EQ(pages, (std::vector<std::string>{"BreachedAccountsFoundBlock", "KnowWhoTracksYouBlock",
                                               "NoVulnerablePasswordsFoundBlock"}));
}

TEST_F(PrivacyPanelTest, WithoutMonitoringTheSingleCardShowsAndNothingRefreshes) {
    for (const auto& [pszHost, pszForm] :
         {std::pair{"normal", "form unavailable"}, std::pair{"failing", "form rotating"}}) {
        SCOPED_TRACE(pszHost);
        RunMachineTool(std::string("host mode ") + pszHost);
        CPrivacyProbe& panel = Open(pszForm);
        EXPECT_EQ(panel.m_nAvailability, 0);
        EXPECT_EQ(panel.m_hRefreshEvent, nullptr);
        EXPECT_FALSE(panel.m_workers.IsRunning());
        EXPECT_EQ(StatusCalls(), 0u);
        EXPECT_EQ(Shown().strTitle, L"DISCOVER HOW PRIVATE YOU ARE");
        m_pPanel.reset();
        ReleaseContractInterface();
        RunMachineTool("host mode normal");
    }
}

TEST_F(PrivacyPanelTest, WithoutAHostTheLinkStillOpensTheBreachesPage) {
    RunMachineTool("host mode absent");
    CPrivacyProbe& panel = Open("form rotating", true, true, false);
    EXPECT_EQ(panel.m_nAvailability, 0);
    ClickOnCentre(panel.m_linkAction);
    EXPECT_TRUE(FeatureEvents().empty());
    EXPECT_EQ(OpenedUris(), std::vector<std::string>{"corvex-solvane3:privacy-breaches"});
}

TEST_F(PrivacyPanelTest, TheHeadingsAskTheOwnerForTheirPanel) {
    CPrivacyProbe& panel = Open("form rotating");
    ClickOnCentre(panel.m_privacyHeading);
    ClickOnCentre(panel.m_securityHeading);
    EXPECT_EQ(m_container.m_headingRequests, (std::vector<WPARAM>{1, 0}));
    EXPECT_EQ(PlaceInParent(panel.m_securityHeading).left, PlaceInParent(panel.m_privacyHeading).right + 10);

    m_pPanel.reset();
    CPrivacyProbe& alone = Open("form rotating", false);
    ClickOnCentre(alone.m_privacyHeading);
    EXPECT_EQ(m_container.m_headingRequests.size(), 2u) << "no owner, no request";
    EXPECT_EQ(m_container.m_nRelayouts, 1) << "and no resize either";
}

TEST_F(PrivacyPanelTest, AHeadingThatIsCutTellsItsTitleInTheTooltipsOwnBuffer) {
    CPrivacyProbe& panel = Open("form rotating");
    CToolTipAsker tip;
    EXPECT_EQ(tip.Ask(panel, panel.m_privacyHeading), L"<none>") << "it fits";
    const std::wstring strLong(200, L'W');
    SetTabHeading(panel.m_securityHeading, strLong.c_str(), false);
    panel.m_securityHeading.Invalidate();
    ASSERT_TRUE(Painted(panel.m_securityHeading));
    EXPECT_EQ(tip.Ask(panel, panel.m_securityHeading), strLong.substr(0, 79))
        << "cut to the 80 characters it holds";
}

TEST_F(PrivacyPanelTest, TheTabArrowOpensTheCardUnderTheActiveHeadingOnly) {
    for (const bool bSecurityHeading : {true, false}) {
        SCOPED_TRACE(bSecurityHeading);
        CPrivacyProbe& panel = Open("form rotating", true, bSecurityHeading);
        EXPECT_EQ(panel.m_securityHeading.IsWindowVisible() != FALSE, bSecurityHeading);
        ASSERT_TRUE(Painted(panel));
        const CClientPixels pixels(panel);
        const int nCardTop = 165 * 37 / 165;
        const int nCardLeft = 400 * 35 / 500;
        const int w = ClientRectOf(panel.m_privacyHeading).Width();
        const int xOpen = nCardLeft + w / 4 + w / 8;
        EXPECT_EQ(pixels.At(xOpen, nCardTop), bSecurityHeading ? kCardFill : kCardFrame);
        EXPECT_EQ(pixels.At(xOpen, nCardTop - 1) != kWhite, bSecurityHeading) << "the arrow";
        EXPECT_EQ(pixels.At(nCardLeft + 3 * w / 4, nCardTop), kCardFrame) << "closed beside it";
        m_pPanel.reset();
        ReleaseContractInterface();
    }
}

TEST_F(PrivacyPanelTest, TheCarouselStandsAtTheFootOfTheCard) {
    CPrivacyProbe& panel = Open("form rotating");
    ASSERT_TRUE(Painted(panel));
    const int lefts[5] = {152, 169, 186, 203, 220};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(PlaceInParent(panel.m_statics[i]), CRect(lefts[i], 150, lefts[i] + 15, 165)) << i;
        EXPECT_TRUE(panel.m_statics[i].IsWindowVisible()) << i;
    }
    EXPECT_EQ(panel.m_statics[0].m_nImageId, 289);
    EXPECT_EQ(panel.m_statics[1].m_nImageId, 291) << "block 1 shown";
    EXPECT_EQ(panel.m_statics[2].m_nImageId, 292);
    EXPECT_EQ(panel.m_statics[4].m_nImageId, 290);
    EXPECT_EQ(PlaceInParent(panel.m_linkAction).TopLeft(), CPoint(400 * 140 / 500, 165 * (145 - 16) / 165));
}

TEST_F(PrivacyPanelTest, TitlesPlaceTheirCountInRedAndLongOnesStartHigher) {
    const struct {
        const char* pszCounts;
        const wchar_t* pszTitle;
        bool bLong;
        bool bRedCount;
    } cases[] = {
        {"2,0,0", L"2 BREACHED ACCOUNTS FOUND", false, true},
        {"-1,0,0", L"FIND AND FIX BREACHED INFORMATION", true, false},
        {"0,0,0", L"NO BREACHED ACCOUNTS FOUND", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCounts);
        CPrivacyProbe& panel = Open(std::string("--state 1 --mode 1 --counts ") + c.pszCounts + ",1,1,1,1");
        ASSERT_EQ(Shown().strTitle, c.pszTitle);
        panel.Invalidate();
        ASSERT_TRUE(Painted(panel));
        EXPECT_EQ(panel.m_rcTitle.top, c.bLong ? 165 * (54 - 12) / 165 : 54);
        EXPECT_EQ(panel.m_rcTitle.bottom, 70);
        EXPECT_EQ(panel.m_rcText.top, 76);
        EXPECT_EQ(CClientPixels(panel).Count(kCountRed, panel.m_rcTitle) > 0, c.bRedCount);
        m_pPanel.reset();
        ReleaseContractInterface();
    }
}

TEST_F(PrivacyPanelTest, TheGoodJobCardStandsLowerWithoutCarousel) {
    CPrivacyProbe& panel = Open("form good-job");
    panel.MoveWindow(0, 0, 400, 165);
    panel.Invalidate();
    ASSERT_TRUE(Painted(panel));
    EXPECT_EQ(panel.m_rcTitle.top, 54 + 13);
    EXPECT_EQ(panel.m_rcText.top, 76 + 13);
    EXPECT_EQ(PlaceInParent(panel.m_linkAction).top, 141);
    const CClientPixels pixels(panel);
    EXPECT_EQ(pixels.At(100, 46), kWhite);
    EXPECT_EQ(pixels.At(100, 47), kCardFrame) << "the card starts at y(47)";
    EXPECT_EQ(pixels.At(100, 164), kCardFrame) << "and ends at the panel's foot";
    for (const CPNGStatic& control : panel.m_statics) {
        EXPECT_FALSE(control.IsWindowVisible());
    }
}

TEST_F(PrivacyPanelTest, ARefreshHeldByTheHostNeitherHoldsUpTheCloseNorTouchesThePanelAfterwards) {
    CPrivacyProbe& panel = Open("form rotating");
    RunMachineTool("host mode slow");
    ::SendMessageW(panel.m_hWnd, WM_TIMER, CMossveilPrivacyDlg::kRefreshTimer, 0);
    const auto start = std::chrono::steady_clock::now();
    m_pPanel.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    RunMachineTool("host mode normal");
    EXPECT_TRUE(platform::WaitForWorkers(60000)) << "the refresh thread ends by itself";
}

} // namespace

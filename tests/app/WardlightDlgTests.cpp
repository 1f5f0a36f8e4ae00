// The security-score panel in a container that creates it: the score bands from the registry with their
// pictures, colours and texts, the "?" circle without a score, its click on the circle or on the link
// word, the tab headings, its resize message and the hand cursor.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/WardlightDlg.h"
#include "platform/registry.h"
#include "tests/app/PanelTestSupport.h"

namespace {

using namespace panels_test;
using controls_test::CClientPixels;
using controls_test::ClassCursorOf;

const wchar_t kToastKey[] = L"Software\\Corvex\\AmpwiseToast";
const COLORREF kWhite = RGB(255, 255, 255);

class CWardlightProbe : public CWardlightDlg {};

struct CWardlightDeleter {
    void operator()(CWardlightProbe* pPanel) const {
        if (pPanel->m_hWnd) {
            pPanel->DestroyWindow();
        }
        delete pPanel;
    }
};

void DeleteScore() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToastKey, 0, KEY_ALL_ACCESS, &hKey) == ERROR_SUCCESS) {
        RegDeleteValueW(hKey, L"SecurityScore");
        RegCloseKey(hKey);
    }
}

void SetScoreValue(DWORD dwType, const void* pData, DWORD cbData) {
    HKEY hKey = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, kToastKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
        ERROR_SUCCESS);
    RegSetValueExW(hKey, L"SecurityScore", 0, dwType, static_cast<const BYTE*>(pData), cbData);
    RegCloseKey(hKey);
}

void SetScore(DWORD dwScore) {
    SetScoreValue(REG_DWORD, &dwScore, sizeof(dwScore));
}

class WardlightPanelTest : public CPanelTest {
protected:
    void DestroyPanels() override { m_pPanel.reset(); }

    // The panel with the owner and flags given, its client then 400 x 165 pixels and painted.
    CWardlightProbe& Open(bool bTabs, bool bCompact = false) {
        m_pPanel.reset(new CWardlightProbe);
        CWardlightProbe& panel = *m_pPanel;
        panel.m_pOwner = &m_container;
        panel.m_bTabs = bTabs;
        panel.m_bCompact = bCompact;
        EXPECT_TRUE(panel.Create(CWardlightDlg::IDD, &m_container));
        panel.ShowWindow(SW_SHOW);
        Settle();
        panel.MoveWindow(0, 0, 400, 165);
        EXPECT_TRUE(Painted(panel));
        return panel;
    }

    std::unique_ptr<CWardlightProbe, CWardlightDeleter> m_pPanel;
};

struct BandCase {
    const char* pszName;
    DWORD dwType; // REG_NONE: no value
    DWORD dwScore;
    int nScore;
    int nPicture;
    Gdiplus::ARGB argbStart;
    Gdiplus::ARGB argbEnd;
    const wchar_t* pszHeading;
};

TEST_F(WardlightPanelTest, TheScoreChoosesItsBandFromTheRegistry) {
    const wchar_t* const kCheck = L"CHECK YOUR SECURITY LEVEL";
    const wchar_t* const kNotFully = L"NOT FULLY PROTECTED";
    const BandCase cases[] = {
        {"no value", REG_NONE, 0, -1, 295, 0xFF6F5AF7u, 0xFFD982FBu, kCheck},
        {"0", REG_DWORD, 0, 0, 298, 0xFFED5849u, 0xFFF97163u, kNotFully},
        {"29", REG_DWORD, 29, 29, 298, 0xFFED5849u, 0xFFF97163u, kNotFully},
        {"30", REG_DWORD, 30, 30, 295, 0xFFEE5A08u, 0xFFFF7E3Eu, kNotFully},
        {"59", REG_DWORD, 59, 59, 295, 0xFFEE5A08u, 0xFFFF7E3Eu, kNotFully},
        {"60", REG_DWORD, 60, 60, 296, 0xFFEDE549u, 0xFFF9E163u, kNotFully},
        {"79", REG_DWORD, 79, 79, 296, 0xFFEDE549u, 0xFFF9E163u, kNotFully},
        {"80", REG_DWORD, 80, 80, 297, 0xFF2FD07Eu, 0xFF34E1ADu, kNotFully},
        {"99", REG_DWORD, 99, 99, 297, 0xFF2FD07Eu, 0xFF34E1ADu, kNotFully},
        {"100", REG_DWORD, 100, 100, 297, 0xFF2FD07Eu, 0xFF34E1ADu, L"FULLY PROTECTED"},
        {"101", REG_DWORD, 101, -1, 295, 0xFF6F5AF7u, 0xFFD982FBu, kCheck},
        {"a huge value", REG_DWORD, 0xFFFFFFFFu, -1, 295, 0xFF6F5AF7u, 0xFFD982FBu, kCheck},
        {"a text", REG_SZ, 0, -1, 295, 0xFF6F5AF7u, 0xFFD982FBu, kCheck},
    };
    for (const BandCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        DeleteScore();
        if (c.dwType == REG_DWORD) {
            SetScore(c.dwScore);
        } else if (c.dwType == REG_SZ) {
            SetScoreValue(REG_SZ, L"50", sizeof(L"50"));
        }
        EXPECT_EQ(ReadSecurityScore(), c.nScore);
        EXPECT_EQ(CWardlightDlg::GetScorePicture(c.nScore), c.nPicture);
        Gdiplus::ARGB argbStart = 0;
        Gdiplus::ARGB argbEnd = 0;
        CWardlightDlg::GetScoreColors(c.nScore, argbStart, argbEnd);
        EXPECT_EQ(argbStart, c.argbStart);
        EXPECT_EQ(argbEnd, c.argbEnd);
        CString strHeading;
        CString strText;
        CWardlightDlg::GetScoreTexts(c.nScore, strHeading, strText);
        EXPECT_EQ(strHeading, c.pszHeading);

        CWardlightProbe& panel = Open(false);
        EXPECT_EQ(panel.m_picture.m_nImageId, c.nPicture);
        EXPECT_EQ(panel.m_picture.IsWindowVisible() != FALSE, c.nScore >= 0) << "the ring shows a score";
    }
}

TEST_F(WardlightPanelTest, WithoutAScoreAWhiteQuestionMarkStandsInTheVioletCircle) {
    DeleteScore();
    CWardlightProbe& panel = Open(false);
    const CRect rcCircle(400 * 46 / 500, 67, 400 * 46 / 500 + 400 * 77 / 500, 67 + 400 * 77 / 500);
    const CClientPixels pixels(panel);
    const COLORREF crEdge = pixels.At(rcCircle.left + 8, rcCircle.CenterPoint().y);
    EXPECT_GT(GetBValue(crEdge), GetGValue(crEdge) + 40) << "violet";
    const CRect rcMiddle(rcCircle.CenterPoint().x - 10, rcCircle.CenterPoint().y - 15,
                         rcCircle.CenterPoint().x + 10, rcCircle.CenterPoint().y + 15);
    EXPECT_GT(pixels.Count(kWhite, rcMiddle), 10) << "the \"?\"";
    EXPECT_EQ(pixels.At(rcCircle.left + 2, rcCircle.top + 2), 0xF5F5F5) << "the card outside the circle";
}

TEST_F(WardlightPanelTest, TheCircleAndTheLinkWordOpenTheSecurityPage) {
    StartContract();
    SetScore(50);
    CWardlightProbe& panel = Open(false);
    ASSERT_EQ(panel.m_arrLinkRects.GetSize(), 9) << "the characters of \"Wardlight\"";
    const CRect rcFirstLink = panel.m_arrLinkRects[0];
    const CRect rcCircle(400 * 46 / 500, 67, 400 * 46 / 500 + 400 * 77 / 500, 67 + 400 * 77 / 500);
    const FeatureEvent kEvent{"Features.Toolbar.Flipdecks.GoToSolvaneWardlightPage", "",
                              "Features.Toolbar.PowerInformation"};
    const struct {
        const char* pszWhere;
        CPoint point;
        bool bOpens;
    } clicks[] = {
        {"a link character", rcFirstLink.CenterPoint(), true},
        {"the text before it", CPoint(400 * 140 / 500 + 3, rcFirstLink.CenterPoint().y), false},
        {"the circle", rcCircle.CenterPoint(), true},
        {"the card beside the circle", CPoint(rcCircle.left + 2, rcCircle.top + 2), false},
    };
    size_t nOpened = 0;
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.pszWhere);
        ClickOn(panel, click.point);
        nOpened += click.bOpens ? 1 : 0;
        EXPECT_EQ(OpenedUris().size(), nOpened);
        EXPECT_EQ(FeatureEvents().size(), nOpened);
    }
    EXPECT_EQ(OpenedUris().back(), "corvex-solvane3:security");
    EXPECT_EQ(FeatureEvents().back(), kEvent);

    SetScore(100);
    panel.Invalidate();
    ASSERT_TRUE(Painted(panel));
    EXPECT_EQ(panel.m_arrLinkRects.GetSize(), 0)
        << "\"Congratulations! You are well protected.\" has no link";
}

TEST_F(WardlightPanelTest, TheHandShowsOverWhatOpensThePage) {
    SetScore(50);
    CWardlightProbe& panel = Open(false);
    const HCURSOR hHand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR hArrow = ::LoadCursorW(nullptr, IDC_ARROW);
    platform::desktop::MoveMouse(OnScreen(panel, panel.m_arrLinkRects[4].CenterPoint()));
    PumpMessages();
    EXPECT_EQ(ClassCursorOf(panel), hHand);
    platform::desktop::MoveMouse(OnScreen(panel, POINT{395, 160}));
    PumpMessages();
    EXPECT_EQ(ClassCursorOf(panel), hArrow);
}

TEST_F(WardlightPanelTest, WithTheTabsTheHeadingsSwapAndTheCircleRises) {
    StartContract();
    SetScore(50);
    CWardlightProbe& panel = Open(true);
    EXPECT_EQ(panel.m_leftHeading.m_title.m_strText, L"MY PRIVACY");
    EXPECT_EQ(panel.m_leftHeading.m_crText, 0x6E6E6E);
    EXPECT_EQ(panel.m_rightHeading.m_title.m_strText, L"MY SECURITY");
    EXPECT_EQ(panel.m_rightHeading.m_crText, 0x5E4934);
    EXPECT_TRUE(panel.m_rightHeading.IsWindowVisible());
    EXPECT_EQ(PlaceInParent(panel.m_rightHeading).left, PlaceInParent(panel.m_leftHeading).right + 10);

    ClickOnCentre(panel.m_leftHeading);
    ClickOnCentre(panel.m_rightHeading);
    EXPECT_EQ(m_container.m_headingRequests, (std::vector<WPARAM>{1, 0}));

    // The circle is drawn 13 units higher; a click hits it where it is drawn.
    const int d = 400 * 77 / 500;
    const CPoint centre(400 * 46 / 500 + d / 2, 165 * (67 - 13) / 165 + d / 2);
    ClickOn(panel, CPoint(centre.x, centre.y - d / 2 + 4));
    EXPECT_EQ(OpenedUris().size(), 1u) << "the top of the circle";
    ClickOn(panel, CPoint(centre.x, centre.y + d / 2 + 6));
    EXPECT_EQ(OpenedUris().size(), 1u) << "below the circle";
}

TEST_F(WardlightPanelTest, WithoutTheTabsThePanelLosesAQuarterAndItsHeadingsAskNothing) {
    int nHeights[2] = {};
    for (const bool bTabs : {true, false}) {
        m_pPanel.reset(new CWardlightProbe);
        m_pPanel->m_pOwner = &m_container;
        m_pPanel->m_bTabs = bTabs;
        ASSERT_TRUE(m_pPanel->Create(CWardlightDlg::IDD, &m_container));
        nHeights[bTabs ? 0 : 1] = ClientRectOf(*m_pPanel).Height();
    }
    EXPECT_EQ(nHeights[1], nHeights[0] - nHeights[0] / 4);
    EXPECT_FALSE(m_pPanel->m_rightHeading.IsWindowVisible());
    EXPECT_EQ(m_pPanel->m_leftHeading.m_title.m_strText, L"MY SECURITY");
    EXPECT_EQ(m_pPanel->m_leftHeading.m_crText, 0x5E4934);
    EXPECT_EQ(m_container.m_nRelayouts, 2) << "each panel tells its owner once";
    m_pPanel->ShowWindow(SW_SHOW);
    ClickOnCentre(m_pPanel->m_leftHeading);
    EXPECT_TRUE(m_container.m_headingRequests.empty());
}

TEST_F(WardlightPanelTest, TheResizeMessageTakesAQuarterOffAndGivesItBack) {
    CWardlightProbe& panel = Open(true);
    panel.MoveWindow(0, 0, 400, 200);
    panel.SendMessage(WM_DECK_RESIZESECURITYPANEL, 1);
    EXPECT_EQ(ClientRectOf(panel).Height(), 150);
    panel.SendMessage(WM_DECK_RESIZESECURITYPANEL, 0);
    EXPECT_EQ(ClientRectOf(panel).Height(), 200);
    EXPECT_EQ(ClientRectOf(panel).Width(), 400);
    EXPECT_EQ(m_container.m_nRelayouts, 1) << "only after initialisation";
}

} // namespace

// The go-to-Solvane panel in the process: its button and warranty link (none on models ending in "CD",
// never the feedback link), the dashboard a click on the pill opens and a click beside it does not, the
// support page a click on the link opens once after its event, the keys on both, and the narrator's
// clicks on the link.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/GoToSolvaneDlg.h"
#include "platform/com.h"
#include "services/ContractClient.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/features/HostButtonTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::HasUpdate;
using controls_test::PumpUntil;
using features_test::FeatureEvent;
using features_test::FeatureEvents;
using testing_support::ReadMachineEvents;
namespace desktop = platform::desktop;

const FeatureEvent kDashboardEvent{"Features.Toolbar.PowerInformation.GoToSolvaneDashboardPage", "",
                                   "Features.Toolbar.PowerInformation"};
const FeatureEvent kWarrantyEvent{"Features.Toolbar.PowerInformation.GoToWarrantyServiceHomePage", "",
                                  "Features.Toolbar.PowerInformation"};
const std::string kDashboard = "corvex-solvane3:toolbar 3";
const std::string kSupport = "corvex-solvane3:support 3";

// The pages the shell opened, each with its show command.
std::vector<std::string> OpenedPages() {
    std::vector<std::string> pages;
    for (const nlohmann::json& record : ReadMachineEvents("shell.execute")) {
        pages.push_back(record.value("file", "") + " " + std::to_string(record.value("show", -1)));
    }
    return pages;
}

// Milliseconds of the day of an event's time ("...THH:MM:SS.mmmZ").
long long MillisecondsOf(const nlohmann::json& record) {
    const std::string time = record.value("time", "");
    const size_t t = time.find('T');
    if (t == std::string::npos || time.size() < t + 13) {
        return -1;
    }
    return ((std::stoll(time.substr(t + 1, 2)) * 60 + std::stoll(time.substr(t + 4, 2))) * 60 +
            std::stoll(time.substr(t + 7, 2))) *
               1000 +
           std::stoll(time.substr(t + 10, 3));
}

CRect ScreenRectOf(const CWnd& wnd) {
    CRect rc;
    wnd.GetWindowRect(&rc);
    return rc;
}

class GoToSolvaneTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    void TearDown() override {
        if (m_panel.m_hWnd) {
            m_panel.DestroyWindow();
        }
        ReleaseContractInterface();
        CoUninitialize();
        g_strMTM = m_strMtmBefore;
        CControlWindowTest::TearDown();
    }

    // The panel on a machine of that type model, shown and painted in a parent as wide as the flyout's.
    void Open(const wchar_t* pszMtm = L"83DA0012US") {
        g_strMTM = pszMtm;
        if (!m_window.m_hWnd) {
            MakeParent(480, 200);
        }
        ASSERT_TRUE(m_panel.Create(CGoToSolvaneDlg::IDD, &m_window));
        m_panel.ShowWindow(SW_SHOW);
        ASSERT_TRUE(Painted(m_panel.m_btnGoToSolvane));
        ASSERT_TRUE(Painted(m_panel.m_warrantyLink));
    }
    // Forgets what the machine recorded so far.
    void ClearEvents() const { std::filesystem::resize_file(m_machine.Folder() / "events.jsonl", 0); }
    POINT PillCentre() const {
        const CRect rcPill = m_panel.m_btnGoToSolvane.GetHoverRect();
        return OnScreen(m_panel.m_btnGoToSolvane, rcPill.CenterPoint());
    }
    POINT LinkCentre() const { return ScreenRectOf(m_panel.m_warrantyLink).CenterPoint(); }
    // Clicks there and runs the messages until the click has reached the control.
    void ClickAt(POINT pt, const CWnd& control) {
        desktop::MoveMouse(pt);
        PumpUntil([] { return false; }, std::chrono::milliseconds(50));
        desktop::Click(pt);
        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == control.m_hWnd && !HasUpdate(control); }));
    }
    // The key pressed on the focused control, its messages run.
    void PressOn(CWnd& control, BYTE vk) {
        control.SetFocus();
        desktop::PressKey(vk);
        controls_test::PumpMessages();
    }

    CGoToSolvaneDlg m_panel;
    std::wstring m_strMtmBefore = g_strMTM;
};

TEST_F(GoToSolvaneTest, TheRowHoldsTheButtonAndTheWarrantyLinkNarrowedToItsText) {
    Open();
    EXPECT_EQ(m_panel.m_strButtonCaption, CString(L"GO TO CORVEX SOLVANE"));
    CString strText;
    m_panel.m_warrantyLink.GetWindowText(strText);
    EXPECT_EQ(strText, CString(L"View warranty options"));
    EXPECT_TRUE(m_panel.m_warrantyLink.IsWindowVisible());
    EXPECT_FALSE(m_panel.m_feedbackLink.IsWindowVisible()) << "the feedback link never shows";

    // The template's link ends at 266 of the panel's 274 dialog units; narrowed, it keeps that end.
    const CRect rcPanel = ScreenRectOf(m_panel);
    const CRect rcLink = ScreenRectOf(m_panel.m_warrantyLink);
    const CRect rcButton = ScreenRectOf(m_panel.m_btnGoToSolvane);
    CRect rcDialog(0, 0, 266, 1);
    ::MapDialogRect(m_panel.m_hWnd, &rcDialog);
    EXPECT_EQ(rcLink.right - rcPanel.left, rcDialog.right);
    EXPECT_LT(rcLink.Width(), rcDialog.right - rcDialog.Width() / 2) << "narrower than the template's";
    EXPECT_GT(rcLink.top, rcButton.bottom) << "under the button";
}

TEST_F(GoToSolvaneTest, TheWarrantyLinkIsLeftOutOnModelsLongerThanFourEndingInCD) {
    const struct {
        const wchar_t* pszMtm;
        bool bLink;
    } cases[] = {{L"83DA0012US", true}, {L"20XY00ABCD", false}, {L"20xy00abcd", false},
                 {L"20XYC", true},      {L"ABCD", true},        {L"", true}};
    for (const auto& c : cases) {
        Open(c.pszMtm);
        EXPECT_EQ(m_panel.m_warrantyLink.IsWindowVisible() != FALSE, c.bLink) << c.pszMtm;
        EXPECT_FALSE(m_panel.m_feedbackLink.IsWindowVisible()) << c.pszMtm;
        EXPECT_TRUE(m_panel.m_btnGoToSolvane.IsWindowVisible()) << c.pszMtm;
        m_panel.OpenWarrantyPage();
        EXPECT_EQ(OpenedPages().empty(), !c.bLink) << "a hidden link opens nothing: " << c.pszMtm;
        m_panel.DestroyWindow();
        ClearEvents();
    }
}

TEST_F(GoToSolvaneTest, AClickOnThePillOpensTheDashboardAndOneBesideItNothing) {
    Open();
    const CRect rcPill = m_panel.m_btnGoToSolvane.GetHoverRect();
    ASSERT_GT(rcPill.left, 4) << "the button's window reaches past the pill";
    ClickAt(OnScreen(m_panel.m_btnGoToSolvane, POINT{rcPill.left - 3, rcPill.CenterPoint().y}),
            m_panel.m_btnGoToSolvane);
    EXPECT_FALSE(m_panel.m_btnGoToSolvane.IsHover());
    EXPECT_TRUE(OpenedPages().empty());
    EXPECT_TRUE(FeatureEvents().empty());

    ClickAt(PillCentre(), m_panel.m_btnGoToSolvane);
    EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{kDashboardEvent});
    EXPECT_EQ(OpenedPages(), std::vector<std::string>{kDashboard});
}

// The link's own URL would open the page a second time: the panel's open is the only one.
TEST_F(GoToSolvaneTest, AClickOnTheWarrantyLinkSendsItsEventThenOpensTheSupportPageOnce) {
    Open();
    ClickAt(LinkCentre(), m_panel.m_warrantyLink);
    EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{kWarrantyEvent});
    EXPECT_EQ(OpenedPages(), std::vector<std::string>{kSupport});
    const auto sent = ReadMachineEvents("telemetry.feature");
    const auto opened = ReadMachineEvents("shell.execute");
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_GE(MillisecondsOf(opened[0]) - MillisecondsOf(sent[0]), 40) << "the pause between the two";
}

// Enter or Space on the focused control opens its page once, wherever the mouse is: Space on the button
// under the mouse does not click it a second time.
TEST_F(GoToSolvaneTest, EnterOrSpaceOnTheFocusedButtonOrLinkOpensItsPageOnce) {
    Open();
    const struct {
        bool bLink;
        BYTE vk;
        bool bMouseOnPill;
        FeatureEvent event;
        std::string page;
    } cases[] = {{false, VK_RETURN, false, kDashboardEvent, kDashboard},
                 {false, VK_SPACE, false, kDashboardEvent, kDashboard},
                 {true, VK_RETURN, false, kWarrantyEvent, kSupport},
                 {true, VK_SPACE, false, kWarrantyEvent, kSupport},
                 {false, VK_SPACE, true, kDashboardEvent, kDashboard}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bLink ? "link " : "button ") + std::to_string(c.vk) +
                     (c.bMouseOnPill ? " under the mouse" : ""));
        // The button asks for no leave notification: once over the pill, its flag stays.
        if (c.bMouseOnPill) {
            desktop::MoveMouse(PillCentre());
            ASSERT_TRUE(PumpUntil([&] { return m_panel.m_btnGoToSolvane.IsHover(); }));
        }
        ClearEvents();
        CWnd& control = c.bLink ? static_cast<CWnd&>(m_panel.m_warrantyLink) : m_panel.m_btnGoToSolvane;
        PressOn(control, c.vk);
        ASSERT_TRUE(PumpUntil([] { return !OpenedPages().empty(); }));
        PumpUntil([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{c.event});
        EXPECT_EQ(OpenedPages(), std::vector<std::string>{c.page});
    }
    PressOn(m_panel.m_btnGoToSolvane, VK_ESCAPE);
    EXPECT_TRUE(::IsWindow(m_panel.m_hWnd)) << "Esc is swallowed";
}

// For the narrator the panel leaves mouse clicks on the link to the link's own URL, which the shell opens
// as the link opens it; its keys still go through the panel.
TEST_F(GoToSolvaneTest, TheNarratorsClickOnTheLinkGoesToItsUrlAndItsEnterToThePanel) {
    g_bNarrator = true;
    Open();
    ClickAt(LinkCentre(), m_panel.m_warrantyLink);
    ASSERT_TRUE(PumpUntil([] { return !OpenedPages().empty(); }));
    EXPECT_EQ(OpenedPages(), std::vector<std::string>{"corvex-solvane3:support 1"});
    EXPECT_TRUE(FeatureEvents().empty());

    ClearEvents();
    PressOn(m_panel.m_warrantyLink, VK_RETURN);
    ASSERT_TRUE(PumpUntil([] { return !OpenedPages().empty(); }));
    EXPECT_EQ(FeatureEvents(), std::vector<FeatureEvent>{kWarrantyEvent});
    EXPECT_EQ(OpenedPages(), std::vector<std::string>{kSupport});
    CString strText;
    m_panel.m_btnGoToSolvane.GetWindowText(strText);
    EXPECT_EQ(strText, CString(L"GO TO CORVEX SOLVANE")) << "the button's narrator text";
}

} // namespace

// The flyout window in the process: its placement on the toolbar, its height and scroll bar, the
// title bar, the base dialog's colours, its keys, power registrations and the display watcher.
#include <gtest/gtest.h>

#include "app/FlipdeckExApp.h"
#include "app/FlipdeckExDlg.h"
#include "platform/display.h"
#include "platform/registry.h"
#include "platform/window/Desktop.h"
#include "services/DrawingRoutines.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/services/DrawingTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::PumpMessages;
using controls_test::PumpUntil;

CRect WindowRectOf(HWND hWnd) {
    CRect rc;
    ::GetWindowRect(hWnd, &rc);
    return rc;
}

CRect ClientRectOf(const CWnd& wnd) {
    CRect rc;
    wnd.GetClientRect(&rc);
    return rc;
}

// The child's rectangle in its parent's client coordinates.
CRect PlaceInParent(const CWnd& child) {
    CRect rc = WindowRectOf(child.m_hWnd);
    ::MapWindowPoints(nullptr, ::GetParent(child.m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

CRect WorkArea() {
    CRect rc;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &rc, 0);
    return rc;
}

HWND FindShellWindow(const wchar_t* pszClass) {
    HWND hTaskbar = ::FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!wcscmp(pszClass, L"Shell_TrayWnd")) {
        return hTaskbar;
    }
    if (!wcscmp(pszClass, L"Corvex Rigpanel Ampwise")) {
        return ::FindWindowExW(FindShellWindow(L"ReBarWindow32"), nullptr, pszClass, nullptr);
    }
    return ::FindWindowExW(hTaskbar, nullptr, pszClass, nullptr);
}

// Moves the toolbar so that its horizontal centre stands at the screen x.
void CentreToolbarAt(int x) {
    HWND hToolbar = FindShellWindow(L"Corvex Rigpanel Ampwise");
    ASSERT_NE(hToolbar, nullptr);
    const CRect rcToolbar = WindowRectOf(hToolbar);
    const CRect rcRebar = WindowRectOf(::GetParent(hToolbar));
    ::MoveWindow(hToolbar, x - rcToolbar.Width() / 2 - rcRebar.left, 0, rcToolbar.Width(), rcToolbar.Height(),
                 TRUE);
}

class FlyoutTest : public drawing_test::CDrawingTest {
protected:
    void TearDown() override {
        if (m_flyout.m_hWnd) {
            m_flyout.DestroyWindow();
        }
        drawing_test::CDrawingTest::TearDown();
    }
    // Opens the flyout modeless and runs the thread's messages until nothing is left to do.
    void Open() {
        ASSERT_TRUE(m_flyout.Create(CFlipdeckExDlg::IDD, nullptr));
        Settle();
    }
    static void Settle() {
        MSG msg;
        PumpUntil([&] { return !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); });
    }
    SCROLLINFO ScrollInfo() const {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_ALL;
        ::GetScrollInfo(m_flyout.m_scrollBar.m_hWnd, SB_CTL, &info);
        return info;
    }
    // The body's height as its panels would ask for it; the grid goes first, since it would ask for its own.
    void SetBodyHeight(int nHeight) {
        if (m_flyout.m_featuresDlg.m_featuresPanelDlg.m_hWnd) {
            m_flyout.m_featuresDlg.m_featuresPanelDlg.DestroyWindow();
        }
        m_flyout.m_featuresDlg.SendMessage(WM_DECK_PANELSHEIGHTCHANGED, static_cast<WPARAM>(nHeight));
        Settle();
    }
    void WheelOver(int nNotches) {
        const CRect rc = WindowRectOf(m_flyout.m_featuresDlg.m_hWnd);
        for (int i = 0; i < std::abs(nNotches); ++i) {
            platform::desktop::Wheel(POINT{rc.left + 50, rc.top + 50},
                                     nNotches > 0 ? WHEEL_DELTA : -WHEEL_DELTA);
            Settle();
        }
    }

    CFlipdeckExDlg m_flyout;
};

struct PlacementCase {
    int nToolbarCentre;
    int nX;      // the left edge of a flyout 400 wide on the work area 1920 wide
    int nXAt435; // and of the flyout as its template makes it, 435 wide (half of it 217)
};

TEST_F(FlyoutTest, StandsOnTheWorkAreaCentredOnTheToolbarWithinTheScreen) {
    ASSERT_EQ(WorkArea(), CRect(0, 0, 1920, 1040)) << "the screen 1920 x 1080 above its taskbar";
    // At the left edge while the centre is nearer to it than half the width, at the right edge likewise, else
    // centred.
    const PlacementCase cases[] = {
        {100, 0, 0}, {1800, 1520, 1485}, {900, 700, 683}, {300, 100, 83}, {1650, 1450, 1433}};
    for (const auto& c : cases) {
        CentreToolbarAt(c.nToolbarCentre);
        CFlipdeckExDlg flyout;
        ASSERT_TRUE(flyout.Create(CFlipdeckExDlg::IDD, nullptr));
        Settle();
        EXPECT_TRUE(::GetWindowLongPtrW(flyout.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_TRUE(::GetWindowLongPtrW(flyout.m_hWnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
        EXPECT_FALSE(::GetWindowLongPtrW(flyout.m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        const CRect rcStart = WindowRectOf(flyout.m_hWnd);
        ASSERT_EQ(rcStart.Width(), 435) << "290 dialog units";
        EXPECT_EQ(rcStart.left, c.nXAt435) << c.nToolbarCentre;
        EXPECT_EQ(rcStart.bottom, 1040) << c.nToolbarCentre;
        ::SetWindowPos(flyout.m_hWnd, nullptr, 0, 0, 400, rcStart.Height(), SWP_NOMOVE | SWP_NOZORDER);
        Settle();
        flyout.PlaceFlyoutWindow();
        const CRect rc = WindowRectOf(flyout.m_hWnd);
        EXPECT_EQ(rc.Width(), 400) << c.nToolbarCentre;
        EXPECT_EQ(rc.left, c.nX) << c.nToolbarCentre;
        EXPECT_EQ(rc.bottom, 1040) << c.nToolbarCentre;
        flyout.DestroyWindow();
    }
}

TEST_F(FlyoutTest, WithoutTheToolbarWindows11AnchorsOnTheNotificationArea) {
    ASSERT_TRUE(::DestroyWindow(FindShellWindow(L"Corvex Rigpanel Ampwise")));
    ASSERT_EQ(WindowRectOf(FindShellWindow(L"TrayNotifyWnd")).left, 1620) << "300 wide at the right";
    EXPECT_EQ(CFlipdeckExDlg::GetToolbarAnchorX(), 1587) << "1620 x 0.98 = 1587.6";
    Open();
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).CenterPoint().x, 1587);
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).left, 1587 - 217);
}

TEST_F(FlyoutTest, ABodyThatFitsGivesTitlePlusBodyWithoutAScrollBar) {
    Open();
    EXPECT_EQ(m_flyout.m_nMaxHeight, 864) << "four fifths of 1080";
    EXPECT_FALSE(m_flyout.m_scrollBar.IsWindowVisible());
    const int nTitle = ClientRectOf(m_flyout.m_titleDlg).Height();
    const int nBody = ClientRectOf(m_flyout.m_featuresDlg).Height();
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).Height(), nTitle + nBody);
    const int nInset = ClientRectOf(m_flyout.m_scrollBar).Width() / 2 + 2;
    const CRect body = PlaceInParent(m_flyout.m_featuresDlg);
    EXPECT_EQ(body.left, nInset);
    EXPECT_EQ(ClientRectOf(m_flyout).right - body.right, nInset);
    EXPECT_EQ(body.top, nTitle);
    EXPECT_EQ(PlaceInParent(m_flyout.m_titleDlg), CRect(0, 0, ClientRectOf(m_flyout).right, nTitle));
}

TEST_F(FlyoutTest, ATallBodyScrollsByAFifthOfThePagePerNotchWithinItsRange) {
    Open();
    SetBodyHeight(2000);
    const int nTitle = ClientRectOf(m_flyout.m_titleDlg).Height();
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).Height(), 864);
    ASSERT_TRUE(m_flyout.m_scrollBar.IsWindowVisible());
    const int nBarWidth = ClientRectOf(m_flyout.m_scrollBar).Width();
    const CRect bar = PlaceInParent(m_flyout.m_scrollBar);
    EXPECT_EQ(bar, CRect(ClientRectOf(m_flyout).right - 2 - nBarWidth, nTitle,
                         ClientRectOf(m_flyout).right - 2, 863));
    const CRect body = PlaceInParent(m_flyout.m_featuresDlg);
    EXPECT_EQ(body.left, 2);
    EXPECT_EQ(ClientRectOf(m_flyout).right - body.right, nBarWidth + 2);
    SCROLLINFO info = ScrollInfo();
    EXPECT_EQ(info.nMin, 0);
    EXPECT_EQ(info.nMax, 2020);
    const int nPage = 864 - nTitle;
    EXPECT_EQ(static_cast<int>(info.nPage), nPage);
    EXPECT_EQ(info.nPos, 0);

    WheelOver(-1);
    EXPECT_EQ(ScrollInfo().nPos, nPage / 5);
    WheelOver(-20);
    EXPECT_EQ(ScrollInfo().nPos, 2020 - nPage) << "never beyond the last page";
    WheelOver(30);
    EXPECT_EQ(ScrollInfo().nPos, 0);

    SetBodyHeight(300);
    EXPECT_FALSE(m_flyout.m_scrollBar.IsWindowVisible()) << "a body that shrinks hides the bar again";
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).Height(), nTitle + 300);
    EXPECT_EQ(WindowRectOf(m_flyout.m_hWnd).bottom, WorkArea().bottom);
}

TEST_F(FlyoutTest, ScrollBarCodesMoveByLinesPagesAndToTheEnds) {
    Open();
    SetBodyHeight(2000);
    const int nPage = m_flyout.m_nScrollPage;
    const int nLast = 2020 - nPage;
    struct Step {
        UINT nCode;
        int nExpected;
    };
    const Step steps[] = {{SB_LINEDOWN, 70},
                          {SB_LINEDOWN, 140},
                          {SB_LINEUP, 70},
                          {SB_PAGEDOWN, 70 + nPage},
                          {SB_BOTTOM, nLast},
                          {SB_PAGEUP, nLast - nPage},
                          {SB_THUMBTRACK, nLast - nPage},
                          {SB_TOP, 0}};
    for (const auto& step : steps) {
        m_flyout.SendMessage(WM_VSCROLL, MAKEWPARAM(step.nCode, 0),
                             reinterpret_cast<LPARAM>(m_flyout.m_scrollBar.m_hWnd));
        Settle();
        EXPECT_EQ(ScrollInfo().nPos, step.nExpected) << step.nCode;
    }
    m_flyout.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 123),
                         reinterpret_cast<LPARAM>(m_flyout.m_scrollBar.m_hWnd));
    EXPECT_EQ(ScrollInfo().nPos, 123);
}

struct TitleCase {
    const wchar_t* pszFamily;
    const wchar_t* pszTitle;
};

TEST_F(FlyoutTest, TheTitleIsMyAndTheFamilyNameElseTheToolbarsName) {
    const TitleCase cases[] = {{L"", L"Corvex Solvane Toolbar"},
                               {L"Ixor Aeris 14 G8", L"My Ixor Aeris 14 G8"}};
    for (const auto& c : cases) {
        g_strFamilyName = c.pszFamily;
        CString strTitle;
        CDeckTitleDlg::GetTitleText(strTitle);
        EXPECT_STREQ(strTitle.GetString(), c.pszTitle);
    }
    g_strFamilyName.clear();
}

TEST_F(FlyoutTest, TheBaseDialogGivesControlsWhiteOnlyInNarratorMode) {
    Open();
    CDeckTitleDlg& title = m_flyout.m_titleDlg;
    HDC hdc = CreateCompatibleDC(nullptr);
    const HWND hClose = title.m_closeBtn.m_hWnd;
    const auto brushFor = [&](UINT nMessage) {
        return reinterpret_cast<HBRUSH>(
            title.SendMessage(nMessage, reinterpret_cast<WPARAM>(hdc), reinterpret_cast<LPARAM>(hClose)));
    };
    const HBRUSH hWhite = static_cast<HBRUSH>(title.m_brWhite);
    EXPECT_NE(brushFor(WM_CTLCOLORBTN), hWhite);
    EXPECT_EQ(GetBkMode(hdc), OPAQUE);
    g_bNarrator = true;
    EXPECT_EQ(brushFor(WM_CTLCOLOREDIT), hWhite);
    EXPECT_EQ(GetBkMode(hdc), OPAQUE) << "only buttons and statics turn transparent";
    for (const UINT nMessage : {WM_CTLCOLORBTN, WM_CTLCOLORSTATIC}) {
        SetBkMode(hdc, OPAQUE);
        SetBkColor(hdc, RGB(1, 2, 3));
        EXPECT_EQ(brushFor(nMessage), hWhite);
        EXPECT_EQ(GetBkMode(hdc), TRANSPARENT);
        EXPECT_EQ(GetBkColor(hdc), RGB(255, 255, 255));
    }
    g_bNarrator = false;
    DeleteDC(hdc);
}

TEST_F(FlyoutTest, EnterClosesOnlyFromTheFocusedCloseButtonAndEscNever) {
    Open();
    const struct {
        HWND hFocus;
        BYTE nKey;
        bool bCloses;
    } cases[] = {{m_flyout.m_titleDlg.m_titleStatic.m_hWnd, VK_RETURN, false},
                 {m_flyout.m_titleDlg.m_closeBtn.m_hWnd, VK_ESCAPE, false},
                 {m_flyout.m_titleDlg.m_titleStatic.m_hWnd, VK_ESCAPE, false},
                 {m_flyout.m_titleDlg.m_closeBtn.m_hWnd, VK_RETURN, true}};
    for (const auto& c : cases) {
        ::SetFocus(c.hFocus);
        platform::desktop::PressKey(c.nKey);
        Settle();
        EXPECT_EQ(!m_flyout.IsWindowVisible(), c.bCloses) << int(c.nKey);
    }
}

TEST_F(FlyoutTest, PowerNotificationsAreRegisteredForTheWindowAndReleasedWithIt) {
    Open();
    EXPECT_NE(m_flyout.m_hAcDcNotify, nullptr);
    EXPECT_NE(m_flyout.m_hBatteryNotify, nullptr);
    EXPECT_NE(m_flyout.m_hMonitorNotify, nullptr);
    m_flyout.DestroyWindow();
    EXPECT_EQ(m_flyout.m_hAcDcNotify, nullptr);
    EXPECT_EQ(m_flyout.m_hBatteryNotify, nullptr);
    EXPECT_EQ(m_flyout.m_hMonitorNotify, nullptr);
}

TEST_F(FlyoutTest, ADisplayChangeOnWindows11PlacesItAgain) {
    Open();
    const CRect placed = WindowRectOf(m_flyout.m_hWnd);
    ::SetWindowPos(m_flyout.m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Settle();
    ASSERT_NE(WindowRectOf(m_flyout.m_hWnd), placed);
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers", 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, &hKey),
              ERROR_SUCCESS);
    // A change before the watcher has armed goes unnoticed: the change is made again until it is seen.
    DWORD dwValue = 0;
    auto lastChange = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    EXPECT_TRUE(PumpUntil([&] {
        if (std::chrono::steady_clock::now() - lastChange > std::chrono::milliseconds(200)) {
            ++dwValue;
            RegSetValueExW(hKey, L"DisplayChanged", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                           sizeof(dwValue));
            lastChange = std::chrono::steady_clock::now();
        }
        return WindowRectOf(m_flyout.m_hWnd) == placed && m_flyout.IsWindowVisible();
    }));
    RegCloseKey(hKey);
}

TEST_F(FlyoutTest, AFamilyNameWithFormatDirectivesIsShownAsItStands) {
    g_strFamilyName = L"%s%n%d";
    Open();
    g_strFamilyName.clear();
    const CTitleStatic& title = m_flyout.m_titleDlg.m_titleStatic;
    EXPECT_STREQ(title.m_title.m_strText.GetString(), L"My %s%n%d");
}

TEST_F(FlyoutTest, DestroyingItWhileTheDisplayWatcherCallsBackIsSafe) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers", 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, &hKey),
              ERROR_SUCCESS);
    for (DWORD dwRound = 0; dwRound < 5; ++dwRound) {
        auto pFlyout = std::make_unique<CFlipdeckExDlg>();
        ASSERT_TRUE(pFlyout->Create(CFlipdeckExDlg::IDD, nullptr));
        Settle();
        RegSetValueExW(hKey, L"DisplayChanged", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwRound),
                       sizeof(dwRound));
        PumpMessages();
        pFlyout->DestroyWindow();
        pFlyout.reset();
    }
    RegCloseKey(hKey);
}

struct LogonCase {
    int nLogonSecondsBeforeStart;
    bool bMayAutoClose;
};

TEST_F(FlyoutTest, AutoCloseIsArmedTwoMinutesAfterLogon) {
    for (const LogonCase c : {LogonCase{600, true}, LogonCase{30, false}}) {
        testing_support::SetMachineFact(m_machine.Folder(), "/session/logonSecondsBeforeStart",
                                        c.nLogonSecondsBeforeStart);
        CFlipdeckExDlg flyout;
        LONGLONG nSeconds = 0;
        ASSERT_TRUE(flyout.GetSecondsSinceLogon(nSeconds));
        EXPECT_GE(nSeconds, c.nLogonSecondsBeforeStart);
        EXPECT_LT(nSeconds, c.nLogonSecondsBeforeStart + 60);
        ASSERT_TRUE(flyout.Create(CFlipdeckExDlg::IDD, nullptr));
        EXPECT_EQ(flyout.m_bMayAutoClose, c.bMayAutoClose) << c.nLogonSecondsBeforeStart;
        flyout.DestroyWindow();
    }
}

} // namespace

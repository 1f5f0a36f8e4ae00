// The framework's link button: the URL a click opens, the highlighted state with the hand cursor, the
// paint steps OnDraw and OnDrawFocusRect, multi-line text, and its tooltip.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/framework_controls.h"
#include "platform/window/Desktop.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using window_test::PumpUntil;

// A first button that takes the focus, and the link: narrow and tall, so that a long text wraps.
const char kLinkDialog[] =
    R"({"id": 950, "style": "DS_SETFONT | WS_POPUP | WS_VISIBLE", "rect": [20, 20, 200, 100],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1001, "class": "Button", "text": "First", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 10, 50, 14]},
    {"id": 1201, "class": "Button", "text": "Support", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 40, 60, 40]}
  ]})";
const platform::EmbeddedFile kDialogs[] = {window_test::File("950.json", kLinkDialog),
                                           platform::EmbeddedFile{nullptr, nullptr, 0}};

const wchar_t kUrl[] = L"corvex-solvane3:support";

// What the link's paint steps were given.
class CRecordingLink : public CMFCLinkCtrl {
public:
    struct CDraw {
        CRect rect;
        UINT state;
        BOOL highlighted;
    };
    std::vector<CDraw> m_draws;
    std::vector<CRect> m_focusRects;

protected:
    void OnDraw(CDC* pDC, const CRect& rect, UINT uiState) override {
        m_draws.push_back({rect, uiState, IsHighlighted()});
        CMFCLinkCtrl::OnDraw(pDC, rect, uiState);
    }
    void OnDrawFocusRect(CDC* pDC, const CRect& rect) override {
        m_focusRects.push_back(rect);
        CMFCLinkCtrl::OnDrawFocusRect(pDC, rect);
    }
};

class CLinkDlg : public CDialog {
public:
    CLinkDlg() : CDialog(950) {}
    void OnClickedLink() { ++m_nClicks; }

    CButton m_first;
    CRecordingLink m_link;
    int m_nClicks = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, 1001, m_first);
        DDX_Control(pDX, 1201, m_link);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLinkDlg, CDialog)
ON_BN_CLICKED(1201, &CLinkDlg::OnClickedLink)
END_MESSAGE_MAP()

POINT CenterOnScreen(const CWnd& wnd) {
    CRect rect;
    wnd.GetWindowRect(rect);
    return rect.CenterPoint();
}

// The rows of the window's screen rectangle that hold a pixel other than the one at its top-left corner.
std::vector<LONG> InkRows(const CWnd& wnd) {
    CRect rect;
    wnd.GetWindowRect(rect);
    const platform::desktop::CScreenImage screen = platform::desktop::ComposeScreen();
    const COLORREF background = screen.At(rect.left, rect.top);
    std::vector<LONG> rows;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
            if (screen.At(x, y) != background) {
                rows.push_back(y - rect.top);
                break;
            }
        }
    }
    return rows;
}

class LinkButtonTest : public testing::Test {
protected:
    ~LinkButtonTest() override { m_dialog.DestroyWindow(); }

    // The dialog, shown and painted.
    void Open() {
        ASSERT_TRUE(m_dialog.Create(950));
        ASSERT_TRUE(PumpUntil([&] { return !m_dialog.m_link.m_draws.empty(); }));
    }
    CRecordingLink& Link() { return m_dialog.m_link; }
    // Paints again and waits for the new drawing.
    void Repaint() {
        Link().m_draws.clear();
        Link().Invalidate();
        ASSERT_TRUE(PumpUntil([&] { return !Link().m_draws.empty(); }));
    }

    testing_support::CTestMachine m_machine;
    window_test::CDialogResources m_resources{kDialogs};
    CLinkDlg m_dialog;
};

TEST_F(LinkButtonTest, AClickOpensTheUrlAndStillReachesTheParent) {
    struct SCase {
        const char* name;
        const wchar_t* url;
        std::function<void(CLinkDlg&)> click;
        size_t opened;
    };
    const auto mouse = [](CLinkDlg& dlg) { platform::desktop::Click(CenterOnScreen(dlg.m_link)); };
    const auto key = [](BYTE vk) {
        return [vk](CLinkDlg& dlg) {
            dlg.m_link.SetFocus();
            platform::desktop::PressKey(vk);
        };
    };
    const SCase cases[] = {
        {"mouse", kUrl, mouse, 1},
        {"space", kUrl, key(VK_SPACE), 1},
        {"enter", kUrl, key(VK_RETURN), 1},
        {"mouse without a URL", nullptr, mouse, 0},
    };
    Open();
    size_t opened = 0;
    for (const SCase& each : cases) {
        Link().SetURL(each.url);
        const int clicks = m_dialog.m_nClicks;
        each.click(m_dialog);
        EXPECT_TRUE(PumpUntil([&] { return m_dialog.m_nClicks == clicks + 1; })) << each.name;
        opened += each.opened;
        const std::vector<nlohmann::json> events = testing_support::ReadMachineEvents("shell.execute");
        ASSERT_EQ(events.size(), opened) << each.name;
        if (each.opened) {
            EXPECT_EQ(events.back()["file"], "corvex-solvane3:support") << each.name;
            EXPECT_EQ(events.back()["show"], SW_SHOWNORMAL) << each.name;
        }
    }
}

TEST_F(LinkButtonTest, TheMouseOverTheLinkHighlightsItWithTheHandCursorUntilItLeaves) {
    Open();
    EXPECT_FALSE(Link().IsHighlighted());
    platform::desktop::MoveMouse(CenterOnScreen(Link()));
    ASSERT_TRUE(PumpUntil([&] { return Link().IsHighlighted() && Link().m_draws.back().highlighted; }));
    EXPECT_EQ(platform::desktop::CurrentCursor(), LoadCursorW(nullptr, IDC_HAND));

    platform::desktop::MoveMouse(POINT{5, 5});
    EXPECT_TRUE(PumpUntil([&] { return !Link().IsHighlighted() && !Link().m_draws.back().highlighted; }));
}

TEST_F(LinkButtonTest, OnDrawPaintsInsideTheClientAndOnDrawFocusRectOnlyWithTheFocus) {
    Open();
    CRect client;
    Link().GetClientRect(client);
    const CRecordingLink::CDraw first = Link().m_draws.back();
    EXPECT_TRUE(first.rect.left > client.left && first.rect.top > client.top &&
                first.rect.right < client.right && first.rect.bottom < client.bottom);
    EXPECT_EQ(first.state & ODS_FOCUS, 0u);
    EXPECT_TRUE(Link().m_focusRects.empty()) << "the first button has the focus";

    Link().SetFocus();
    ASSERT_TRUE(PumpUntil([&] { return !Link().m_focusRects.empty(); }));
    EXPECT_NE(Link().m_draws.back().state & ODS_FOCUS, 0u);
    CRect outer;
    outer.UnionRect(Link().m_focusRects.back(), Link().m_draws.back().rect);
    EXPECT_EQ(outer, Link().m_focusRects.back()) << "the focus rectangle holds the content";

    // The underlined text in the link colour (a blue), smoothed at its edges.
    CRect rect;
    Link().GetWindowRect(rect);
    const platform::desktop::CScreenImage screen = platform::desktop::ComposeScreen();
    int linkPixels = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
            const COLORREF pixel = screen.At(x, y);
            linkPixels += GetBValue(pixel) > GetRValue(pixel) + 100 ? 1 : 0;
        }
    }
    EXPECT_GT(linkPixels, 20);
}

TEST_F(LinkButtonTest, MultiLineTextWrapsFromTheTopInsteadOfStayingOnOneCentredLine) {
    Open();
    Link().SetWindowText(L"Support and warranty for this notebook");
    Repaint();
    const std::vector<LONG> single = InkRows(Link());
    Link().m_bMultilineText = TRUE;
    Repaint();
    const std::vector<LONG> multi = InkRows(Link());
    ASSERT_FALSE(single.empty());
    ASSERT_FALSE(multi.empty());
    EXPECT_LT(multi.front(), single.front());
    EXPECT_GT(multi.back() - multi.front(), 2 * (single.back() - single.front()) - 4) << "two lines or more";
}

TEST_F(LinkButtonTest, TheTooltipShowsWhileTheMouseRestsOnTheLinkAndDiesWithIt) {
    Link().SetTooltip(L"Open the support page"); // before the link has a window
    Open();
    const HWND dialog = m_dialog.m_hWnd;
    const HWND link = Link().m_hWnd;
    // The tooltip of the dialog's controls.
    auto tip = [dialog] {
        HWND each = nullptr;
        while ((each = FindWindowExW(nullptr, each, TOOLTIPS_CLASSW, nullptr)) &&
               GetWindow(each, GW_OWNER) != dialog) {
        }
        return each;
    };
    auto shown = [&] { return tip() && IsWindowVisible(tip()); };
    for (int round = 0; round < 2; ++round) {
        platform::desktop::MoveMouse(CenterOnScreen(Link()));
        ASSERT_TRUE(PumpUntil(shown)) << round;
        platform::desktop::MoveMouse(POINT{5, 5});
        ASSERT_TRUE(PumpUntil([&] { return !shown(); })) << round;
    }
    WCHAR text[80] = {};
    TOOLINFO info{};
    info.cbSize = sizeof(info);
    info.hwnd = dialog;
    info.uId = reinterpret_cast<UINT_PTR>(link);
    info.lpszText = text;
    SendMessageW(tip(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(text, L"Open the support page");

    m_dialog.DestroyWindow();
    EXPECT_EQ(tip(), nullptr);
}

TEST_F(LinkButtonTest, AButtonMadeWithCreatePaintsItselfThroughItsSteps) {
    Open();
    CRecordingLink made;
    ASSERT_TRUE(made.Create(L"Made", WS_VISIBLE | WS_TABSTOP, CRect(10, 150, 110, 175), &m_dialog, 1300));
    EXPECT_EQ(made.GetButtonStyle() & BS_TYPEMASK, static_cast<UINT>(BS_OWNERDRAW));
    EXPECT_TRUE(PumpUntil([&] { return !made.m_draws.empty(); }));
}

} // namespace

// The painted link control: bold 14-pixel "Segoe UI", underlined until the mouse rests on it, in its
// colours and DrawText flags; its measured width and the too-wide flag; the hand cursor over the
// rectangle it was set up with; narrowing to its text keeping its right edge; and a click on its link.
#include <gtest/gtest.h>

#include <string>

#include "controls/PNGLinkCtrl.h"
#include "controls/SkinnedControl.h"
#include "platform/internal.h"
#include "tests/controls/ControlWindowSupport.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::ClassCursorOf;
using controls_test::HasUpdate;
using controls_test::PumpUntil;
namespace desktop = platform::desktop;

const COLORREF kLink = 0xFD8270;
const COLORREF kCard = RGB(0xF5, 0xF5, 0xF5);
const wchar_t kCheck[] = L"CHECK";
constexpr UINT kRightEllipsis = DT_RIGHT | DT_END_ELLIPSIS;

class CLinkProbe : public CPNGLinkCtrl {
public:
    using CPNGLinkCtrl::m_bHover;
    using CPNGLinkCtrl::m_bTooWide;
    using CPNGLinkCtrl::m_fontHover;
    using CPNGLinkCtrl::m_fontNormal;
    using CPNGLinkCtrl::m_nTextWidth;
};

// A parent that counts its link's NM_CLICK notifications.
class CLinkParent : public CWnd {
public:
    int m_nClicks = 0;

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override {
        if (reinterpret_cast<NMHDR*>(lParam)->code == NM_CLICK) {
            ++m_nClicks;
        }
        return CWnd::OnNotify(wParam, lParam, pResult);
    }
};

// "Segoe UI" 14 bold as the link draws with it.
void MakeLinkFont(CFont& font, bool bUnderline) {
    font.CreateFont(-14, 0, 0, 0, 700, FALSE, bUnderline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
}

int TextWidth(const wchar_t* pszText) {
    gdi_test::CSurface surface(1, 1);
    CDC& dc = *CDC::FromHandle(surface.Dc());
    CFont font;
    MakeLinkFont(font, true);
    CFont* pOld = dc.SelectObject(&font);
    const int nWidth = dc.GetTextExtent(CString(pszText)).cx;
    dc.SelectObject(pOld);
    return nWidth;
}

class LinkCtrlTest : public CControlWindowTest {
protected:
    void TearDown() override {
        // The class cursor belongs to every link of the process.
        if (m_link.m_hWnd) {
            SetClassCursor(&m_link, IDC_ARROW);
        }
        m_parent.DestroyWindow();
        CControlWindowTest::TearDown();
    }

    // The privacy dashboard's "CHECK" link: 120 x 20 at (150, 15) of a parent at (100, 100).
    CLinkProbe& MakeLink(int cx = 120) {
        EXPECT_TRUE(
            m_parent.CreateEx(0, nullptr, L"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 160}, nullptr, 0));
        EXPECT_TRUE(m_link.Create(L"<a>Mossveil Check</a>", WS_VISIBLE | WS_TABSTOP,
                                  RECT{150, 15, 150 + cx, 35}, &m_parent, 1040));
        return m_link;
    }
    bool Repainted() {
        m_link.Invalidate();
        return Painted(m_link);
    }
    void MoveMouseTo(POINT client) { desktop::MoveMouse(OnScreen(m_link, client)); }

    CLinkParent m_parent;
    CLinkProbe m_link;
};

TEST_F(LinkCtrlTest, SetLinkTextMakesBoldFontsOnceAndMeasuresWithAWindow) {
    SetDpi(144);
    CLinkProbe unplaced;
    unplaced.SetLinkText(kCheck, kLink, RGB(255, 255, 255), kRightEllipsis);
    EXPECT_EQ(unplaced.m_nTextWidth, 0);
    for (const CFont* pFont : {&unplaced.m_fontNormal, &unplaced.m_fontHover}) {
        LOGFONTW logFont{};
        ASSERT_NE(pFont->GetLogFont(&logFont), 0);
        EXPECT_EQ(logFont.lfHeight, -21);
        EXPECT_EQ(logFont.lfWeight, 700);
        EXPECT_EQ(std::wstring(logFont.lfFaceName), L"Segoe UI");
        EXPECT_EQ(logFont.lfUnderline != 0, pFont == &unplaced.m_fontNormal);
    }
    const HGDIOBJ hNormal = unplaced.m_fontNormal.GetSafeHandle();
    unplaced.SetLinkText(L"Run Checkup", kLink, kCard, DT_END_ELLIPSIS);
    EXPECT_EQ(unplaced.m_fontNormal.GetSafeHandle(), hNormal) << "made once";

    SetDpi(96);
    CLinkProbe& link = MakeLink();
    ASSERT_TRUE(Painted(link));
    link.SetLinkText(kCheck, kLink, RGB(255, 255, 255), kRightEllipsis);
    EXPECT_EQ(link.m_nTextWidth, TextWidth(kCheck));
    EXPECT_TRUE(HasUpdate(link)) << "repainted";
    link.SetLinkText(nullptr, kLink, RGB(255, 255, 255), 0);
    EXPECT_EQ(link.m_nTextWidth, 0) << "a null text is an empty one";
}

// ---- Paint ----
struct PaintCase {
    const char* name;
    const wchar_t* pszText;
    COLORREF crBackground;
    UINT nFlags;
    bool bHover;
};

class LinkCtrlPaint : public LinkCtrlTest, public testing::WithParamInterface<PaintCase> {};

TEST_P(LinkCtrlPaint, DrawsItsTextUnderlinedUntilHovered) {
    const PaintCase& c = GetParam();
    CLinkProbe& link = MakeLink();
    link.SetLinkText(c.pszText, kLink, c.crBackground, c.nFlags);
    if (c.bHover) {
        MoveMouseTo(POINT{30, 10});
        ASSERT_TRUE(PumpUntil([&] { return link.m_bHover && !HasUpdate(link); }));
    }
    ASSERT_TRUE(Repainted());

    const auto reference = [&](gdi_test::CSurface& surface, bool bUnderline) {
        CDC& dc = *CDC::FromHandle(surface.Dc());
        dc.FillSolidRect(0, 0, 120, 20, c.crBackground);
        dc.SetBkMode(TRANSPARENT);
        CFont font;
        MakeLinkFont(font, bUnderline);
        CFont* pOld = dc.SelectObject(&font);
        dc.SetTextColor(kLink);
        RECT rc{0, 0, 120, 20};
        dc.DrawText(c.pszText, -1, &rc, c.nFlags);
        dc.SelectObject(pOld);
    };
    gdi_test::CSurface expected(120, 20);
    reference(expected, !c.bHover);
    gdi_test::CSurface other(120, 20);
    reference(other, c.bHover);
    const CClientPixels pixels(link);
    EXPECT_EQ(pixels.Differences(expected), 0);
    EXPECT_GT(pixels.Differences(other), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkCtrlPaint,
    testing::Values(
        PaintCase{"UnderlinedAtTheRight", kCheck, RGB(255, 255, 255), DT_RIGHT | DT_END_ELLIPSIS, false},
        PaintCase{"HoveredNotUnderlined", kCheck, RGB(255, 255, 255), DT_RIGHT | DT_END_ELLIPSIS, true},
        PaintCase{"OnTheCardCutWithAnEllipsis", L"Mossveil Privacy Run Check Up", kCard, DT_END_ELLIPSIS,
                  false}),
    [](const testing::TestParamInfo<PaintCase>& info) { return std::string(info.param.name); });

TEST_F(LinkCtrlTest, APaintFindsTheTextTooWideAndStopsMeasuring) {
    CLinkProbe& link = MakeLink();
    link.SetLinkText(L"Mossveil Privacy Run Check Up", kLink, kCard, DT_END_ELLIPSIS);
    ASSERT_TRUE(Repainted());
    EXPECT_TRUE(link.m_bTooWide);
    const int nWidth = link.m_nTextWidth;
    EXPECT_EQ(nWidth, TextWidth(L"Mossveil Privacy Run Check Up"));

    link.MoveWindow(150, 15, 400, 20);
    ASSERT_TRUE(Repainted());
    EXPECT_TRUE(link.m_bTooWide) << "kept once found";

    link.SetLinkText(kCheck, kLink, kCard, 0);
    ASSERT_TRUE(Repainted());
    EXPECT_EQ(link.m_nTextWidth, TextWidth(kCheck));
}

// ---- Cursor, size and click ----
TEST_F(LinkCtrlTest, TheHandShowsOverTheRectangleItWasSetUpWith) {
    CLinkProbe& link = MakeLink(60);
    link.SetLinkText(kCheck, kLink, RGB(255, 255, 255), 0);
    link.MoveWindow(150, 15, 120, 20);
    const HCURSOR hHand = LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR hArrow = LoadCursorW(nullptr, IDC_ARROW);
    MoveMouseTo(POINT{20, 10});
    EXPECT_TRUE(PumpUntil([&] { return ClassCursorOf(link) == hHand && desktop::CurrentCursor() == hHand; }));
    MoveMouseTo(POINT{90, 10});
    EXPECT_TRUE(PumpUntil([&] { return ClassCursorOf(link) == hArrow; })) << "beyond its first 60 pixels";
    desktop::MoveMouse(POINT{5, 5});
    EXPECT_TRUE(PumpUntil([&] { return !link.m_bHover && !HasUpdate(link); })) << "leaving ends the hover";
}

TEST_F(LinkCtrlTest, MeasureTextNarrowsItKeepingItsRightEdgeInItsParent) {
    struct SizeCase {
        const wchar_t* pszText;
        int nLeft;
    };
    const int nCheck = static_cast<int>(TextWidth(kCheck) * 1.1);
    const SizeCase cases[] = {{kCheck, 270 - nCheck}, {L"Mossveil Privacy Run Check Up", 150}, {L"", 150}};
    CLinkProbe& link = MakeLink();
    for (const SizeCase& c : cases) {
        link.MoveWindow(150, 15, 120, 20);
        link.SetLinkText(c.pszText, kLink, RGB(255, 255, 255), 0);
        link.MeasureText();
        CRect rc;
        link.GetWindowRect(&rc);
        m_parent.ScreenToClient(&rc);
        EXPECT_EQ(rc, CRect(c.nLeft, 15, 270, 35)) << platform::ToUtf8(c.pszText);
    }
}

TEST_F(LinkCtrlTest, AClickOnTheLinkReachesTheParent) {
    CLinkProbe& link = MakeLink();
    link.SetLinkText(kCheck, kLink, RGB(255, 255, 255), 0);
    desktop::Click(OnScreen(link, POINT{10, 8}));
    EXPECT_TRUE(PumpUntil([&] { return m_parent.m_nClicks == 1; }));
}

} // namespace

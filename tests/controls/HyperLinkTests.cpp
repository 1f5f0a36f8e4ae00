// The hyperlink button: its fonts; the Solvane page a click, Enter or Space opens once, and no page
// for a URI the launch gate refuses; its text in its colour, underlined until the mouse is over it, cut
// when too wide; the focus frame only after keyboard use and never for the narrator; narrowing to its
// text where it stands; the link role and its name for accessibility clients.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/FocusFrame.h"
#include "controls/PNGHyperLink.h"
#include "platform/accessibility.h"
#include "platform/internal.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using controls_test::CClientPixels;
using controls_test::CControlWindowTest;
using controls_test::HasUpdate;
using controls_test::PumpUntil;
namespace desktop = platform::desktop;

// A first button that takes the focus, and the battery panel's "BATTERY DETAILS" link.
const char kLinkDialog[] =
    R"({"id": 951, "style": "DS_SETFONT | WS_POPUP | WS_VISIBLE", "rect": [30, 30, 270, 80],
  "font": {"face": "MS Shell Dlg", "pointSize": 8, "weight": 400, "italic": 0, "charset": 1},
  "controls": [
    {"id": 1001, "class": "Button", "text": "First", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [10, 10, 50, 14]},
    {"id": 1006, "class": "Button", "text": "BATTERY DETAILS", "style": "BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP", "rect": [100, 40, 122, 15]}
  ]})";
const platform::EmbeddedFile kDialogs[] = {window_test::File("951.json", kLinkDialog),
                                           platform::EmbeddedFile{nullptr, nullptr, 0}};

const wchar_t kDetailsUri[] = L"corvex-solvane3:device-settings?batterydetail=1";
const wchar_t kDetails[] = L"BATTERY DETAILS";
const COLORREF kLink = 0xFD8270;
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kFrameDot = RGB(0xB4, 0xB4, 0xB4);
constexpr UINT kRightEllipsis = DT_RIGHT | DT_END_ELLIPSIS;

class CHyperLinkProbe : public CPNGHyperLink {
public:
    using CMFCLinkCtrl::m_strURL;
    using CPNGHyperLink::m_bMouseInput;
    using CPNGHyperLink::m_bTooWide;
    using CPNGHyperLink::m_fontHover;
    using CPNGHyperLink::m_fontNormal;
    using CPNGHyperLink::m_nTextWidth;
};

class CLinkDlg : public CDialog {
public:
    CLinkDlg() : CDialog(951) {}
    void OnClickedLink() { ++m_nClicks; }

    CButton m_first;
    CHyperLinkProbe m_link;
    int m_nClicks = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, 1001, m_first);
        DDX_Control(pDX, 1006, m_link);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CLinkDlg, CDialog)
ON_BN_CLICKED(1006, &CLinkDlg::OnClickedLink)
END_MESSAGE_MAP()

std::vector<std::string> OpenedUris() {
    std::vector<std::string> opened;
    for (const auto& record : testing_support::ReadMachineEvents("shell.execute")) {
        opened.push_back(record["file"]);
    }
    return opened;
}

LOGFONTW LogFontOf(const CFont& font) {
    LOGFONTW logFont{};
    EXPECT_NE(font.GetLogFont(&logFont), 0);
    return logFont;
}

class HyperLinkTest : public CControlWindowTest {
protected:
    void TearDown() override {
        m_dialog.DestroyWindow();
        CControlWindowTest::TearDown();
    }

    // The dialog shown and painted, the first button focused, the link set as the battery panel sets it.
    CHyperLinkProbe& Open(const wchar_t* pszText = kDetails) {
        EXPECT_TRUE(m_dialog.Create(951));
        m_dialog.m_first.SetFocus();
        Link().SetLinkText(kDetailsUri, pszText, 12, 700, kLink, kRightEllipsis);
        EXPECT_TRUE(Painted(Link()));
        return Link();
    }
    CHyperLinkProbe& Link() { return m_dialog.m_link; }
    bool Repainted() {
        Link().Invalidate();
        return Painted(Link());
    }
    POINT Middle() {
        CRect rc;
        Link().GetWindowRect(&rc);
        return rc.CenterPoint();
    }
    // Clicks the link and waits for the dialog to hear of it.
    void ClickAndWait() {
        const int nClicks = m_dialog.m_nClicks;
        desktop::Click(Middle());
        ASSERT_TRUE(PumpUntil([&] { return m_dialog.m_nClicks == nClicks + 1 && !HasUpdate(Link()); }));
    }

    window_test::CDialogResources m_resources{kDialogs};
    CLinkDlg m_dialog;
};

// ---- Fonts ----
struct FontCase {
    const char* name;
    int dpi;
    int nSize;
    int nWeight;
    int nHeight;
    int nExpectedWeight;
};

class HyperLinkFonts : public HyperLinkTest, public testing::WithParamInterface<FontCase> {};

TEST_P(HyperLinkFonts, AreSegoeUiUnderlinedAndPlainForHover) {
    const FontCase& c = GetParam();
    SetDpi(c.dpi);
    CHyperLinkProbe link;
    link.SetLinkText(kDetailsUri, kDetails, c.nSize, c.nWeight, kLink, kRightEllipsis);
    for (const CFont* pFont : {&link.m_fontNormal, &link.m_fontHover}) {
        const LOGFONTW logFont = LogFontOf(*pFont);
        EXPECT_EQ(logFont.lfHeight, -c.nHeight);
        EXPECT_EQ(logFont.lfWeight, c.nExpectedWeight);
        EXPECT_EQ(std::wstring(logFont.lfFaceName), L"Segoe UI");
        EXPECT_EQ(logFont.lfUnderline != 0, pFont == &link.m_fontNormal);
    }
    EXPECT_EQ(link.m_nTextWidth, 0) << "no window, nothing measured";
}

INSTANTIATE_TEST_SUITE_P(Cases, HyperLinkFonts,
                         testing::Values(FontCase{"BoldAt96Dpi", 96, 12, 700, 12, 700},
                                         FontCase{"WeightZeroGives400", 96, 13, 0, 13, 400},
                                         FontCase{"NegativeWeightGives400", 96, 14, -5, 14, 400},
                                         FontCase{"ScaledAt144Dpi", 144, 13, 400, 20, 400}),
                         [](const testing::TestParamInfo<FontCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(HyperLinkTest, TheFontsAreMadeAnewOnlyForANewSizeOrWeight) {
    CHyperLinkProbe link;
    link.SetLinkText(kDetailsUri, kDetails, 12, 700, kLink, kRightEllipsis);
    const HGDIOBJ hNormal = link.m_fontNormal.GetSafeHandle();
    link.SetLinkText(kDetailsUri, L"ALL SETTINGS", 12, 700, RGB(1, 2, 3), 0);
    EXPECT_EQ(link.m_fontNormal.GetSafeHandle(), hNormal);
    link.SetLinkText(kDetailsUri, L"ALL SETTINGS", 13, 700, RGB(1, 2, 3), 0);
    EXPECT_EQ(LogFontOf(link.m_fontNormal).lfHeight, -13);
    link.SetLinkText(kDetailsUri, L"ALL SETTINGS", 13, 400, RGB(1, 2, 3), 0);
    EXPECT_EQ(LogFontOf(link.m_fontHover).lfWeight, 400);
}

// ---- What a click opens ----
struct UriCase {
    const char* name;
    const wchar_t* pszUri;
    const char* opened; // null: nothing
};

class HyperLinkUri : public HyperLinkTest, public testing::WithParamInterface<UriCase> {};

// The link had the battery details page: a refused URI leaves it with none.
TEST_P(HyperLinkUri, AClickOpensOnlyAUriTheGateAccepts) {
    const UriCase& c = GetParam();
    CHyperLinkProbe& link = Open();
    link.SetLinkText(c.pszUri, L"Intelligent cooling", 13, 400, kLink, DT_END_ELLIPSIS);
    CString text;
    link.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), L"Intelligent cooling");
    ClickAndWait();
    const std::vector<std::string> expected =
        c.opened ? std::vector<std::string>{c.opened} : std::vector<std::string>{};
    EXPECT_EQ(OpenedUris(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HyperLinkUri,
    testing::Values(UriCase{"SolvanePage", L"corvex-solvane3:power", "corvex-solvane3:power"},
                    UriCase{"SystemSettingsAreRefused", L"ms-settings:batterysaver", nullptr},
                    UriCase{"EmptyIsRefused", L"", nullptr},
                    UriCase{"AnotherSchemeIsRefused", L"corvex-solvane:power", nullptr}),
    [](const testing::TestParamInfo<UriCase>& info) { return std::string(info.param.name); });

TEST_F(HyperLinkTest, ANullUriOrTextChangesNothing) {
    CHyperLinkProbe& link = Open();
    link.SetLinkText(nullptr, L"ALL SETTINGS", 14, 400, RGB(0, 0, 0), 0);
    link.SetLinkText(L"corvex-solvane3:power", nullptr, 14, 400, RGB(0, 0, 0), 0);
    CString text;
    link.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), kDetails);
    EXPECT_EQ(std::wstring(link.m_strURL.GetString()), kDetailsUri);
    EXPECT_EQ(LogFontOf(link.m_fontNormal).lfHeight, -12);
}

TEST_F(HyperLinkTest, TheMouseEnterAndSpaceEachOpenThePageOnce) {
    struct KeyCase {
        const char* name;
        std::function<void()> act;
    };
    Open();
    const KeyCase cases[] = {
        {"mouse", [&] { desktop::Click(Middle()); }},
        {"enter",
         [&] {
             Link().SetFocus();
             desktop::PressKey(VK_RETURN);
         }},
        {"space",
         [&] {
             Link().SetFocus();
             desktop::PressKey(VK_SPACE);
         }},
    };
    size_t nOpened = 0;
    for (const KeyCase& each : cases) {
        const int nClicks = m_dialog.m_nClicks;
        each.act();
        ASSERT_TRUE(PumpUntil([&] { return OpenedUris().size() == nOpened + 1; })) << each.name;
        window_test::PumpFor(std::chrono::milliseconds(50));
        ++nOpened;
        EXPECT_EQ(OpenedUris().size(), nOpened) << each.name << ": once";
        EXPECT_EQ(m_dialog.m_nClicks, nClicks + 1) << each.name;
        EXPECT_EQ(OpenedUris().back(), platform::ToUtf8(kDetailsUri)) << each.name;
    }
}

TEST_F(HyperLinkTest, SpaceActsAsEnterAsTheKeyGoesDown) {
    CHyperLinkProbe& link = Open();
    link.SetFocus();
    desktop::Key(VK_SPACE, true);
    EXPECT_TRUE(PumpUntil([&] { return m_dialog.m_nClicks == 1; })) << "a button alone waits for the release";
    desktop::Key(VK_SPACE, false);
    window_test::PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(m_dialog.m_nClicks, 1);
    EXPECT_EQ(OpenedUris().size(), 1u);
}

// ---- Paint ----
// The link as its content step draws it: white, the text in the content rectangle two pixels inside.
void DrawReference(gdi_test::CSurface& surface, const CRect& rcClient, const wchar_t* pszText,
                   bool bUnderline, UINT nFlags) {
    CDC& dc = *CDC::FromHandle(surface.Dc());
    CFont font;
    font.CreateFont(-12, 0, 0, 0, 700, FALSE, bUnderline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_SWISS, L"Segoe UI");
    CFont* pOld = dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(kLink);
    CRect rcText = rcClient;
    rcText.DeflateRect(2, 2);
    dc.DrawText(pszText, -1, &rcText, nFlags);
    dc.SelectObject(pOld);
}

struct PaintCase {
    const char* name;
    const wchar_t* pszText;
    bool bHover;
    bool bMultiline;
    bool bTooWide;
};

class HyperLinkPaint : public HyperLinkTest, public testing::WithParamInterface<PaintCase> {};

TEST_P(HyperLinkPaint, DrawsItsTextInItsFontAndColourOnWhite) {
    const PaintCase& c = GetParam();
    CHyperLinkProbe& link = Open(c.pszText);
    link.m_bMultilineText = c.bMultiline;
    if (c.bHover) {
        desktop::MoveMouse(Middle());
        ASSERT_TRUE(PumpUntil([&] { return link.IsHighlighted() && !HasUpdate(link); }));
    }
    ASSERT_TRUE(Repainted());
    CRect rcClient;
    link.GetClientRect(&rcClient);
    EXPECT_EQ(link.m_bTooWide, c.bTooWide);

    const UINT nFlags = c.bMultiline ? DT_WORDBREAK : kRightEllipsis | DT_SINGLELINE | DT_WORD_ELLIPSIS;
    gdi_test::CSurface expected(rcClient.Width(), rcClient.Height());
    DrawReference(expected, rcClient, c.pszText, !c.bHover, nFlags);
    gdi_test::CSurface other(rcClient.Width(), rcClient.Height());
    DrawReference(other, rcClient, c.pszText, c.bHover, nFlags);
    const CClientPixels pixels(link);
    EXPECT_EQ(pixels.Differences(expected), 0);
    EXPECT_GT(pixels.Differences(other), 0) << "underlined only while the mouse is away";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HyperLinkPaint,
    testing::Values(PaintCase{"UnderlinedAtTheRight", kDetails, false, false, false},
                    PaintCase{"HoveredNotUnderlined", kDetails, true, false, false},
                    PaintCase{"TooWideIsCut", L"BATTERY DETAILS AND CHARGE SETTINGS OF THIS NOTEBOOK", false,
                              false, true},
                    PaintCase{"MultiLineWraps", L"BATTERY DETAILS AND CHARGE SETTINGS OF THIS NOTEBOOK",
                              false, true, true}),
    [](const testing::TestParamInfo<PaintCase>& info) { return std::string(info.param.name); });

TEST_F(HyperLinkTest, TheWidthIsMeasuredInTheNormalFont) {
    CHyperLinkProbe& link = Open();
    gdi_test::CSurface surface(1, 1);
    CDC& dc = *CDC::FromHandle(surface.Dc());
    CFont* pOld = dc.SelectObject(&link.m_fontNormal);
    EXPECT_EQ(link.m_nTextWidth, dc.GetTextExtent(CString(kDetails)).cx);
    dc.SelectObject(pOld);
    EXPECT_FALSE(link.m_bTooWide);
}

// ---- Focus frame ----
int FrameDots(const CWnd& link) {
    CRect rc;
    link.GetClientRect(&rc);
    return CClientPixels(link).Count(kFrameDot, RECT{0, 0, rc.right, 1});
}

// The dots on the link's border are those of the focus frame around its client rectangle.
bool FrameIsAroundTheClient(CWnd& link) {
    CRect rc;
    link.GetClientRect(&rc);
    gdi_test::CSurface frame(rc.Width(), rc.Height());
    DrawFocusFrame(&link, CDC::FromHandle(frame.Dc()), rc);
    const CClientPixels pixels(link);
    for (int y = 0; y < rc.bottom; ++y) {
        for (int x = 0; x < rc.right; ++x) {
            const bool bBorder = x == 0 || y == 0 || x == rc.right - 1 || y == rc.bottom - 1;
            if (bBorder && (pixels.At(x, y) == kFrameDot) != (frame.Pixel(x, y) == kFrameDot)) {
                return false;
            }
        }
    }
    return frame.Count(kFrameDot) > 0;
}

TEST_F(HyperLinkTest, TheFocusFrameShowsAfterKeysNotAfterAClick) {
    CHyperLinkProbe& link = Open();
    EXPECT_EQ(FrameDots(link), 0) << "not focused";
    link.SetFocus();
    ASSERT_TRUE(Painted(link));
    EXPECT_GT(FrameDots(link), 0);
    EXPECT_TRUE(FrameIsAroundTheClient(link));

    ClickAndWait();
    ASSERT_EQ(GetFocus(), link.m_hWnd) << "a click focuses the link";
    EXPECT_TRUE(link.m_bMouseInput);
    EXPECT_EQ(FrameDots(link), 0);

    desktop::PressKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return !link.m_bMouseInput; }));
    ASSERT_TRUE(Repainted());
    EXPECT_GT(FrameDots(link), 0);
}

TEST_F(HyperLinkTest, WithTheNarratorThereIsNoFocusFrame) {
    g_bNarrator = true;
    CHyperLinkProbe& link = Open();
    link.SetFocus();
    desktop::PressKey(VK_SHIFT);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == link.m_hWnd && !HasUpdate(link); }));
    ASSERT_TRUE(Repainted());
    EXPECT_EQ(FrameDots(link), 0);
    EXPECT_EQ(CClientPixels(link).Count(kFrameDot), 0);
}

// ---- Narrowing to the text ----
struct SizeCase {
    const char* name;
    int nTextWidth;
    bool bKeepLeft;
    int nLeft; // expected, from a link at 60..360 of its parent
    int nRight;
};

class HyperLinkSize : public HyperLinkTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(HyperLinkSize, NarrowsToTheTextWhereItStands) {
    const SizeCase& c = GetParam();
    CHyperLinkProbe& link = Open();
    link.MoveWindow(60, 50, 300, 25);
    link.m_nTextWidth = c.nTextWidth;
    link.SizeToText(c.bKeepLeft);
    CRect rc;
    link.GetWindowRect(&rc);
    m_dialog.ScreenToClient(&rc);
    EXPECT_EQ(rc, CRect(c.nLeft, 50, c.nRight, 75));
}

INSTANTIATE_TEST_SUITE_P(Cases, HyperLinkSize,
                         testing::Values(SizeCase{"KeepsTheRightEdge", 100, false, 250, 360},
                                         SizeCase{"KeepsTheLeftEdge", 100, true, 60, 170},
                                         SizeCase{"TruncatesTheWidth", 57, true, 60, 122},
                                         SizeCase{"TextAsWideAsTheLinkStays", 300, false, 60, 360},
                                         SizeCase{"NoWidthMeasuredStays", 0, false, 60, 360}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- Accessibility ----
TEST_F(HyperLinkTest, AccessibilityClientsReadALinkWithItsText) {
    CHyperLinkProbe& link = Open();
    IAccessible* pObject = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(link.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                         reinterpret_cast<void**>(&pObject)),
              S_OK);
    for (const LONG nChild : {LONG{CHILDID_SELF}, LONG{3}}) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = nChild;
        VARIANT role;
        VariantInit(&role);
        EXPECT_EQ(pObject->get_accRole(child, &role), S_OK) << nChild;
        EXPECT_EQ(role.vt, VT_I4);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_LINK) << nChild;
    }
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    ASSERT_EQ(pObject->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name ? name : L""), kDetails);
    SysFreeString(name);
    pObject->Release();
    EXPECT_EQ(link.get_accRole(self, nullptr), E_INVALIDARG);
}

TEST_F(HyperLinkTest, TheFontsGoWithTheWindowAndComeBackWithTheText) {
    CHyperLinkProbe& link = Open();
    m_dialog.DestroyWindow();
    EXPECT_EQ(link.m_fontNormal.GetSafeHandle(), nullptr);
    EXPECT_EQ(link.m_fontHover.GetSafeHandle(), nullptr);
    link.SetLinkText(kDetailsUri, kDetails, 12, 700, kLink, kRightEllipsis);
    EXPECT_NE(link.m_fontNormal.GetSafeHandle(), nullptr) << "the same size and weight make them again";
}

} // namespace

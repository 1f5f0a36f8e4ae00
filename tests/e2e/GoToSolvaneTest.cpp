// The flyout's bottom row as a person meets it: the blue "GO TO CORVEX SOLVANE" pill and the "View
// warranty options" link under the grid on both profiles, what a click on each sends and opens, Tab
// through both and round to the top, and the Dolby audio and touchpad buttons, which the grid never
// offers, left unasked.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using platform::desktop::CScreenImage;
using testing_support::CTestMachine;

const char* const kStart = "MENUITEM_LAUNCH_TOOLBAR,|";
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kLinkBlue = RGB(0x70, 0x81, 0xFD);
const COLORREF kFocusFrameGrey = RGB(0xB4, 0xB4, 0xB4);
const char* const kProfiles[] = {"consumer-win11", "business-win10"};

bool IsPillBlue(COLORREF cr) {
    return GetRValue(cr) <= 0x50 && GetGValue(cr) <= 0x84 && GetBValue(cr) >= 0xD0;
}

// The link's text where it is drawn in its own colour, its anti-aliased edges left out.
bool IsLinkInk(COLORREF cr) {
    return cr == kLinkBlue;
}

// The bottom row as the screen shows it.
struct BottomRowOnScreen {
    RECT grid{};
    RECT pill{}; // the pixels in the pill's blue
    RECT link{}; // the link's text
};

// The bounding rectangle of the pixels that pass the test in the area; empty when none does.
template <typename Test> RECT InkIn(const CScreenImage& screen, const RECT& area, Test test) {
    RECT ink{area.right, area.bottom, area.left, area.top};
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (test(screen.At(x, y))) {
                ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            }
        }
    }
    return ink.left < ink.right ? ink : RECT{};
}

// The pill and the link under the grid, down to the taskbar; none while either is missing.
std::optional<BottomRowOnScreen> FindBottomRow(const CScreenImage& screen,
                                               const e2e::FlyoutOnScreen& flyout) {
    const auto grid = e2e::FindFeatureGrid(screen, flyout);
    if (!grid) {
        return std::nullopt;
    }
    const RECT below{flyout.titleBar.left, grid->bottom, flyout.titleBar.right, screen.height};
    BottomRowOnScreen row{*grid, InkIn(screen, below, IsPillBlue), InkIn(screen, below, IsLinkInk)};
    if (row.pill.right == 0 || row.link.right == 0) {
        return std::nullopt;
    }
    return row;
}

POINT CentreOf(const RECT& rc) {
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

int FrameDotsAround(const CScreenImage& screen, const RECT& rc, int nReach) {
    const RECT around{rc.left - nReach, rc.top - nReach, rc.right + nReach, rc.bottom + nReach};
    const RECT dots = InkIn(screen, around, [](COLORREF cr) { return cr == kFocusFrameGrey; });
    return dots.right == 0 ? 0 : (dots.right - dots.left) + (dots.bottom - dots.top);
}

// The flyout on the profile's machine with its bottom row shown.
struct OpenFlyout {
    e2e::FlyoutOnScreen flyout;
    BottomRowOnScreen row;
};

std::optional<OpenFlyout> WaitForBottomRow(e2e::CProgram& program) {
    const auto flyout = program.WaitForFlyout();
    if (!flyout) {
        return std::nullopt;
    }
    const auto row =
        program.WaitForScreen([&](const CScreenImage& screen) { return FindBottomRow(screen, *flyout); });
    return row ? std::optional(OpenFlyout{*flyout, *row}) : std::nullopt;
}

std::vector<std::string> OpenedPages() {
    std::vector<std::string> pages;
    for (const nlohmann::json& record : e2e::ReadEvents("shell.execute")) {
        pages.push_back(record.value("file", "") + " " + std::to_string(record.value("show", -1)));
    }
    return pages;
}

// Runs the check on the flyout of each profile once its bottom row shows.
template <typename Check> void OnEachProfile(Check check) {
    for (const char* profile : kProfiles) {
        SCOPED_TRACE(profile);
        CTestMachine machine(profile);
        e2e::CProgram program(kStart);
        const auto open = WaitForBottomRow(program);
        ASSERT_TRUE(open);
        check(program, *open);
    }
}

TEST(GoToSolvane, TheBottomRowStandsUnderTheGridOnBothProfiles) {
    OnEachProfile([](e2e::CProgram& program, const OpenFlyout& open) {
        const RECT& title = open.flyout.titleBar;
        const RECT& pill = open.row.pill;
        const RECT& link = open.row.link;
        EXPECT_GT(pill.top, open.row.grid.bottom) << "the pill under the grid";
        EXPECT_GT(link.top, pill.bottom) << "the link under the pill";
        const int middle = (title.left + title.right) / 2;
        EXPECT_LE(std::abs((pill.left + pill.right) / 2 - middle), 12) << "the pill in the middle";
        EXPECT_GE(pill.bottom - pill.top, 30);
        EXPECT_GT(link.left, middle) << "the link to the right";
        EXPECT_GT(title.right - link.right, 8);

        const CScreenImage screen = program.Screen();
        const int height = pill.bottom - pill.top;
        const RECT bar{pill.left + height / 2, pill.top + height / 4, pill.right - height / 2,
                       pill.bottom - height / 4};
        const RECT caption = InkIn(screen, bar, [](COLORREF cr) { return cr == kWhite; });
        EXPECT_GT(caption.right - caption.left, (pill.right - pill.left) / 2)
            << "the white caption on the pill";
        EXPECT_LE(std::abs((caption.left + caption.right) / 2 - (pill.left + pill.right) / 2), 3)
            << "in its middle";
        EXPECT_GE(caption.left - pill.left, height / 2) << "the pill wide enough for its caption";
        EXPECT_EQ(screen.At(middle, link.bottom + 12), kWhite) << "white under the row";
        EXPECT_TRUE(e2e::ReadEvents("contract.IsSupportTouchPadEx2").empty())
            << "the touchpad is never asked";
        EXPECT_TRUE(e2e::ReadEvents("contract.GetDolbyStatusEx").empty()) << "nor the Dolby audio profile";
    });
}

TEST(GoToSolvane, AClickOnThePillOrTheLinkSendsItsEventAndOpensItsPageOnce) {
    const struct {
        const char* profile;
        bool bLink;
        const char* event;
        const char* page;
    } cases[] = {
        {"consumer-win11", false, "Features.Toolbar.PowerInformation.GoToSolvaneDashboardPage",
         "corvex-solvane3:toolbar 3"},
        {"business-win10", true, "Features.Toolbar.PowerInformation.GoToWarrantyServiceHomePage",
         "corvex-solvane3:support 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.event);
        CTestMachine machine(c.profile);
        e2e::CProgram program(kStart);
        const auto open = WaitForBottomRow(program);
        ASSERT_TRUE(open);
        ASSERT_TRUE(program.Click(CentreOf(c.bLink ? open->row.link : open->row.pill)));
        ASSERT_EQ(e2e::WaitForEvents("shell.execute", 1).size(), 1u);
        program.Screen();
        EXPECT_EQ(OpenedPages(), std::vector<std::string>{c.page});
        std::vector<nlohmann::json> features = e2e::ReadEvents("telemetry.feature");
        ASSERT_EQ(features.size(), 1u);
        EXPECT_EQ(features[0]["name"], c.event);
        EXPECT_EQ(features[0]["value"], "");
        EXPECT_EQ(features[0]["page"], "Features.Toolbar.PowerInformation");
        EXPECT_TRUE(program.IsRunning()) << "the flyout stays open";
    }
}

// Close has the focus at the start; Tab goes through the grid to the pill and the link, whose focus
// frames then show, and from the link round to Close, where Enter closes the flyout.
TEST(GoToSolvane, TabFromTheLastControlBringsTheFocusBackToTheTop) {
    OnEachProfile([](e2e::CProgram& program, const OpenFlyout& open) {
        ASSERT_TRUE(program.MoveMouse(POINT{5, 5})) << "the mouse away from the flyout";
        bool bPillFramed = false;
        bool bLinkFramed = false;
        for (int nTabs = 0; nTabs < 16 && !bLinkFramed; ++nTabs) {
            ASSERT_TRUE(program.Input("key tab"));
            const CScreenImage screen = program.Screen();
            bLinkFramed = FrameDotsAround(screen, open.row.link, 6) > 20;
            bPillFramed = bPillFramed || FrameDotsAround(screen, open.row.pill, 8) > 40;
        }
        EXPECT_TRUE(bPillFramed) << "the pill on the way";
        ASSERT_TRUE(bLinkFramed) << "the link last";
        ASSERT_TRUE(program.Input("key tab"));
        const CScreenImage screen = program.Screen();
        EXPECT_LE(FrameDotsAround(screen, open.row.link, 6), 20) << "the link lets the focus go";
        ASSERT_TRUE(program.Input("key enter"));
        EXPECT_EQ(program.WaitForExit().exitCode, 0) << "Enter on Close, back at the top";
        EXPECT_TRUE(OpenedPages().empty());
    });
}

} // namespace

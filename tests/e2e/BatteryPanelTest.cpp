// The battery panel as a person meets it at the top of the flyout, on the consumer and the business
// notebook: the picture of the machine's charge with its percentage over the grid, the remaining time or
// the time to full charge (the host's on the consumer notebook, the power manager's on the business one)
// changing with the power notifications, the toolbar's delay of the remaining time, the links with their
// events and pages (the thermal line's only where the thermal solution runs), conservation mode and rapid
// charge excluding each other with the badge they give (consumer), the error pictures, and hosts that
// give no time.
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/BatteryPanelOnScreen.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace std::chrono_literals;
using e2e::FlyoutOnScreen;
using e2e::LevelLook;
using e2e::MessageLook;
using e2e::PanelLook;
using testing_support::CTestMachine;
using testing_support::RunTool;
using testing_support::SetMachineFact;

const char* const kStart = "MENUITEM_LAUNCH_TOOLBAR,|e2e-battery";
const char kToolbarKey[] = "'HKCU\\Software\\Corvex\\Ampwise'";

bool Tool(const std::string& arguments) {
    return RunTool(arguments).exitCode == 0;
}

bool CloseFlyout(e2e::CProgram& program, const FlyoutOnScreen& flyout) {
    return program.Click(flyout.closeCentre) && program.WaitForExit().exitCode == 0;
}

// Waits until the panel shows the look, wherever the flyout stands by then.
bool WaitForLook(e2e::CProgram& program, const FlyoutOnScreen&, const PanelLook& look) {
    return program
        .WaitForScreen([&](const platform::desktop::CScreenImage& screen) {
            const auto flyout = e2e::FindFlyout(screen);
            return flyout && e2e::Shows(screen, *flyout, look) ? std::optional(true) : std::nullopt;
        })
        .has_value();
}

e2e::Drawing TimeText(const wchar_t* pszText) {
    return e2e::TextDrawing(pszText, 11, 700, e2e::kLevelInk);
}

struct ProfileCase {
    const char* profile;
    const wchar_t* fullTime;       // to full charge from 80 %
    const wchar_t* thirtyFiveTime; // from 35 %
};

class BatteryPanelPower : public testing::TestWithParam<ProfileCase> {};

TEST_P(BatteryPanelPower, ShowsTheLevelOverTheGridAndFollowsThePowerNotifications) {
    const ProfileCase& c = GetParam();
    CTestMachine machine(c.profile);
    // The host's time of the consumer notebook from a full charge in 100 minutes; the power manager's
    // of the business one says 77 minutes whatever the charge.
    SetMachineFact(machine.Folder(), "/power/chargeMinutes", 100);
    SetMachineFact(machine.Folder(), "/powerManager/answers/main", {{"minutes", 77}});
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    EXPECT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 163, L"80", c.fullTime, L"TIME TO FULL CHARGE")))
        << "80 %, charging";
    const auto screen = program.Screen();
    const auto grid = e2e::FindFeatureGrid(screen, *flyout);
    ASSERT_TRUE(grid);
    const auto level = e2e::FindDrawing(screen, e2e::BatteryPanelArea(screen, *flyout),
                                        e2e::TextDrawing(L"80", 42, 956, e2e::kLevelInk));
    ASSERT_TRUE(level);
    EXPECT_LT(level->y, grid->top) << "the panel above the grid";

    ASSERT_TRUE(Tool("power battery 35"));
    EXPECT_TRUE(
        WaitForLook(program, *flyout, LevelLook(149, 163, L"35", c.thirtyFiveTime, L"TIME TO FULL CHARGE")));
    ASSERT_TRUE(Tool("power remaining 3660"));
    ASSERT_TRUE(Tool("power source dc"));
    EXPECT_TRUE(
        WaitForLook(program, *flyout, LevelLook(149, 0, L"35", L"1 hour 1 minute", L"REMAINING TIME")));
    EXPECT_FALSE(e2e::Shows(program.Screen(), *flyout, LevelLook(149, 163, L"35", L"", L""))) << "no badge";
    ASSERT_TRUE(Tool("power source ac"));
    EXPECT_TRUE(
        WaitForLook(program, *flyout, LevelLook(149, 163, L"35", c.thirtyFiveTime, L"TIME TO FULL CHARGE")));
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(Machines, BatteryPanelPower,
                         testing::Values(ProfileCase{"consumer-win11", L"20 minutes", L"1 hour 5 minutes"},
                                         ProfileCase{"business-win10", L"1 hour 17 minutes",
                                                     L"1 hour 17 minutes"}));

const char* const kProfiles[] = {"consumer-win11", "business-win10"};

class BatteryPanelDelay : public testing::TestWithParam<const char*> {};

// On battery the time left is the system's on either notebook.
TEST_P(BatteryPanelDelay, TheToolbarsDelayHidesTheRemainingTimeUntilItEnds) {
    CTestMachine machine(GetParam());
    ASSERT_TRUE(Tool("power source dc"));
    ASSERT_TRUE(Tool("power remaining 3660"));
    ASSERT_TRUE(Tool(std::string("reg set ") + kToolbarKey + " DelayShowRemainTime REG_DWORD 1"));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    ASSERT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 0, L"80", L"", L"")));
    ASSERT_TRUE(Tool("power battery 79")); // a refresh, which keeps the time hidden
    ASSERT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 0, L"79", L"", L"")));
    EXPECT_FALSE(e2e::ShowsText(program.Screen(), *flyout, TimeText(L"1 hour 1 minute")));
    ASSERT_TRUE(Tool(std::string("reg set ") + kToolbarKey + " DelayShowRemainTime REG_DWORD 0"));
    EXPECT_TRUE(
        WaitForLook(program, *flyout, LevelLook(153, 0, L"79", L"1 hour 1 minute", L"REMAINING TIME")))
        << "within the 5 s of its re-reading";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(Machines, BatteryPanelDelay, testing::ValuesIn(kProfiles));

// The feature events and pages of the links, without their times.
std::vector<std::string> LinkActions() {
    std::vector<std::string> actions;
    for (const nlohmann::json& record : e2e::ReadEvents()) {
        const std::string event = record.value("event", "");
        if (event == "telemetry.feature") {
            actions.push_back(record.value("name", "") + "|" + record.value("page", "") + "|" +
                              record.value("context", ""));
        } else if (event == "shell.execute") {
            actions.push_back(record.value("file", ""));
        }
    }
    return actions;
}

struct LinksCase {
    const char* profile;
    bool thermalLine; // the thermal solution runs and gives its mode
};

class BatteryPanelLinks : public testing::TestWithParam<LinksCase> {};

// Without the thermal solution (the business notebook) the line and its link are not there.
TEST_P(BatteryPanelLinks, EachLinkSendsItsEventAndOpensItsPage) {
    const LinksCase& c = GetParam();
    CTestMachine machine(c.profile);
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    ASSERT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 163, L"80", L"", L"")));
    const auto screen = program.Screen();
    const struct {
        const char* name;
        e2e::Drawing row; // the thermal link stands left of its status text, the others right of a heading
        bool thermal;
        std::string event;
        std::string page;
        std::string linksOwnPage;
    } links[] = {
        {"BATTERY DETAILS", e2e::TextDrawing(L"MY BATTERY", 12, 700, e2e::kHeadingInk), false,
         "Features.Toolbar.Flipdecks.GoToSolvaneBatteryDetailsPage",
         "corvex-solvane3:device-settings?batterydetail=", "corvex-solvane3:device-settings?batterydetail=1"},
        {"ALL SETTINGS", e2e::TextDrawing(L"FLIPDECKS", 12, 700, e2e::kHeadingInk), false,
         "Features.Toolbar.Flipdecks.GoToSolvaneAllSettingsPage", "corvex-solvane3:device-settings",
         "corvex-solvane3:device-settings"},
        {"Intelligent cooling", e2e::TextDrawing(L":  Balanced mode", 13, 400, e2e::kLinkInk), true,
         "Features.Toolbar.PowerInformation.GoToPowerSmartSettingsByKobalIntelligentCooling",
         "corvex-solvane3:power", "corvex-solvane3:power"},
    };
    for (const auto& link : links) {
        SCOPED_TRACE(link.name);
        const auto point = e2e::FindLinkBeside(screen, *flyout, link.row, link.thermal);
        if (link.thermal && !c.thermalLine) {
            EXPECT_FALSE(point) << "no thermal line";
            EXPECT_FALSE(e2e::ShowsText(screen, *flyout,
                                        e2e::TextDrawing(L"Intelligent cooling", 13, 400, e2e::kLinkInk)));
            continue;
        }
        ASSERT_TRUE(point);
        const size_t before = LinkActions().size();
        ASSERT_TRUE(program.Click(*point));
        ASSERT_TRUE(e2e::WaitUntil([&] { return LinkActions().size() >= before + 3; }));
        const std::vector<std::string> actions = LinkActions();
        EXPECT_EQ(actions[before], link.event + "|Features.Toolbar.PowerInformation|e2e-battery");
        // The panel's own page, then the one the link control opens itself.
        EXPECT_EQ(actions[before + 1].substr(0, link.page.size()), link.page) << actions[before + 1];
        EXPECT_EQ(actions[before + 2], link.linksOwnPage);
        if (link.page.back() == '=') {
            const std::string number = actions[before + 1].substr(link.page.size());
            EXPECT_TRUE(!number.empty() && number.size() <= 5 &&
                        number.find_first_not_of("0123456789") == std::string::npos)
                << number;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, BatteryPanelLinks,
                         testing::Values(LinksCase{"consumer-win11", true},
                                         LinksCase{"business-win10", false}));

// The grid's round buttons on the row of its first one, left to right.
std::vector<e2e::FeatureButtonOnScreen> TopRowButtons(const platform::desktop::CScreenImage& screen,
                                                      const FlyoutOnScreen& flyout) {
    std::vector<e2e::FeatureButtonOnScreen> buttons;
    const auto first = e2e::FindFeatureButton(screen, flyout);
    const auto grid = e2e::FindFeatureGrid(screen, flyout);
    if (!first || !grid) {
        return buttons;
    }
    for (int x = grid->left; x < grid->right; ++x) {
        const COLORREF colour = screen.At(x, first->centre.y);
        if (colour != e2e::kButtonOff && colour != e2e::kButtonOn && colour != e2e::kButtonDisabled) {
            continue;
        }
        buttons.push_back({POINT{x + first->diameter / 2, first->centre.y}, first->diameter, colour});
        x += first->diameter + 2;
    }
    return buttons;
}

// Waits until the top row's first two buttons show those circles, wherever the flyout stands by then;
// the two then.
std::optional<std::vector<e2e::FeatureButtonOnScreen>>
WaitForPair(e2e::CProgram& program, const FlyoutOnScreen&, COLORREF first, COLORREF second) {
    return program.WaitForScreen([&](const platform::desktop::CScreenImage& screen) {
        const auto flyout = e2e::FindFlyout(screen);
        auto buttons = flyout ? TopRowButtons(screen, *flyout) : std::vector<e2e::FeatureButtonOnScreen>();
        const bool shown = buttons.size() >= 2 && buttons[0].circle == first && buttons[1].circle == second;
        return shown ? std::optional(buttons) : std::nullopt;
    });
}

// The person looks at the grid once the click's caption is gone: the mouse over the button and away.
void LookAtTheGrid(e2e::CProgram& program, const e2e::FeatureButtonOnScreen& button, POINT away) {
    program.WaitForScreen([&](const platform::desktop::CScreenImage& screen) -> std::optional<bool> {
        const auto flyout = e2e::FindFlyout(screen);
        const auto grid = flyout ? e2e::FindFeatureGrid(screen, *flyout) : std::nullopt;
        if (!grid) {
            return std::nullopt;
        }
        const RECT ink = e2e::FindStateCaption(screen, *grid, button);
        return IsRectEmpty(&ink) ? std::optional(true) : std::nullopt;
    });
    program.MoveMouse(button.centre);
    program.MoveMouse(away);
}

// Each click switches the other mode off first: both buttons change, and the badge follows.
TEST(BatteryPanel, ConservationModeAndRapidChargeExcludeEachOtherAndGiveTheirBadge) {
    CTestMachine machine;
    ASSERT_TRUE(e2e::OfferFeatureAlone("ConservationMode", "off"));
    ASSERT_TRUE(Tool("feature RapidCharge --supported yes --state on"));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const POINT away{flyout->titleBar.left + 10, flyout->titleBar.top + 5};
    ASSERT_TRUE(program.MoveMouse(away));
    const auto pair = WaitForPair(program, *flyout, e2e::kButtonOff, e2e::kButtonOn);
    ASSERT_TRUE(pair) << "conservation mode off, rapid charge on";
    ASSERT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 166, L"80", L"", L"")))
        << "the rapid-charge badge";

    ASSERT_TRUE(program.Click((*pair)[0].centre));
    ASSERT_TRUE(program.MoveMouse(away));
    EXPECT_TRUE(e2e::WaitUntil([] {
        return e2e::HostFeature("ConservationMode").value("state", -1) == 1 &&
               e2e::HostFeature("RapidCharge").value("state", -1) == 0;
    }));
    EXPECT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 165, L"80", L"", L"")))
        << "the charge-care badge";
    LookAtTheGrid(program, (*pair)[0], away);
    EXPECT_TRUE(WaitForPair(program, *flyout, e2e::kButtonOn, e2e::kButtonOff))
        << "conservation mode on, rapid charge off";

    ASSERT_TRUE(program.Click((*pair)[1].centre));
    ASSERT_TRUE(program.MoveMouse(away));
    EXPECT_TRUE(e2e::WaitUntil([] {
        return e2e::HostFeature("RapidCharge").value("state", -1) == 1 &&
               e2e::HostFeature("ConservationMode").value("state", -1) == 0;
    }));
    EXPECT_TRUE(WaitForLook(program, *flyout, LevelLook(153, 166, L"80", L"", L"")))
        << "the rapid-charge badge";
    LookAtTheGrid(program, (*pair)[1], away);
    EXPECT_TRUE(WaitForPair(program, *flyout, e2e::kButtonOff, e2e::kButtonOn))
        << "rapid charge on, conservation mode off";
    std::vector<int> modes;
    for (const nlohmann::json& record : e2e::ReadEvents("contract.SetBatteryChargeMode")) {
        modes.push_back(record.value("mode", -1));
    }
    EXPECT_EQ(modes, (std::vector<int>{0, 2, 0, 1})) << "the other one's call first each time";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

struct MissingCase {
    const char* battery;
    int picture;
    const wchar_t* message;
};

class BatteryPanelMissing : public testing::TestWithParam<std::tuple<const char*, MissingCase>> {};

TEST_P(BatteryPanelMissing, ShowsTheErrorPictureAndItsText) {
    const auto& [profile, c] = GetParam();
    CTestMachine machine(profile);
    ASSERT_TRUE(Tool(std::string("power battery ") + c.battery));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    EXPECT_TRUE(WaitForLook(program, *flyout, MessageLook(c.picture, c.message)));
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(Batteries, BatteryPanelMissing,
                         testing::Combine(testing::ValuesIn(kProfiles),
                                          testing::Values(MissingCase{"none", 180, L"No system battery"},
                                                          MissingCase{"unknown", 179,
                                                                      L"Battery voltage incorrect"})));

// After the first refresh that may ask the host, the one a notification brings.
bool ShowsAfterASecondRefresh(e2e::CProgram& program, const FlyoutOnScreen& flyout, const wchar_t* time,
                              const wchar_t* label) {
    if (!WaitForLook(program, flyout, LevelLook(153, 163, L"80", L"", L"")) || !Tool("power battery 79")) {
        return false;
    }
    return WaitForLook(program, flyout, LevelLook(153, 163, L"79", time, label));
}

struct HostCase {
    const char* profile;
    const char* mode;
    const wchar_t* time; // to full charge from 79 %; empty: none
};

class BatteryPanelHost : public testing::TestWithParam<HostCase> {};

// On the consumer notebook the time to full charge is the host's: one that is absent, failing or
// malformed leaves the system's status without it, and the normal one shows what the others leave out.
// The business notebook takes the power manager's (here 77 minutes), once the host has told the program
// its brand: a fresh one whose host is absent or failing is not known as business and shows none.
TEST_P(BatteryPanelHost, GivesTheTimeToFullChargeOnlyWhenItsSourceAnswers) {
    const HostCase& c = GetParam();
    CTestMachine machine(c.profile);
    SetMachineFact(machine.Folder(), "/powerManager/answers/main", {{"minutes", 77}});
    ASSERT_TRUE(Tool(std::string("host mode ") + c.mode));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const bool timed = *c.time != L'\0';
    ASSERT_TRUE(ShowsAfterASecondRefresh(program, *flyout, c.time, timed ? L"TIME TO FULL CHARGE" : L""));
    const auto screen = program.Screen();
    EXPECT_EQ(e2e::ShowsText(screen, *flyout, TimeText(L"26 minutes")), std::wstring(c.time) == L"26 minutes")
        << "the host's time";
    EXPECT_EQ(e2e::Shows(screen, *flyout, LevelLook(153, 163, L"79", L"", L"TIME TO FULL CHARGE")), timed)
        << "the label only with a time";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(Modes, BatteryPanelHost,
                         testing::Values(HostCase{"consumer-win11", "normal", L"26 minutes"},
                                         HostCase{"consumer-win11", "absent", L""},
                                         HostCase{"consumer-win11", "failing", L""},
                                         HostCase{"consumer-win11", "malformed", L""},
                                         HostCase{"business-win10", "normal", L"1 hour 17 minutes"},
                                         HostCase{"business-win10", "absent", L""},
                                         HostCase{"business-win10", "failing", L""},
                                         HostCase{"business-win10", "malformed", L"1 hour 17 minutes"}));

} // namespace

// The first feature toggle, WiFi security, as a person meets it in the flyout's grid: the host's state
// at the grid's first place, a click or Enter turning the host's state over with the state caption for a
// while, the cached state at the next start before the host answers, the button hidden where the host
// lacks the feature or fails, and the Solvane page where Windows keeps the location from the service.
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "services/Folders.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace std::chrono_literals;
using e2e::FeatureButtonOnScreen;
using e2e::FlyoutOnScreen;
using nlohmann::json;
using testing_support::CTestMachine;
using testing_support::RunTool;

const char* const kLaunchContext = "e2e-wifi";
const std::string kStart = std::string("MENUITEM_LAUNCH_TOOLBAR,|") + kLaunchContext;
const int kOnImage = 364;
const int kOffImage = 365;
// The grid's lengths are 378ths of its width; the ground leaves 10 pixels (at 96 DPI) on either side.
const int kGridUnits = 378;
const int kGroundInset = 10;
const int kOneRowHeight = 89;

bool Tool(const std::string& arguments) {
    return RunTool(arguments).exitCode == 0;
}

void OfferWiFiSecurityAlone(const char* state) {
    ASSERT_TRUE(e2e::OfferFeatureAlone("WiFiSecurity", state));
}

json HostWiFiSecurity() {
    return e2e::HostFeature("WiFiSecurity");
}

struct CachedState {
    int support;
    int status;
    int statusIconId;
    int stateIconType;
    bool operator==(const CachedState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const CachedState& state) {
    return out << "{support " << state.support << ", status " << state.status << ", StatusIconID "
               << state.statusIconId << ", StateIconType " << state.stateIconType << "}";
}

// The "WiFiSecurity" section of ShowEx.cfg; -1 for a missing value.
CachedState ReadCachedWiFiSecurity() {
    const std::wstring path = GetShowExCfgPath();
    const auto read = [&](const wchar_t* key) {
        return static_cast<int>(GetPrivateProfileIntW(L"WiFiSecurity", key, -1, path.c_str()));
    };
    return {read(L"support"), read(L"status"), read(L"StatusIconID"), read(L"StateIconType")};
}

// The feature events sent, without their time and process.
std::vector<json> FeatureTelemetry() {
    std::vector<json> sent;
    for (auto event : e2e::ReadEvents("telemetry.feature")) {
        event.erase("time");
        event.erase("pid");
        sent.push_back(event);
    }
    return sent;
}

json FeatureEvent(const char* name, const char* value, const char* page) {
    return {{"event", "telemetry.feature"},
            {"name", name},
            {"value", value},
            {"page", page},
            {"context", kLaunchContext}};
}

json SwitchEvent(const char* value) {
    return FeatureEvent("Features.Toolbar.Flipdecks.WiFiSecurityEnable", value, "Features.Toolbar.Flipdecks");
}

// A point of the title bar away from the Close button, where the mouse leaves the grid alone.
POINT AwayFromTheGrid(const FlyoutOnScreen& flyout) {
    return POINT{flyout.titleBar.left + 10, flyout.titleBar.top + 5};
}

int Width(const RECT& rc) {
    return rc.right - rc.left;
}

// Waits until the band under the button shows a caption (on the first screen after a click, unless the
// machine is very slow) and returns its ink.
RECT WaitForCaption(e2e::CProgram& program, const RECT& grid, const FeatureButtonOnScreen& button) {
    return program
        .WaitForScreen([&](const platform::desktop::CScreenImage& screen) -> std::optional<RECT> {
            const RECT ink = e2e::FindStateCaption(screen, grid, button);
            return IsRectEmpty(&ink) ? std::nullopt : std::optional(ink);
        })
        .value_or(RECT{});
}

bool WaitUntilTheCaptionIsGone(e2e::CProgram& program, const RECT& grid,
                               const FeatureButtonOnScreen& button) {
    return program
        .WaitForScreen([&](const platform::desktop::CScreenImage& screen) -> std::optional<bool> {
            const RECT ink = e2e::FindStateCaption(screen, grid, button);
            return IsRectEmpty(&ink) ? std::optional(true) : std::nullopt;
        })
        .has_value();
}

// The caption stands in the band directly under the button, centred in the grid.
void ExpectCaptionUnder(const RECT& caption, const RECT& grid, const FeatureButtonOnScreen& button) {
    ASSERT_FALSE(IsRectEmpty(&caption)) << "no caption under the button";
    const int buttonBottom = button.centre.y + button.diameter / 2 + 2;
    EXPECT_GE(caption.top, buttonBottom);
    EXPECT_LE(caption.bottom, buttonBottom + 20);
    EXPECT_NEAR((caption.left + caption.right) / 2, (grid.left + grid.right) / 2, 3);
}

bool CloseFlyout(e2e::CProgram& program, const FlyoutOnScreen& flyout) {
    return program.Click(flyout.closeCentre) && program.WaitForExit().exitCode == 0;
}

struct ProfileState {
    const char* profile;
    const char* state;
    COLORREF circle;
};

class WiFiSecurityPlace : public testing::TestWithParam<ProfileState> {};

TEST_P(WiFiSecurityPlace, TheButtonStandsAtTheGridsFirstPlaceInTheHostsState) {
    const ProfileState& c = GetParam();
    CTestMachine machine(c.profile);
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone(c.state));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto button = program.WaitForFeatureButton(*flyout, c.circle);
    ASSERT_TRUE(button) << "no button in the host's state";
    const auto grid = e2e::FindFeatureGrid(program.Screen(), *flyout);
    ASSERT_TRUE(grid);

    // The grid stands under the battery panel; its client width w gives the first place's square at
    // (w * 24 / 378, w * 20 / 378), w * 48 / 378 wide.
    EXPECT_GT(grid->top, flyout->titleBar.bottom + 100) << "the battery panel above it";
    const RECT place = e2e::GridPlace(*grid, 1);
    const int side = Width(place);
    EXPECT_NEAR(button->centre.x, place.left + (side - 1) / 2, 2);
    EXPECT_NEAR(button->centre.y, place.top + (side - 1) / 2, 2);
    EXPECT_NEAR(button->diameter, side, 3);
    const int w = Width(*grid) + 2 * kGroundInset + 1;
    EXPECT_NEAR(grid->bottom - grid->top, w * kOneRowHeight / kGridUnits, 2) << "one row";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(Machines, WiFiSecurityPlace,
                         testing::Values(ProfileState{"consumer-win11", "off", e2e::kButtonOff},
                                         ProfileState{"consumer-win11", "on", e2e::kButtonOn},
                                         ProfileState{"business-win10", "off", e2e::kButtonOff},
                                         ProfileState{"business-win10", "on", e2e::kButtonOn}));

struct ClickCase {
    const char* profile;
    const char* from;
    COLORREF fromCircle;
    int to;
    COLORREF toCircle;
    const char* value;
};

class WiFiSecurityClick : public testing::TestWithParam<ClickCase> {};

TEST_P(WiFiSecurityClick, TurnsTheHostsStateOverShowsTheCaptionForAWhileAndCachesTheState) {
    const ClickCase& c = GetParam();
    CTestMachine machine(c.profile);
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone(c.from));
    e2e::DelayTimers();
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto button = program.WaitForFeatureButton(*flyout, c.fromCircle);
    ASSERT_TRUE(button);
    const auto grid = e2e::FindFeatureGrid(program.Screen(), *flyout);
    ASSERT_TRUE(grid);

    ASSERT_TRUE(program.Click(button->centre));
    ExpectCaptionUnder(WaitForCaption(program, *grid, *button), *grid, *button);
    ASSERT_TRUE(program.MoveMouse(AwayFromTheGrid(*flyout)));
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, c.toCircle)) << "the button shows the new state";

    const auto sets = e2e::WaitForEvents("contract.SetWiFiStatus", 1);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]["state"], c.to);
    EXPECT_EQ(HostWiFiSecurity()["state"], c.to);
    EXPECT_THAT(FeatureTelemetry(), testing::ElementsAre(SwitchEvent(c.value)));
    EXPECT_TRUE(WaitUntilTheCaptionIsGone(program, *grid, *button));

    ASSERT_TRUE(CloseFlyout(program, *flyout));
    EXPECT_EQ(ReadCachedWiFiSecurity(), (CachedState{1, c.to, c.to == 1 ? kOnImage : kOffImage, c.to}));
}

INSTANTIATE_TEST_SUITE_P(
    Machines, WiFiSecurityClick,
    testing::Values(ClickCase{"consumer-win11", "off", e2e::kButtonOff, 1, e2e::kButtonOn, "On"},
                    ClickCase{"business-win10", "on", e2e::kButtonOn, 0, e2e::kButtonOff, "Off"}));

// Close has the focus at the start; Tab takes it through the battery panel's three links to the button,
// whose focus frame then shows.
TEST(WiFiSecurityKeys, EnterOnTheFocusedButtonSwitchesItAndTheCaptionNamesTheNewState) {
    CTestMachine machine;
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone("off"));
    e2e::DelayTimers();
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto button = program.WaitForFeatureButton(*flyout, e2e::kButtonOff);
    ASSERT_TRUE(button);
    const auto grid = e2e::FindFeatureGrid(program.Screen(), *flyout);
    ASSERT_TRUE(grid);
    EXPECT_FALSE(e2e::HasFocusFrame(program.Screen(), *button));
    for (int link = 0; link < 3; ++link) {
        ASSERT_TRUE(program.Input("key tab"));
    }
    ASSERT_TRUE(program.Input("key tab"));
    ASSERT_TRUE(e2e::HasFocusFrame(program.Screen(), *button)) << "Tab brings the focus to the button";

    ASSERT_TRUE(program.Input("key enter"));
    const RECT onCaption = WaitForCaption(program, *grid, *button);
    ExpectCaptionUnder(onCaption, *grid, *button);
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOn));
    ASSERT_EQ(e2e::WaitForEvents("contract.SetWiFiStatus", 1).size(), 1u);

    ASSERT_TRUE(program.Input("key enter"));
    const RECT offCaption = WaitForCaption(program, *grid, *button);
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOff));
    EXPECT_GT(Width(offCaption), Width(onCaption))
        << "\"WiFi security off\" is longer than \"WiFi security on\"";

    const auto sets = e2e::WaitForEvents("contract.SetWiFiStatus", 2);
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0]["state"], 1);
    EXPECT_EQ(sets[1]["state"], 0);
    EXPECT_EQ(HostWiFiSecurity()["state"], 0);
    EXPECT_THAT(FeatureTelemetry(), testing::ElementsAre(SwitchEvent("On"), SwitchEvent("Off")));
    EXPECT_TRUE(program.IsRunning()) << "Enter on the button does not close the flyout";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

// The first run caches the host's on; the second shows it while the host holds its answer, then the
// host's off once it answers.
TEST(WiFiSecurityCache, TheNextStartShowsTheCachedStateBeforeTheHostAnswers) {
    CTestMachine machine;
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone("on"));
    {
        e2e::CProgram program(kStart);
        const auto flyout = program.WaitForFlyout();
        ASSERT_TRUE(flyout);
        ASSERT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOn));
        ASSERT_TRUE(CloseFlyout(program, *flyout));
    }
    ASSERT_EQ(ReadCachedWiFiSecurity(), (CachedState{1, 1, kOnImage, 1}));
    ASSERT_TRUE(Tool("feature WiFiSecurity --state off"));
    ASSERT_TRUE(Tool("host mode slow"));
    const size_t probes = e2e::ReadEvents("contract.GetWifiSecurityStatus").size();

    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOn)) << "the cached state";
    EXPECT_EQ(e2e::ReadEvents("contract.GetWifiSecurityStatus").size(), probes)
        << "the host has not answered";
    ASSERT_TRUE(Tool("host mode normal"));
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOff)) << "the host's state once it answers";
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

// Hidden, the button leaves the grid its one row: the flyout keeps the size it has with the button.
TEST(WiFiSecuritySupport, AHostWithoutTheFeatureHidesTheCachedButtonAndTheGridKeepsOneRow) {
    for (const char* profile : {"consumer-win11", "business-win10"}) {
        CTestMachine machine(profile);
        ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone("on"));
        FlyoutOnScreen shown;
        RECT gridShown{};
        {
            e2e::CProgram program(kStart);
            const auto flyout = program.WaitForFlyout();
            ASSERT_TRUE(flyout) << profile;
            ASSERT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOn)) << profile;
            shown = *flyout;
            gridShown = e2e::FindFeatureGrid(program.Screen(), *flyout).value_or(RECT{});
            ASSERT_TRUE(CloseFlyout(program, *flyout)) << profile;
        }
        ASSERT_TRUE(Tool("feature WiFiSecurity --supported no"));
        const size_t probes = e2e::ReadEvents("contract.GetWifiSecurityStatus").size();

        e2e::CProgram program(kStart);
        const auto flyout = program.WaitForFlyout();
        ASSERT_TRUE(flyout) << profile;
        ASSERT_EQ(e2e::WaitForEvents("contract.GetWifiSecurityStatus", probes + 1).size(), probes + 1)
            << profile;
        const auto gone = program.WaitForScreen([&](const platform::desktop::CScreenImage& screen) {
            return e2e::FindFeatureButton(screen, *flyout) ? std::nullopt
                                                           : e2e::FindFeatureGrid(screen, *flyout);
        });
        ASSERT_TRUE(gone) << profile << ": the button stays";
        EXPECT_TRUE(EqualRect(&*gone, &gridShown)) << profile << ": the grid keeps its one row";
        EXPECT_TRUE(EqualRect(&flyout->titleBar, &shown.titleBar))
            << profile << ": the flyout keeps its size";
        EXPECT_TRUE(CloseFlyout(program, *flyout)) << profile;
        EXPECT_EQ(ReadCachedWiFiSecurity().support, 0) << profile;
    }
}

// The host reads Windows' three location consents; with one denied the service may not run, and the
// button sends the user to the Solvane app's page instead.
TEST(WiFiSecurityLocation, WithoutTheLocationConsentAClickOpensTheSolvanePageAndLeavesTheHostAlone) {
    CTestMachine machine;
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone("on"));
    ASSERT_TRUE(Tool("reg set 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\"
                     "ConsentStore\\location' Value REG_SZ Deny"));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto button = program.WaitForFeatureButton(*flyout, e2e::kButtonOff);
    ASSERT_TRUE(button) << "shown off: the host's on needs the location";

    ASSERT_TRUE(program.Click(button->centre));
    const auto opened = e2e::WaitForEvents("shell.execute", 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0]["file"], "corvex-solvane3:wifi-security");
    EXPECT_EQ(opened[0]["show"], SW_SHOWMAXIMIZED);
    EXPECT_THAT(FeatureTelemetry(),
                testing::ElementsAre(FeatureEvent("Features.Toolbar.PowerInformation.GoToWiFiSecurityPage",
                                                  "", "Features.Toolbar.PowerInformation")));
    ASSERT_TRUE(program.MoveMouse(AwayFromTheGrid(*flyout)));
    EXPECT_TRUE(program.WaitForFeatureButton(*flyout, e2e::kButtonOff));
    ASSERT_TRUE(CloseFlyout(program, *flyout));
    EXPECT_TRUE(e2e::ReadEvents("contract.SetWiFiStatus").empty());
    EXPECT_EQ(HostWiFiSecurity()["state"], 1);
}

struct BrokenHostCase {
    const char* mode;
    const char* probeLogLine; // what the probe logs when it is done
};

class WiFiSecurityBrokenHost : public testing::TestWithParam<BrokenHostCase> {};

TEST_P(WiFiSecurityBrokenHost, TheFlyoutRunsAndClosesWithoutTheButton) {
    const BrokenHostCase& c = GetParam();
    CTestMachine machine;
    ASSERT_TRUE(e2e::TurnLoggingOn(machine));
    ASSERT_NO_FATAL_FAILURE(OfferWiFiSecurityAlone("on"));
    ASSERT_TRUE(Tool(std::string("host mode ") + c.mode));
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    EXPECT_TRUE(e2e::WaitUntil([&] {
        return e2e::LogText(machine).find(c.probeLogLine) != std::string::npos;
    })) << e2e::LogText(machine);
    const auto screen = program.Screen();
    EXPECT_TRUE(e2e::FindFeatureGrid(screen, *flyout));
    EXPECT_FALSE(e2e::FindFeatureButton(screen, *flyout));
    EXPECT_TRUE(CloseFlyout(program, *flyout));
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, WiFiSecurityBrokenHost,
    testing::Values(BrokenHostCase{"absent",
                                   "[JudgeSupport Error:IContractInterfacePtr is Null, please register "
                                   "Pactbridge.dll][CWiFiSecurityBtn::DoJudgeSupportCallback]"},
                    BrokenHostCase{"failing", "[GetWifiSecurityStatus response is null]"},
                    BrokenHostCase{"malformed", "[JudgeSupportWifiSecurity]---->Not support."}));

} // namespace

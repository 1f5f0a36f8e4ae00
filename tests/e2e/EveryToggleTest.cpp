// Every toggle the grid places on each profile, as a person meets it alone in the grid: it stands at the
// first place in the state the machine keeps, a click switches that state on the machine and sends its
// telemetry with the page and the launch context, the state caption shows under it, and ShowEx.cfg keeps
// the new state once the flyout is closed.
#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "platform/internal.h"
#include "services/Folders.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using e2e::FlyoutOnScreen;
using nlohmann::json;
using testing_support::CTestMachine;

const char* const kLaunchContext = "e2e-every-toggle";
const std::string kStart = std::string("MENUITEM_LAUNCH_TOOLBAR,|") + kLaunchContext;
const char* const kPage = "Features.Toolbar.Flipdecks";
// The circle of the toggles whose state shows in their icon alone.
const COLORREF kWhite = 0xFFFFFF;
const COLORREF kOff = e2e::kButtonOff;
const COLORREF kOn = e2e::kButtonOn;
constexpr int kKeptElsewhere = -1;

struct ToggleCase {
    const char* profile;
    const char* feature; // as the machine keeps it (e2e::SetFeatureState)
    const char* from;    // its state before the click
    COLORREF before;     // the circle before and after the click
    COLORREF after;
    const char* event; // the telemetry event after "Features.Toolbar.Flipdecks." and its value
    const char* value;
    const char* set; // what the switch leaves in the machine's events, with some of its fields
    const char* fields;
    int hostState;       // the host's state after the click; kKeptElsewhere when the host keeps none
    const char* section; // in ShowEx.cfg, with the status and image cached after the click
    int status;
    int image;
};

std::ostream& operator<<(std::ostream& out, const ToggleCase& c) {
    return out << c.profile << " " << c.feature;
}

// The machine's records of the event, each holding the fields given.
std::vector<json> RecordsWith(const char* event, const json& fields) {
    std::vector<json> matching;
    for (const json& record : e2e::ReadEvents(event)) {
        bool holds = true;
        for (const auto& [key, value] : fields.items()) {
            holds = holds && record.value(key, json()) == value;
        }
        if (holds && record.value("event", "") == event) {
            matching.push_back(record);
        }
    }
    return matching;
}

std::vector<json> FeatureTelemetry() {
    std::vector<json> sent;
    for (auto event : e2e::ReadEvents("telemetry.feature")) {
        event.erase("time");
        event.erase("pid");
        sent.push_back(event);
    }
    return sent;
}

// How many pixels of the square differ between two screens.
int ChangedPixels(const platform::desktop::CScreenImage& a, const platform::desktop::CScreenImage& b,
                  const RECT& square) {
    int changed = 0;
    for (int y = square.top; y < square.bottom; ++y) {
        for (int x = square.left; x < square.right; ++x) {
            changed += a.At(x, y) != b.At(x, y) ? 1 : 0;
        }
    }
    return changed;
}

e2e::FeatureButtonOnScreen ButtonIn(const RECT& place) {
    return {POINT{(place.left + place.right - 1) / 2, (place.top + place.bottom - 1) / 2},
            static_cast<int>(place.right - place.left), 0};
}

class EveryToggle : public testing::TestWithParam<ToggleCase> {};

TEST_P(EveryToggle, StandsInTheMachinesStateAndAClickSwitchesItWithTelemetryCaptionAndCache) {
    const ToggleCase& c = GetParam();
    CTestMachine machine(c.profile);
    ASSERT_TRUE(e2e::OfferFeatureAlone(c.feature, c.from));
    e2e::DelayTimers();
    e2e::CProgram program(kStart);
    const auto flyout = program.WaitForFlyout();
    ASSERT_TRUE(flyout);
    const auto grid = program.WaitForScreen(
        [&](const platform::desktop::CScreenImage& screen) { return e2e::FindFeatureGrid(screen, *flyout); });
    ASSERT_TRUE(grid);
    const RECT place = e2e::GridPlace(*grid, 1);
    const auto before = program.WaitForScreen(
        [&](const platform::desktop::CScreenImage& screen) -> std::optional<platform::desktop::CScreenImage> {
            const bool shown =
                e2e::IsButtonShownIn(screen, place) && e2e::CircleColourIn(screen, place) == c.before;
            return shown && !e2e::IsButtonShownIn(screen, e2e::GridPlace(*grid, 2)) ? std::optional(screen)
                                                                                    : std::nullopt;
        });
    ASSERT_TRUE(before) << "the button alone at the first place, in the machine's state";

    ASSERT_TRUE(program.Click(ButtonIn(place).centre));
    const auto caption = program.WaitForScreen([&](const platform::desktop::CScreenImage& screen) {
        const RECT ink = e2e::FindStateCaption(screen, *grid, ButtonIn(place));
        return IsRectEmpty(&ink) ? std::nullopt : std::optional(ink);
    });
    ASSERT_TRUE(caption) << "the state caption under the button";
    EXPECT_GE(caption->top, place.bottom);
    EXPECT_NEAR((caption->left + caption->right) / 2, (grid->left + grid->right) / 2, 3);

    ASSERT_TRUE(program.MoveMouse(POINT{flyout->titleBar.left + 10, flyout->titleBar.top + 5}));
    EXPECT_TRUE(program.WaitForScreen([&](const platform::desktop::CScreenImage& screen) {
        return e2e::IsButtonShownIn(screen, place) && e2e::CircleColourIn(screen, place) == c.after &&
                       ChangedPixels(*before, screen, place) > 20
                   ? std::optional(true)
                   : std::nullopt;
    })) << "the button shows its new state";
    const json fields = json::parse(c.fields);
    EXPECT_TRUE(e2e::WaitUntil([&] { return RecordsWith(c.set, fields).size() == 1; }))
        << c.set << " " << c.fields;
    if (c.hostState != kKeptElsewhere) {
        EXPECT_EQ(e2e::HostFeature(c.feature)["state"], c.hostState);
    }
    EXPECT_THAT(FeatureTelemetry(), testing::ElementsAre(json{{"event", "telemetry.feature"},
                                                              {"name", std::string(kPage) + "." + c.event},
                                                              {"value", c.value},
                                                              {"page", kPage},
                                                              {"context", kLaunchContext}}));

    ASSERT_TRUE(program.Click(flyout->closeCentre));
    ASSERT_EQ(program.WaitForExit().exitCode, 0);
    const std::wstring path = GetShowExCfgPath();
    const std::wstring section = platform::FromUtf8(c.section);
    EXPECT_GT(GetPrivateProfileIntW(section.c_str(), L"support", -1, path.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileIntW(section.c_str(), L"status", -1, path.c_str()), c.status);
    EXPECT_EQ(GetPrivateProfileIntW(section.c_str(), L"StatusIconID", -1, path.c_str()), c.image);
}

// One line a toggle: profile, feature, state before, circles, event and value, switch, host, cache.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Profiles, EveryToggle,
    testing::Values(
        ToggleCase{"business-win10", "PrivacyGuard", "off", kOff, kOn, "PrivacyGuard", "On", "contract.SetPrivacyGuard", R"({"state": 1})", 1, "PrivacyGuard", 1, 379},
        ToggleCase{"business-win10", "WiFiSecurity", "off", kOff, kOn, "WiFiSecurityEnable", "On", "contract.SetWiFiStatus", R"({"state": 1})", 1, "WiFiSecurity", 1, 364},
        ToggleCase{"business-win10", "BatteryChargeThreshold", "off", kOff, kOn, "BatteryChargeThreshold", "On", "contract.SetChargeThreshold", R"({"enable": 1})", 1, "BatteryChargeThreshold", 1, 370},
        ToggleCase{"business-win10", "AirplanePowerMode", "off", kOff, kOn, "AirplanePowerMode", "On", "contract.SetAirplaneMode", R"({"state": 1})", 1, "AirplanePowerMode", 1, 421},
        ToggleCase{"business-win10", "Microphone", "on", kOn, kOff, "Micphone", "Off", "audio.mute", R"({"mute": true})", kKeptElsewhere, "Microphone", 0, 386},
        ToggleCase{"business-win10", "KeyboardTopRowKey", "on", kWhite, kWhite, "KeyboardTopRow", "F1F12_Function_Enabled", "contract.SetKobalFnLock", R"({"state": 1})", 0, "KeyboardTopRowKey", 0, 394},
        ToggleCase{"business-win10", "KeyboardBacklight", "off", kWhite, kWhite, "KeyboardBacklight", "Auto", "contract.SetSmartSense", R"({"state": 1})", 3, "KeyboardBacklight", 0, 415},
        ToggleCase{"consumer-win11", "WiFiSecurity", "on", kOn, kOff, "WiFiSecurityEnable", "Off", "contract.SetWiFiStatus", R"({"state": 0})", 0, "WiFiSecurity", 0, 365},
        ToggleCase{"consumer-win11", "Microphone", "off", kOff, kOn, "Micphone", "On", "audio.mute", R"({"mute": false})", kKeptElsewhere, "Microphone", 1, 385},
        ToggleCase{"consumer-win11", "ECourseMode", "off", kOff, kOn, "ECourseMode", "On", "contract.SetECourseMode", R"({"state": 1})", 1, "ECourseMode", 1, 388},
        ToggleCase{"consumer-win11", "ConservationMode", "off", kOff, kOn, "ConservationMode", "On", "contract.SetBatteryChargeMode", R"({"mode": 2})", 1, "ConservationMode", 1, 370},
        ToggleCase{"consumer-win11", "RapidCharge", "off", kOff, kOn, "RapidCharge", "On", "contract.SetBatteryChargeMode", R"({"mode": 1})", 1, "RapidCharge", 1, 376},
        ToggleCase{"consumer-win11", "IntelligentCooling", "intelligent", kWhite, kWhite, "IntelligentCooling40ForIxorpad", "Battery_Saving", "service.control", R"({"control": 146})", kKeptElsewhere, "IntelligentCooling", 0, 403},
        ToggleCase{"consumer-win11", "KeyboardTopRowKey", "on", kWhite, kWhite, "KeyboardTopRow", "F1F12_Function_Enabled", "contract.SetIxorFnLock", R"({"state": 1})", 0, "KeyboardTopRowKey", 0, 394},
        ToggleCase{"consumer-win11", "KeyboardBacklight", "off", kWhite, kWhite, "KeyboardBacklight", "Auto", "contract.SetBackLight", R"({"state": 3})", 3, "KeyboardBacklight", 0, 415}),
    [](const testing::TestParamInfo<ToggleCase>& info) {
        std::string name = std::string(info.param.profile) + "_" + info.param.feature;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });
// clang-format on

} // namespace

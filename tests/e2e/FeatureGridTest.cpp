// The grid as a whole while a person uses it: every button it placed stays on the screen whatever the
// grid paints (the caption after a click or Enter, its clearing with the mouse over the grid, the hover
// shade), and a host that holds its calls does not hold up the close.
#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using namespace std::chrono_literals;
using e2e::FlyoutOnScreen;
using testing_support::CTestMachine;
using testing_support::RunTool;
using Screen = platform::desktop::CScreenImage;

const char* const kStart = "MENUITEM_LAUNCH_TOOLBAR,|";

struct GridCase {
    const char* profile;
    std::vector<std::string> features; // what the machine offers: each a button of the grid
};

std::ostream& operator<<(std::ostream& out, const GridCase& c) {
    return out << c.profile << " with " << c.features.size() << " buttons";
}

POINT CentreOf(const RECT& rc) {
    return POINT{(rc.left + rc.right - 1) / 2, (rc.top + rc.bottom - 1) / 2};
}

class FeatureGridOnScreen : public testing::TestWithParam<GridCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(e2e::OfferFeatures(GetParam().features));
        e2e::DelayTimers();
        m_program.emplace(kStart);
        m_flyout = m_program->WaitForFlyout();
        ASSERT_TRUE(m_flyout);
        ASSERT_TRUE(m_program->WaitForScreen([&](const Screen& screen) -> std::optional<bool> {
            m_grid = e2e::FindFeatureGrid(screen, *m_flyout).value_or(RECT{});
            return PlacedCount(screen) == Count() ? std::optional(true) : std::nullopt;
        })) << "every button in its place";
    }
    void TearDown() override {
        if (m_program && m_flyout) {
            EXPECT_TRUE(m_program->Click(m_flyout->closeCentre));
            EXPECT_EQ(m_program->WaitForExit().exitCode, 0);
        }
    }

    int Count() const { return static_cast<int>(GetParam().features.size()); }
    RECT Place(int place) const { return e2e::GridPlace(m_grid, place); }
    // The places, first to last, that show a button.
    int PlacedCount(const Screen& screen) const {
        int count = 0;
        while (count < 10 && e2e::IsButtonShownIn(screen, Place(count + 1))) {
            ++count;
        }
        return count;
    }
    // Waits for a screen where the condition holds and every button is shown; false when none comes.
    bool EveryButtonShownWhen(const std::function<bool(const Screen&)>& condition) {
        return m_program
            ->WaitForScreen([&](const Screen& screen) {
                return condition(screen) ? std::optional(PlacedCount(screen) == Count()) : std::nullopt;
            })
            .value_or(false);
    }
    bool CaptionShown(const Screen& screen) const {
        const RECT place = Place(1);
        const e2e::FeatureButtonOnScreen button{CentreOf(place), static_cast<int>(place.right - place.left),
                                                0};
        const RECT ink = e2e::FindStateCaption(screen, m_grid, button);
        return !IsRectEmpty(&ink);
    }

    CTestMachine m_machine{GetParam().profile};
    std::optional<e2e::CProgram> m_program;
    std::optional<FlyoutOnScreen> m_flyout;
    RECT m_grid{};
};

TEST_P(FeatureGridOnScreen, EveryButtonStaysWhileTheCaptionShowsAndAfterItGoesWithTheMouseOverTheGrid) {
    ASSERT_TRUE(m_program->Click(CentreOf(Place(1))));
    EXPECT_TRUE(EveryButtonShownWhen([&](const Screen& screen) { return CaptionShown(screen); }))
        << "with the caption";
    EXPECT_TRUE(EveryButtonShownWhen([&](const Screen& screen) { return !CaptionShown(screen); }))
        << "after the caption, the mouse still over the first button";
}

// Close has the focus at the start; Tab takes it through the battery panel's links to the first button.
TEST_P(FeatureGridOnScreen, EveryButtonStaysAfterEnterOnTheFocusedButton) {
    ASSERT_TRUE(m_program->MoveMouse(POINT{m_flyout->titleBar.left + 10, m_flyout->titleBar.top + 5}));
    const RECT place = Place(1);
    const e2e::FeatureButtonOnScreen first{CentreOf(place), static_cast<int>(place.right - place.left), 0};
    bool focused = false;
    for (int tab = 0; tab < 6 && !focused; ++tab) {
        ASSERT_TRUE(m_program->Input("key tab"));
        focused = e2e::HasFocusFrame(m_program->Screen(), first);
    }
    ASSERT_TRUE(focused) << "Tab brings the focus to the first button";
    ASSERT_TRUE(m_program->Input("key enter"));
    EXPECT_TRUE(EveryButtonShownWhen([&](const Screen& screen) { return CaptionShown(screen); }))
        << "with the caption";
    EXPECT_TRUE(EveryButtonShownWhen([&](const Screen& screen) { return !CaptionShown(screen); }))
        << "after the caption";
}

// The hover shade reaches a few pixels past the button onto the grid's ground.
TEST_P(FeatureGridOnScreen, EveryButtonStaysUnderTheHoverShade) {
    const RECT hovered = Place(Count());
    ASSERT_TRUE(m_program->MoveMouse(CentreOf(hovered)));
    const auto shaded = [&](const Screen& screen) {
        return screen.At(CentreOf(hovered).x, hovered.top - 2) != e2e::kGridGround;
    };
    EXPECT_TRUE(EveryButtonShownWhen(shaded));
}

INSTANTIATE_TEST_SUITE_P(Machines, FeatureGridOnScreen,
                         testing::Values(GridCase{"business-win10",
                                                  {"PrivacyGuard", "WiFiSecurity", "BatteryChargeThreshold",
                                                   "AirplanePowerMode", "Microphone", "KeyboardTopRowKey",
                                                   "KeyboardBacklight"}},
                                         GridCase{"consumer-win11",
                                                  {"WiFiSecurity", "Microphone", "ECourseMode",
                                                   "KeyboardTopRowKey", "KeyboardBacklight"}}));

// A host whose plug-ins hold every call keeps the probes and the camera setter waiting: Close still ends
// the program at once, and a later start is free to show the flyout again.
TEST(FeatureGridClose, AHostThatHoldsItsCallsDoesNotHoldUpTheClose) {
    CTestMachine machine;
    ASSERT_EQ(RunTool("host mode slow").exitCode, 0);
    {
        e2e::CProgram program(kStart);
        const auto flyout = program.WaitForFlyout();
        ASSERT_TRUE(flyout);
        ASSERT_FALSE(e2e::ReadEvents("contract.InitializeContract").empty());
        const auto closed = std::chrono::steady_clock::now();
        ASSERT_TRUE(program.Click(flyout->closeCentre));
        const e2e::ProgramResult result = program.WaitForExit(std::chrono::seconds(50));
        EXPECT_EQ(result.exitCode, 0);
        // The host would hold its calls for a minute: the close does not wait for them.
        EXPECT_LT(std::chrono::steady_clock::now() - closed, 30s);
    }
    e2e::CProgram again(kStart);
    const auto flyout = again.WaitForFlyout();
    ASSERT_TRUE(flyout) << "the first run left no instance behind";
    EXPECT_TRUE(again.Click(flyout->closeCentre));
    EXPECT_EQ(again.WaitForExit(std::chrono::seconds(50)).exitCode, 0);
}

} // namespace

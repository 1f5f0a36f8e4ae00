// The toolbar's one-shot menu items, run by the real program on fresh machines.
#include <gtest/gtest.h>

#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using nlohmann::json;
using testing_support::CTestMachine;

struct OneShotCase {
    const char* item;
    json telemetry; // the one event the item sends, or null
    bool waits;
};

const char* const kContextMenu = "Pages.Taskbar.ContextMenu";

json Feature(const char* name, const char* value, const char* page) {
    return {
        {"event", "telemetry.feature"}, {"name", name}, {"value", value}, {"page", page}, {"context", "ctx"}};
}

json Page(const char* page, const char* from) {
    return {
        {"event", "telemetry.page"}, {"page", page}, {"from", from}, {"value", "val"}, {"context", "ctx"}};
}

class OneShotItemTest : public testing::TestWithParam<OneShotCase> {};

TEST_P(OneShotItemTest, SendsItsTelemetryWithTheLaunchContextAndExits) {
    const OneShotCase& expected = GetParam();
    CTestMachine machine;
    const auto run = e2e::RunProgram(std::string(expected.item) + ",val|ctx");

    EXPECT_EQ(run.exitCode, 0) << "a FALSE start exits with ExitInstance's code";
    std::vector<json> sent;
    for (auto event : e2e::TelemetryEvents()) {
        event.erase("time");
        event.erase("pid");
        sent.push_back(event);
    }
    if (expected.telemetry.is_null()) {
        EXPECT_TRUE(sent.empty()) << json(sent).dump();
    } else {
        ASSERT_EQ(sent.size(), 1u) << json(sent).dump();
        EXPECT_EQ(sent[0], expected.telemetry);
    }
    if (expected.waits) {
        EXPECT_GE(run.elapsed.count(), 200);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Items, OneShotItemTest,
    testing::Values(
        OneShotCase{"MENUITEM_SECOND_CLICK_TO_EXIT", json(), false},
        OneShotCase{"MENUITEM_QUIT_AMPWISE", Page("Pages.Taskbar", ""), true},
        OneShotCase{"MENUITEM_CONTEXT_MENU", Page(kContextMenu, "Pages.Taskbar"), true},
        OneShotCase{"MENUITEM_CLICK_GOTO_SOLVANE",
                    Feature("Features.TaskBar.ContextMenu.GoToSolvane", "", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_GOTO_ZRSETTINGS",
                    Feature("Features.TaskBar.ContextMenu.GoToSettingsZR", "", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_REMAIN_PERCENTAGE",
                    Feature("Features.TaskBar.ContextMenu.ShowRemaining", "Percentage", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_REMAIN_TIME",
                    Feature("Features.TaskBar.ContextMenu.ShowRemaining", "Time", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_MSG_DISABLE",
                    Feature("Features.TaskBar.ContextMenu.DisableMessage", "Disabled", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_MSG_ENABLE",
                    Feature("Features.TaskBar.ContextMenu.DisableMessage", "Enabled", kContextMenu), true},
        OneShotCase{"MENUITEM_CLICK_AW_SHOW", Feature("Features.TaskbarContextMenu.PinAmpwise", "On", ""),
                    true},
        OneShotCase{"MENUITEM_CLICK_AW_HIDE", Feature("Features.TaskbarContextMenu.PinAmpwise", "Off", ""),
                    true},
        OneShotCase{"MENUITEM_CLICK_UNPIN",
                    Feature("Features.TaskBar.ContextMenu.UnpinFromTaskbar", "", kContextMenu), true},
        OneShotCase{"MENUITEM_DETECT_EYECAREMODE", json(), true},
        OneShotCase{"menuitem_quit_ampwise", json(), false}, OneShotCase{"", json(), true}),
    [](const testing::TestParamInfo<OneShotCase>& info) {
        std::string name = info.param.item;
        for (auto& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name.empty() ? std::string("EmptyItem") : name + (std::islower(name[0]) ? "_lower" : "");
    });

TEST(OneShotItems, TheEyeCareQueryReachesTheHost) {
    CTestMachine machine;
    e2e::RunProgram("MENUITEM_DETECT_EYECAREMODE,|");
    EXPECT_EQ(e2e::ReadEvents("contract.GetEyeCareModeStatusEx").size(), 1u);
}

} // namespace

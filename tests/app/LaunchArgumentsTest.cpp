// Splitting the toolbar's command line into item, value and launch context.
#include <gtest/gtest.h>

#include "app/FlipdeckExApp.h"
#include "services/ContractClient.h"

namespace {

struct SplitCase {
    const wchar_t* line;
    bool split;
    const wchar_t* item;
    const wchar_t* value;
    const wchar_t* context;
};

TEST(LaunchArguments, SplitsItemValueAndContext) {
    const SplitCase cases[] = {
        {L"C:\\p\\FlipdeckEx.exe MENUITEM_LAUNCH_TOOLBAR,1|ctx", true, L"MENUITEM_LAUNCH_TOOLBAR", L"1",
         L"ctx"},
        {L"FlipdeckEx.exe A,|", true, L"A", L"", L""},
        {L"A,b|c", true, L"A", L"b", L"c"},                         // no blank: the item starts the line
        {L"x I|bar,after", true, L"I|bar", L"after", L"bar,after"}, // the bar before the comma
        {L"x ,v|c", true, L"", L"v", L"c"},                         // an empty item
        {L"x I,v|c|d", true, L"I", L"v", L"c|d"},
        {L"x MENUITEM_LAUNCH_TOOLBAR", false, L"", L"", L"keep"},
        {L"x I,v", false, L"", L"", L"keep"},
        {L"x I|v", false, L"", L"", L"keep"},
    };
    for (const auto& c : cases) {
        g_strLaunchContext = L"keep";
        std::wstring item;
        std::wstring value;
        EXPECT_EQ(SplitLaunchArguments(c.line, item, value), c.split) << c.line;
        EXPECT_EQ(item, c.item) << c.line;
        EXPECT_EQ(value, c.value) << c.line;
        EXPECT_EQ(g_strLaunchContext, c.context) << c.line;
    }
    g_strLaunchContext.clear();
}

TEST(LaunchArguments, OnlyTheLaunchItemsStartTheFlyout) {
    int noBattery = 0;
    EXPECT_EQ(ParseCommandLine(L"", &noBattery), 0);
    EXPECT_EQ(ParseCommandLine(L"x MENUITEM_LAUNCH_TOOLBAR,|", &noBattery), 0);
    EXPECT_EQ(noBattery, 0);
    EXPECT_EQ(ParseCommandLine(L"x MENUITEM_LAUNCH_TOOLBAR_NOBATTERY,|", &noBattery), 0);
    EXPECT_EQ(noBattery, 1);
    EXPECT_EQ(ParseCommandLine(L"x NOT_AN_ITEM,|", &noBattery), 1);
    EXPECT_EQ(ParseCommandLine(L"x no separators", &noBattery), 0);
    g_strLaunchContext.clear();
}

} // namespace

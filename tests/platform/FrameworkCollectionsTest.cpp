// The framework's collections: the map of strings to strings with its walk by position, and the typed
// array.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/framework_collections.h"
#include "platform/framework_window.h"

namespace {

std::vector<std::pair<std::wstring, std::wstring>> Walk(const CMapStringToString& map) {
    std::vector<std::pair<std::wstring, std::wstring>> entries;
    for (POSITION position = map.GetStartPosition(); position;) {
        CString strKey;
        CString strValue;
        map.GetNextAssoc(position, strKey, strValue);
        entries.emplace_back(strKey.GetString(), strValue.GetString());
    }
    return entries;
}

TEST(FrameworkCollections, TheMapKeepsOneValueAKeyAndWalksEachKeyOnce) {
    CMapStringToString map(10);
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(map.GetStartPosition(), nullptr) << "an empty map has nothing to walk";
    map.SetAt(L"DashboardBlock", L"12");
    map.SetAt(L"GoodJobBlock", L"1");
    map.SetAt(L"DashboardBlock", L"13");
    map[L"dashboardblock"] = L"case counts";
    EXPECT_EQ(map.GetCount(), 3);
    CString strValue(L"unchanged");
    EXPECT_FALSE(map.Lookup(L"Missing", strValue));
    EXPECT_EQ(strValue, L"unchanged");
    EXPECT_TRUE(map.Lookup(L"DashboardBlock", strValue));
    EXPECT_EQ(strValue, L"13");
    EXPECT_EQ(Walk(map),
              (std::vector<std::pair<std::wstring, std::wstring>>{
                  {L"DashboardBlock", L"13"}, {L"GoodJobBlock", L"1"}, {L"dashboardblock", L"case counts"}}));
    EXPECT_TRUE(map.RemoveKey(L"GoodJobBlock"));
    EXPECT_FALSE(map.RemoveKey(L"GoodJobBlock"));
    EXPECT_EQ(map.GetCount(), 2);
    map.RemoveAll();
    EXPECT_TRUE(Walk(map).empty());
}

TEST(FrameworkCollections, TheArrayAddsAtItsEnd) {
    CArray<CRect, const CRect&> rects;
    EXPECT_EQ(rects.Add(CRect(0, 0, 1, 1)), 0);
    EXPECT_EQ(rects.Add(CRect(1, 2, 3, 4)), 1);
    EXPECT_EQ(rects.GetSize(), 2);
    EXPECT_EQ(rects[1], CRect(1, 2, 3, 4));
    rects.ElementAt(0).right = 9;
    EXPECT_EQ(rects.GetAt(0), CRect(0, 0, 9, 1));
    rects.RemoveAll();
    EXPECT_TRUE(rects.IsEmpty());
}

} // namespace

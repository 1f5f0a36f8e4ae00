// The narrator text: set as the owner's window text in narrator mode only, cut at 1023 characters, a
// ready text taken as it stands.
#include <gtest/gtest.h>

#include <string>

#include "controls/ControlNarratorText.h"
#include "tests/controls/ControlsTestSupport.h"

namespace {

using controls_test::CControlsTest;

std::wstring WindowText(const CWnd& window) {
    CString text;
    window.GetWindowText(text);
    return text.GetString();
}

bool HasUpdate(const CWnd& window) {
    RECT rc{};
    return ::GetUpdateRect(window.m_hWnd, &rc, FALSE) != FALSE;
}

class NarratorTextTest : public CControlsTest {
protected:
    // The window with a known text and nothing left to paint.
    CWnd& MakeOwner() {
        CWnd& owner = MakeWindow(100, 40);
        owner.SetWindowText(L"before");
        owner.ValidateRect(nullptr);
        return owner;
    }
};

TEST_F(NarratorTextTest, WithoutTheNarratorNothingChanges) {
    g_bNarrator = false;
    CWnd& owner = MakeOwner();
    CControlNarratorText narrator(&owner);
    narrator.SetNarratorText(L"%s.", L"On");
    narrator.SetNarratorText(L"Ready");
    EXPECT_EQ(WindowText(owner), L"before");
    EXPECT_TRUE(narrator.GetNarratorText().IsEmpty());
    EXPECT_FALSE(HasUpdate(owner));
}

struct TextCase {
    const char* name;
    const wchar_t* pszFormat;
    const wchar_t* pszArgument; // null: the format is a ready text
    std::wstring expected;
};

const std::wstring kLong(1500, L'x');

class NarratorTextCase : public NarratorTextTest, public testing::WithParamInterface<TextCase> {};

TEST_P(NarratorTextCase, BecomesTheOwnersWindowTextAndRepaintsIt) {
    g_bNarrator = true;
    const TextCase& c = GetParam();
    CWnd& owner = MakeOwner();
    CControlNarratorText narrator(&owner);
    if (c.pszArgument) {
        narrator.SetNarratorText(c.pszFormat, c.pszArgument);
    } else {
        narrator.SetNarratorText(c.pszFormat);
    }
    EXPECT_EQ(WindowText(owner), c.expected);
    EXPECT_EQ(std::wstring(narrator.GetNarratorText().GetString()), c.expected);
    EXPECT_TRUE(HasUpdate(owner));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NarratorTextCase,
    testing::Values(TextCase{"Formatted", L"%s.", L"On", L"On."},
                    TextCase{"ReadyTextWithPercentSign", L"Charged 100%s", nullptr, L"Charged 100%s"},
                    TextCase{"ReadyTextCutAt1023", kLong.c_str(), nullptr, kLong.substr(0, 1023)},
                    TextCase{"FormattedCutAt1023", L"%s.", kLong.c_str(), kLong.substr(0, 1023)},
                    TextCase{"Empty", L"%s", L"", L""}, TextCase{"NullReadyText", nullptr, nullptr, L""}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST_F(NarratorTextTest, AnOwnerWithoutAWindowKeepsTheTextOnly) {
    g_bNarrator = true;
    CWnd unmade;
    CControlNarratorText narrator(&unmade);
    narrator.SetNarratorText(L"%s.", L"Off");
    EXPECT_EQ(std::wstring(narrator.GetNarratorText().GetString()), L"Off.");
    CControlNarratorText ownerless(nullptr);
    ownerless.SetNarratorText(L"Off");
    EXPECT_EQ(std::wstring(ownerless.GetNarratorText().GetString()), L"Off");
}

} // namespace

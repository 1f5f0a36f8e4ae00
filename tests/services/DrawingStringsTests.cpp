// The string loaders on the program's own string tables, and the program's resource set: the 30
// languages' tables, the English texts and the dialog templates.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/resources.h"
#include "platform/resources/DialogTemplates.h"
#include "platform/resources/ModuleResources.h"
#include "services/ResourceStrings.h"
#include "tests/support/TestMachine.h"

namespace {

constexpr int kMissingId = 9999;
constexpr LANGID kGerman = 0x0407;

class ResourceStringsTest : public testing::Test {
protected:
    ~ResourceStringsTest() override { SetThreadUILanguage(0); }
    testing_support::CTestMachine m_machine;
};

TEST_F(ResourceStringsTest, AnIdBelowOneLeavesTheStringAlone) {
    CString text(L"unchanged");
    EXPECT_FALSE(LoadResString(text, L"Close", 0));
    EXPECT_FALSE(LoadResString(text, L"Close", -3));
    EXPECT_EQ(text, L"unchanged");
}

TEST_F(ResourceStringsTest, TheEntryOrTheCallersDefault) {
    CString text;
    EXPECT_TRUE(LoadResString(text, L"Shut", 469));
    EXPECT_EQ(text, L"Close");
    EXPECT_TRUE(LoadResString(text, L"Default text", kMissingId));
    EXPECT_EQ(text, L"Default text");
    EXPECT_TRUE(LoadResString(text, nullptr, kMissingId));
    EXPECT_TRUE(text.IsEmpty());
}

TEST_F(ResourceStringsTest, AGermanThreadReadsTheGermanTableAndFallsBackToTheDefault) {
    ASSERT_EQ(SetThreadUILanguage(kGerman), kGerman);
    CString text;
    EXPECT_TRUE(LoadResString(text, L"Close", 469));
    EXPECT_EQ(text, L"Schließen");
    EXPECT_TRUE(LoadResString(text, L"Standard", kMissingId));
    EXPECT_EQ(text, L"Standard");
    wchar_t buffer[kResStringBufferLength];
    EXPECT_TRUE(LoadResStringToBuffer(buffer, 469, L"Close"));
    EXPECT_STREQ(buffer, L"Schließen");
}

TEST_F(ResourceStringsTest, TheProfilesLanguagePicksTheTableOfAThreadThatSetNone) {
    const std::filesystem::path file = m_machine.Folder() / "facts.json";
    nlohmann::json facts = nlohmann::json::parse(*platform::ReadWholeFile(file));
    facts["uiLanguage"] = kGerman;
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, facts.dump()));
    CString text;
    LoadResString(text, L"Close", 469);
    EXPECT_EQ(text, L"Schließen");
}

struct BufferCase {
    const char* name;
    size_t length;
    bool bFits;
};

class LoadResStringToBufferTest : public ResourceStringsTest,
                                  public testing::WithParamInterface<BufferCase> {};

TEST_P(LoadResStringToBufferTest, TextsUpTo2046CharactersFit) {
    const BufferCase& c = GetParam();
    const std::wstring text(c.length, L'a');
    std::vector<wchar_t> buffer(kResStringBufferLength, L'#');
    EXPECT_EQ(LoadResStringToBuffer(buffer.data(), kMissingId, text.c_str()), c.bFits);
    const size_t kept = std::min<size_t>(c.length, 2046);
    EXPECT_EQ(std::wstring(buffer.data()), text.substr(0, kept));
    for (size_t i = kept; i < buffer.size(); ++i) {
        ASSERT_EQ(buffer[i], L'\0') << "the whole buffer is zeroed, at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, LoadResStringToBufferTest,
                         testing::Values(BufferCase{"Short", 5, true}, BufferCase{"Longest", 2046, true},
                                         BufferCase{"OneTooMany", 2047, false},
                                         BufferCase{"Far", 5000, false}),
                         [](const testing::TestParamInfo<BufferCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ResourceStringsTest, TheBufferLoaderRefusesANullBufferAnIdBelowOneAndTakesANullDefaultAsEmpty) {
    wchar_t buffer[kResStringBufferLength];
    EXPECT_FALSE(LoadResStringToBuffer(nullptr, 469, L"Close"));
    EXPECT_FALSE(LoadResStringToBuffer(buffer, 0, L"Close"));
    EXPECT_TRUE(LoadResStringToBuffer(buffer, kMissingId, nullptr));
    EXPECT_STREQ(buffer, L"");
    EXPECT_TRUE(LoadResStringToBuffer(buffer, 483, L"default"));
    EXPECT_EQ(std::wstring(buffer).substr(0, 22), L"This function is usefu");
}

// Where a Part gives the table a text apart from the code's default, the table holds that text.
TEST_F(ResourceStringsTest, TheEnglishTableHoldsTheTableTextsOfTheParts) {
    const std::pair<int, const wchar_t*> entries[] = {
        {468, L"DISABLED"},
        {189, L"Eye Care Mode"},
        {523, L"Eye care mode: Graphics driver disabled"},
        {213, L"GO TO CORVEX SOLVANE"},
        {479, L"Cool &&& quiet mode on"},
        {281, L"You\u2019re taking control of your privacy."},
        {182, L"My"},
    };
    for (const auto& [id, expected] : entries) {
        CString text;
        LoadResString(text, L"", id);
        EXPECT_EQ(text, expected) << id;
    }
}

TEST(ProgramResourcesTest, ThereIsOneStringTableForEachOfThe30Languages) {
    const std::set<unsigned> expected = {0x0804, 0x0401, 0x0415, 0x0412, 0x0406, 0x0407, 0x0419, 0x040C,
                                         0x040B, 0x0413, 0x0405, 0x041A, 0x0418, 0x0414, 0x0416, 0x0816,
                                         0x0411, 0x041D, 0x241A, 0x041B, 0x0424, 0x041F, 0x0422, 0x0C0A,
                                         0x040D, 0x0408, 0x040E, 0x0410, 0x0409, 0x0404};
    std::set<unsigned> found;
    for (const platform::EmbeddedFile* file = platform::ProgramResources()->strings; file->name; ++file) {
        const auto json = nlohmann::json::parse(file->data, file->data + file->size, nullptr, false);
        ASSERT_TRUE(json.is_object() && json["language"].is_number_unsigned() && json["strings"].is_object())
            << file->name;
        EXPECT_TRUE(found.insert(json["language"].get<unsigned>()).second) << file->name;
    }
    EXPECT_EQ(found, expected);
}

TEST(ProgramResourcesTest, EveryDialogTemplateOfTheProgramIsData) {
    for (int id : {102, 130, 134, 140, 142, 210, 236, 294, 300}) {
        EXPECT_TRUE(platform::FindDialogTemplate(id)) << id;
    }
    const auto flyout = platform::FindDialogTemplate(102);
    ASSERT_TRUE(flyout);
    EXPECT_EQ(flyout->cx, 290);
    EXPECT_EQ(flyout->cy, 390);
    EXPECT_EQ(flyout->style & 0x80000000u, 0x80000000u) << "WS_POPUP";
    EXPECT_EQ(flyout->exStyle, 0x00040000u) << "WS_EX_APPWINDOW";
    ASSERT_EQ(flyout->controls.size(), 1u);
    EXPECT_EQ(flyout->controls[0].id, 1048);
}

TEST(ProgramResourcesTest, TheGridTemplateHas18HiddenButtonsOf30By30) {
    const auto grid = platform::FindDialogTemplate(300);
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->fontFace, L"MS Shell Dlg");
    ASSERT_EQ(grid->controls.size(), 18u);
    for (size_t i = 0; i < grid->controls.size(); ++i) {
        const platform::DialogControlTemplate& button = grid->controls[i];
        EXPECT_EQ(button.id, 1056 + i);
        EXPECT_EQ(button.className, L"Button");
        EXPECT_EQ(button.cx, 30);
        EXPECT_EQ(button.cy, 30);
        EXPECT_EQ(button.style & 0x10000000u, 0u) << "created hidden: " << button.id;
    }
}

TEST(ProgramResourcesTest, TheBatteryPanelTemplateHasTheRectanglesOfItsPart) {
    const auto panel = platform::FindDialogTemplate(130);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->cx, 270);
    EXPECT_EQ(panel->cy, 132);
    struct Expected {
        WORD id;
        const wchar_t* text;
        short x, y, cx, cy;
    };
    const Expected controls[] = {{1004, L"MY BATTERY", 5, 9, 107, 15},
                                 {1006, L"BATTERY DETAILS", 147, 11, 122, 15},
                                 {1052, L"", 20, 26, 238, 52},
                                 {1087, L"Intelligent cooling", 5, 88, 107, 15},
                                 {1051, L"Balanced mode", 134, 86, 133, 15},
                                 {1007, L"FLIPDECKS", 5, 109, 107, 15},
                                 {1008, L"ALL SETTINGS", 147, 111, 122, 15}};
    ASSERT_EQ(panel->controls.size(), std::size(controls));
    for (size_t i = 0; i < std::size(controls); ++i) {
        const auto& control = panel->controls[i];
        const Expected& e = controls[i];
        EXPECT_EQ(control.id, e.id);
        EXPECT_EQ(control.text, e.text);
        EXPECT_EQ(std::vector<short>({control.x, control.y, control.cx, control.cy}),
                  std::vector<short>({e.x, e.y, e.cx, e.cy}))
            << e.id;
    }
}

} // namespace

// The program's string tables as compiled in: each language's table holds the English table's ids, with
// the same format fields and link markup in each entry, and names the language of its file.
#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "platform/internal.h"
#include "platform/resources.h"
#include "platform/resources/ModuleResources.h"

namespace {

struct TableCase {
    const char* file;
    unsigned language;
};

void PrintTo(const TableCase& c, std::ostream* os) {
    *os << c.file;
}

// A table parsed as JSON; null when its bytes are not valid UTF-8 JSON.
nlohmann::json ParseTable(const char* file) {
    const platform::EmbeddedFile* table =
        platform::FindEmbeddedFile(platform::ProgramResources()->strings, file);
    if (!table) {
        return nullptr;
    }
    const auto json = nlohmann::json::parse(table->data, table->data + table->size, nullptr, false);
    return json.is_discarded() ? nullptr : json;
}

std::vector<std::string> AllMatches(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> matches;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), pattern);
         match != std::sregex_iterator(); ++match) {
        matches.push_back(match->str());
    }
    return matches;
}

// The format fields of a text in their order: "%%", positional "%1", and printf fields with their flags,
// width, precision and size; a "%" that starts none of them counts as a field of its own.
std::vector<std::string> FormatFields(const std::string& text) {
    static const std::regex field(R"(%(%|[1-9][0-9]*(![^!]*!)?|[-+ #0]*(\*|[0-9]+)?(\.(\*|[0-9]+))?)"
                                  R"((hh|h|ll|l|I64|I32|L|w)?[diouxXeEfgGcCsSp])?)");
    return AllMatches(text, field);
}

// The link tags of a text in their order, "<a ...>" and "</a>" as written.
std::vector<std::string> LinkTags(const std::string& text) {
    static const std::regex tag(R"(<\s*/?\s*[aA](\s[^>]*)?>)");
    return AllMatches(text, tag);
}

bool IsBalanced(const std::vector<std::string>& tags) {
    int open = 0;
    for (const std::string& tag : tags) {
        open += tag.find('/') == std::string::npos ? 1 : -1;
        if (open < 0 || open > 1) {
            return false;
        }
    }
    return open == 0;
}

// The "strings" object of a parsed table; null when there is none.
const nlohmann::json* StringsOf(const nlohmann::json& table) {
    if (!table.is_object()) {
        return nullptr;
    }
    const auto strings = table.find("strings");
    return strings != table.end() && strings->is_object() ? &*strings : nullptr;
}

const nlohmann::json& EnglishStrings() {
    static const nlohmann::json english = [] {
        const nlohmann::json table = ParseTable("en-US.json");
        const nlohmann::json* strings = StringsOf(table);
        return strings ? *strings : nlohmann::json::object();
    }();
    return english;
}

TEST(EnglishStringTableTest, HasEntriesWithBalancedLinksAndNoStrayPercentSigns) {
    ASSERT_FALSE(EnglishStrings().empty());
    for (const auto& [id, text] : EnglishStrings().items()) {
        ASSERT_TRUE(text.is_string()) << id;
        EXPECT_TRUE(IsBalanced(LinkTags(text.get<std::string>()))) << id;
        for (const std::string& field : FormatFields(text.get<std::string>())) {
            EXPECT_NE(field, "%") << id << ": a lone percent sign";
        }
    }
}

class StringTablesTest : public testing::TestWithParam<TableCase> {};

TEST_P(StringTablesTest, TheTableNamesItsLanguageAndHoldsTheEnglishIds) {
    const TableCase& c = GetParam();
    const nlohmann::json table = ParseTable(c.file);
    ASSERT_TRUE(table.is_object()) << c.file << " is missing or not valid UTF-8 JSON";
    const auto language = table.find("language");
    ASSERT_TRUE(language != table.end() && language->is_number_unsigned()) << c.file;
    EXPECT_EQ(language->get<unsigned>(), c.language) << c.file;
    const nlohmann::json* strings = StringsOf(table);
    ASSERT_TRUE(strings) << c.file;
    for (const auto& [id, text] : EnglishStrings().items()) {
        EXPECT_TRUE(strings->contains(id))
            << c.file << " lacks " << id << " (\"" << text.get<std::string>() << "\")";
    }
    for (const auto& [id, text] : strings->items()) {
        EXPECT_TRUE(EnglishStrings().contains(id)) << c.file << " has " << id << ", which English has not";
        EXPECT_TRUE(text.is_string()) << c.file << " " << id;
    }
}

TEST_P(StringTablesTest, EachEntryKeepsTheFormatFieldsAndLinksOfItsEnglishText) {
    const TableCase& c = GetParam();
    const nlohmann::json table = ParseTable(c.file);
    const nlohmann::json* strings = StringsOf(table);
    ASSERT_TRUE(strings) << c.file;
    for (const auto& [id, text] : strings->items()) {
        const auto englishText = EnglishStrings().find(id);
        if (!text.is_string() || englishText == EnglishStrings().end()) {
            continue;
        }
        const std::string translated = text.get<std::string>();
        const std::string english = englishText->get<std::string>();
        EXPECT_EQ(FormatFields(translated), FormatFields(english))
            << c.file << " " << id << ": " << translated;
        EXPECT_EQ(LinkTags(translated), LinkTags(english)) << c.file << " " << id << ": " << translated;
        EXPECT_FALSE(translated.empty() && !english.empty()) << c.file << " " << id << " is empty";
    }
}

// Every language of the user-interface language override, by the file of its table.
INSTANTIATE_TEST_SUITE_P(Languages, StringTablesTest,
                         testing::Values(TableCase{"zh-CN.json", 0x0804}, TableCase{"ar-SA.json", 0x0401},
                                         TableCase{"pl-PL.json", 0x0415}, TableCase{"ko-KR.json", 0x0412},
                                         TableCase{"da-DK.json", 0x0406}, TableCase{"de-DE.json", 0x0407},
                                         TableCase{"ru-RU.json", 0x0419}, TableCase{"fr-FR.json", 0x040C},
                                         TableCase{"fi-FI.json", 0x040B}, TableCase{"nl-NL.json", 0x0413},
                                         TableCase{"cs-CZ.json", 0x0405}, TableCase{"hr-HR.json", 0x041A},
                                         TableCase{"ro-RO.json", 0x0418}, TableCase{"nb-NO.json", 0x0414},
                                         TableCase{"pt-BR.json", 0x0416}, TableCase{"pt-PT.json", 0x0816},
                                         TableCase{"ja-JP.json", 0x0411}, TableCase{"sv-SE.json", 0x041D},
                                         TableCase{"sr-Latn-RS.json", 0x241A},
                                         TableCase{"sk-SK.json", 0x041B}, TableCase{"sl-SI.json", 0x0424},
                                         TableCase{"tr-TR.json", 0x041F}, TableCase{"uk-UA.json", 0x0422},
                                         TableCase{"es-ES.json", 0x0C0A}, TableCase{"he-IL.json", 0x040D},
                                         TableCase{"el-GR.json", 0x0408}, TableCase{"hu-HU.json", 0x040E},
                                         TableCase{"it-IT.json", 0x0410}, TableCase{"en-US.json", 0x0409},
                                         TableCase{"zh-TW.json", 0x0404}),
                         [](const testing::TestParamInfo<TableCase>& info) {
                             std::string name = info.param.file;
                             name.resize(name.find('.'));
                             for (char& ch : name) {
                                 ch = ch == '-' ? '_' : ch;
                             }
                             return name;
                         });

} // namespace

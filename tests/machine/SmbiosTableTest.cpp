// The firmware's raw SMBIOS data: built from a profile's structures, and as each profile's machine has it.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "machine/provision/SmbiosTable.h"
#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

struct CStructure {
    unsigned type;
    unsigned handle;
    std::string formatted; // after the 4-byte header
    std::vector<std::string> strings;
};

// Splits a structure table, checking that every structure and string area ends within it.
std::vector<CStructure> SplitTable(const std::string& table) {
    std::vector<CStructure> structures;
    size_t at = 0;
    while (at < table.size()) {
        EXPECT_GE(table.size() - at, 4u) << "a structure header at " << at;
        const auto length = static_cast<unsigned char>(table[at + 1]);
        EXPECT_GE(length, 4u);
        EXPECT_LE(at + length, table.size());
        if (table.size() - at < 4 || length < 4 || at + length > table.size()) {
            return structures;
        }
        CStructure structure{static_cast<unsigned char>(table[at]),
                             static_cast<unsigned char>(table[at + 2]) |
                                 static_cast<unsigned>(static_cast<unsigned char>(table[at + 3])) << 8,
                             table.substr(at + 4, length - 4),
                             {}};
        const size_t areaEnd = table.find(std::string(2, '\0'), at + length);
        EXPECT_NE(areaEnd, std::string::npos) << "the string area ends";
        if (areaEnd == std::string::npos) {
            return structures;
        }
        for (size_t text = at + length; text < areaEnd;) {
            const size_t end = table.find('\0', text);
            structure.strings.push_back(table.substr(text, end - text));
            text = end + 1;
        }
        structures.push_back(structure);
        at = areaEnd + 2;
    }
    return structures;
}

std::string RegistryText(const wchar_t* name) {
    HKEY key = nullptr;
    wchar_t data[256] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
    }
    return platform::ToUtf8(data);
}

// The text a string field of the structure stands for.
std::string StringField(const CStructure& structure, size_t offset) {
    const auto number = static_cast<unsigned char>(structure.formatted.at(offset - 4));
    return number == 0 || number > structure.strings.size() ? "" : structure.strings[number - 1];
}

class ProfileSmbiosTest : public testing::TestWithParam<const char*> {};

TEST_P(ProfileSmbiosTest, TheMachineHoldsAWellFormedTableThatAgreesWithItsBiosValues) {
    CTestMachine machine(GetParam());
    const auto data = platform::ReadWholeFile(machine.Folder() / platform::kSmbiosTableFile);
    ASSERT_TRUE(data);
    ASSERT_GE(data->size(), 8u);
    EXPECT_EQ(data->substr(0, 4), std::string("\x00\x03\x04\x00", 4));
    DWORD length = 0;
    std::memcpy(&length, data->data() + 4, sizeof(length));
    EXPECT_EQ(length, data->size() - 8);

    const auto structures = SplitTable(data->substr(8));
    std::vector<unsigned> types;
    for (const auto& structure : structures) {
        types.push_back(structure.type);
    }
    EXPECT_EQ(types, (std::vector<unsigned>{0, 1, 2, 3, 32, 127}));
    ASSERT_EQ(structures.size(), 6u);
    for (size_t i = 1; i < structures.size(); ++i) {
        EXPECT_LT(structures[i - 1].handle, structures[i].handle);
    }
    // BIOS: vendor, version and date at 4, 5 and 8; system: manufacturer, product and family at 4, 5 and
    // 0x1A; chassis type at 5 (a notebook).
    EXPECT_EQ(StringField(structures[0], 4), RegistryText(L"BIOSVendor"));
    EXPECT_EQ(StringField(structures[0], 5), RegistryText(L"BIOSVersion"));
    EXPECT_EQ(StringField(structures[0], 8), RegistryText(L"BIOSReleaseDate"));
    EXPECT_EQ(structures[1].formatted.size(), 0x1Bu - 4);
    EXPECT_EQ(StringField(structures[1], 5), RegistryText(L"SystemProductName"));
    EXPECT_EQ(StringField(structures[1], 0x1A), RegistryText(L"SystemFamily"));
    EXPECT_EQ(structures[3].formatted.at(1), '\x0A');
}

INSTANTIATE_TEST_SUITE_P(Profiles, ProfileSmbiosTest, testing::Values("consumer-win11", "business-win10"));

TEST(SmbiosTable, FieldsBecomeTheFormattedAreaAndItsStrings) {
    const nlohmann::json smbios = {
        {"major", 2},
        {"minor", 8},
        // Placed by handle, not by name.
        {"structures",
         {{"z", {{"type", 127}, {"handle", 9}}},
          {"a",
           {{"type", 0},
            {"handle", 0x0102},
            {"fields",
             {"Vendor", "", 7, {{"word", 0xE800}}, {{"dword", 0x01020304}}, {{"hex", "0aFF"}}, "V1"}}}}}}};
    std::string data;
    std::string error;
    ASSERT_TRUE(BuildSmbiosTable(smbios, data, error)) << error;
    const std::string bios("\x00\x10\x02\x01"
                           "\x01\x00\x07\x00\xE8\x04\x03\x02\x01\x0A\xFF\x02"
                           "Vendor\0V1\0\0",
                           27);
    const std::string end("\x7F\x04\x09\x00\x00\x00", 6);
    EXPECT_EQ(data, std::string("\x00\x02\x08\x00\x21\x00\x00\x00", 8) + end + bios);
}

TEST(SmbiosTable, AMalformedEntryIsRefusedWithAMessage) {
    const auto withFields = [](nlohmann::json fields) {
        return nlohmann::json{{"major", 3},
                              {"minor", 4},
                              {"structures", {{"bios", {{"type", 0}, {"handle", 0}, {"fields", fields}}}}}};
    };
    const struct {
        const char* name;
        nlohmann::json smbios;
    } cases[] = {
        {"NoVersion", {{"structures", nlohmann::json::object()}}},
        {"NoStructures", {{"major", 3}, {"minor", 4}}},
        {"ByteTooLarge", withFields({256})},
        {"NegativeByte", withFields({-1})},
        {"WordTooLarge", withFields({{{"word", 65536}}})},
        {"OddHex", withFields({{{"hex", "ABC"}}})},
        {"NotHex", withFields({{{"hex", "XY"}}})},
        {"UnknownField", withFields({{{"byte", 1}}})},
        {"TwoKeys", withFields({{{"word", 1}, {"dword", 1}}})},
        {"StringWithNul", withFields({std::string("a\0b", 3)})},
        {"FormattedAreaTooLong", withFields(nlohmann::json(std::vector<int>(252, 0)))},
        {"NoType", {{"major", 3}, {"minor", 4}, {"structures", {{"bios", {{"handle", 0}}}}}}},
        {"HandleTaken",
         {{"major", 3},
          {"minor", 4},
          {"structures", {{"a", {{"type", 0}, {"handle", 5}}}, {"b", {{"type", 1}, {"handle", 5}}}}}}},
    };
    for (const auto& c : cases) {
        std::string data = "kept";
        std::string error;
        EXPECT_FALSE(BuildSmbiosTable(c.smbios, data, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
    }
}

TEST(GamingProfile, TheHostTagsTheMachineAsGaming) {
    CTestMachine machine("gaming-win11");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Plexhost\\Applicability\\Tags", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    wchar_t data[64] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    EXPECT_EQ(RegQueryValueExW(key, L"System.Profile.Gaming", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                               &size),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_STREQ(data, L"True");
    EXPECT_EQ(platform::MachineFact("/windows/build"), 22631);
}

} // namespace

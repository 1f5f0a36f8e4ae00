// The BIOS version from the firmware's SMBIOS tables: the profiles' tables and hand-made ones, sound
// and malformed.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "services/Smbios.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using Bytes = std::vector<BYTE>;

// One structure: its header, the formatted bytes after it, then its strings.
Bytes Structure(BYTE type, const Bytes& formatted, const std::vector<std::string>& strings) {
    Bytes bytes = {type, static_cast<BYTE>(4 + formatted.size()), 0x10, 0x00};
    bytes.insert(bytes.end(), formatted.begin(), formatted.end());
    for (const auto& text : strings) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    bytes.insert(bytes.end(), strings.empty() ? 2 : 1, 0);
    return bytes;
}

// A BIOS information structure whose version is the string of that number.
Bytes Bios(BYTE versionString, const std::vector<std::string>& strings) {
    return Structure(0, {1, versionString, 0x00, 0xE8, 3, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, strings);
}

Bytes Join(const std::vector<Bytes>& parts) {
    Bytes joined;
    for (const auto& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// The raw data: the 8-byte header with the given table length, then the table.
Bytes RawData(const Bytes& table, DWORD length) {
    Bytes data = {0, 3, 4, 0, 0, 0, 0, 0};
    std::memcpy(data.data() + 4, &length, sizeof(length));
    data.insert(data.end(), table.begin(), table.end());
    return data;
}

Bytes RawData(const Bytes& table) {
    return RawData(table, static_cast<DWORD>(table.size()));
}

const Bytes kSystem = Structure(1, {1, 2, 0, 0}, {"Corvex", "83DA"});
const Bytes kEnd = Structure(127, {}, {});

struct TableCase {
    const char* name;
    Bytes data;
    const char* version; // "" when there is none
};

class SmbiosTableTest : public testing::TestWithParam<TableCase> {
protected:
    CTestMachine m_machine;
};

TEST_P(SmbiosTableTest, FindsTheBiosVersionWithinTheTable) {
    const Bytes& data = GetParam().data;
    ASSERT_TRUE(platform::ReplaceFileAtomically(m_machine.Folder() / platform::kSmbiosTableFile,
                                                std::string(data.begin(), data.end())));
    std::string version = "stale";
    EXPECT_EQ(GetBiosVersionFromSmbios(version), *GetParam().version != '\0');
    EXPECT_EQ(version, GetParam().version);
}

const Bytes kCutString = [] {
    Bytes table = Join({kSystem, Bios(2, {"Corvex", "NRCN31VX"})});
    table.resize(table.size() - 2); // the version's terminator and the area's end are gone
    return table;
}();

const TableCase kTableCases[] = {
    {"BiosFirst", RawData(Join({Bios(2, {"Corvex", "NRCN31VX", "03/14/2024"}), kSystem, kEnd})), "NRCN31VX"},
    {"BiosAfterOthers",
     RawData(Join({kSystem, Structure(3, {1, 10}, {}), Bios(1, {"R2KTB52X (1.32 )"}), kEnd})),
     "R2KTB52X (1.32 )"},
    {"VersionNumberZero", RawData(Join({Bios(0, {"Corvex"}), kEnd})), ""},
    {"VersionNumberPastTheStrings", RawData(Join({Bios(3, {"Corvex", "NRCN31VX"}), kEnd})), ""},
    {"BiosWithoutStrings", RawData(Join({Bios(1, {}), kEnd})), ""},
    {"NoBiosStructure", RawData(Join({kSystem, kEnd})), ""},
    {"LengthPastTheData", RawData(Join({Bios(1, {"NRCN31VX"})}), 4096), ""},
    {"LengthEndsBeforeTheBios",
     RawData(Join({kSystem, Bios(1, {"NRCN31VX"})}), static_cast<DWORD>(kSystem.size())), ""},
    {"StringCutByTheTableEnd", RawData(kCutString), ""},
    {"TableShorterThanAStructureHeader", RawData(Join({Bios(1, {"NRCN31VX"})}), 3), ""},
    {"ZeroLengthStructure", RawData(Bytes{1, 0, 0, 0, 0, 0, 0, 0}), ""},
    {"FormattedAreaPastTheEnd", RawData(Bytes{0, 0x40, 0, 0, 1, 1}), ""},
    {"BiosTooShortForItsVersion", RawData(Join({Structure(0, {1}, {"Corvex"}), kEnd})), ""},
    {"StringAreaNeverEnds", RawData(Join({kSystem, Bytes{1, 5, 0x11, 0x00, 1, 'a', 0, 'b'}})), ""},
    // The run-time's conversion to narrow text: Latin-1 characters as their bytes, others fail it.
    {"LatinVersion", RawData(Join({Bios(1, {"R2K\xC3\xA9 1.0"}), kEnd})), "R2K\xE9 1.0"},
    {"VersionBeyondLatin", RawData(Join({Bios(1, {"R2K\xE2\x82\xAC 1.0"}), kEnd})), ""},
    {"HeaderOnly", RawData({}), ""},
    {"ShorterThanTheHeader", Bytes{0, 3, 4}, ""},
    {"NoData", Bytes{}, ""},
};

INSTANTIATE_TEST_SUITE_P(Tables, SmbiosTableTest, testing::ValuesIn(kTableCases),
                         [](const testing::TestParamInfo<TableCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SmbiosProfiles, EachProfilesFirmwareGivesItsBiosVersion) {
    const struct {
        const char* profile;
        const char* version;
    } cases[] = {{"consumer-win11", "NRCN31VX"}, {"business-win10", "R2KTB52X (1.32 )"}};
    for (const auto& c : cases) {
        CTestMachine machine(c.profile);
        std::string version;
        EXPECT_TRUE(GetBiosVersionFromSmbios(version)) << c.profile;
        EXPECT_EQ(version, c.version);
    }
}

TEST(SmbiosString, CountsTheStringsAfterTheFormattedArea) {
    const Bytes bios = Bios(2, {"Corvex", "NRCN31VX"});
    const BYTE* end = bios.data() + bios.size();
    EXPECT_STREQ(GetSmbiosString(1, bios.data(), end), "Corvex");
    EXPECT_STREQ(GetSmbiosString(2, bios.data(), end), "NRCN31VX");
    EXPECT_EQ(GetSmbiosString(0, bios.data(), end), nullptr);
    EXPECT_EQ(GetSmbiosString(3, bios.data(), end), nullptr);
    const Bytes bare = Structure(127, {}, {});
    EXPECT_EQ(GetSmbiosString(1, bare.data(), bare.data() + bare.size()), nullptr);
}

} // namespace

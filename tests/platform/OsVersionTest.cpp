// VerifyVersionInfoW and VerSetConditionMask over the machine's Windows version.
#include <gtest/gtest.h>

#include "platform/version.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

struct VersionCase {
    const char* name;
    DWORD major, minor, build;
    WORD servicePackMajor;
    DWORD types;
    BYTE condition; // for every type given
    BOOL met;
};

class OsVersionTest : public testing::TestWithParam<VersionCase> {
protected:
    CTestMachine m_machine{"business-win10"}; // 10.0.19045
};

TEST_P(OsVersionTest, ComparesWithTheMachinesVersion) {
    const VersionCase& c = GetParam();
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = c.major;
    info.dwMinorVersion = c.minor;
    info.dwBuildNumber = c.build;
    info.wServicePackMajor = c.servicePackMajor;
    DWORDLONG conditions = 0;
    for (DWORD type = 1; type <= VER_SERVICEPACKMAJOR; type <<= 1) {
        if (c.types & type) {
            conditions = VerSetConditionMask(conditions, type, c.condition);
        }
    }
    SetLastError(0);
    EXPECT_EQ(VerifyVersionInfoW(&info, c.types, conditions), c.met);
    EXPECT_EQ(GetLastError(), c.met ? 0u : static_cast<DWORD>(ERROR_OLD_WIN_VERSION));
}

constexpr DWORD kVersion = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR;

const VersionCase kVersionCases[] = {
    {"Windows8OrLater", 6, 2, 0, 0, kVersion, VER_GREATER_EQUAL, TRUE},
    {"SameVersion", 10, 0, 0, 0, kVersion, VER_GREATER_EQUAL, TRUE},
    {"NewerMajor", 11, 0, 0, 0, kVersion, VER_GREATER_EQUAL, FALSE},
    {"HigherMinorOfSameMajor", 10, 1, 0, 0, kVersion, VER_GREATER_EQUAL, FALSE},
    {"ServicePackBeyond", 10, 0, 0, 1, kVersion, VER_GREATER_EQUAL, FALSE},
    {"LowerMajorDecidesBeforeMinor", 6, 3, 0, 0, VER_MAJORVERSION | VER_MINORVERSION, VER_GREATER, TRUE},
    {"EqualMajor", 10, 0, 0, 0, VER_MAJORVERSION, VER_EQUAL, TRUE},
    {"LessThan", 11, 0, 0, 0, VER_MAJORVERSION, VER_LESS, TRUE},
    {"BuildReached", 0, 0, 19045, 0, VER_BUILDNUMBER, VER_GREATER_EQUAL, TRUE},
    {"BuildOfWindows11", 0, 0, 22000, 0, VER_BUILDNUMBER, VER_GREATER_EQUAL, FALSE},
    {"VersionAndBuild", 10, 0, 22000, 0, VER_MAJORVERSION | VER_BUILDNUMBER, VER_LESS_EQUAL, TRUE},
};

INSTANTIATE_TEST_SUITE_P(Conditions, OsVersionTest, testing::ValuesIn(kVersionCases),
                         [](const testing::TestParamInfo<VersionCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(OsVersion, AnOlderMachineFailsTheWindows8Test) {
    CTestMachine machine;
    files_test::SetMachineFact(machine.Folder(), "/windows", {{"major", 6}, {"minor", 1}, {"build", 7601}});
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 6;
    info.dwMinorVersion = 2;
    DWORDLONG conditions = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    EXPECT_FALSE(VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, conditions));
    info.dwMinorVersion = 1;
    EXPECT_TRUE(VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, conditions));
}

TEST(OsVersion, MalformedRequestsAreRefused) {
    CTestMachine machine;
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    const DWORDLONG major = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    const struct {
        const char* name;
        DWORD size;
        DWORD types;
        DWORDLONG conditions;
        DWORD error;
    } cases[] = {
        {"WrongSize", sizeof(info) - 1, VER_MAJORVERSION, major, ERROR_INVALID_PARAMETER},
        {"NoType", sizeof(info), 0, major, ERROR_INVALID_PARAMETER},
        {"TypeWithoutCondition", sizeof(info), VER_MAJORVERSION | VER_MINORVERSION, major,
         ERROR_INVALID_PARAMETER},
        {"SuiteNotDescribed", sizeof(info), VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_AND),
         ERROR_NOT_SUPPORTED},
    };
    for (const auto& c : cases) {
        info.dwOSVersionInfoSize = c.size;
        SetLastError(0);
        EXPECT_FALSE(VerifyVersionInfoW(&info, c.types, c.conditions)) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_FALSE(VerifyVersionInfoW(nullptr, VER_MAJORVERSION, major));
}

} // namespace

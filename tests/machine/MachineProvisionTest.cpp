// Making machines from profiles, and the flipdeck-machine tool on them.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using testing_support::RunTool;
using testing_support::ToolResult;

std::wstring ReadString(HKEY root, const wchar_t* subKey, const wchar_t* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return L"<no key>";
    }
    wchar_t data[256] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(data) : L"<no value>";
}

struct ProfileCase {
    const char* profile;
    const wchar_t* buildNumber;
    const wchar_t* family;
};

class MachineProfileTest : public testing::TestWithParam<ProfileCase> {};

TEST_P(MachineProfileTest, MakesTheMachineWithItsRegistryFilesAndFacts) {
    const ProfileCase& expected = GetParam();
    CTestMachine machine(expected.profile);

    EXPECT_EQ(platform::MachineFact("/profile"), expected.profile);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                         L"CurrentBuildNumber", KEY_WOW64_64KEY),
              expected.buildNumber);
    // The 32-bit view finds the copy a real machine keeps under Wow6432Node.
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                         L"CurrentBuildNumber", 0),
              expected.buildNumber);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemFamily", 0),
              expected.family);
    EXPECT_TRUE(std::filesystem::is_regular_file(machine.HostPath(
        L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\FlipdeckEx.exe")));
    EXPECT_TRUE(std::filesystem::is_directory(machine.HostPath(L"C:\\Users\\Alex\\AppData\\LocalLow")));
    EXPECT_TRUE(std::filesystem::is_regular_file(machine.Folder() / "events.jsonl"));
}

INSTANTIATE_TEST_SUITE_P(Profiles, MachineProfileTest,
                         testing::Values(ProfileCase{"consumer-win11", L"22631", L"Ixor Aeris 14 G8"},
                                         ProfileCase{"business-win10", L"19045", L"Kobal Terra K4 Gen 2"}));

TEST(MachineProvision, AnExistingMachineIsMadeAnewOnlyWhenForced) {
    CTestMachine machine("business-win10");
    const auto stray = machine.Folder() / "stray.txt";
    std::ofstream(stray) << "left by a test";

    std::string error;
    EXPECT_FALSE(platform::ProvisionMachine(machine.Folder(), "consumer-win11", false, &error));
    EXPECT_NE(error.find("exists"), std::string::npos);
    EXPECT_EQ(platform::MachineFact("/profile"), "business-win10");

    ASSERT_TRUE(platform::ProvisionMachine(machine.Folder(), "consumer-win11", true, &error)) << error;
    EXPECT_EQ(platform::MachineFact("/profile"), "consumer-win11");
    EXPECT_FALSE(std::filesystem::exists(stray));
}

TEST(MachineProvision, AnUnknownProfileIsRefusedAndMakesNothing) {
    CTestMachine machine;
    const auto folder = machine.Folder().parent_path() / "other";
    setenv("FLIPDECK_MACHINE", folder.c_str(), 1);
    std::string error;
    EXPECT_FALSE(platform::ProvisionMachine(folder, "no-such-profile", false, &error));
    EXPECT_NE(error.find("no-such-profile"), std::string::npos);
    EXPECT_FALSE(platform::MachineExists(folder));
}

TEST(MachineProvision, TheFirstUseOfAMissingMachineMakesTheDefaultOne) {
    CTestMachine machine;
    const auto folder = machine.Folder().parent_path() / "fresh";
    setenv("FLIPDECK_MACHINE", folder.c_str(), 1);
    EXPECT_EQ(platform::MachineFact("/profile"), platform::kDefaultProfile);
    EXPECT_TRUE(platform::MachineExists(folder));
}

// ---- The tool ----

TEST(MachineTool, InitHelpNamesBothProfiles) {
    const ToolResult help = RunTool("init --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("consumer-win11"), std::string::npos);
    EXPECT_NE(help.output.find("business-win10"), std::string::npos);
    EXPECT_EQ(help.output.find("common"), std::string::npos) << "the base profile is not a machine";
}

TEST(MachineTool, InitMakesTheNamedProfileAndRefusesAnExistingMachine) {
    CTestMachine machine;
    const auto folder = machine.Folder().parent_path() / "by-tool";
    setenv("FLIPDECK_MACHINE", folder.c_str(), 1);
    EXPECT_EQ(RunTool("init --profile business-win10").exitCode, 0);
    EXPECT_EQ(platform::MachineFact("/profile"), "business-win10");
    EXPECT_EQ(RunTool("init").exitCode, 1);
    EXPECT_EQ(RunTool("init --force").exitCode, 0);
    EXPECT_EQ(platform::MachineFact("/profile"), "consumer-win11");
    EXPECT_EQ(RunTool("init --profile").exitCode, 2);
}

TEST(MachineTool, UnknownCommandsAreUsageErrors) {
    EXPECT_EQ(RunTool("frobnicate").exitCode, 2);
    EXPECT_EQ(RunTool("").exitCode, 2);
    EXPECT_EQ(RunTool("--help").exitCode, 0);
}

TEST(MachineTool, EventsPrintsTheRecordsOfTheMachine) {
    CTestMachine machine;
    platform::AppendMachineEvent("test.event", {{"value", "On"}});
    const ToolResult events = RunTool("events");
    EXPECT_EQ(events.exitCode, 0);
    const auto record = nlohmann::json::parse(events.output);
    EXPECT_EQ(record["event"], "test.event");
    EXPECT_EQ(record["value"], "On");
    EXPECT_TRUE(record["pid"].is_number_integer());
    EXPECT_TRUE(record["time"].is_string());
}

} // namespace

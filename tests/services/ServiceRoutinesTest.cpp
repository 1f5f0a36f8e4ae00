// The folder, INI, registry and system routines of the service layer, on fresh machines.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/inifile.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "platform/time.h"
#include "services/Folders.h"
#include "services/PowerStatusInfo.h"
#include "services/SystemRoutines.h"
#include "services/WindowsVersion.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
namespace fs = std::filesystem;

const wchar_t* const kToolbarKey = L"SOFTWARE\\Corvex\\Ampwise";

void SetString(HKEY root, const wchar_t* subKey, const wchar_t* name, const std::wstring& value,
               REGSAM view) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

DWORD ReadPowerStatusInfo() {
    HKEY key = nullptr;
    DWORD value = 0xDEAD;
    DWORD size = sizeof(value);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, L"PowerStatusInfo", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

TEST(UserDataFolder, PrefersLocalLowAndMakesTheFoldersBelowIt) {
    CTestMachine machine;
    std::wstring folder;
    ASSERT_EQ(GetUserDataFolder(folder), 0);
    EXPECT_EQ(folder, L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\");
    EXPECT_TRUE(fs::is_directory(machine.HostPath(folder)));
    EXPECT_EQ(GetShowExCfgPath(), folder + L"ShowEx.cfg");
}

TEST(UserDataFolder, WithoutLocalLowTheFoldersAreMadeBelowLocal) {
    CTestMachine machine;
    fs::remove_all(machine.HostPath(L"C:\\Users\\Alex\\AppData\\LocalLow"));
    std::wstring folder;
    ASSERT_EQ(GetUserDataFolder(folder), 0);
    EXPECT_EQ(folder, L"C:\\Users\\Alex\\AppData\\Local\\Corvex\\ampwise\\");
}

TEST(IniInt, ReadsDigitsLettersAndAbsentKeys) {
    CTestMachine machine;
    const std::wstring file = L"C:\\Users\\Alex\\AppData\\Local\\test.cfg";
    WritePrivateProfileStringW(L"WiFiSecurity", L"status", L"1", file.c_str());
    WritePrivateProfileStringW(L"WiFiSecurity", L"support", L"abc", file.c_str());
    struct Case {
        const wchar_t* key;
        bool read;
        int value;
    } cases[] = {{L"status", true, 1}, {L"support", true, 0}, {L"missing", false, 0}};
    for (const auto& c : cases) {
        int value = 99;
        EXPECT_EQ(ReadIniInt(L"WiFiSecurity", c.key, file.c_str(), value), c.read) << c.key;
        EXPECT_EQ(value, c.value) << c.key;
    }
    int value = 99;
    EXPECT_FALSE(ReadIniInt(nullptr, L"status", file.c_str(), value));
    EXPECT_EQ(value, 0);
}

TEST(PowerStatusInfo, ChangesOnlyItsBit) {
    struct Case {
        DWORD before;
        int bit;
        FeatureState state;
        DWORD after;
    } cases[] = {{0xF, 1, FeatureStateDisabled, 0xD},
                 {0, 3, FeatureStateOn, 8},
                 {0x8, 3, FeatureStateOff, 0},
                 {0x5, 0, FeatureStateOn, 0x5}};
    for (const auto& c : cases) {
        CTestMachine machine;
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        RegSetValueExW(key, L"PowerStatusInfo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.before),
                       sizeof(DWORD));
        RegCloseKey(key);
        SetPowerStatusInfoBit(c.bit, c.state);
        EXPECT_EQ(ReadPowerStatusInfo(), c.after) << c.before << " bit " << c.bit;
    }
}

TEST(PowerStatusInfo, WritesNothingWithoutTheToolbarKey) {
    CTestMachine machine;
    RegDeleteKeyW(HKEY_CURRENT_USER, kToolbarKey);
    SetPowerStatusInfoBit(0, FeatureStateOn);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST(UiLanguage, TheOverrideSelectsItsLanguageIgnoringCaseOnly) {
    struct Case {
        const wchar_t* value;
        LANGID expected;
    } cases[] = {{L"german", 0x0407},
                 {L"GERMAN ", 0},
                 {L"PORTUGUESE_BRAZILIAN", 0x0416},
                 {L"CHINESE_TRADITIONAL", 0x0404},
                 {L"", 0}};
    for (const auto& c : cases) {
        CTestMachine machine;
        SetThreadUILanguage(0x0409);
        SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Flipdeck", L"Language", c.value, KEY_WOW64_64KEY);
        ApplyUiLanguage();
        EXPECT_EQ(GetThreadUILanguage(), c.expected ? c.expected : 0x0409) << c.value;
    }
}

TEST(WindowsVersion, TheBuildNumberDecidesWindows11) {
    struct Case {
        const wchar_t* build; // null: no value
        bool windows11;
    } cases[] = {{L"22631", true}, {L"22621", true}, {L"22000", true}, {L"19045", false}, {L"10240", false},
                 {L"9600", true},  {L"abc", false},  {L"", false},     {nullptr, false}};
    for (const auto& c : cases) {
        CTestMachine machine;
        const wchar_t* key = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        if (c.build) {
            SetString(HKEY_LOCAL_MACHINE, key, L"CurrentBuildNumber", c.build, 0);
        } else {
            HKEY opened = nullptr;
            ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &opened), ERROR_SUCCESS);
            RegDeleteValueW(opened, L"CurrentBuildNumber");
            RegCloseKey(opened);
        }
        EXPECT_EQ(IsWindowsBuild21OrLater(), c.windows11) << (c.build ? c.build : L"(none)");
    }
}

TEST(WindowsVersion, Windows8OrLaterOnEachProfileNotOnAnOlderMachine) {
    for (const char* profile : {"consumer-win11", "business-win10"}) {
        CTestMachine machine(profile);
        EXPECT_TRUE(IsWindows8OrLater()) << profile;
    }
    CTestMachine machine;
    files_test::SetMachineFact(machine.Folder(), "/windows", {{"major", 6}, {"minor", 1}, {"build", 7601}});
    EXPECT_FALSE(IsWindows8OrLater());
}

TEST(SystemRoutines, PluginRootAndVersionsOfTheInstalledPlugins) {
    CTestMachine machine;
    std::wstring root;
    ASSERT_TRUE(GetPluginRootFolder(root));
    EXPECT_EQ(root, L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\");
    std::wstring version;
    EXPECT_FALSE(GetFileVersionString(version, true, root + L"Nothing\\x64\\Nothing.dll"));
    EXPECT_EQ(version, L"File not found");
    GetVisionProtectionPluginVersion(version);
    EXPECT_EQ(version.size(), 15u) << "a padded version a.b.c.d: "
                                   << std::string(version.begin(), version.end());
    EXPECT_TRUE(IsServiceRunning(L"PlexhostService"));
    EXPECT_FALSE(IsServiceRunning(L"NoSuchService"));
}

TEST(SystemRoutines, ElapsedTimeHasSevenDecimals) {
    FILETIME system = {};
    FILETIME local = {};
    GetSystemTimeAsFileTime(&system);
    FileTimeToLocalFileTime(&system, &local);
    ULARGE_INTEGER start = {};
    start.LowPart = local.dwLowDateTime;
    start.HighPart = local.dwHighDateTime;
    start.QuadPart -= 15000000; // 1.5 s ago
    const FILETIME opened = {start.LowPart, start.HighPart};
    std::wstring elapsed;
    FormatElapsedSinceFileTime(opened, elapsed);
    ASSERT_EQ(elapsed.size(), 9u);
    EXPECT_EQ(elapsed.substr(0, 2), L"1.");
    EXPECT_GE(std::stod(std::string(elapsed.begin(), elapsed.end())), 1.5);
}

} // namespace

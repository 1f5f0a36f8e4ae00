// The folder, INI, registry and system routines of the service layer, on fresh machines.
#include <filesystem>
#include <fstream>
#include <utility>

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
    EXPECT_EQ(version, L"001.002.092.014") << "the machine's plug-in is 1.2.92.14";
    EXPECT_TRUE(IsServiceRunning(L"PlexhostService"));
    EXPECT_FALSE(IsServiceRunning(L"NoSuchService"));
}

const wchar_t kVisionX64[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x64\\"
    L"CorvexVisionProtectionPlugin.dll";
const wchar_t kVisionX86[] =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexVisionProtectionPlugin\\x86\\"
    L"CorvexVisionProtectionPlugin.dll";
const wchar_t kWithoutVersion[] = L"C:\\Windows\\notes.dll";

struct VersionTextCase {
    const wchar_t* path;
    bool padded;
    const wchar_t* text;
    bool result;
};

TEST(SystemRoutines, VersionTextsPaddedOrPlainAndWithoutAVersion) {
    CTestMachine machine;
    files_test::WriteHostFile(machine.HostPath(kWithoutVersion), "no version block");
    const VersionTextCase cases[] = {{kVisionX64, true, L"001.002.092.014", true},
                                     {kVisionX64, false, L"1.2.92.14", true},
                                     {kWithoutVersion, true, L"", false},
                                     {kWithoutVersion, false, L"", false},
                                     {L"C:\\Windows\\missing.dll", false, L"File not found", false}};
    for (const auto& c : cases) {
        std::wstring text = L"stale";
        EXPECT_EQ(GetFileVersionString(text, c.padded, c.path), c.result) << c.path << " " << c.padded;
        EXPECT_EQ(text, c.text) << c.path << " " << c.padded;
    }
}

// The two builds of the vision-protection plug-in ("a.b.c.d"; null: no file).
struct VisionCase {
    const char* x64;
    const char* x86;
    const wchar_t* text;
};

TEST(SystemRoutines, TheVisionProtectionVersionIsThe64BitBuildsElseThe32BitBuilds) {
    const VisionCase cases[] = {{"1.2.92.14", "2.0.0.1", L"001.002.092.014"},
                                {nullptr, "2.0.0.1", L"002.000.000.001"},
                                {nullptr, nullptr, L"File not found"}};
    for (const auto& c : cases) {
        CTestMachine machine;
        for (const auto& [path, version] : {std::pair{kVisionX64, c.x64}, std::pair{kVisionX86, c.x86}}) {
            if (version) {
                files_test::SetMachineFact(
                    machine.Folder(), "/fileVersions/" + platform::ToUtf8(platform::FoldCase(path)), version);
            } else {
                fs::remove(machine.HostPath(path));
            }
        }
        std::wstring text;
        GetVisionProtectionPluginVersion(text);
        EXPECT_EQ(text, c.text) << (c.x64 ? c.x64 : "no x64") << ", " << (c.x86 ? c.x86 : "no x86");
    }
}

// A text of whole seconds, a point and exactly seven decimals, in 100-ns units; -1 for any other text.
LONGLONG ElapsedUnits(const std::wstring& text) {
    const size_t point = text.find(L'.');
    const bool digitsOnly = text.find_first_not_of(L"0123456789.") == std::wstring::npos;
    if (!digitsOnly || point == 0 || point == std::wstring::npos || text.size() != point + 8 ||
        text.find(L'.', point + 1) != std::wstring::npos) {
        return -1;
    }
    return std::stoll(text.substr(0, point)) * 10000000 + std::stoll(text.substr(point + 1));
}

struct ElapsedCase {
    LONGLONG units; // since the start
    const wchar_t* text;
};

// The clock goes on during the call: the text is the example's, or later by no more than the call took.
TEST(SystemRoutines, ElapsedTimeHasSevenDecimals) {
    const ElapsedCase cases[] = {{120345678, L"12.0345678"}, {15000000, L"1.5000000"}, {45, L"0.0000045"}};
    for (const auto& c : cases) {
        ASSERT_EQ(ElapsedUnits(c.text), c.units) << c.text;
        const LONGLONG before = FileTimeTicks(LocalFileTimeNow());
        ULARGE_INTEGER start = {};
        start.QuadPart = static_cast<ULONGLONG>(before - c.units);
        const FILETIME opened = {start.LowPart, start.HighPart};
        std::wstring elapsed;
        FormatElapsedSinceFileTime(opened, elapsed);
        const LONGLONG took = FileTimeTicks(LocalFileTimeNow()) - before;
        const LONGLONG units = ElapsedUnits(elapsed);
        EXPECT_GE(units, c.units) << std::string(elapsed.begin(), elapsed.end()) << " for " << c.text;
        EXPECT_LE(units, c.units + took) << std::string(elapsed.begin(), elapsed.end()) << " for " << c.text;
    }
}

} // namespace

// The power-manager battery library on the business notebook: where it is looked for, that it is loaded
// only once its file is trusted, the battery minutes it gives from the machine's power facts, and
// answers of any value that end in a sound total.
#include <climits>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "services/PowerManagerLib.h"
#include "tests/platform/ComTestServer.h"
#include "tests/platform/FilesTestSupport.h"
#include "tests/platform/TrustTestSupport.h"

namespace {

using testing_support::CTestMachine;
using testing_support::SetMachineFact;

const wchar_t* const kInstalled = L"C:\\Program Files (x86)\\Corvex\\Voltaro\\VOLTLINK.DLL";
const wchar_t* const kBesideProgram =
    L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\CorvexAmpwisePackage\\x86\\VOLTLINK.DLL";
const wchar_t* const kPathKey = L"SOFTWARE\\Wow6432Node\\Corvex\\VOLTARV\\Path";

std::filesystem::path VoltLink() {
    return com_test::BuiltLibrary("libvoltlink.so");
}

class PowerManagerLib : public testing::Test {
protected:
    void Install(const std::wstring& path, const nlohmann::json& chain,
                 const std::filesystem::path& library = VoltLink()) {
        com_test::InstallLibrary(machine, path, library);
        if (!chain.is_null()) {
            trust_test::SetSignature(machine, path, chain);
        }
    }

    // The application's key with its default value (type and bytes as given), or without the key.
    void SetPathValue(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPathKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegDeleteValueW(key, nullptr);
        if (data) {
            ASSERT_EQ(RegSetValueExW(key, nullptr, 0, type, static_cast<const BYTE*>(data), size),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
    void SetPathText(const std::wstring& folder) {
        SetPathValue(REG_SZ, folder.c_str(), static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    }
    void DeletePathKey() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPathKey, KEY_WOW64_64KEY, 0); }

    void SetAnswer(const std::string& battery, const nlohmann::json& answer) {
        SetMachineFact(machine.Folder(), "/powerManager/answers/" + battery, answer);
    }

    CTestMachine machine{"business-win10"};
};

TEST_F(PowerManagerLib, LoadsTheSignedLibraryTheApplicationsKeyNames) {
    {
        CPowerManagerLib library;
        ASSERT_TRUE(library.LoadPowerManagerDll());
        EXPECT_TRUE(library.IsLoaded());
        EXPECT_TRUE(com_test::IsLoaded(VoltLink()));
        EXPECT_TRUE(library.LoadPowerManagerDll()) << "once loaded it stays";
        int minutes = -1;
        EXPECT_TRUE(library.GetTotalBatteryValue(minutes));
        EXPECT_EQ(minutes, 24) << "80 % on mains, 120 minutes for a full charge";
        EXPECT_FALSE(library.HasSecondBattery());
    }
    EXPECT_FALSE(com_test::IsLoaded(VoltLink())) << "freed with its holder";
}

TEST_F(PowerManagerLib, AnUntrustedLibraryIsNeverLoaded) {
    const nlohmann::json untrusted[] = {nullptr, "untrustedRoot", "revoked", "incomplete"};
    for (const nlohmann::json& chain : untrusted) {
        trust_test::SetSignature(machine, kInstalled, "trusted");
        if (chain.is_null()) {
            trust_test::SetSignature(machine, kInstalled, nullptr);
        } else {
            trust_test::SetSignature(machine, kInstalled, chain, "Someone Else");
        }
        CPowerManagerLib library;
        EXPECT_FALSE(library.LoadPowerManagerDll()) << chain;
        EXPECT_FALSE(com_test::IsLoaded(VoltLink())) << chain << ": not even for a moment";
        int minutes = -1;
        EXPECT_FALSE(library.GetTotalBatteryValue(minutes));
        EXPECT_EQ(minutes, 0);
    }
}

TEST_F(PowerManagerLib, AChangedLibraryAtItsSignedPathIsNeverLoaded) {
    const std::filesystem::path other = com_test::TestServerLibrary();
    struct Case {
        const char* what;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"another library put in its place",
         [&] {
             std::filesystem::remove(machine.HostPath(kInstalled));
             com_test::InstallLibrary(machine, kInstalled, other);
         }},
        {"other bytes written over it",
         [&] { files_test::WriteHostFile(machine.HostPath(kInstalled), "MZ changed by someone"); }},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(machine.HostPath(kInstalled));
        Install(kInstalled, "trusted");
        c.change();
        CPowerManagerLib library;
        EXPECT_FALSE(library.LoadPowerManagerDll()) << c.what;
        EXPECT_FALSE(com_test::IsLoaded(other)) << c.what << ": not even for a moment";
        EXPECT_FALSE(com_test::IsLoaded(VoltLink())) << c.what;
    }
}

TEST_F(PowerManagerLib, TheLibraryIsLookedForWhereTheKeyPointsElseBesideTheProgram) {
    const std::wstring voltaro = L"C:\\Program Files (x86)\\Corvex\\Voltaro";
    const std::wstring unsignedFolder = L"C:\\Users\\Alex\\Voltaro";
    const std::wstring folderNamedLikeIt = L"C:\\Users\\Alex\\Folder";
    Install(unsignedFolder + L"\\VOLTLINK.DLL", nullptr);
    std::filesystem::create_directories(machine.HostPath(folderNamedLikeIt + L"\\VOLTLINK.DLL"));
    trust_test::SetSignature(machine, folderNamedLikeIt + L"\\VOLTLINK.DLL", "trusted");
    Install(kBesideProgram, "trusted");
    const DWORD number = 1;
    const std::wstring tooLong(300, L'a');
    struct Case {
        const char* what;
        std::function<void()> arrange;
        bool loaded;
    };
    const Case cases[] = {
        {"the installed folder", [&] { SetPathText(voltaro); }, true},
        {"with a trailing backslash", [&] { SetPathText(voltaro + L"\\"); }, true},
        {"in other case, with slashes", [&] { SetPathText(L"c:/program files (x86)/CORVEX/voltaro"); }, true},
        {"through another folder", [&] { SetPathText(L"C:\\Program Files (x86)\\Corvex\\Old\\..\\Voltaro"); },
         true},
        {"a folder with an unsigned copy", [&] { SetPathText(unsignedFolder); }, false},
        {"a folder whose VOLTLINK.DLL is a folder", [&] { SetPathText(folderNamedLikeIt); }, false},
        {"a folder without the library", [&] { SetPathText(L"C:\\Users\\Alex"); }, false},
        {"no key: beside the program", [&] { DeletePathKey(); }, true},
        // A key whose value names no folder names no library: the one beside the program is not taken.
        {"no value", [&] { SetPathValue(REG_SZ, nullptr, 0); }, false},
        {"an empty value", [&] { SetPathText(L""); }, false},
        {"a number", [&] { SetPathValue(REG_DWORD, &number, sizeof(number)); }, false},
        {"a text too long", [&] { SetPathText(tooLong); }, false},
        {"an expandable text",
         [&] {
             const std::wstring expandable = L"%ProgramFiles(x86)%\\Corvex\\Voltaro";
             SetPathValue(REG_EXPAND_SZ, expandable.c_str(),
                          static_cast<DWORD>((expandable.size() + 1) * sizeof(wchar_t)));
         },
         false},
    };
    for (const Case& c : cases) {
        c.arrange();
        CPowerManagerLib library;
        EXPECT_EQ(library.LoadPowerManagerDll(), c.loaded) << c.what;
        EXPECT_EQ(com_test::IsLoaded(VoltLink()), c.loaded) << c.what;
    }
    DeletePathKey();
    trust_test::SetSignature(machine, kBesideProgram, nullptr);
    CPowerManagerLib library;
    EXPECT_FALSE(library.LoadPowerManagerDll()) << "an unsigned library beside the program";
}

TEST_F(PowerManagerLib, WithoutAnyLibraryEveryQueryGivesNothing) {
    DeletePathKey();
    CPowerManagerLib library;
    EXPECT_FALSE(library.LoadPowerManagerDll());
    int minutes = -1;
    EXPECT_FALSE(library.GetTotalBatteryValue(minutes));
    EXPECT_EQ(minutes, 0);
    BYTE record[CPowerManagerLib::kStatusRecordSize] = {};
    EXPECT_EQ(library.GetSmartBatteryStatus(1, record, record), -1);
    EXPECT_FALSE(library.HasSecondBattery());
}

TEST_F(PowerManagerLib, GivesTheBatteryMinutesOfTheMachinesPowerFacts) {
    CPowerManagerLib library;
    ASSERT_TRUE(library.LoadPowerManagerDll());
    struct Case {
        nlohmann::json power;
        int minutes;
        bool second;
    };
    const Case cases[] = {
        {{{"acLine", true}, {"batteryPercent", 80}}, 24, false},
        {{{"acLine", true}, {"batteryPercent", 100}}, 0, false},
        {{{"acLine", true}, {"batteryPercent", 80}, {"secondBatteryPercent", 50}}, 24 + 60, true},
        {{{"acLine", true}, {"batteryPercent", 100}, {"secondBatteryPercent", 100}}, 0, true},
        {{{"acLine", true}, {"batteryPercent", 50}, {"chargeMinutes", 200}}, 100, false},
        {{{"acLine", false}, {"batteryPercent", 50}}, 240, false}, // the time left, 480 minutes when full
        {{{"acLine", false}, {"batteryPercent", 50}, {"batteryLifeSeconds", 5400}}, 90, false},
        {{{"acLine", true}, {"battery", "none"}, {"batteryPercent", 80}}, 0, false},
        {{{"acLine", true}, {"batteryPercent", "eighty"}, {"secondBatteryPercent", 140}}, 0, false},
    };
    for (const Case& c : cases) {
        SetMachineFact(machine.Folder(), "/power", c.power);
        int minutes = -1;
        EXPECT_EQ(library.GetTotalBatteryValue(minutes), c.minutes > 0) << c.power;
        EXPECT_EQ(minutes, c.minutes) << c.power;
        EXPECT_EQ(library.HasSecondBattery(), c.second) << c.power;
    }
}

TEST_F(PowerManagerLib, FollowsTheBatteryThatTheToolSets) {
    CPowerManagerLib library;
    ASSERT_TRUE(library.LoadPowerManagerDll());
    const auto result = testing_support::RunTool("power battery 95");
    ASSERT_EQ(result.exitCode, 0) << result.output;
    int minutes = -1;
    EXPECT_TRUE(library.GetTotalBatteryValue(minutes));
    EXPECT_EQ(minutes, 6);
}

TEST_F(PowerManagerLib, AnswersOfAnyValueGiveASoundTotal) {
    CPowerManagerLib library;
    ASSERT_TRUE(library.LoadPowerManagerDll());
    struct Case {
        const char* what;
        nlohmann::json main;
        nlohmann::json second;
        int minutes;
        bool present;
    };
    const Case cases[] = {
        {"main 95, second 40",
         {{"status", 5}, {"timeValid", 1}, {"minutes", 95}},
         {{"status", 5}, {"timeValid", 1}, {"minutes", 40}},
         135,
         true},
        {"no valid time", {{"timeValid", 0}, {"minutes", 500}}, {{"status", 3}}, 0, false},
        {"negative minutes", {{"timeValid", 1}, {"minutes", -30}}, {{"status", 3}}, 0, false},
        {"both at the largest",
         {{"timeValid", 1}, {"minutes", INT_MAX}},
         {{"status", 1}, {"timeValid", 1}, {"minutes", INT_MAX}},
         INT_MAX,
         true},
        {"a status with high bits", {{"timeValid", 1}, {"minutes", 10}}, {{"status", 0x70005}}, 10, true},
        {"status 7", {{"timeValid", 1}, {"minutes", 10}}, {{"status", 7}}, 10, true},
        {"a negative status", {{"timeValid", 1}, {"minutes", 10}}, {{"status", -1}}, 10, false},
        {"status 3",
         {{"timeValid", 1}, {"minutes", 10}},
         {{"status", 3}, {"timeValid", 1}, {"minutes", 5}},
         15,
         false},
        {"status 5 without a time",
         {{"status", 2}, {"timeValid", 0}},
         {{"status", 5}, {"timeValid", 0}, {"minutes", 5}},
         0,
         true},
    };
    for (const Case& c : cases) {
        SetAnswer("main", c.main);
        SetAnswer("second", c.second);
        int minutes = -1;
        EXPECT_EQ(library.GetTotalBatteryValue(minutes), c.minutes > 0) << c.what;
        EXPECT_EQ(minutes, c.minutes) << c.what;
        EXPECT_EQ(library.HasSecondBattery(), c.present) << c.what;
    }
    SetAnswer("second", {{"status", 3}});
    SetAnswer("main", {{"status", 5}});
    library.QueryBatteryStatus(1);
    EXPECT_FALSE(library.HasSecondBattery()) << "status 3 clears the flag";
    SetAnswer("second", {{"status", 5}});
    library.QueryBatteryStatus(0);
    EXPECT_FALSE(library.HasSecondBattery()) << "the main battery's query leaves it";
    library.QueryBatteryStatus(1);
    EXPECT_TRUE(library.HasSecondBattery()) << "status 5 sets it";
}

TEST_F(PowerManagerLib, ALibraryWithoutTheExportOrNoModuleAtAllGivesNothing) {
    DeletePathKey();
    Install(kBesideProgram, "trusted", com_test::BuiltLibrary("libpactbridge.so"));
    {
        CPowerManagerLib withoutExport;
        ASSERT_TRUE(withoutExport.LoadPowerManagerDll());
        BYTE status[CPowerManagerLib::kStatusRecordSize] = {};
        BYTE extra[CPowerManagerLib::kExtraRecordSize] = {};
        EXPECT_EQ(withoutExport.GetSmartBatteryStatus(1, status, extra), -2);
        EXPECT_EQ(withoutExport.GetSmartBatteryStatus(1, nullptr, extra), -1);
        int minutes = -1;
        EXPECT_FALSE(withoutExport.GetTotalBatteryValue(minutes));
        EXPECT_EQ(minutes, 0);
        EXPECT_FALSE(withoutExport.HasSecondBattery());
    }
    std::filesystem::remove(machine.HostPath(kBesideProgram));
    files_test::WriteHostFile(machine.HostPath(kBesideProgram), "not a module");
    CPowerManagerLib notAModule;
    EXPECT_FALSE(notAModule.LoadPowerManagerDll()) << "signed, but not loadable";
}

TEST_F(PowerManagerLib, TheLibraryRefusesMalformedRecords) {
    CPowerManagerLib library;
    ASSERT_TRUE(library.LoadPowerManagerDll());
    BYTE status[CPowerManagerLib::kStatusRecordSize] = {};
    BYTE extra[CPowerManagerLib::kExtraRecordSize] = {};
    EXPECT_EQ(library.GetSmartBatteryStatus(1, status, extra), 2) << "records without their sizes";
    EXPECT_EQ(library.GetSmartBatteryStatus(1, nullptr, extra), -1);
    EXPECT_EQ(library.GetSmartBatteryStatus(1, status, nullptr), -1);
}

} // namespace

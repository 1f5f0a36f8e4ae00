// Start-up on machines with and without a working host: the invoke index and the log.
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/e2e/ProgramRun.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
namespace fs = std::filesystem;

const wchar_t* const kToolbarKey = L"Software\\Corvex\\Ampwise";
const wchar_t* const kLogFolder = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\log";

DWORD ReadInvokeIndex() {
    HKEY key = nullptr;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return 0;
    }
    const bool read = RegQueryValueExW(key, L"PluginInvokeIndex", nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    return read ? value : 0;
}

void WriteInvokeIndex(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"PluginInvokeIndex", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(key);
}

void SetHostState(const char* key, const nlohmann::json& value) {
    const auto file = platform::MachineFolder() / "host.json";
    auto state = nlohmann::json::parse(platform::ReadWholeFile(file).value_or("{}"));
    state[key] = value;
    ASSERT_TRUE(platform::ReplaceFileAtomically(file, state.dump()));
}

void TurnLoggingOn(const CTestMachine& machine) {
    fs::create_directories(machine.HostPath(kLogFolder));
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Corvex\\Modern\\Logs", 0, nullptr,
                              0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t zero[] = L"0";
    RegSetValueExW(key, L"Plexhost.Service", 0, REG_SZ, reinterpret_cast<const BYTE*>(zero), sizeof(zero));
    RegCloseKey(key);
}

std::string LogText(const CTestMachine& machine) {
    return platform::ReadWholeFile(machine.HostPath(std::wstring(kLogFolder) + L"\\quickpanel.log"))
        .value_or("");
}

TEST(InvokeIndex, AFreshFlyoutStartStoresTwoForGood) {
    CTestMachine machine;
    TurnLoggingOn(machine);
    e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|");
    EXPECT_EQ(ReadInvokeIndex(), 2u);
    EXPECT_NE(LogText(machine).find("IndexByPath #2 IndexOld=2, IndexNew=2, SetIndex=NotSet"),
              std::string::npos);
    e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|");
    EXPECT_EQ(LogText(machine).find("IndexByPath #1"), std::string::npos)
        << "a stored 2 stops at the first step";
}

TEST(InvokeIndex, AQuickPluginInvokeErrorStoresOneAndTheByPathUpdateTurnsItToTwo) {
    CTestMachine machine;
    SetHostState("pluginInvoke", "error1");
    e2e::RunProgram("MENUITEM_CLICK_AW_SHOW,|");
    EXPECT_EQ(ReadInvokeIndex(), 1u);
    // KobalTouchPadPlugin has only its x64 build on the machine.
    e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|");
    EXPECT_EQ(ReadInvokeIndex(), 2u);
}

TEST(InvokeIndex, AStoredOneStaysWithoutAnX64OnlyPlugin) {
    CTestMachine machine;
    fs::remove_all(machine.HostPath(L"C:\\ProgramData\\Corvex\\Plexhost\\Plugins\\KobalTouchPadPlugin"));
    WriteInvokeIndex(1);
    e2e::RunProgram("MENUITEM_LAUNCH_TOOLBAR,|");
    EXPECT_EQ(ReadInvokeIndex(), 1u);
}

TEST(InvokeIndex, ASlowPluginInvokeErrorGivesTwo) {
    CTestMachine machine;
    SetHostState("pluginInvoke", "error1");
    SetHostState("answerDelayMs", 3100);
    WriteInvokeIndex(1);
    e2e::RunProgram("MENUITEM_CLICK_AW_SHOW,|");
    EXPECT_EQ(ReadInvokeIndex(), 2u);
}

class BrokenHostTest : public testing::TestWithParam<const char*> {};

TEST_P(BrokenHostTest, EveryItemRunsToItsEndAndTheCreationFailureIsLogged) {
    CTestMachine machine;
    TurnLoggingOn(machine);
    const std::string mode = GetParam();
    if (mode == "absent") {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                       L"SOFTWARE\\Wow6432Node\\Classes\\CLSID\\{4E2A7C19-5B3D-4F60-9A81-C3D57E0B2F46}");
    } else {
        SetHostState("mode", mode);
    }
    for (const char* item : {"MENUITEM_LAUNCH_TOOLBAR", "MENUITEM_QUIT_AMPWISE", "MENUITEM_CLICK_AW_SHOW",
                             "MENUITEM_DETECT_EYECAREMODE", "MENUITEM_SECOND_CLICK_TO_EXIT"}) {
        EXPECT_EQ(e2e::RunProgram(std::string(item) + ",v|c").exitCode, 0) << item;
    }
    EXPECT_TRUE(e2e::TelemetryEvents().empty());
    if (mode == "absent") {
        EXPECT_NE(LogText(machine).find("[create Contract Interface Instance failure!][InitWindow]"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, BrokenHostTest, testing::Values("absent", "failing"));

} // namespace

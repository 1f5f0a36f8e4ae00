// The tests of features that ask the simulated host: the program's log on the test machine, the machine
// tool, and the events that the host and the telemetry record.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/com.h"
#include "platform/inifile.h"
#include "platform/internal.h"
#include "platform/registry.h"
#include "services/ContractClient.h"
#include "services/Folders.h"
#include "services/Log.h"
#include "services/MachineInfo.h"
#include "tests/controls/ControlWindowSupport.h"
#include "tests/support/TestMachine.h"

namespace features_test {

// Turns the host's log switch on and starts the program's log on the machine.
inline void StartMachineLog(const testing_support::CTestMachine& machine) {
    g_strLogFolder.clear();
    InitLogFolder();
    ASSERT_FALSE(g_strLogFolder.empty());
    std::filesystem::create_directories(machine.HostPath(g_strLogFolder));
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Corvex\\Modern\\Logs", 0, nullptr,
                              0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const std::wstring strOn = L"0";
    RegSetValueExW(hKey, L"Plexhost.Service", 0, REG_SZ, reinterpret_cast<const BYTE*>(strOn.c_str()),
                   static_cast<DWORD>((strOn.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hKey);
    InitLog();
    ASSERT_TRUE(g_bLogEnabled);
}

inline std::string MachineLogText(const testing_support::CTestMachine& machine) {
    return platform::ReadWholeFile(machine.HostPath(g_strLogFolder + L"\\quickpanel.log")).value_or("");
}

inline void RunMachineTool(const std::string& strArguments) {
    const testing_support::ToolResult result = testing_support::RunTool(strArguments);
    ASSERT_EQ(result.exitCode, 0) << strArguments << ": " << result.output;
}

// The "state" of each recorded call of that event.
inline std::vector<int> RecordedStates(const std::string& strEvent) {
    std::vector<int> states;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents(strEvent)) {
        states.push_back(record.value("state", -1));
    }
    return states;
}

// The feature's state in the host's state file; -1 when it has none.
inline int HostFeatureState(const char* pszFeature) {
    const auto text = platform::ReadWholeFile(platform::MachineFolder() / "host.json");
    const nlohmann::json host = nlohmann::json::parse(text.value_or("{}"), nullptr, false);
    return host.is_object() ? host["features"][pszFeature].value("state", -1) : -1;
}

// The toolbar's "PowerStatusInfo"; none without the value.
inline std::optional<DWORD> PowerStatusInfo() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise", 0, KEY_READ, &hKey) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LSTATUS status =
        RegQueryValueExW(hKey, L"PowerStatusInfo", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(hKey);
    return status == ERROR_SUCCESS && type == REG_DWORD ? std::optional(value) : std::nullopt;
}

// The machine's version data of the file ("a.b.c.d"; null: none).
inline void SetFileVersion(const testing_support::CTestMachine& machine, const wchar_t* pszPath,
                           const char* pszVersion) {
    const std::string strPointer = "/fileVersions/" + platform::ToUtf8(platform::FoldCase(pszPath));
    testing_support::SetMachineFact(machine.Folder(), strPointer,
                                    pszVersion ? nlohmann::json(pszVersion) : nlohmann::json());
}

// The firmware's raw SMBIOS data with one BIOS information structure, its version the text (null: none).
inline void WriteBiosVersion(const testing_support::CTestMachine& machine, const char* pszVersion) {
    std::vector<BYTE> table = {0,    18,   0x00, 0x00, 1, static_cast<BYTE>(pszVersion ? 2 : 0),
                               0x00, 0xE8, 3,    0xFF, 0, 0,
                               0,    0,    0,    0,    0, 0};
    for (const char* pszString : {"Corvex", pszVersion}) {
        if (pszString) {
            table.insert(table.end(), pszString, pszString + std::strlen(pszString) + 1);
        }
    }
    table.push_back(0);
    const std::vector<BYTE> end = {127, 4, 0xFF, 0xFE, 0, 0};
    table.insert(table.end(), end.begin(), end.end());
    std::vector<BYTE> data = {0, 3, 4, 0, 0, 0, 0, 0};
    const DWORD nLength = static_cast<DWORD>(table.size());
    std::memcpy(data.data() + 4, &nLength, sizeof(nLength));
    data.insert(data.end(), table.begin(), table.end());
    ASSERT_TRUE(platform::ReplaceFileAtomically(machine.Folder() / platform::kSmbiosTableFile,
                                                std::string(data.begin(), data.end())));
}

// The host's app-scenario plug-in's status key, Windows' precision-touchpad switch and the page of its
// settings, as the machine tool names them.
inline const char kAppScenarioKey[] =
    "'HKCU\\SOFTWARE\\Corvex\\Plexhost\\PluginData\\CorvexAppScenarioPlugin\\Status'";
inline const char kPrecisionKey[] =
    "'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\PrecisionTouchPad\\Status'";
inline const char kTouchPadSettingsPage[] = "ms-settings:devices-touchpad";

// The app-scenario plug-in's "Audio" as the tool sets it; null deletes the value.
inline void SetAppScenarioAudio(const char* pszType, const char* pszData) {
    const std::string strKey = kAppScenarioKey;
    RunMachineTool(pszData ? "reg set " + strKey + " Audio " + pszType + " '" + pszData + "'"
                           : "reg delete " + strKey + " Audio");
}

// Windows' "Enabled" as the tool sets it; null deletes the value.
inline void SetPrecisionSwitch(const char* pszType, const char* pszData) {
    const std::string strKey = kPrecisionKey;
    RunMachineTool(pszData ? "reg set " + strKey + " Enabled " + pszType + " " + pszData
                           : "reg delete " + strKey + " Enabled");
}

// A set call as the host recorded it: the method and its state.
using SetCall = std::pair<std::string, int>;

// The host's recorded set calls of those methods, in their order.
inline std::vector<SetCall> SetCalls(const std::vector<std::string>& methods) {
    std::vector<SetCall> calls;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents("contract.Set")) {
        const std::string strEvent = record.value("event", "");
        if (std::find(methods.begin(), methods.end(), strEvent) != methods.end()) {
            calls.emplace_back(strEvent, record.value("state", -1));
        }
    }
    return calls;
}

// The files the program opened through the shell, each with its show command.
inline std::vector<std::string> OpenedPages() {
    std::vector<std::string> pages;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents("shell.execute")) {
        pages.push_back(record.value("file", "") + " " + std::to_string(record.value("show", -1)));
    }
    return pages;
}

struct FeatureEvent {
    std::string strName;
    std::string strValue;
    std::string strPage;
    bool operator==(const FeatureEvent&) const = default;
};

inline void PrintTo(const FeatureEvent& event, std::ostream* pOut) {
    *pOut << "{" << event.strName << ", \"" << event.strValue << "\", " << event.strPage << "}";
}

inline std::vector<FeatureEvent> FeatureEvents() {
    std::vector<FeatureEvent> events;
    for (const nlohmann::json& record : testing_support::ReadMachineEvents("telemetry.feature")) {
        events.push_back({record.value("name", ""), record.value("value", ""), record.value("page", "")});
    }
    return events;
}

// A button's section of ShowEx.cfg as an earlier run would have left it.
inline void WriteCachedState(const wchar_t* pszSection, int nSupport, int nStatus, int nIconId,
                             int nStateType) {
    const std::wstring strPath = GetShowExCfgPath();
    for (const auto& [pszKey, nValue] :
         {std::pair{L"support", nSupport}, std::pair{L"status", nStatus}, std::pair{L"StatusIconID", nIconId},
          std::pair{L"StateIconType", nStateType}}) {
        ASSERT_TRUE(
            WritePrivateProfileStringW(pszSection, pszKey, std::to_wstring(nValue).c_str(), strPath.c_str()));
    }
}

// The two lines a button logs without a contract instance: its probe's and its set worker's, each with
// its operation's name.
inline void ExpectNoContractLogged(const std::string& strLog, const std::string& strProbe,
                                   const std::string& strSetter) {
    EXPECT_NE(
        strLog.find("[JudgeSupport Error:IContractInterfacePtr is Null, please register Pactbridge.dll][" +
                    strProbe + "]"),
        std::string::npos)
        << strLog;
    EXPECT_NE(strLog.find("[Error:IContractInterfacePtr is Null, please register Pactbridge.dll][" +
                          strSetter + "]"),
              std::string::npos)
        << strLog;
}

// A test of one button against the simulated host: a consumer machine with the log on, a parent window and
// the button (made when the test asks, after the test has set the machine up) as its child, in an
// apartment; the contract instance only when the test makes it.
template <typename Button> class CHostButtonTest : public controls_test::CControlWindowTest {
protected:
    void SetUp() override {
        CControlWindowTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        StartMachineLog(m_machine);
    }
    void TearDown() override {
        DestroyButton();
        ReleaseContractInterface();
        CoUninitialize();
        g_bLogEnabled = false;
        g_nKobalBrand = m_nBrandBefore;
        CControlWindowTest::TearDown();
    }

    void StartContract() {
        CreateContractInterfaceInstance();
        ASSERT_TRUE(g_pContractInterface);
    }
    // The host's mode ("": as it is) and the feature's options of flipdeck-machine feature ("": none).
    static void SetUpHost(const std::string& strMode, const std::string& strFeature,
                          const std::string& strOptions) {
        if (!strMode.empty()) {
            RunMachineTool("host mode " + strMode);
        }
        if (!strOptions.empty()) {
            RunMachineTool("feature " + strFeature + " " + strOptions);
        }
    }
    // The button made, initialised and probed.
    Button& ProbedButton() {
        m_pButton = std::make_unique<Button>();
        EXPECT_TRUE(m_pButton->Create(L"", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | WS_TABSTOP,
                                      RECT{20, 10, 68, 58}, &MakeParent(), Button::IDC));
        EXPECT_TRUE(m_pButton->Init(&m_window));
        EXPECT_TRUE(
            controls_test::PumpUntil([this] { return m_pButton->m_bInited == 1; }, std::chrono::seconds(60)));
        return *m_pButton;
    }
    // Destroying the button waits for its workers.
    void DestroyButton() { m_pButton.reset(); }
    std::string LogText() const { return MachineLogText(m_machine); }
    // Three clicks while the host holds its calls: the host ends in the state the last one asked for.
    void ExpectFastClicksEndInTheLastState(const std::string& strSetEvent, const char* pszFeature) {
        Button& button = *m_pButton;
        RunMachineTool("host mode slow");
        button.ClicktoSwitch();
        button.ClicktoSwitch();
        button.ClicktoSwitch();
        RunMachineTool("host mode normal");
        EXPECT_TRUE(controls_test::PumpUntil([&] { return RecordedStates(strSetEvent).size() == 3; },
                                             std::chrono::seconds(60)));
        EXPECT_EQ(RecordedStates(strSetEvent).back(), button.m_nStatus);
        EXPECT_EQ(HostFeatureState(pszFeature), button.m_nStatus);
    }

    std::unique_ptr<Button> m_pButton;
    int m_nBrandBefore = g_nKobalBrand;
};

} // namespace features_test

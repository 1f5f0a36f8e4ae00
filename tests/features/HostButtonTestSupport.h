// The tests of features that ask the simulated host: the program's log on the test machine, the machine
// tool, and the events that the host and the telemetry record.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/internal.h"
#include "platform/registry.h"
#include "services/Log.h"
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

} // namespace features_test

// A fresh machine in a temporary folder for the lifetime of a test: FLIPDECK_MACHINE points at it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

class CTestMachine {
public:
    explicit CTestMachine(const std::string& profile = "consumer-win11");
    ~CTestMachine();
    CTestMachine(const CTestMachine&) = delete;
    CTestMachine& operator=(const CTestMachine&) = delete;

    const std::filesystem::path& Folder() const { return m_folder; }
    // The Linux path of a Windows path on this machine (C:\ is drive_c/).
    std::filesystem::path HostPath(const std::wstring& windowsPath) const;

private:
    std::filesystem::path m_folder;
    std::string m_previous;
    bool m_hadPrevious = false;
};

// Rewrites one fact of the machine in the folder (null removes it); the layer reads facts.json again
// when it changes.
void SetMachineFact(const std::filesystem::path& machineFolder, const std::string& pointer,
                    const nlohmann::json& value);

struct ToolResult {
    int exitCode;
    std::string output;
};

// The records of the current machine's events.jsonl whose event name starts with the prefix, in order.
std::vector<nlohmann::json> ReadMachineEvents(const std::string& prefix = "");

// Runs flipdeck-machine with the arguments on the current machine, its error output merged.
ToolResult RunTool(const std::string& arguments);

} // namespace testing_support

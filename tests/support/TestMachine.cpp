#include "tests/support/TestMachine.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "platform/internal.h"

namespace testing_support {

namespace fs = std::filesystem;

CTestMachine::CTestMachine(const std::string& profile) {
    std::string pattern = (fs::temp_directory_path() / "flipdeck-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    m_folder = fs::path(pattern) / "machine";
    if (const char* previous = std::getenv("FLIPDECK_MACHINE")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    setenv("FLIPDECK_MACHINE", m_folder.c_str(), 1);
    std::string error;
    if (!platform::ProvisionMachine(m_folder, profile, false, &error)) {
        throw std::runtime_error("cannot make the test machine: " + error);
    }
}

CTestMachine::~CTestMachine() {
    if (m_hadPrevious) {
        setenv("FLIPDECK_MACHINE", m_previous.c_str(), 1);
    } else {
        unsetenv("FLIPDECK_MACHINE");
    }
    std::error_code ec;
    fs::remove_all(m_folder.parent_path(), ec);
}

fs::path CTestMachine::HostPath(const std::wstring& windowsPath) const {
    return platform::MapWindowsPath(windowsPath).value_or(fs::path());
}

void SetMachineFact(const fs::path& machineFolder, const std::string& pointer, const nlohmann::json& value) {
    const auto file = machineFolder / "facts.json";
    auto facts = nlohmann::json::parse(platform::ReadWholeFile(file).value_or("{}"));
    const nlohmann::json::json_pointer where(pointer);
    if (value.is_null()) {
        facts[where.parent_pointer()].erase(where.back());
    } else {
        facts[where] = value;
    }
    platform::ReplaceFileAtomically(file, facts.dump(2));
}

std::vector<nlohmann::json> ReadMachineEvents(const std::string& prefix) {
    std::vector<nlohmann::json> events;
    std::istringstream lines(
        platform::ReadWholeFile(platform::MachineFolder() / "events.jsonl").value_or(""));
    for (std::string line; std::getline(lines, line);) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_object() && record.value("event", std::string()).rfind(prefix, 0) == 0) {
            events.push_back(std::move(record));
        }
    }
    return events;
}

ToolResult RunTool(const std::string& arguments) {
    const auto tool = platform::ExecutableDirectory() / "flipdeck-machine";
    const std::string command = "'" + tool.string() + "' " + arguments + " 2>&1";
    ToolResult result{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof(buffer), pipe)) {
        result.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace testing_support

#include "tests/e2e/ProgramRun.h"

#include <spawn.h>
#include <sys/wait.h>

#include <sstream>

#include "platform/internal.h"

extern char** environ;

namespace e2e {

ProgramResult RunProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment) {
    const std::string program = (platform::ExecutableDirectory() / "FlipdeckEx").string();
    std::vector<std::string> words = {program, argument};
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> environment = extraEnvironment;
    for (char** entry = environ; *entry; ++entry) {
        environment.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    ProgramResult result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::vector<nlohmann::json> ReadEvents(const std::string& prefix) {
    std::vector<nlohmann::json> events;
    const auto text = platform::ReadWholeFile(platform::MachineFolder() / "events.jsonl");
    std::istringstream lines(text.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        auto record = nlohmann::json::parse(line, nullptr, false);
        if (record.is_object() && record.value("event", std::string()).rfind(prefix, 0) == 0) {
            events.push_back(std::move(record));
        }
    }
    return events;
}

std::vector<nlohmann::json> TelemetryEvents() {
    return ReadEvents("telemetry.");
}

} // namespace e2e

#include "tests/e2e/ProgramRun.h"

#include <spawn.h>
#include <sys/wait.h>

#include "platform/internal.h"
#include "tests/support/TestMachine.h"

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
    return testing_support::ReadMachineEvents(prefix);
}

std::vector<nlohmann::json> TelemetryEvents() {
    return ReadEvents("telemetry.");
}

} // namespace e2e

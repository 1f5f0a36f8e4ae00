// Runs the real FlipdeckEx on the test's machine and reads what it did to the machine.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace e2e {

struct ProgramResult {
    int exitCode = -1;
    std::chrono::milliseconds elapsed{0};
};

// Starts FlipdeckEx (from the build's bin folder) with one argument and waits for it to end.
ProgramResult RunProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment = {});

// The records of the machine's events.jsonl, optionally only those of one event name prefix.
std::vector<nlohmann::json> ReadEvents(const std::string& prefix = "");
// The records whose event starts with "telemetry.".
std::vector<nlohmann::json> TelemetryEvents();

} // namespace e2e

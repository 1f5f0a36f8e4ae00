// Runs the real FlipdeckEx on the test's machine, drives its flyout through flipdeck-machine as a
// person at the screen would, and reads what it did to the machine.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/window/Desktop.h"

namespace e2e {

struct ProgramResult {
    int exitCode = -1;
    std::chrono::milliseconds elapsed{0};
};

// The flyout as the screen shows it: its blue title bar and the Close button at its right end.
struct FlyoutOnScreen {
    RECT titleBar{};
    POINT closeCentre{};
};

// Finds the flyout's title bar on a screen.
std::optional<FlyoutOnScreen> FindFlyout(const platform::desktop::CScreenImage& screen);

// One FlipdeckEx process; killed when it is still running at the end.
class CProgram {
public:
    explicit CProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment = {});
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool IsRunning();
    // The program's screen once it has settled (flipdeck-machine screen); empty when it does not answer.
    platform::desktop::CScreenImage Screen();
    // Waits until the screen shows the flyout; nothing when the program ends first or time runs out.
    std::optional<FlyoutOnScreen> WaitForFlyout(std::chrono::seconds timeout = std::chrono::seconds(60));
    // flipdeck-machine input ... with the words given; true when the tool reached the program.
    bool Input(const std::string& words);
    // Waits for the end; exitCode -1 when it is still running when the time runs out.
    ProgramResult WaitForExit(std::chrono::seconds timeout = std::chrono::seconds(60));

private:
    int m_pid = -1;
    std::optional<ProgramResult> m_result;
    std::chrono::steady_clock::time_point m_start;
};

// Starts FlipdeckEx (from the build's bin folder) with one argument and waits for it to end; when it
// shows the flyout, the flyout is closed with its Close button, as a person would.
ProgramResult RunProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment = {});

// The records of the machine's events.jsonl, optionally only those of one event name prefix.
std::vector<nlohmann::json> ReadEvents(const std::string& prefix = "");
// The records whose event starts with "telemetry.".
std::vector<nlohmann::json> TelemetryEvents();

} // namespace e2e

// Runs the real FlipdeckEx on the test's machine, drives its flyout through flipdeck-machine as a
// person at the screen would, and reads what it did to the machine.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/window/Desktop.h"
#include "tests/support/TestMachine.h"

namespace e2e {

// The feature grid's rounded ground and the circles of its buttons when off, on and disabled.
inline constexpr COLORREF kGridGround = 0xF4F1EB;
inline constexpr COLORREF kButtonOff = 0xF8F7F5;
inline constexpr COLORREF kButtonOn = 0xFD814A;
inline constexpr COLORREF kButtonDisabled = 0xEBEAE6;

struct ProgramResult {
    int exitCode = -1;
    std::chrono::milliseconds elapsed{0};
};

// The flyout as the screen shows it: its blue title bar and the Close button at its right end.
struct FlyoutOnScreen {
    RECT titleBar{};
    POINT closeCentre{};
};

// A round feature button as the screen shows it: the centre and the diameter of the part of its circle
// drawn in the circle's own colour (the anti-aliased rim left out), and that colour.
struct FeatureButtonOnScreen {
    POINT centre{};
    int diameter = 0;
    COLORREF circle = 0;
};

// Finds the flyout's title bar on a screen.
std::optional<FlyoutOnScreen> FindFlyout(const platform::desktop::CScreenImage& screen);
// The feature grid's rounded ground under the title bar (the pixels of its own colour); none when the
// flyout shows no grid.
std::optional<RECT> FindFeatureGrid(const platform::desktop::CScreenImage& screen,
                                    const FlyoutOnScreen& flyout);
// The first button of the grid's top row, off, on or disabled; none when the grid shows no button. A
// button under the mouse is shaded by its hover circle and not found: move the mouse away first.
std::optional<FeatureButtonOnScreen> FindFeatureButton(const platform::desktop::CScreenImage& screen,
                                                       const FlyoutOnScreen& flyout);
// The square of the grid's place (1 to 10, five to a row) on the screen. The grid's lengths are 378ths
// of its client width, its ground leaves 10 pixels (at 96 DPI) on either side with an anti-aliased rim
// a pixel wide; the grid's top is its ground's.
RECT GridPlace(const RECT& grid, int place);
// Makes the machine deliver every timer's first tick six seconds late, as a busy machine may: a state
// caption's two seconds then last long enough for a screen to be read while it shows.
void DelayTimers();
// Whether a button is drawn in the place: the square stands on the grid's ground and most of the disc in
// it is not that ground, with or without the hover shade.
bool IsButtonShownIn(const platform::desktop::CScreenImage& screen, const RECT& place);
// The colour of the circle of the button in the place, taken just inside its rim where no icon reaches.
COLORREF CircleColourIn(const platform::desktop::CScreenImage& screen, const RECT& place);
// The ink of the state caption in the band under the top row: its bounding rectangle, empty when no
// caption shows.
RECT FindStateCaption(const platform::desktop::CScreenImage& screen, const RECT& grid,
                      const FeatureButtonOnScreen& button);
// Whether the keyboard focus frame is drawn around the button.
bool HasFocusFrame(const platform::desktop::CScreenImage& screen, const FeatureButtonOnScreen& button);

// Waits until the condition holds; false when the time runs out first.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::seconds timeout = std::chrono::seconds(60));

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
    // Looks at the screen until the finder (a screen to an optional) finds what it looks for; nothing
    // when the program ends first or time runs out.
    template <typename Finder>
    auto WaitForScreen(Finder find, std::chrono::seconds timeout = std::chrono::seconds(60))
        -> decltype(find(platform::desktop::CScreenImage()));
    // Waits until the screen shows the flyout; nothing when the program ends first or time runs out.
    std::optional<FlyoutOnScreen> WaitForFlyout(std::chrono::seconds timeout = std::chrono::seconds(60));
    // Waits until the grid's first button shows with that circle colour.
    std::optional<FeatureButtonOnScreen> WaitForFeatureButton(const FlyoutOnScreen& flyout, COLORREF circle);
    // flipdeck-machine input ... with the words given; true when the tool reached the program.
    bool Input(const std::string& words);
    bool Click(POINT screenPoint);
    bool MoveMouse(POINT screenPoint);
    // Waits for the end; exitCode -1 when it is still running when the time runs out.
    ProgramResult WaitForExit(std::chrono::seconds timeout = std::chrono::seconds(60));

private:
    int m_pid = -1;
    std::optional<ProgramResult> m_result;
    std::chrono::steady_clock::time_point m_start;
};

template <typename Finder>
auto CProgram::WaitForScreen(Finder find, std::chrono::seconds timeout)
    -> decltype(find(platform::desktop::CScreenImage())) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsRunning() && std::chrono::steady_clock::now() < deadline) {
        if (auto found = find(Screen())) {
            return found;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
}

// Starts FlipdeckEx (from the build's bin folder) with one argument and waits for it to end; when it
// shows the flyout, the flyout is closed with its Close button, as a person would.
ProgramResult RunProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment = {});

// The records of the machine's events.jsonl, optionally only those of one event name prefix.
std::vector<nlohmann::json> ReadEvents(const std::string& prefix = "");
// Waits until there are at least that many records of the prefix; the records there are then.
std::vector<nlohmann::json> WaitForEvents(const std::string& prefix, size_t count,
                                          std::chrono::seconds timeout = std::chrono::seconds(60));
// The records whose event starts with "telemetry.".
std::vector<nlohmann::json> TelemetryEvents();

// The machine offers these features of the grid and no other: the host supports those it keeps and no
// others, the microphone is there or not, the thermal service is left or loses its version; false when
// the tool refuses a change.
bool OfferFeatures(const std::vector<std::string>& features);
// The feature's state as the machine keeps it: the host's ("on", "off" or a level), the microphone's ("on"
// live, "off" muted) or the thermal service's (its mode's word, e.g. "intelligent").
bool SetFeatureState(const std::string& feature, const std::string& state);
// The feature alone in the grid, whatever the brand's order, in the state given.
bool OfferFeatureAlone(const std::string& feature, const std::string& state);
// The feature's entry as the host keeps it (flipdeck-machine feature NAME); null when it cannot be read.
nlohmann::json HostFeature(const std::string& feature);

// Makes the program write its diagnostic log on the machine (the log folder and the host's switch);
// false when the machine cannot be changed.
bool TurnLoggingOn(const testing_support::CTestMachine& machine);
// The text of the program's diagnostic log; empty when there is none.
std::string LogText(const testing_support::CTestMachine& machine);

} // namespace e2e

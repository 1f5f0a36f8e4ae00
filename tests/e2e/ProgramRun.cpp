#include "tests/e2e/ProgramRun.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <sstream>

#include "platform/internal.h"
#include "platform/registry.h"
#include "tests/support/ScreenPng.h"
#include "tests/support/TestMachine.h"

extern char** environ;

namespace e2e {

namespace {

using namespace std::chrono_literals;

// The title bar's blue, also the Close button's background while the mouse is not over it.
const COLORREF kTitleBlue = RGB(0x43, 0x77, 0xEE);
// The dotted keyboard focus frame around a control.
const COLORREF kFocusFrameGrey = RGB(0xB4, 0xB4, 0xB4);
// A focus frame around a button has far more dots than this.
const int kFocusFrameDots = 20;
// The band under a button where its state caption shows: 20 pixels under its square, which reaches a
// little past the circle's rim.
const int kCaptionBandHeight = 24;
// The caption's text is drawn in 0x4D4D4D; its anti-aliased edges are lighter.
const int kInkLevel = 0x90;

const wchar_t* const kLogFolder = L"C:\\Users\\Alex\\AppData\\LocalLow\\Corvex\\ampwise\\log";

// The grid's design: lengths in 378ths of its width; its ground's inset from either side.
const int kGridUnits = 378;
const int kGroundInset = 10;
const int kPlacesPerRow = 5;
// The grid's ground under the hover shade (black at alpha 6).
const COLORREF kShadedGround = RGB(0xEE, 0xEB, 0xE5);

int Spawn(const std::string& argument, const std::vector<std::string>& extraEnvironment) {
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
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool IsButtonCircle(COLORREF colour) {
    return colour == kButtonOff || colour == kButtonOn || colour == kButtonDisabled;
}

bool IsInk(COLORREF colour) {
    return GetRValue(colour) < kInkLevel && GetGValue(colour) < kInkLevel && GetBValue(colour) < kInkLevel;
}

// The button whose circle's topmost pixel of its own colour is at the point.
FeatureButtonOnScreen ButtonFromTop(const platform::desktop::CScreenImage& screen, const RECT& grid,
                                    POINT top) {
    const COLORREF circle = screen.At(top.x, top.y);
    int right = top.x;
    while (screen.At(right + 1, top.y) == circle) {
        ++right;
    }
    const int centreX = (top.x + right) / 2;
    int bottom = top.y;
    for (int y = top.y + 1; y < grid.bottom && screen.At(centreX, y) != kGridGround; ++y) {
        if (screen.At(centreX, y) == circle) {
            bottom = y;
        }
    }
    return FeatureButtonOnScreen{POINT{centreX, (top.y + bottom) / 2}, bottom - top.y + 1, circle};
}

bool IsNear(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 1 && std::abs(GetGValue(a) - GetGValue(b)) <= 1 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 1;
}

std::string PointWords(POINT pt) {
    return std::to_string(pt.x) + " " + std::to_string(pt.y);
}

} // namespace

std::optional<FlyoutOnScreen> FindFlyout(const platform::desktop::CScreenImage& screen) {
    for (int y = 0; y < screen.height; ++y) {
        int right = -1;
        int left = -1;
        for (int x = 0; x < screen.width; ++x) {
            if (screen.At(x, y) == kTitleBlue) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
        if (right < 0) {
            continue;
        }
        int bottom = y;
        // Down the left edge: the Close button at the right end may show its focus frame.
        while (bottom < screen.height && screen.At(left, bottom) == kTitleBlue) {
            ++bottom;
        }
        const int height = bottom - y;
        FlyoutOnScreen flyout;
        flyout.titleBar = RECT{left, y, right + 1, bottom};
        flyout.closeCentre = POINT{right + 1 - height / 2, y + height / 2};
        return flyout;
    }
    return std::nullopt;
}

std::optional<RECT> FindFeatureGrid(const platform::desktop::CScreenImage& screen,
                                    const FlyoutOnScreen& flyout) {
    const RECT& title = flyout.titleBar;
    std::optional<RECT> grid;
    for (int y = title.bottom; y < screen.height; ++y) {
        int left = -1;
        int right = -1;
        for (int x = title.left; x < title.right; ++x) {
            if (screen.At(x, y) == kGridGround) {
                left = left < 0 ? x : left;
                right = x + 1;
            }
        }
        if (left < 0) {
            if (grid) {
                break;
            }
            continue;
        }
        if (!grid) {
            grid = RECT{left, y, right, y + 1};
        }
        grid->left = std::min<LONG>(grid->left, left);
        grid->right = std::max<LONG>(grid->right, right);
        grid->bottom = y + 1;
    }
    return grid;
}

std::optional<FeatureButtonOnScreen> FindFeatureButton(const platform::desktop::CScreenImage& screen,
                                                       const FlyoutOnScreen& flyout) {
    const auto grid = FindFeatureGrid(screen, flyout);
    if (!grid) {
        return std::nullopt;
    }
    for (int y = grid->top; y < grid->bottom; ++y) {
        for (int x = grid->left; x < grid->right; ++x) {
            if (IsButtonCircle(screen.At(x, y))) {
                return ButtonFromTop(screen, *grid, POINT{x, y});
            }
        }
    }
    return std::nullopt;
}

void DelayTimers() {
    testing_support::SetMachineFact(platform::MachineFolder(), "/session/timerLatenessMs", 6000);
}

RECT GridPlace(const RECT& grid, int place) {
    const int w = (grid.right - grid.left) + 2 * kGroundInset + 1;
    const int left = grid.left - kGroundInset - 1;
    const int row = (place - 1) / kPlacesPerRow;
    const int c = (place - 1) % kPlacesPerRow + 1;
    const int side = w * 48 / kGridUnits;
    const int x = left + w * 2 / kGridUnits + w * 22 * c / kGridUnits + (c - 1) * side;
    const int y = grid.top + w * (row == 0 ? 20 : 89) / kGridUnits;
    return RECT{x, y, x + side, y + side};
}

bool IsButtonShownIn(const platform::desktop::CScreenImage& screen, const RECT& place) {
    const double cx = (place.left + place.right - 1) / 2.0;
    const double cy = (place.top + place.bottom - 1) / 2.0;
    const double radius = (place.right - place.left) / 2.0 - 2;
    int inDisc = 0;
    int ground = 0;
    for (int y = place.top; y < place.bottom; ++y) {
        for (int x = place.left; x < place.right; ++x) {
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) > radius * radius) {
                continue;
            }
            ++inDisc;
            const COLORREF colour = screen.At(x, y);
            ground += IsNear(colour, kGridGround) || IsNear(colour, kShadedGround) ? 1 : 0;
        }
    }
    // The square's corners, outside the circle, are the grid's ground: a place below the grid is none.
    const POINT corners[] = {{place.left + 2, place.top + 2},
                             {place.right - 3, place.top + 2},
                             {place.left + 2, place.bottom - 3},
                             {place.right - 3, place.bottom - 3}};
    const bool onGround = std::all_of(std::begin(corners), std::end(corners), [&](POINT corner) {
        const COLORREF colour = screen.At(corner.x, corner.y);
        return IsNear(colour, kGridGround) || IsNear(colour, kShadedGround);
    });
    return onGround && inDisc > 0 && ground * 10 < inDisc;
}

COLORREF CircleColourIn(const platform::desktop::CScreenImage& screen, const RECT& place) {
    const int cx = (place.left + place.right - 1) / 2;
    const int cy = (place.top + place.bottom - 1) / 2;
    const COLORREF samples[] = {screen.At(cx, place.top + 1), screen.At(place.left + 1, cy),
                                screen.At(cx, place.bottom - 3), screen.At(place.right - 3, cy)};
    for (const COLORREF sample : samples) {
        if (std::count(std::begin(samples), std::end(samples), sample) >= 3) {
            return sample;
        }
    }
    return CLR_INVALID;
}

RECT FindStateCaption(const platform::desktop::CScreenImage& screen, const RECT& grid,
                      const FeatureButtonOnScreen& button) {
    const int top = button.centre.y + button.diameter / 2 + 1;
    RECT ink{grid.right, top + kCaptionBandHeight, grid.left, top};
    for (int y = top; y < top + kCaptionBandHeight; ++y) {
        for (int x = grid.left; x < grid.right; ++x) {
            if (IsInk(screen.At(x, y))) {
                ink = RECT{std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y),
                           std::max<LONG>(ink.right, x + 1), std::max<LONG>(ink.bottom, y + 1)};
            }
        }
    }
    return ink.left < ink.right ? ink : RECT{};
}

bool HasFocusFrame(const platform::desktop::CScreenImage& screen, const FeatureButtonOnScreen& button) {
    // The frame is drawn on the button's square, a little outside the circle's own colour.
    const int reach = button.diameter / 2 + 4;
    int dots = 0;
    for (int y = button.centre.y - reach; y <= button.centre.y + reach; ++y) {
        for (int x = button.centre.x - reach; x <= button.centre.x + reach; ++x) {
            dots += screen.At(x, y) == kFocusFrameGrey ? 1 : 0;
        }
    }
    return dots > kFocusFrameDots;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

CProgram::CProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment)
    : m_pid(Spawn(argument, extraEnvironment)), m_start(std::chrono::steady_clock::now()) {
    if (m_pid < 0) {
        m_result = ProgramResult{};
    }
}

CProgram::~CProgram() {
    if (IsRunning()) {
        kill(m_pid, SIGKILL);
        WaitForExit();
    }
}

bool CProgram::IsRunning() {
    if (m_result) {
        return false;
    }
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) != m_pid) {
        return true;
    }
    m_result = ProgramResult{ExitCodeOf(status), std::chrono::duration_cast<std::chrono::milliseconds>(
                                                     std::chrono::steady_clock::now() - m_start)};
    return false;
}

platform::desktop::CScreenImage CProgram::Screen() {
    const auto file = platform::MachineFolder() / "e2e-screen.png";
    std::filesystem::remove(file);
    if (testing_support::RunTool("screen '" + file.string() + "'").exitCode != 0) {
        return {};
    }
    return testing_support::ReadScreenPng(file);
}

std::optional<FlyoutOnScreen> CProgram::WaitForFlyout(std::chrono::seconds timeout) {
    return WaitForScreen([](const platform::desktop::CScreenImage& screen) { return FindFlyout(screen); },
                         timeout);
}

std::optional<FeatureButtonOnScreen> CProgram::WaitForFeatureButton(const FlyoutOnScreen& flyout,
                                                                    COLORREF circle) {
    return WaitForScreen(
        [&](const platform::desktop::CScreenImage& screen) -> std::optional<FeatureButtonOnScreen> {
            const auto button = FindFeatureButton(screen, flyout);
            return button && button->circle == circle ? button : std::nullopt;
        });
}

bool CProgram::Input(const std::string& words) {
    return testing_support::RunTool("input " + words).exitCode == 0;
}

bool CProgram::Click(POINT screenPoint) {
    return Input("click " + PointWords(screenPoint));
}

bool CProgram::MoveMouse(POINT screenPoint) {
    return Input("move " + PointWords(screenPoint));
}

ProgramResult CProgram::WaitForExit(std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsRunning() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
    }
    return m_result.value_or(ProgramResult{});
}

ProgramResult RunProgram(const std::string& argument, const std::vector<std::string>& extraEnvironment) {
    CProgram program(argument, extraEnvironment);
    if (const auto flyout = program.WaitForFlyout()) {
        program.Click(flyout->closeCentre);
    }
    return program.WaitForExit();
}

std::vector<nlohmann::json> ReadEvents(const std::string& prefix) {
    return testing_support::ReadMachineEvents(prefix);
}

std::vector<nlohmann::json> WaitForEvents(const std::string& prefix, size_t count,
                                          std::chrono::seconds timeout) {
    WaitUntil([&] { return ReadEvents(prefix).size() >= count; }, timeout);
    return ReadEvents(prefix);
}

std::vector<nlohmann::json> TelemetryEvents() {
    return ReadEvents("telemetry.");
}

bool TurnLoggingOn(const testing_support::CTestMachine& machine) {
    std::error_code error;
    std::filesystem::create_directories(machine.HostPath(kLogFolder), error);
    HKEY key = nullptr;
    if (error ||
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432Node\\Corvex\\Modern\\Logs", 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const wchar_t zero[] = L"0";
    const bool set = RegSetValueExW(key, L"Plexhost.Service", 0, REG_SZ, reinterpret_cast<const BYTE*>(zero),
                                    sizeof(zero)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return set;
}

std::string LogText(const testing_support::CTestMachine& machine) {
    return platform::ReadWholeFile(machine.HostPath(std::wstring(kLogFolder) + L"\\quickpanel.log"))
        .value_or("");
}

bool OfferFeatures(const std::vector<std::string>& features) {
    const auto list = testing_support::RunTool("feature list");
    if (list.exitCode != 0) {
        return false;
    }
    std::vector<std::string> offered = features;
    // The e-course mode needs the audio profile that the Dolby audio feature stands for; no button of the
    // grid shows the Dolby audio feature itself.
    if (std::find(features.begin(), features.end(), "ECourseMode") != features.end()) {
        offered.push_back("DolbyAudio");
    }
    const auto isOffered = [&offered](const std::string& name) {
        return std::find(offered.begin(), offered.end(), name) != offered.end();
    };
    std::istringstream lines(list.output);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(0, line.find(':'));
        const bool keptByHost = line.find(": kept ") == std::string::npos;
        const std::string supported = isOffered(name) ? "yes" : "no";
        if (keptByHost &&
            testing_support::RunTool("feature " + name + " --supported " + supported).exitCode) {
            return false;
        }
    }
    // The microphone is the audio device's, not the host's; the thermal modes are the thermal service's,
    // which without its version counts as absent (machines without it have nothing to remove).
    if (testing_support::RunTool(std::string("audio microphone ") +
                                 (isOffered("Microphone") ? "present" : "absent"))
            .exitCode != 0) {
        return false;
    }
    if (!isOffered("IntelligentCooling")) {
        testing_support::RunTool(
            "reg delete 'HKLM\\SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC' Version");
    }
    return true;
}

bool SetFeatureState(const std::string& feature, const std::string& state) {
    if (feature == "Microphone") {
        return testing_support::RunTool(std::string("audio mute ") + (state == "on" ? "off" : "on"))
                   .exitCode == 0;
    }
    if (feature == "IntelligentCooling") {
        return testing_support::RunTool("feature IntelligentCooling --mode " + state).exitCode == 0;
    }
    return testing_support::RunTool("feature " + feature + " --state " + state).exitCode == 0;
}

bool OfferFeatureAlone(const std::string& feature, const std::string& state) {
    return OfferFeatures({feature}) && SetFeatureState(feature, state);
}

nlohmann::json HostFeature(const std::string& feature) {
    const auto shown = testing_support::RunTool("feature " + feature);
    const size_t colon = shown.output.find(": ");
    return colon == std::string::npos ? nlohmann::json()
                                      : nlohmann::json::parse(shown.output.substr(colon + 2), nullptr, false);
}

} // namespace e2e

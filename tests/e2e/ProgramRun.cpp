#include "tests/e2e/ProgramRun.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <thread>

#include "platform/internal.h"
#include "tests/support/ScreenPng.h"
#include "tests/support/TestMachine.h"

extern char** environ;

namespace e2e {

namespace {

using namespace std::chrono_literals;

// The title bar's blue, also the Close button's background while the mouse is not over it.
const COLORREF kTitleBlue = RGB(0x43, 0x77, 0xEE);

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
        while (bottom < screen.height && screen.At(right, bottom) == kTitleBlue) {
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
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsRunning() && std::chrono::steady_clock::now() < deadline) {
        if (auto flyout = FindFlyout(Screen())) {
            return flyout;
        }
        std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
}

bool CProgram::Input(const std::string& words) {
    return testing_support::RunTool("input " + words).exitCode == 0;
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
        program.Input("click " + std::to_string(flyout->closeCentre.x) + " " +
                      std::to_string(flyout->closeCentre.y));
    }
    return program.WaitForExit();
}

std::vector<nlohmann::json> ReadEvents(const std::string& prefix) {
    return testing_support::ReadMachineEvents(prefix);
}

std::vector<nlohmann::json> TelemetryEvents() {
    return ReadEvents("telemetry.");
}

} // namespace e2e

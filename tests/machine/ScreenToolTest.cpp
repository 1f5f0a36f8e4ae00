// flipdeck-machine input and screen: driving a program that runs a window on the machine, and reading
// its screen, through the channel the program's layer serves.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/window/ScreenChannel.h"
#include "tests/machine/ChannelTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScreenPng.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CChildProcess;
using testing_support::CTestMachine;
using testing_support::RunTool;

const COLORREF kTargetColor = RGB(200, 30, 40);
const RECT kTargetRect{100, 100, 200, 150};

// What the target window saw, as its exit code.
enum ETargetExit { kClickedAtPoint = 10, kClickedElsewhere, kEscape, kWheelDown, kTimedOut };

LRESULT TargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        HBRUSH brush = CreateSolidBrush(kTargetColor);
        FillRect(hdc, &ps.rcPaint, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONUP:
        PostQuitMessage(LOWORD(lParam) == 20 && HIWORD(lParam) == 10 ? kClickedAtPoint : kClickedElsewhere);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostQuitMessage(kEscape);
        }
        return 0;
    case WM_MOUSEWHEEL:
        if (GET_WHEEL_DELTA_WPARAM(wParam) == -2 * WHEEL_DELTA) {
            PostQuitMessage(kWheelDown);
        }
        return 0;
    case WM_TIMER:
        PostQuitMessage(kTimedOut);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// A program with one red window at kTargetRect, serving the channel; it ends on the first input that
// its exit code tells.
FLIPDECK_CHILD_ACTION(screen_target) {
    if (!platform::desktop::ServeScreenChannel()) {
        return 1;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TargetProc;
    windowClass.lpszClassName = L"ScreenToolTarget";
    RegisterClassExW(&windowClass);
    const HWND hwnd =
        CreateWindowExW(0, L"ScreenToolTarget", L"", WS_POPUP | WS_VISIBLE, kTargetRect.left, kTargetRect.top,
                        kTargetRect.right - kTargetRect.left, kTargetRect.bottom - kTargetRect.top, nullptr,
                        nullptr, nullptr, nullptr);
    SetForegroundWindow(hwnd);
    SetTimer(hwnd, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Waits (bounded) until the target's first screen is out, so its channel serves.
bool WaitForTarget(const CTestMachine& machine) {
    return channel_test::WaitForFile(machine.Folder() / "screen.png");
}

struct InputCase {
    std::vector<const char*> commands;
    int exitCode;
};

TEST(ScreenTool, InputReachesTheRunningProgramsWindow) {
    const InputCase cases[] = {
        {{"input click 120 110"}, kClickedAtPoint},
        {{"input click 150 140"}, kClickedElsewhere},
        {{"input key Escape"}, kEscape},
        {{"input move 150 120", "input wheel -2"}, kWheelDown},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.commands.back());
        CTestMachine machine;
        CChildProcess target("screen_target");
        ASSERT_TRUE(WaitForTarget(machine));
        for (const char* command : test.commands) {
            const auto result = RunTool(command);
            EXPECT_EQ(result.exitCode, 0) << command << ": " << result.output;
        }
        EXPECT_EQ(target.Wait(), test.exitCode);
    }
}

TEST(ScreenTool, ScreenWritesTheProgramsComposedScreen) {
    CTestMachine machine;
    CChildProcess target("screen_target");
    ASSERT_TRUE(WaitForTarget(machine));
    const std::filesystem::path file = machine.Folder() / "tool-screen.png";
    const auto result = RunTool("screen '" + file.string() + "'");
    ASSERT_EQ(result.exitCode, 0) << result.output;

    const auto written = testing_support::ReadScreenPng(file);
    const auto presented = testing_support::ReadScreenPng(machine.Folder() / "screen.png");
    const RECT screen = platform::desktop::ScreenRect();
    EXPECT_EQ(written.width, screen.right - screen.left);
    EXPECT_EQ(written.height, screen.bottom - screen.top);
    ASSERT_FALSE(written.pixels.empty());
    EXPECT_TRUE(written.pixels == presented.pixels) << "the same composed screen the presenter shows";
    EXPECT_EQ(written.At(kTargetRect.left, kTargetRect.top), kTargetColor);
    EXPECT_EQ(written.At(kTargetRect.right - 1, kTargetRect.bottom - 1), kTargetColor);
    EXPECT_NE(written.At(kTargetRect.right, kTargetRect.bottom), kTargetColor);

    EXPECT_EQ(RunTool("key escape").exitCode, 2) << "not a command";
    EXPECT_EQ(RunTool("input key escape").exitCode, 0);
    EXPECT_EQ(target.Wait(), kEscape);
}

// A socket file left behind by a program that ended.
void LeaveStaleSocket(const std::filesystem::path& folder) {
    const std::string path = (folder / "screen.sock").string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(fd);
}

TEST(ScreenTool, WithoutARunningProgramTheToolSaysSo) {
    CTestMachine machine;
    for (bool stale : {false, true}) {
        SCOPED_TRACE(stale ? "stale socket" : "no socket");
        if (stale) {
            LeaveStaleSocket(machine.Folder());
        }
        for (const char* command : {"input click 10 10", "screen out.png"}) {
            const auto result = RunTool(command);
            EXPECT_EQ(result.exitCode, 1) << command;
            EXPECT_NE(result.output.find("no program runs"), std::string::npos) << result.output;
        }
    }
}

TEST(ScreenTool, BadWordsAreUsageErrors) {
    CTestMachine machine;
    for (const char* command : {"input", "input click 10", "input click ten 10", "input move 1 2 3",
                                "input wheel", "input wheel 1.5", "input key", "input key F13",
                                "input key nosuchkey", "input jump 1 1", "screen", "screen a.png b.png"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(RunTool(command).exitCode, 2);
    }
}

TEST(ScreenTool, ServedAnswersThatAreNotAScreenAreRefused) {
    for (const char* answer :
         {"", "ok\n", "ok 2 1\n1234", "ok 2 1\n12345678x", "ok -2 1\n", "error busy\n", "ok 65536 65536\n"}) {
        SCOPED_TRACE(answer);
        EXPECT_FALSE(platform::desktop::ParseScreenAnswer(answer));
    }
    const auto screen =
        platform::desktop::ParseScreenAnswer(std::string("ok 2 1\n\x03\x02\x01\x00\x30\x20\x10\x00", 15));
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->At(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(screen->At(1, 0), RGB(0x10, 0x20, 0x30));
}

} // namespace

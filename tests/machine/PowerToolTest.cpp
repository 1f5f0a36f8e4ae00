// flipdeck-machine power: the machine's power facts, and the notification a program running on the
// machine receives through the channel its layer serves.
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/power.h"
#include "platform/window.h"
#include "platform/window/ScreenChannel.h"
#include "tests/machine/ChannelTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CChildProcess;
using testing_support::CTestMachine;
using testing_support::RunTool;

constexpr char kReadyFile[] = "power-target.ready";

// What the target's first power notification was, as its exit code.
enum ETargetExit { kExpected = 10, kUnexpected, kTimedOut, kNotRegistered };

struct SSetting {
    const char* name;
    GUID guid;
};

const SSetting kSettings[] = {
    {"source", GUID_ACDC_POWER_SOURCE},
    {"battery", GUID_BATTERY_PERCENTAGE_REMAINING},
    {"monitor", GUID_MONITOR_POWER_ON},
};

GUID g_expectedSetting{};
DWORD g_expectedValue = 0;

LRESULT TargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_POWERBROADCAST && wParam == PBT_POWERSETTINGCHANGE) {
        const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
        DWORD value = 0;
        std::memcpy(&value, setting->Data, sizeof(value));
        const bool expected = setting->PowerSetting == g_expectedSetting &&
                              setting->DataLength == sizeof(DWORD) && value == g_expectedValue;
        PostQuitMessage(expected ? kExpected : kUnexpected);
        return TRUE;
    }
    if (message == WM_TIMER) {
        PostQuitMessage(kTimedOut);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A program with one window registered for the three power settings, serving the channel; it ends on
// its first power notification, telling whether it was the setting and value of its arguments.
FLIPDECK_CHILD_ACTION(power_target) {
    for (const auto& setting : kSettings) {
        if (args.size() == 2 && args[0] == setting.name) {
            g_expectedSetting = setting.guid;
            g_expectedValue = static_cast<DWORD>(std::stoul(args[1]));
        }
    }
    if (!platform::desktop::ServeScreenChannel()) {
        return 1;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = TargetProc;
    windowClass.lpszClassName = L"PowerToolTarget";
    RegisterClassExW(&windowClass);
    const HWND hwnd = CreateWindowExW(0, L"PowerToolTarget", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
    for (const auto& setting : kSettings) {
        if (!RegisterPowerSettingNotification(hwnd, &setting.guid, DEVICE_NOTIFY_WINDOW_HANDLE)) {
            return kNotRegistered;
        }
    }
    SetTimer(hwnd, 1, 60000, nullptr);
    std::ofstream(platform::MachineFolderPath() / kReadyFile) << "ready\n";
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// Waits (bounded) until the target has registered and serves the channel.
bool WaitForTarget(const CTestMachine& machine) {
    return channel_test::WaitForFile(machine.Folder() / kReadyFile);
}

struct SToolCase {
    const char* command;
    const char* setting;
    const char* value;
    const char* fact;
    nlohmann::json factValue;
};

TEST(PowerTool, TheRunningProgramIsNotifiedOfTheChangeAndTheFactChanges) {
    const SToolCase cases[] = {
        {"power source dc", "source", "1", "/power/acLine", false},
        {"power battery 42", "battery", "42", "/power/batteryPercent", 42},
        {"power battery none", "battery", "0", "/power/battery", "none"},
        {"power monitor off", "monitor", "0", "/power/monitorOn", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        CTestMachine machine;
        CChildProcess target("power_target", {c.setting, c.value});
        ASSERT_TRUE(WaitForTarget(machine));
        const auto result = RunTool(c.command);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(target.Wait(), kExpected);
        EXPECT_EQ(platform::MachineFact(c.fact), c.factValue);
    }
}

// What GetSystemPowerStatus answers on the machine after each step.
struct SStatusStep {
    const char* command;
    bool readable;
    BYTE acLine;
    BYTE flag;
    BYTE percent;
    DWORD lifeTime;
};

TEST(PowerTool, TheSystemReportsTheBatteryItsTimeAndAnUnreadableStatusAsTheToolSetsThem) {
    CTestMachine machine;
    const SStatusStep steps[] = {
        {"power source dc", true, AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 80, BATTERY_LIFE_UNKNOWN},
        {"power remaining 3660", true, AC_LINE_OFFLINE, BATTERY_FLAG_HIGH, 80, 3660},
        {"power battery none", true, AC_LINE_OFFLINE, BATTERY_FLAG_NO_BATTERY, BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"power battery unknown", true, AC_LINE_OFFLINE, BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"power battery 35", true, AC_LINE_OFFLINE, 0, 35, 3660},
        {"power remaining unknown", true, AC_LINE_OFFLINE, 0, 35, BATTERY_LIFE_UNKNOWN},
        {"power source ac", true, AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 35, BATTERY_LIFE_UNKNOWN},
        {"power status unreadable", false, 0, 0, 0, 0},
        {"power status readable", true, AC_LINE_ONLINE, BATTERY_FLAG_CHARGING, 35, BATTERY_LIFE_UNKNOWN},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        const auto result = RunTool(step.command);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        SYSTEM_POWER_STATUS status{};
        ASSERT_EQ(GetSystemPowerStatus(&status) != FALSE, step.readable);
        if (!step.readable) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
            continue;
        }
        EXPECT_EQ(status.ACLineStatus, step.acLine);
        EXPECT_EQ(status.BatteryFlag, step.flag);
        EXPECT_EQ(status.BatteryLifePercent, step.percent);
        EXPECT_EQ(status.BatteryLifeTime, step.lifeTime);
    }
}

TEST(PowerTool, AValueTheMachineAlreadyHasNotifiesNothing) {
    CTestMachine machine;
    CChildProcess target("power_target", {"source", "1"});
    ASSERT_TRUE(WaitForTarget(machine));
    for (const char* command : {"power source ac", "power monitor on", "power source dc"}) {
        const auto result = RunTool(command);
        EXPECT_EQ(result.exitCode, 0) << command << ": " << result.output;
    }
    EXPECT_EQ(target.Wait(), kExpected) << "the first notification is the change to battery power";
}

TEST(PowerTool, WithoutARunningProgramOnlyTheFactsChange) {
    CTestMachine machine;
    const auto result = RunTool("power battery 7");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find("no program runs"), std::string::npos) << result.output;
    EXPECT_EQ(platform::MachineFact("/power/batteryPercent"), 7);
}

TEST(PowerTool, PowerFactsThatAreNoObjectAreLeftAsTheyAre) {
    CTestMachine machine;
    testing_support::SetMachineFact(machine.Folder(), "/power", "mains");
    const auto result = RunTool("power battery 7");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("cannot change the facts"), std::string::npos) << result.output;
    EXPECT_EQ(platform::MachineFact("/power"), "mains");
}

TEST(PowerTool, BadWordsAreUsageErrors) {
    CTestMachine machine;
    for (const char* command :
         {"power", "power source", "power source up", "power source AC dc", "power battery 101",
          "power battery -1", "power battery 5.5", "power battery x", "power monitor dim", "power lid closed",
          "power battery None", "power remaining -5", "power remaining 1.5", "power remaining 4294967295",
          "power status", "power status maybe"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(RunTool(command).exitCode, 2);
    }
    EXPECT_EQ(platform::MachineFact("/power/batteryPercent"), 80) << "the profile's charge stays";
}

TEST(PowerTool, TheChannelRefusesPowerRequestsOutsideTheSettingsRanges) {
    CTestMachine machine;
    CChildProcess target("power_target", {"battery", "100"});
    ASSERT_TRUE(WaitForTarget(machine));
    for (const char* request : {"power", "power source", "power source 2", "power battery 101",
                                "power battery -1", "power monitor 1 1", "power lid 1", "power source x"}) {
        SCOPED_TRACE(request);
        EXPECT_EQ(platform::desktop::RequestScreenChannel(machine.Folder(), request),
                  "error unknown request\n");
    }
    EXPECT_EQ(platform::desktop::RequestScreenChannel(machine.Folder(), "power battery 100"), "ok\n");
    EXPECT_EQ(target.Wait(), kExpected);
}

} // namespace

// Power-setting notifications: registrations of windows, WM_POWERBROADCAST with the setting's GUID and
// data on the window's thread, and what unregistering and destroyed windows change.
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/threads.h"
#include "platform/window.h"
#include "platform/window/PowerNotify.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/support/TestMachine.h"

namespace {

using platform::desktop::NotifyPowerSettingChange;

// One WM_POWERBROADCAST as the window's procedure saw it.
struct SNotification {
    HWND window;
    WPARAM event;
    GUID setting;
    DWORD length;
    DWORD value;
    DWORD thread;
};

std::mutex g_lock;
std::vector<SNotification> g_notifications;

LRESULT PowerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_POWERBROADCAST) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
    DWORD value = 0;
    std::memcpy(&value, setting->Data, sizeof(value));
    std::lock_guard lock(g_lock);
    g_notifications.push_back(
        {hwnd, wParam, setting->PowerSetting, setting->DataLength, value, GetCurrentThreadId()});
    return TRUE;
}

class PowerNotify : public testing::Test {
protected:
    PowerNotify() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PowerWindowProc;
        wc.lpszClassName = L"PowerNotifyWindow";
        RegisterClassExW(&wc);
        TakeNotifications();
    }
    ~PowerNotify() override {
        for (const HPOWERNOTIFY handle : m_registrations) {
            UnregisterPowerSettingNotification(handle);
        }
        for (const HWND hwnd : m_windows) {
            DestroyWindow(hwnd);
        }
    }

    HWND MakeWindow() {
        const HWND hwnd = CreateWindowExW(0, L"PowerNotifyWindow", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, nullptr, nullptr);
        m_windows.push_back(hwnd);
        return hwnd;
    }

    HPOWERNOTIFY Register(HWND hwnd, const GUID& setting) {
        const HPOWERNOTIFY handle =
            RegisterPowerSettingNotification(hwnd, &setting, DEVICE_NOTIFY_WINDOW_HANDLE);
        m_registrations.push_back(handle);
        return handle;
    }

    // The change as the system makes it, from another thread, while this one runs its messages.
    static bool NotifyFromAnotherThread(const GUID& setting, DWORD value) {
        std::atomic<bool> done{false};
        std::thread notifier([&] {
            NotifyPowerSettingChange(setting, value);
            done = true;
        });
        const bool delivered = window_test::PumpUntil([&] { return done.load(); });
        notifier.join();
        return delivered;
    }

    static std::vector<SNotification> TakeNotifications() {
        std::lock_guard lock(g_lock);
        return std::exchange(g_notifications, {});
    }

    testing_support::CTestMachine m_machine;
    std::vector<HWND> m_windows;
    std::vector<HPOWERNOTIFY> m_registrations;
};

struct SDeliveryCase {
    const char* label;
    GUID setting;
    DWORD value;
    std::vector<int> windows; // indexes into the test's windows, in the order they are notified
};

TEST_F(PowerNotify, EachWindowGetsTheSettingsItRegisteredForWithTheDataOnItsOwnThread) {
    const HWND first = MakeWindow();
    const HWND second = MakeWindow();
    ASSERT_NE(Register(first, GUID_ACDC_POWER_SOURCE), nullptr);
    ASSERT_NE(Register(second, GUID_BATTERY_PERCENTAGE_REMAINING), nullptr);
    ASSERT_NE(Register(first, GUID_BATTERY_PERCENTAGE_REMAINING), nullptr);
    ASSERT_NE(Register(second, GUID_MONITOR_POWER_ON), nullptr);
    const HWND windows[] = {first, second};
    const SDeliveryCase cases[] = {
        {"on battery", GUID_ACDC_POWER_SOURCE, 1, {0}},
        {"on AC", GUID_ACDC_POWER_SOURCE, 0, {0}},
        {"battery charge", GUID_BATTERY_PERCENTAGE_REMAINING, 57, {1, 0}},
        {"monitor off", GUID_MONITOR_POWER_ON, 0, {1}},
        {"a setting nobody registered for", GUID_NULL, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(NotifyFromAnotherThread(c.setting, c.value));
        const std::vector<SNotification> notifications = TakeNotifications();
        ASSERT_EQ(notifications.size(), c.windows.size());
        for (size_t i = 0; i < notifications.size(); ++i) {
            EXPECT_EQ(notifications[i].window, windows[c.windows[i]]);
            EXPECT_EQ(notifications[i].event, PBT_POWERSETTINGCHANGE);
            EXPECT_TRUE(notifications[i].setting == c.setting);
            EXPECT_EQ(notifications[i].length, sizeof(DWORD));
            EXPECT_EQ(notifications[i].value, c.value);
            EXPECT_EQ(notifications[i].thread, GetCurrentThreadId());
        }
    }
}

TEST_F(PowerNotify, AnUnregisteredHandleGetsNothingMoreAndUnregistersOnlyOnce) {
    const HWND hwnd = MakeWindow();
    const HPOWERNOTIFY battery = Register(hwnd, GUID_BATTERY_PERCENTAGE_REMAINING);
    ASSERT_NE(Register(hwnd, GUID_ACDC_POWER_SOURCE), nullptr);
    ASSERT_TRUE(UnregisterPowerSettingNotification(battery));

    NotifyPowerSettingChange(GUID_BATTERY_PERCENTAGE_REMAINING, 40);
    EXPECT_TRUE(TakeNotifications().empty());
    NotifyPowerSettingChange(GUID_ACDC_POWER_SOURCE, 1);
    EXPECT_EQ(TakeNotifications().size(), 1u) << "the window's other registration stays";

    for (const HPOWERNOTIFY handle : {battery, static_cast<HPOWERNOTIFY>(nullptr)}) {
        SetLastError(0);
        EXPECT_FALSE(UnregisterPowerSettingNotification(handle));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

TEST_F(PowerNotify, ADestroyedWindowGetsNothingAndItsRegistrationStillUnregisters) {
    const HWND gone = MakeWindow();
    const HWND alive = MakeWindow();
    const HPOWERNOTIFY handle = Register(gone, GUID_MONITOR_POWER_ON);
    ASSERT_NE(Register(alive, GUID_MONITOR_POWER_ON), nullptr);
    ASSERT_TRUE(DestroyWindow(gone));

    ASSERT_TRUE(NotifyFromAnotherThread(GUID_MONITOR_POWER_ON, 1));
    const std::vector<SNotification> notifications = TakeNotifications();
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].window, alive);
    EXPECT_TRUE(UnregisterPowerSettingNotification(handle));
}

struct SRefusedCase {
    const char* label;
    bool destroyedWindow;
    bool window;
    const GUID* setting;
    DWORD flags;
    DWORD error;
};

TEST_F(PowerNotify, RegistrationNeedsALiveWindowASettingAndTheWindowRecipientFlag) {
    const HWND destroyed = MakeWindow();
    DestroyWindow(destroyed);
    const HWND hwnd = MakeWindow();
    const SRefusedCase cases[] = {
        {"null window", false, false, &GUID_ACDC_POWER_SOURCE, DEVICE_NOTIFY_WINDOW_HANDLE,
         ERROR_INVALID_WINDOW_HANDLE},
        {"destroyed window", true, false, &GUID_ACDC_POWER_SOURCE, DEVICE_NOTIFY_WINDOW_HANDLE,
         ERROR_INVALID_WINDOW_HANDLE},
        {"no setting", false, true, nullptr, DEVICE_NOTIFY_WINDOW_HANDLE, ERROR_INVALID_PARAMETER},
        {"a service recipient", false, true, &GUID_ACDC_POWER_SOURCE, 1, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const HWND recipient = c.destroyedWindow ? destroyed : c.window ? hwnd : nullptr;
        SetLastError(0);
        EXPECT_EQ(RegisterPowerSettingNotification(recipient, c.setting, c.flags), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    NotifyPowerSettingChange(GUID_ACDC_POWER_SOURCE, 1);
    EXPECT_TRUE(TakeNotifications().empty());
}

} // namespace

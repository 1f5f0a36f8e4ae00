// Power-setting notifications: the windows registered for each setting, and the delivery of a change.
#include "platform/window/PowerNotify.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace platform::desktop {

namespace {

constexpr uintptr_t kFirstRegistration = 0x30010;
constexpr uintptr_t kRegistrationStep = 0x10;

struct SRegistration {
    HWND window;
    GUID setting;
};

// Handle values grow, so an unregistered handle never names a later registration.
class CRegistrations {
public:
    HPOWERNOTIFY Add(HWND window, REFGUID setting) {
        std::lock_guard lock(m_lock);
        const uintptr_t value = m_next;
        m_next += kRegistrationStep;
        m_registrations.emplace(value, SRegistration{window, setting});
        return reinterpret_cast<HPOWERNOTIFY>(value);
    }

    bool Remove(HPOWERNOTIFY handle) {
        std::lock_guard lock(m_lock);
        return m_registrations.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
    }

    std::vector<HWND> WindowsFor(REFGUID setting) const {
        std::lock_guard lock(m_lock);
        std::vector<HWND> windows;
        for (const auto& [value, registration] : m_registrations) {
            if (registration.setting == setting) {
                windows.push_back(registration.window);
            }
        }
        return windows;
    }

private:
    mutable std::mutex m_lock;
    std::map<uintptr_t, SRegistration> m_registrations;
    uintptr_t m_next = kFirstRegistration;
};

// Lives to the end of the process, as the window table does.
CRegistrations& Registrations() {
    static auto* registrations = new CRegistrations;
    return *registrations;
}

// A POWERBROADCAST_SETTING with a DWORD of data, for one window.
class CDwordSetting {
public:
    CDwordSetting(REFGUID setting, DWORD value) {
        new (m_bytes) POWERBROADCAST_SETTING{setting, sizeof(DWORD), {}};
        std::memcpy(m_bytes + kDataOffset, &value, sizeof(value));
    }
    LPARAM Param() { return reinterpret_cast<LPARAM>(m_bytes); }

private:
    static constexpr size_t kDataOffset = offsetof(POWERBROADCAST_SETTING, Data);
    alignas(POWERBROADCAST_SETTING) BYTE m_bytes[kDataOffset + sizeof(DWORD) > sizeof(POWERBROADCAST_SETTING)
                                                     ? kDataOffset + sizeof(DWORD)
                                                     : sizeof(POWERBROADCAST_SETTING)];
};

} // namespace

void NotifyPowerSettingChange(REFGUID setting, DWORD value) {
    for (const HWND window : Registrations().WindowsFor(setting)) {
        CDwordSetting data(setting, value);
        SendMessageW(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, data.Param());
    }
}

} // namespace platform::desktop

using namespace platform::desktop;

HPOWERNOTIFY RegisterPowerSettingNotification(HANDLE hRecipient, LPCGUID PowerSettingGuid, DWORD Flags) {
    if (Flags != DEVICE_NOTIFY_WINDOW_HANDLE || !PowerSettingGuid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HWND window = static_cast<HWND>(hRecipient);
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return Registrations().Add(window, *PowerSettingGuid);
}

BOOL UnregisterPowerSettingNotification(HPOWERNOTIFY Handle) {
    if (!Registrations().Remove(Handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

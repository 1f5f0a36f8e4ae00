#include "services/PowerStatusInfo.h"

#include <mutex>

#include "platform/registry.h"

namespace {

// The buttons' workers change their bits at the same time: the read-modify-write is serialised.
std::mutex g_powerStatusInfoLock;

HKEY OpenToolbarKey() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise", 0,
                      KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, &hKey) == ERROR_SUCCESS ||
        RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Corvex\\Ampwise", 0, KEY_READ | KEY_WRITE, &hKey) ==
            ERROR_SUCCESS) {
        return hKey;
    }
    return nullptr;
}

} // namespace

void SetPowerStatusInfoBit(int nBit, FeatureState state) {
    if (nBit < 0 || nBit > 31) {
        return;
    }
    std::lock_guard lock(g_powerStatusInfoLock);
    HKEY hKey = OpenToolbarKey();
    if (!hKey) {
        return;
    }
    DWORD dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    DWORD dwType = 0;
    if (RegQueryValueExW(hKey, L"PowerStatusInfo", nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue),
                         &cbValue) != ERROR_SUCCESS ||
        dwType != REG_DWORD) {
        dwValue = 0;
    }
    dwValue &= ~(1u << nBit);
    if (state == FeatureStateOn) {
        dwValue |= 1u << nBit;
    }
    RegSetValueExW(hKey, L"PowerStatusInfo", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                   sizeof(dwValue));
    RegCloseKey(hKey);
}

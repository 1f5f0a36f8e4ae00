#include "services/PowerStatusInfo.h"

#include <mutex>

#include "services/Registry.h"

namespace {

// The buttons' workers change their bits at the same time: the read-modify-write is serialised.
std::mutex g_powerStatusInfoLock;

} // namespace

void SetPowerStatusInfoBit(int nBit, FeatureState state) {
    if (nBit < 0 || nBit > 31) {
        return;
    }
    std::lock_guard lock(g_powerStatusInfoLock);
    CRegistry key;
    if (!key.OpenToolbarKey()) {
        return;
    }
    HKEY hKey = key.m_hKey;
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
}

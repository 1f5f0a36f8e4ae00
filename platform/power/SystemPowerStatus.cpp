// The power status from the machine's power facts, read again at each call so that a changed machine
// answers at once.
#include <optional>

#include "platform/internal.h"
#include "platform/power.h"

namespace platform {

namespace {

constexpr int kHighAbove = 66;
constexpr int kLowBelow = 33;
constexpr int kCriticalBelow = 5;
constexpr int kFull = 100;

BYTE AcLineStatusOf(const nlohmann::json& acLine) {
    if (!acLine.is_boolean()) {
        return AC_LINE_UNKNOWN;
    }
    return acLine.get<bool>() ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
}

nlohmann::json FactOf(const nlohmann::json& power, const char* name) {
    return power.value(name, nlohmann::json());
}

// The charge of a present battery; none when its charge is missing or malformed.
std::optional<int> BatteryPercentOf(const nlohmann::json& power) {
    const nlohmann::json percent = FactOf(power, "batteryPercent");
    if (!percent.is_number_integer()) {
        return std::nullopt;
    }
    const auto value = percent.get<long long>();
    return value >= 0 && value <= kFull ? std::optional(static_cast<int>(value)) : std::nullopt;
}

BYTE ChargeFlagOf(int percent, BYTE acLineStatus) {
    BYTE flag = 0;
    if (percent > kHighAbove) {
        flag = BATTERY_FLAG_HIGH;
    } else if (percent < kCriticalBelow) {
        flag = BATTERY_FLAG_CRITICAL;
    } else if (percent < kLowBelow) {
        flag = BATTERY_FLAG_LOW;
    }
    if (acLineStatus == AC_LINE_ONLINE && percent < kFull) {
        flag |= BATTERY_FLAG_CHARGING;
    }
    return flag;
}

DWORD LifeTimeOf(const nlohmann::json& power, BYTE acLineStatus) {
    const nlohmann::json seconds = FactOf(power, "batteryLifeSeconds");
    if (acLineStatus != AC_LINE_OFFLINE || !seconds.is_number_integer()) {
        return BATTERY_LIFE_UNKNOWN;
    }
    const auto value = seconds.get<long long>();
    return value >= 0 && value < BATTERY_LIFE_UNKNOWN ? static_cast<DWORD>(value) : BATTERY_LIFE_UNKNOWN;
}

} // namespace

} // namespace platform

BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS lpSystemPowerStatus) {
    if (!lpSystemPowerStatus) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    nlohmann::json power = platform::MachineFact("/power");
    if (!power.is_object()) {
        power = nlohmann::json::object();
    }
    if (platform::FactOf(power, "readable") == false) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    SYSTEM_POWER_STATUS status{};
    const nlohmann::json battery = platform::FactOf(power, "battery");
    status.ACLineStatus = platform::AcLineStatusOf(platform::FactOf(power, "acLine"));
    status.BatteryFlag = battery == "none" ? BATTERY_FLAG_NO_BATTERY : BATTERY_FLAG_UNKNOWN;
    status.BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    status.BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    status.BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    const std::optional<int> percent = platform::BatteryPercentOf(power);
    if (battery != "none" && battery != "unknown" && percent) {
        status.BatteryFlag = platform::ChargeFlagOf(*percent, status.ACLineStatus);
        status.BatteryLifePercent = static_cast<BYTE>(*percent);
        status.BatteryLifeTime = platform::LifeTimeOf(power, status.ACLineStatus);
    }
    *lpSystemPowerStatus = status;
    return TRUE;
}

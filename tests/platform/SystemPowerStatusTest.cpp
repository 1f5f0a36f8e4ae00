// The system's power status from the machine's power facts: the power source, the battery's charge
// flags and percentage, a missing or unreadable battery, and the time left on battery.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/power.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using testing_support::SetMachineFact;

struct PowerCase {
    const char* name;
    nlohmann::json power; // the "/power" fact; null removes it
    BYTE acLine;
    BYTE flag;
    BYTE percent;
    DWORD lifeTime;
};

TEST(SystemPowerStatus, FollowsTheMachinesPowerFacts) {
    const PowerCase cases[] = {
        {"the profile's",
         {{"acLine", true}, {"batteryPercent", 80}},
         AC_LINE_ONLINE,
         BATTERY_FLAG_HIGH | BATTERY_FLAG_CHARGING,
         80,
         BATTERY_LIFE_UNKNOWN},
        {"full on AC",
         {{"acLine", true}, {"batteryPercent", 100}},
         AC_LINE_ONLINE,
         BATTERY_FLAG_HIGH,
         100,
         BATTERY_LIFE_UNKNOWN},
        {"half on battery",
         {{"acLine", false}, {"batteryPercent", 50}, {"batteryLifeSeconds", 3660}},
         AC_LINE_OFFLINE,
         0,
         50,
         3660},
        {"low",
         {{"acLine", false}, {"batteryPercent", 32}},
         AC_LINE_OFFLINE,
         BATTERY_FLAG_LOW,
         32,
         BATTERY_LIFE_UNKNOWN},
        {"critical",
         {{"acLine", false}, {"batteryPercent", 4}},
         AC_LINE_OFFLINE,
         BATTERY_FLAG_CRITICAL,
         4,
         BATTERY_LIFE_UNKNOWN},
        {"edges of high and low",
         {{"acLine", false}, {"batteryPercent", 66}},
         AC_LINE_OFFLINE,
         0,
         66,
         BATTERY_LIFE_UNKNOWN},
        {"time left only on battery",
         {{"acLine", true}, {"batteryPercent", 33}, {"batteryLifeSeconds", 60}},
         AC_LINE_ONLINE,
         BATTERY_FLAG_CHARGING,
         33,
         BATTERY_LIFE_UNKNOWN},
        {"no battery",
         {{"acLine", true}, {"batteryPercent", 80}, {"battery", "none"}},
         AC_LINE_ONLINE,
         BATTERY_FLAG_NO_BATTERY,
         BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"unreadable battery",
         {{"acLine", false}, {"batteryPercent", 80}, {"battery", "unknown"}},
         AC_LINE_OFFLINE,
         BATTERY_FLAG_UNKNOWN,
         BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"charge beyond full",
         {{"acLine", true}, {"batteryPercent", 101}},
         AC_LINE_ONLINE,
         BATTERY_FLAG_UNKNOWN,
         BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"malformed",
         {{"acLine", "yes"}, {"batteryPercent", "80"}, {"batteryLifeSeconds", -5}},
         AC_LINE_UNKNOWN,
         BATTERY_FLAG_UNKNOWN,
         BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
        {"no power facts", nullptr, AC_LINE_UNKNOWN, BATTERY_FLAG_UNKNOWN, BATTERY_PERCENTAGE_UNKNOWN,
         BATTERY_LIFE_UNKNOWN},
    };
    CTestMachine machine;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetMachineFact(machine.Folder(), "/power", c.power);
        SYSTEM_POWER_STATUS status;
        ASSERT_TRUE(GetSystemPowerStatus(&status));
        EXPECT_EQ(status.ACLineStatus, c.acLine);
        EXPECT_EQ(status.BatteryFlag, c.flag);
        EXPECT_EQ(status.BatteryLifePercent, c.percent);
        EXPECT_EQ(status.SystemStatusFlag, 0);
        EXPECT_EQ(status.BatteryLifeTime, c.lifeTime);
        EXPECT_EQ(status.BatteryFullLifeTime, BATTERY_LIFE_UNKNOWN);
    }
}

TEST(SystemPowerStatus, ANullPointerIsAnInvalidParameter) {
    CTestMachine machine;
    SetLastError(0);
    EXPECT_FALSE(GetSystemPowerStatus(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace

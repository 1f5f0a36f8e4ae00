// The system's power status: the power source and the system battery, read from the machine's power
// facts at each call ("/power": acLine true or false, batteryPercent 0 to 100; battery "none" for a
// machine without a system battery or "unknown" for one whose data cannot be read, a present battery
// when absent; batteryLifeSeconds, the time left on battery when known; readable false for a machine
// whose power status cannot be read at all).
#pragma once

#include "platform/base.h"

#define AC_LINE_OFFLINE 0x00u
#define AC_LINE_ONLINE 0x01u
#define AC_LINE_UNKNOWN 0xFFu

#define BATTERY_FLAG_HIGH 0x01u
#define BATTERY_FLAG_LOW 0x02u
#define BATTERY_FLAG_CRITICAL 0x04u
#define BATTERY_FLAG_CHARGING 0x08u
#define BATTERY_FLAG_NO_BATTERY 0x80u
#define BATTERY_FLAG_UNKNOWN 0xFFu

#define BATTERY_PERCENTAGE_UNKNOWN 0xFFu
#define BATTERY_LIFE_UNKNOWN 0xFFFFFFFFu

struct SYSTEM_POWER_STATUS {
    BYTE ACLineStatus;         // AC_LINE_*
    BYTE BatteryFlag;          // BATTERY_FLAG_*: high above 66 %, low below 33 %, critical below 5 %
    BYTE BatteryLifePercent;   // 0 to 100, or BATTERY_PERCENTAGE_UNKNOWN
    BYTE SystemStatusFlag;     // 1 while the battery saver is on
    DWORD BatteryLifeTime;     // seconds left on battery, or BATTERY_LIFE_UNKNOWN (also on AC)
    DWORD BatteryFullLifeTime; // seconds a full battery lasts, or BATTERY_LIFE_UNKNOWN
};
using LPSYSTEM_POWER_STATUS = SYSTEM_POWER_STATUS*;

// FALSE with ERROR_INVALID_PARAMETER for a null pointer, with ERROR_INVALID_FUNCTION when the status
// cannot be read. A battery is charging while the machine is on
// AC and its charge is below 100 %; facts that are missing or malformed read as unknown.
BOOL GetSystemPowerStatus(LPSYSTEM_POWER_STATUS lpSystemPowerStatus);

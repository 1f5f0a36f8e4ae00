// What the power manager's interface library answers for one battery bay, from the machine's facts:
//   "/power/acLine" (default true), "/power/batteryPercent" (the main battery, 0 to 100; none when
//   "/power/battery" is "none" or "unknown"), "/power/batteryLifeSeconds" (the main battery's time left
//   on its own, when known), "/power/secondBatteryPercent" (the second battery; none without it),
//   "/power/chargeMinutes" (an empty battery's time to full, default 120), "/power/runMinutes" (a full
//   battery's time on its own, default 480), and "/powerManager/answers/main" or "/second": {"status",
//   "timeValid", "minutes"}, each of them taking the place of the computed value (so that a test can make
//   the library answer anything).
#pragma once

#include <cstdint>
#include <optional>

#include <nlohmann/json.hpp>

namespace voltlink {

// The library's status codes.
enum EBatteryStatus : std::int32_t {
    kStatusFull = 1,        // present, on mains power and full
    kStatusRefused = 2,     // a malformed request
    kStatusNoBattery = 3,   // no battery in the bay
    kStatusCharging = 5,    // present and charging
    kStatusDischarging = 7, // present and running on its own
};

struct SBatteryAnswer {
    std::int32_t status = kStatusNoBattery;
    std::int32_t percent = 0;
    std::int32_t charging = 0;
    std::int32_t timeValid = 0; // 1 when minutes holds a time
    std::int32_t minutes = 0;   // time to full while charging, else the time left
};

// The answer for battery 1 (main) or 2 (second) by the facts (MachineFacts()).
SBatteryAnswer AnswerForBattery(int battery, const nlohmann::json& facts);
// The minutes the battery still takes to charge full on mains power, as the facts give them without the
// library's answers (0 for a full battery or one off mains); none without that battery. The host's
// battery plug-in reads the same batteries.
std::optional<int> MinutesToFullCharge(int battery, const nlohmann::json& facts);

} // namespace voltlink

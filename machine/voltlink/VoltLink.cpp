// The power manager's interface library, which the machine installs as VOLTLINK.DLL: its one export
// fills a caller's status record for a battery from the machine's facts (BatteryAnswer.h).
#include <cstdint>
#include <cstring>

#include "machine/voltlink/BatteryAnswer.h"
#include "platform/internal.h"

#define VOLTLINK_EXPORT __attribute__((visibility("default")))

namespace {

constexpr std::uint32_t kStatusRecordSize = 309;
constexpr std::uint32_t kExtraRecordSize = 100;

// The status record's fields, by their byte offsets; the other bytes stay as the caller gave them.
constexpr size_t kBatteryOffset = 4;
constexpr size_t kPercentOffset = 8;
constexpr size_t kChargingOffset = 12;
constexpr size_t kTimeValidOffset = 16;
constexpr size_t kMinutesOffset = 60;

std::uint32_t SizeWord(const void* record) {
    std::uint32_t size = 0;
    std::memcpy(&size, record, sizeof(size));
    return size;
}

void Put(void* record, size_t offset, std::int32_t value) {
    std::memcpy(static_cast<char*>(record) + offset, &value, sizeof(value));
}

bool IsWellFormed(int battery, const void* status, const void* extra) {
    return (battery == 1 || battery == 2) && status && extra && SizeWord(status) == kStatusRecordSize &&
           SizeWord(extra) == kExtraRecordSize;
}

} // namespace

// Battery 1 (main) or 2 (second); the records carry their sizes in their first words. Returns the
// battery's status code.
extern "C" VOLTLINK_EXPORT int SM_GetSmartBatteryStatusEx(int battery, void* status, void* extra) {
    if (!IsWellFormed(battery, status, extra)) {
        return voltlink::kStatusRefused;
    }
    const voltlink::SBatteryAnswer answer = voltlink::AnswerForBattery(battery, platform::MachineFacts());
    Put(status, kBatteryOffset, battery);
    Put(status, kPercentOffset, answer.percent);
    Put(status, kChargingOffset, answer.charging);
    Put(status, kTimeValidOffset, answer.timeValid);
    Put(status, kMinutesOffset, answer.minutes);
    return answer.status;
}

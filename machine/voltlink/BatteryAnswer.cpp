#include "machine/voltlink/BatteryAnswer.h"

#include <optional>

namespace voltlink {

namespace {

constexpr long long kDefaultChargeMinutes = 120;
constexpr long long kDefaultRunMinutes = 480;
constexpr long long kMaxMinutes = 100000;

const nlohmann::json& Member(const nlohmann::json& object, const char* key) {
    static const nlohmann::json missing;
    const auto found = object.is_object() ? object.find(key) : object.end();
    return object.is_object() && found != object.end() ? *found : missing;
}

std::optional<long long> IntegerIn(const nlohmann::json& value, long long low, long long high) {
    if (!value.is_number_integer()) {
        return std::nullopt;
    }
    const long long number = value.get<long long>();
    return number >= low && number <= high ? std::optional(number) : std::nullopt;
}

// An override takes its low 32 bits, whatever the number: the library may answer anything.
void Override(std::int32_t& field, const nlohmann::json& value) {
    if (value.is_number_integer()) {
        field = static_cast<std::int32_t>(static_cast<std::uint32_t>(value.get<long long>()));
    }
}

// The main battery's time left on its own as the system reports it, when it is known.
std::optional<long long> SystemMinutesLeft(int battery, const nlohmann::json& power) {
    const auto seconds = IntegerIn(Member(power, "batteryLifeSeconds"), 0, kMaxMinutes * 60);
    return battery == 1 && seconds ? std::optional(*seconds / 60) : std::nullopt;
}

SBatteryAnswer ComputedAnswer(int battery, long long percent, const nlohmann::json& power) {
    const bool mains = Member(power, "acLine").is_boolean() ? Member(power, "acLine").get<bool>() : true;
    const long long charge =
        IntegerIn(Member(power, "chargeMinutes"), 0, kMaxMinutes).value_or(kDefaultChargeMinutes);
    const long long run = IntegerIn(Member(power, "runMinutes"), 0, kMaxMinutes).value_or(kDefaultRunMinutes);
    SBatteryAnswer answer;
    answer.percent = static_cast<std::int32_t>(percent);
    answer.timeValid = 1;
    if (!mains) {
        answer.status = kStatusDischarging;
        answer.minutes =
            static_cast<std::int32_t>(SystemMinutesLeft(battery, power).value_or(percent * run / 100));
    } else if (percent < 100) {
        answer.status = kStatusCharging;
        answer.charging = 1;
        answer.minutes = static_cast<std::int32_t>(((100 - percent) * charge + 99) / 100);
    } else {
        answer.status = kStatusFull;
    }
    return answer;
}

// The answer the facts of the battery give, without the library's answers.
SBatteryAnswer FactsAnswer(int battery, const nlohmann::json& facts) {
    const nlohmann::json& power = Member(facts, "power");
    const nlohmann::json& system = Member(power, "battery");
    const bool present = battery == 2 || (system != "none" && system != "unknown");
    const auto percent =
        IntegerIn(Member(power, battery == 1 ? "batteryPercent" : "secondBatteryPercent"), 0, 100);
    return present && percent ? ComputedAnswer(battery, *percent, power) : SBatteryAnswer{};
}

} // namespace

std::optional<int> MinutesToFullCharge(int battery, const nlohmann::json& facts) {
    const SBatteryAnswer answer = FactsAnswer(battery, facts);
    if (answer.status == kStatusNoBattery) {
        return std::nullopt;
    }
    return answer.charging ? answer.minutes : 0;
}

SBatteryAnswer AnswerForBattery(int battery, const nlohmann::json& facts) {
    SBatteryAnswer answer = FactsAnswer(battery, facts);
    const nlohmann::json& answers = Member(Member(facts, "powerManager"), "answers");
    const nlohmann::json& given = Member(answers, battery == 1 ? "main" : "second");
    Override(answer.status, Member(given, "status"));
    Override(answer.timeValid, Member(given, "timeValid"));
    Override(answer.minutes, Member(given, "minutes"));
    return answer;
}

} // namespace voltlink

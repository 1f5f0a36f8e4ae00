#include "machine/host/ChargeThresholdAnswers.h"

#include <array>
#include <charconv>
#include <optional>

#include "machine/host/ChargeModeAnswers.h"
#include "machine/host/ContractAnswers.h"
#include "machine/host/HostFeatures.h"
#include "platform/internal.h"

namespace host {

namespace {

constexpr int kMaxBatteries = 2;
constexpr int kDefaultStart = 75;
constexpr int kDefaultStop = 80;
constexpr int kFullCharge = 100;

// The status's answer texts of one battery.
constexpr const char* kStatusKeys[] = {"IsEnabled", "StartValue", "StopValue", "IsResetRunning"};

// The key of a battery's text: battery 1's as it is, battery 2's with "2" behind.
std::string BatteryKey(const char* key, int battery) {
    return battery == 1 ? key : key + std::to_string(battery);
}

bool IsStatusKey(const std::string& key) {
    if (key == kBatteriesText) {
        return true;
    }
    for (const char* statusKey : kStatusKeys) {
        for (int battery = 1; battery <= kMaxBatteries; ++battery) {
            if (key == BatteryKey(statusKey, battery)) {
                return true;
            }
        }
    }
    return false;
}

int BatteryCount(const HostFeature& threshold) {
    const auto found = threshold.answer.find(kBatteriesText);
    if (found == threshold.answer.end()) {
        return 1;
    }
    const std::string& text = found->second;
    return text.size() == 1 && text[0] >= '0' && text[0] <= '0' + kMaxBatteries ? text[0] - '0' : 1;
}

// The feature's text of the battery's key, else the host's own.
std::wstring BatteryText(const HostFeature& threshold, const char* key, int battery,
                         const std::wstring& hostText) {
    const auto found = threshold.answer.find(BatteryKey(key, battery));
    return found == threshold.answer.end() ? hostText : platform::FromUtf8(found->second);
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"<") + name + L">" + Escaped(text) + L"</" + name + L">";
}

std::wstring ThresholdElement(const HostFeature& threshold, int battery) {
    const bool on = threshold.supported && threshold.state == 1;
    return L"<BatteryChargeThreshold>" +
           Element(L"IsEnabled", BatteryText(threshold, "IsEnabled", battery, TrueOrFalse(on))) +
           Element(L"StartValue",
                   BatteryText(threshold, "StartValue", battery, std::to_wstring(kDefaultStart))) +
           Element(L"StopValue",
                   BatteryText(threshold, "StopValue", battery, std::to_wstring(kDefaultStop))) +
           L"</BatteryChargeThreshold>";
}

// The host resets battery 1 while the feature is disabled.
std::wstring ResetStatusElement(const HostFeature& threshold, int battery) {
    const bool running = threshold.supported && threshold.disabled && battery == 1;
    return L"<BatteryResetStatus><Setting key=\"IsResetRunning\">" +
           Escaped(BatteryText(threshold, "IsResetRunning", battery, TrueOrFalse(running))) +
           L"</Setting></BatteryResetStatus>";
}

struct Threshold {
    int battery;
    int start;
    int stop;
};

std::optional<int> NumberOf(std::string_view text) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() ? std::optional(number) : std::nullopt;
}

// "BATTERY,START,STOP" of a battery the machine has; none for anything else.
std::optional<Threshold> ParseThreshold(std::string_view text, int batteries) {
    std::array<int, 3> fields{};
    for (size_t field = 0; field < fields.size(); ++field) {
        const size_t comma = text.find(',');
        const bool last = field + 1 == fields.size();
        const std::optional<int> number = NumberOf(text.substr(0, comma));
        if ((comma == std::string_view::npos) != last || !number) {
            return std::nullopt;
        }
        fields[field] = *number;
        text = last ? std::string_view() : text.substr(comma + 1);
    }
    const Threshold threshold{fields[0], fields[1], fields[2]};
    if (threshold.battery < 1 || threshold.battery > batteries || threshold.start < 0 ||
        threshold.start >= threshold.stop || threshold.stop > kFullCharge) {
        return std::nullopt;
    }
    return threshold;
}

void StoreThreshold(nlohmann::json& entry, const Threshold& threshold) {
    nlohmann::json& texts = entry[kAnswerKey];
    if (!texts.is_object()) {
        texts = nlohmann::json::object();
    }
    texts[BatteryKey("StartValue", threshold.battery)] = std::to_string(threshold.start);
    texts[BatteryKey("StopValue", threshold.battery)] = std::to_string(threshold.stop);
}

} // namespace

std::wstring BatteryCapabilityAnswer(const HostState& state) {
    HostFeature threshold = state.Feature(kChargeThresholdFeature);
    std::erase_if(threshold.answer, [](const auto& text) { return IsStatusKey(text.first); });
    Settings capabilities = {{L"BatteryChargeThreshold", TrueOrFalse(threshold.supported)}};
    AddChargeModeCapabilities(state, capabilities, threshold);
    return KeyedListAnswer(L"CapabilityList", L"Capability", capabilities, threshold);
}

std::wstring ChargeThresholdStatusAnswer(const HostState& state) {
    const HostFeature threshold = state.Feature(kChargeThresholdFeature);
    const int batteries = BatteryCount(threshold);
    std::wstring body = L"<ChargeThresholdStatus>";
    for (int battery = 1; battery <= batteries; ++battery) {
        body += ThresholdElement(threshold, battery);
    }
    for (int battery = 1; battery <= batteries; ++battery) {
        body += ResetStatusElement(threshold, battery);
    }
    return DocumentAnswer(body + L"</ChargeThresholdStatus>", threshold.form);
}

void ApplyChargeThreshold(nlohmann::json& data, int enable, std::string_view threshold1,
                          std::string_view threshold2) {
    const FeatureInfo& feature = *FindFeature(kChargeThresholdFeature);
    const HostFeature current = ParseHostState(data).Feature(feature.name);
    if (!current.supported || current.disabled || enable < 0 || enable > feature.maxState) {
        return;
    }
    if (enable == 1) {
        for (const std::string_view text : {threshold1, threshold2}) {
            if (const std::optional<Threshold> threshold = ParseThreshold(text, BatteryCount(current))) {
                StoreThreshold(FeatureEntry(data, feature), *threshold);
            }
        }
    }
    SetFeatureState(data, feature, enable);
}

} // namespace host

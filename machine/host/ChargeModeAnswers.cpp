#include "machine/host/ChargeModeAnswers.h"

#include <optional>

#include "machine/host/HostFeatures.h"
#include "machine/voltlink/BatteryAnswer.h"
#include "platform/internal.h"

namespace host {

namespace {

constexpr int kMaxBatteries = 2;
constexpr const char* kCapabilityPrefix = "ChargeMode-";
constexpr const char* kBatteryTimeText = "ChargeCompletionTimeinMins";

// The answer text that stands for a battery's time to full charge: battery 1's key as it is, battery
// 2's with "2" behind.
std::string BatteryTimeKey(int battery) {
    return battery == 1 ? kBatteryTimeText : kBatteryTimeText + std::to_string(battery);
}

bool IsOn(const HostFeature& feature) {
    return feature.supported && feature.state == 1;
}

// The answer texts of both charge-mode features, conservation mode's first.
HostFeature ChargeModeTexts(const HostState& state) {
    HostFeature texts = state.Feature(kConservationModeFeature);
    for (const auto& [key, text] : state.Feature(kRapidChargeFeature).answer) {
        texts.answer.emplace(key, text);
    }
    return texts;
}

std::wstring SupportedModes(const HostFeature& conservation, const HostFeature& rapid) {
    std::wstring modes = L"Normal";
    if (rapid.supported) {
        modes += L",Quick";
    }
    if (conservation.supported) {
        modes += L",Storage";
    }
    return modes;
}

std::wstring CurrentMode(const HostFeature& conservation, const HostFeature& rapid) {
    if (IsOn(conservation)) {
        return L"Storage";
    }
    return IsOn(rapid) ? L"Quick" : L"Normal";
}

} // namespace

void AddChargeModeCapabilities(const HostState& state, Settings& settings, HostFeature& texts) {
    settings.emplace_back(L"ChargeMode-Storage",
                          TrueOrFalse(state.Feature(kConservationModeFeature).supported));
    settings.emplace_back(L"ChargeMode-StorageLimited", TrueOrFalse(false));
    for (const auto& [key, text] : ChargeModeTexts(state).answer) {
        if (key.starts_with(kCapabilityPrefix)) {
            texts.answer.emplace(key, text);
        }
    }
}

std::wstring BatteryChargeModeAnswer(const HostState& state) {
    const HostFeature conservation = state.Feature(kConservationModeFeature);
    const HostFeature rapid = state.Feature(kRapidChargeFeature);
    HostFeature texts = ChargeModeTexts(state);
    std::erase_if(texts.answer, [](const auto& text) {
        return text.first.starts_with(kCapabilityPrefix) || text.first.starts_with(kBatteryTimeText);
    });
    return KeyedListAnswer(L"SettingList", L"Setting",
                           {{L"Supported-BatteryChargeMode", SupportedModes(conservation, rapid)},
                            {L"BatteryChargeMode", CurrentMode(conservation, rapid)}},
                           texts);
}

void ApplyBatteryChargeMode(nlohmann::json& data, int mode) {
    const HostState current = ParseHostState(data);
    const FeatureInfo& conservation = *FindFeature(kConservationModeFeature);
    const FeatureInfo& rapid = *FindFeature(kRapidChargeFeature);
    const auto switchOn = [&](const FeatureInfo& feature) {
        if (current.Feature(feature.name).supported) {
            SetFeatureState(data, feature, 1);
        }
    };
    switch (mode) {
    case kNormalChargeMode:
        SetFeatureState(data, conservation, 0);
        SetFeatureState(data, rapid, 0);
        break;
    case kRapidChargeMode:
        switchOn(rapid);
        break;
    case kConservationChargeMode:
        switchOn(conservation);
        break;
    default:
        break;
    }
}

std::wstring BatteryStatusAnswer(const HostState& state) {
    const nlohmann::json facts = platform::MachineFacts();
    const HostFeature texts = ChargeModeTexts(state);
    std::wstring body = L"<BatteryInformation>";
    for (int battery = 1; battery <= kMaxBatteries; ++battery) {
        const auto given = texts.answer.find(BatteryTimeKey(battery));
        const std::optional<int> minutes = voltlink::MinutesToFullCharge(battery, facts);
        if (given == texts.answer.end() && !minutes) {
            continue;
        }
        const std::wstring text =
            given != texts.answer.end() ? platform::FromUtf8(given->second) : std::to_wstring(*minutes);
        body += L"<BatteryStatus><Setting key=\"ChargeCompletionTimeinMins\">" + Escaped(text) +
                L"</Setting></BatteryStatus>";
    }
    return DocumentAnswer(body + L"</BatteryInformation>", texts.form);
}

} // namespace host

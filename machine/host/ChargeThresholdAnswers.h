// The battery plug-in's charge threshold answers, made from the host's state: its capability, the start
// and stop percentages of up to two batteries with the battery reset, and the change a SetChargeThreshold
// call makes.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "machine/host/HostState.h"

namespace host {

// The feature name in the state's "features".
inline constexpr const char* kChargeThresholdFeature = "BatteryChargeThreshold";

// The feature's answer texts that its status carries, battery 1's by these keys and battery 2's by the
// same keys with "2" behind: "IsEnabled", "StartValue", "StopValue" and "IsResetRunning". "Batteries"
// ("0", "1" or "2"; 1 otherwise) tells how many batteries the machine has.
inline constexpr const char* kBatteriesText = "Batteries";

// IsSupportBatteryEx: the "CapabilityList" with "BatteryChargeThreshold" "true" while the feature is
// supported and the charge modes' capabilities (ChargeModeAnswers.h), and the feature's answer texts that
// its status does not carry, in its form.
std::wstring BatteryCapabilityAnswer(const HostState& state);

// GetChargeThresholdStatusEx and SetChargeThreshold: one "BatteryChargeThreshold" element per battery
// ("IsEnabled" "true" while supported and on, "StartValue" 75, "StopValue" 80 unless set), then one
// "BatteryResetStatus" per battery with its "IsResetRunning" setting ("true" for battery 1 while the
// feature is disabled).
std::wstring ChargeThresholdStatusAnswer(const HostState& state);

// SetChargeThreshold in host.json's content: a supported feature whose battery reset does not run
// takes the state 0 or 1; switching on also takes each threshold "BATTERY,START,STOP" of a battery the
// machine has (0 <= START < STOP <= 100) as that battery's percentages. Anything else changes nothing.
void ApplyChargeThreshold(nlohmann::json& data, int enable, std::string_view threshold1,
                          std::string_view threshold2);

} // namespace host

// The battery plug-in's charge modes and battery status, made from the host's state and the machine's
// batteries: the one charge mode that conservation mode ("Storage") and rapid charge ("Quick") are
// values of, the change a SetBatteryChargeMode call makes, and each battery's time to full charge.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "machine/host/ContractAnswers.h"
#include "machine/host/HostState.h"

namespace host {

// The feature names in the state's "features".
inline constexpr const char* kConservationModeFeature = "ConservationMode";
inline constexpr const char* kRapidChargeFeature = "RapidCharge";

// SetBatteryChargeMode's modes.
inline constexpr int kNormalChargeMode = 0;
inline constexpr int kRapidChargeMode = 1;
inline constexpr int kConservationChargeMode = 2;

// Adds the charge modes' capabilities that IsSupportBatteryEx lists to its settings: "ChargeMode-Storage",
// "true" while conservation mode is supported, and "ChargeMode-StorageLimited", "false"; and to its answer
// texts the two features' texts of keys that begin with "ChargeMode-".
void AddChargeModeCapabilities(const HostState& state, Settings& settings, HostFeature& texts);

// GetBatteryChargeModeEx and SetBatteryChargeMode: the "SettingList" with "Supported-BatteryChargeMode"
// ("Normal", then "Quick" and "Storage" where their features are supported, comma-separated) and
// "BatteryChargeMode" ("Storage" or "Quick" while that feature is supported and on, else "Normal"), with
// the two features' answer texts, in conservation mode's form.
std::wstring BatteryChargeModeAnswer(const HostState& state);

// SetBatteryChargeMode in host.json's content: 0 switches both modes off, 1 rapid charge on and 2
// conservation mode on (each switching the other off) where that feature is supported; any other mode
// changes nothing.
void ApplyBatteryChargeMode(nlohmann::json& data, int mode);

// GetBatteryStatus: one "BatteryStatus" element per battery of the machine (main, then second) with its
// "ChargeCompletionTimeinMins" setting, the minutes to full charge on mains power (0 when full or on
// battery), in conservation mode's form. The two features' answer texts "ChargeCompletionTimeinMins" and
// "ChargeCompletionTimeinMins2" stand in for battery 1's and 2's minutes, and give that battery an
// element where the machine has none.
std::wstring BatteryStatusAnswer(const HostState& state);

} // namespace host

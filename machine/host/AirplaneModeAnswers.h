// The power manager's answers on the airplane power mode, made from the host's state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature name in the state's "features".
inline constexpr const char* kAirplanePowerModeFeature = "AirplanePowerMode";

// GetAirplaneModeCapability: "AirplanePowerMode", "True" while the feature is supported.
std::wstring AirplaneModeCapabilityAnswer(const HostState& state);
// GetAllPowerSettings and SetAirplaneMode: "AirplanePowerMode", "True" while supported and on.
std::wstring PowerSettingsAnswer(const HostState& state);

} // namespace host

#include "machine/host/AirplaneModeAnswers.h"

#include "machine/host/ContractAnswers.h"

namespace host {

std::wstring AirplaneModeCapabilityAnswer(const HostState& state) {
    const HostFeature airplane = state.Feature(kAirplanePowerModeFeature);
    return KeyedListAnswer(L"CapabilityList", L"Capability",
                           {{L"AirplanePowerMode", CapitalTrueOrFalse(airplane.supported)}}, airplane);
}

std::wstring PowerSettingsAnswer(const HostState& state) {
    const HostFeature airplane = state.Feature(kAirplanePowerModeFeature);
    return KeyedListAnswer(
        L"SettingList", L"Setting",
        {{L"AirplanePowerMode", CapitalTrueOrFalse(airplane.supported && airplane.state == 1)}}, airplane);
}

} // namespace host

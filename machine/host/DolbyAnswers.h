// The audio plug-in's answers on the Dolby audio profile's state, made from the host's state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// GetDolbyStatusEx and SetDolby: "IsAudioProfileEnabled" ("True" while DolbyAudio is on),
// "CurrentAudioProfile" (the first of the profiles IsSupportDolbyEx lists) and "DriverAvailability"
// ("true"), keyed by the attribute "key".
std::wstring DolbyStatusAnswer(const HostState& state);

} // namespace host

// The texts the host answers to the program's queries, made from its state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature name of eye care in the state's "features".
inline constexpr const char* kEyeCareFeature = "EyeCareMode";

// The brand word alone ("Ixor", "Kobal"): the program compares the whole answer with it.
std::wstring MachineBrandAnswer(const HostState& state);
std::wstring MachineTypeModelAnswer(const HostState& state);
std::wstring PluginInvokeAnswer(const HostState& state);
std::wstring EyeCareModeStatusAnswer(const HostState& state);

} // namespace host

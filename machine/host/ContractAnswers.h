// The texts the host answers to the program's queries, made from its state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature names in the state's "features".
inline constexpr const char* kEyeCareFeature = "EyeCareMode";
inline constexpr const char* kWiFiSecurityFeature = "WiFiSecurity";

// The brand word alone ("Ixor", "Kobal"): the program compares the whole answer with it.
std::wstring MachineBrandAnswer(const HostState& state);
std::wstring MachineTypeModelAnswer(const HostState& state);
std::wstring PluginInvokeAnswer(const HostState& state);
std::wstring EyeCareModeStatusAnswer(const HostState& state);
// The WiFi security plug-in's settings; SetWiFiStatus answers them too, as they are after the change.
std::wstring WifiSecurityStatusAnswer(const HostState& state);

// A plug-in's XML answer as a host in the "malformed" mode gives it: cut before its last end tag.
std::wstring MalformedAnswer(const std::wstring& answer);

} // namespace host

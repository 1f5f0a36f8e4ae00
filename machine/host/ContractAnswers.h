// The texts the host answers to the program's queries, made from its state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature names in the state's "features".
inline constexpr const char* kEyeCareFeature = "EyeCareMode";
inline constexpr const char* kWiFiSecurityFeature = "WiFiSecurity";
inline constexpr const char* kPrivacyGuardFeature = "PrivacyGuard";

// The brand word alone ("Ixor", "Kobal"): the program compares the whole answer with it.
std::wstring MachineBrandAnswer(const HostState& state);
std::wstring MachineTypeModelAnswer(const HostState& state);
std::wstring PluginInvokeAnswer(const HostState& state);
std::wstring EyeCareModeStatusAnswer(const HostState& state);
// The WiFi security plug-in's settings; SetWiFiStatus answers them too, as they are after the change.
std::wstring WifiSecurityStatusAnswer(const HostState& state);
// The privacy guard plug-in's capabilities and its settings ("True" or "False" each); SetPrivacyGuard
// answers the settings as they are after the change.
std::wstring PrivacyGuardCapabilityAnswer(const HostState& state);
std::wstring PrivacyGuardStatusAnswer(const HostState& state);
// The camera plug-in's answer to SetCamera: the host keeps no camera state, the call only succeeds.
std::wstring CameraAnswer(const HostState& state);

// A plug-in's XML answer as a host in the "malformed" mode gives it: cut before its last end tag.
std::wstring MalformedAnswer(const std::wstring& answer);

} // namespace host

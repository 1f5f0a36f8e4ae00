// The texts the host answers to the program's queries, made from its state.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/host/HostState.h"

namespace host {

// Keyed settings of an answer, in their order.
using Settings = std::vector<std::pair<std::wstring, std::wstring>>;

// The plug-ins' flags: "true" or "false", and as the privacy guard plug-in spells them, "True" or "False".
const wchar_t* TrueOrFalse(bool value);
const wchar_t* CapitalTrueOrFalse(bool value);
// A feature's list of keyed entries (the key in the attribute named so) with the feature's answer texts,
// in the feature's form.
std::wstring KeyedListAnswer(const wchar_t* list, const wchar_t* entry, const Settings& settings,
                             const HostFeature& feature, const wchar_t* attribute = L"key");
// Text made safe for an XML element's text or an attribute's value.
std::wstring Escaped(std::wstring_view text);
// A feature's answer of that document body (its root element) with the XML declaration, in its form.
std::wstring DocumentAnswer(const std::wstring& body, AnswerForm form);

// The feature names in the state's "features".
inline constexpr const char* kEyeCareFeature = "EyeCareMode";
inline constexpr const char* kWiFiSecurityFeature = "WiFiSecurity";
inline constexpr const char* kPrivacyGuardFeature = "PrivacyGuard";

// The brand word alone ("Ixor", "Kobal"): the program compares the whole answer with it.
std::wstring MachineBrandAnswer(const HostState& state);
std::wstring MachineTypeModelAnswer(const HostState& state);
std::wstring PluginInvokeAnswer(const HostState& state);
std::wstring EyeCareModeStatusAnswer(const HostState& state);
// A set call's state, unless the feature is disabled (its driver off): none then, the state kept.
std::optional<int> StateUnlessDisabled(const HostFeature& feature, int state);
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

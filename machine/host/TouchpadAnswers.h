// The touchpad plug-in's answers, made from the host's state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

inline constexpr const char* kTouchpadFeature = "Touchpad";

// IsSupportTouchPadEx2: "TouchPadControl", "True" while the touchpad is supported.
std::wstring TouchpadCapabilityAnswer(const HostState& state);
// GetTouchPadStatusEx, SetTouchPad and SetKobalTouchPad: "TouchPadEnabled", "True" while it is on; an
// unsupported touchpad answers "False" with the attribute errorCode="NoCapability".
std::wstring TouchpadStatusAnswer(const HostState& state);

} // namespace host

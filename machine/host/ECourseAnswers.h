// The audio plug-in's answers on the machine's audio profile and its interactive e-course mode, made from
// the host's state.
#pragma once

#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature names in the state's "features".
inline constexpr const char* kDolbyAudioFeature = "DolbyAudio";
inline constexpr const char* kECourseFeature = "ECourseMode";
// The Dolby profiles of a machine that has them, and the one it plays.
inline constexpr const wchar_t* kDolbyProfiles = L"Dynamic,Movie,Music,Game,Voice";
inline constexpr const wchar_t* kCurrentDolbyProfile = L"Dynamic";

// IsSupportDolbyEx, with DolbyAudio's form and answer texts: the capabilities named in the attribute
// "Key" (as the audio plug-in writes it): "IsDolbyAudioProfile" ("True" while DolbyAudio is supported),
// "IsMaxwaveAudioProfile" ("False") and "AudioProfilesSupported" (the profile names, comma-separated).
std::wstring AudioProfileCapabilityAnswer(const HostState& state);
// GetECourseStatusEx and SetECourseMode: "IsAudioProfileEnabled" (the e-course mode supported),
// "DriverAvailability" (not disabled) and "ECourseStatus" (on), "true" or "false" each.
std::wstring ECourseStatusAnswer(const HostState& state);

} // namespace host

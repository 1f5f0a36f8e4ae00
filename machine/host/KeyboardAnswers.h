// The keyboard plug-ins' answers, made from the host's state: the backlight (levels, auto mode) and the
// top row's Fn lock, each as the business (Kobal) and the consumer (Ixor) plug-ins give them; and the
// state a set call's argument gives the feature where it is not the state itself.
#pragma once

#include <optional>
#include <string>

#include "machine/host/HostState.h"

namespace host {

// The feature names in the state's "features".
inline constexpr const char* kKeyboardBacklightFeature = "KeyboardBacklight";
inline constexpr const char* kKeyboardTopRowFeature = "KeyboardTopRowKey";

// IsSupportBacklightEx: "KeyboardBacklightControl", "True" while the feature is supported.
std::wstring BacklightCapabilityAnswer(const HostState& state);
// GetBacklightStatusEx and SetBackLight: "KeyboardBacklightLevel" ("TwoLevelsAuto" while supported,
// else "None") and "KeyboardBacklightStatus" ("Off", "Level_1", "Level_2", "Auto"; "DisabledOff" while
// disabled).
std::wstring BacklightStatusAnswer(const HostState& state);
// GetAutoKBDBacklightEx and SetSmartSense: "IsAutoModeEnabled" (supported) and "IsAutoModeOn" (state 3,
// not disabled), "True" or "False".
std::wstring AutoBacklightAnswer(const HostState& state);
// SetSmartSense 1 turns the auto mode (state 3) on; 0 turns it off (state 0) and leaves a level alone.
// A backlight off by hardware (disabled) keeps its state.
std::optional<int> BacklightStateAfterSmartSense(const HostFeature& backlight, int smartSense);

// The top row's state is 1 for the special functions, 0 for the F1-F12 keys. The Fn lock turns the
// primary keys over: without it the special functions lead, unless the plug-in's primary setting
// ("PrimaryFunction" "select", "PrimeKey" "fnkey", ignoring case; the host's are "unselect" and
// "hotkey") puts the F1-F12 keys first.
// GetKobalKBDCapability: "PrimaryFunction", "FnLock", "FnStickKey" ("true" while supported, but
// "FnStickKey" "false"); GetKobalKBDSettings and SetKobalFnLock: "PrimaryFunction", "FnLock" ("true" or
// "false"), "FnStickKey" ("false").
std::wstring KobalKbdCapabilityAnswer(const HostState& state);
std::wstring KobalKbdSettingsAnswer(const HostState& state);
// GetIxorKBDCapability: "PrimeKey", "FnLock" ("true" while supported); GetIxorPrimeKeySettings:
// "PrimeKey"; GetIxorFnLockSettings and SetIxorFnLock: "FnLock" ("true" or "false").
std::wstring IxorKbdCapabilityAnswer(const HostState& state);
std::wstring IxorPrimeKeySettingsAnswer(const HostState& state);
std::wstring IxorFnLockSettingsAnswer(const HostState& state);
// The state a Fn lock of 1 (on) or 0 (off) gives, by the plug-in's primary setting; none for another
// value.
std::optional<int> TopRowStateAfterKobalFnLock(const HostFeature& topRow, int fnLock);
std::optional<int> TopRowStateAfterIxorFnLock(const HostFeature& topRow, int fnLock);

} // namespace host

// The maker's thermal service QRMDSVC as the machine runs it: the thermal solution's settings in the
// registry (its "Version" under the IC key, its mode under IC\MMC) and the user-defined control codes
// that choose a mode. Shared by the service's module and by flipdeck-machine.
#pragma once

#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "platform/base.h"

namespace thermal {

inline constexpr const wchar_t* kServiceName = L"QRMDSVC";
inline constexpr const char* kFeatureName = "IntelligentCooling";
// HKEY_LOCAL_MACHINE, one key in both views.
inline constexpr const wchar_t* kIcKey = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC";
inline constexpr const wchar_t* kMmcKey = L"SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC\\MMC";

// "AutomaticModeSetting": the service picks the mode itself, or keeps the one of "CurrentSetting".
inline constexpr DWORD kAutomaticMode = 2;
inline constexpr DWORD kFixedMode = 1;

struct ModeInfo {
    DWORD code;                   // the control code that chooses it
    const char* name;             // for people
    const char* newerName;        // its name on thermal solutions 4 and 5
    DWORD automatic;              // its "AutomaticModeSetting"
    std::optional<DWORD> current; // its "CurrentSetting"; none: left as it is
};

inline constexpr ModeInfo kModes[] = {
    {135, "intelligent", "intelligent", kAutomaticMode, std::nullopt},
    {146, "cool-quiet", "battery-saving", kFixedMode, 1},
    {148, "performance", "extreme-performance", kFixedMode, 3},
};

// The mode of that control code, or of either of its names or its code as text; null when there is none.
const ModeInfo* FindModeByCode(DWORD code);
const ModeInfo* FindModeByName(std::string_view name);

// Takes a control code as the service does: sets the mode's values ("CurrentSetting" first, so that a
// reader woken by the first change never sees the new automatic setting with the old fixed mode).
// NO_ERROR; ERROR_CALL_NOT_IMPLEMENTED for a code that is no mode; the registry's error when the MMC key
// cannot be written.
DWORD ApplyControl(DWORD code);

// The values as they are: {"version", "capability", "currentSetting", "automaticModeSetting"} (null when
// missing or not a REG_DWORD) and "mode", the name of the mode they stand for (null for none).
nlohmann::json ReadStatus();

} // namespace thermal

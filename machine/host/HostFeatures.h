// The fourteen features of the flyout's grid as the machine keeps them: which states each takes, and
// the one change of a feature's state that the tool and the host's set calls share.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace host {

struct FeatureInfo {
    // Its entry in host.json's "features" (the program's cache section, but "EyeCareMode").
    const char* name;
    // Its states run from 0 (off) to this; on/off features stop at 1.
    int maxState;
    // What its states mean, for people.
    const char* states;
    // Whether it can be greyed ("disabled") whatever its state.
    bool takesDisabled;
    // The feature switched off when this one is switched on (the two are modes of one host setting).
    const char* exclusiveWith;
    // Null when the host keeps the feature; else where the machine keeps it instead.
    const char* keptElsewhere;
    // The contract methods that serve it and the keys their answers carry; null while none does.
    const char* answers;
};

std::span<const FeatureInfo> Features();
// The feature of that name, ignoring case; null when there is none.
const FeatureInfo* FindFeature(std::string_view name);

// A state given as "on", "off" or a number within the feature's states; none for anything else
// ("disabled" is not a state but the feature's flag).
std::optional<int> ParseFeatureState(const FeatureInfo& feature, std::string_view text);

// The feature's entry in host.json's content, made (with "features") when missing.
nlohmann::json& FeatureEntry(nlohmann::json& data, const FeatureInfo& feature);

// Sets the feature's state in host.json's content and clears its disabled flag; a feature it excludes
// is switched off when the state is not off.
void SetFeatureState(nlohmann::json& data, const FeatureInfo& feature, int state);

// The three location-consent values of Windows (each REG_SZ "Value", "Allow" or "Deny"; 64-bit view), in
// the order the WiFi security answer's "LocationPermission" lists them: the device's location service,
// the user's apps, and the user's desktop apps.
inline constexpr const wchar_t* kLocationConsentKeys[] = {
    L"HKEY_LOCAL_"
    L"MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\location",
    L"HKEY_CURRENT_"
    L"USER\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\location",
    L"HKEY_CURRENT_"
    L"USER\\Software\\Microsoft\\Windows\\CurrentVersion\\CapabilityAccessManager\\ConsentStore\\location"
    L"\\NonPackaged",
};
inline constexpr const wchar_t* kLocationConsentValue = L"Value";

} // namespace host

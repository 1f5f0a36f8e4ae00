#include "machine/host/HostFeatures.h"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "machine/host/HostState.h"
#include "platform/internal.h"
#include "platform/registry.h"

namespace host {

namespace {

constexpr const char* kOnOff = "off, on";

// In the order of the grid's buttons.
constexpr FeatureInfo kFeatures[] = {
    {"WiFiSecurity", 1, kOnOff, false, nullptr, nullptr,
     "GetWifiSecurityStatus and SetWiFiStatus: IsSupported, IsEnabled, SystemPolicy, UserPreference, "
     "LocationPermission"},
    {"Microphone", 1, kOnOff, false, nullptr,
     "by the audio capture device's mute (flipdeck-machine audio), not by the host", nullptr},
    {"DolbyAudio", 1, "off, on (the audio profile)", false, nullptr, nullptr, nullptr},
    {"KeyboardBacklight", 3,
     "0 off, 1 level 1, 2 level 2, 3 auto; disabled: the backlight is off by hardware", true, nullptr,
     nullptr,
     "IsSupportBacklightEx: KeyboardBacklightControl (True or False); GetBacklightStatusEx and SetBackLight: "
     "KeyboardBacklightLevel (TwoLevelsAuto), KeyboardBacklightStatus (Off, Level_1, Level_2, Auto, "
     "DisabledOff); GetAutoKBDBacklightEx and SetSmartSense (1 auto on, 0 auto off): IsAutoModeEnabled, "
     "IsAutoModeOn (True or False)"},
    {"KeyboardTopRowKey", 1, "off: F1-F12 keys, on: special functions", false, nullptr, nullptr,
     "GetKobalKBDCapability, GetKobalKBDSettings and SetKobalFnLock: PrimaryFunction (unselect; select puts "
     "the F1-F12 keys first), FnLock, FnStickKey; GetIxorKBDCapability, GetIxorPrimeKeySettings, "
     "GetIxorFnLockSettings and SetIxorFnLock: PrimeKey (hotkey; fnkey puts the F1-F12 keys first), FnLock "
     "(true or false: the Fn lock brings the keys that are not first)"},
    {"Touchpad", 1, kOnOff, false, nullptr, nullptr, nullptr},
    {"PrivacyGuard", 1, kOnOff, false, nullptr, nullptr,
     "IsSupportPrivacyGuard, GetPrivacyGuardStatus and SetPrivacyGuard: PrivacyGuard, "
     "PrivacyGuardOnPassword (True or False); the state is also the screen-privacy driver's REG_DWORD "
     "\"State\" in HKLM\\SOFTWARE\\Corvex\\Shadeveil"},
    {"BatteryChargeThreshold", 1, "off, on; disabled: a battery reset runs", true, nullptr, nullptr,
     "IsSupportBatteryEx: BatteryChargeThreshold (true or false); GetChargeThresholdStatusEx and "
     "SetChargeThreshold (enable 0 or 1, \"BATTERY,START,STOP\" of battery 1 and of battery 2, taken when "
     "switching on): per battery IsEnabled (true or false), StartValue (75), StopValue (80) and "
     "IsResetRunning (true for battery 1 while disabled), battery 2's keys with \"2\" behind (StartValue2); "
     "Batteries (1; 0 or 2)"},
    {"AirplanePowerMode", 1, kOnOff, false, nullptr, nullptr,
     "GetAirplaneModeCapability: AirplanePowerMode (True or False); GetAllPowerSettings and SetAirplaneMode: "
     "AirplanePowerMode (True or False); offered by the program only while the power manager Voltaro.exe "
     "runs"},
    {"ConservationMode", 1, "off, on (switches RapidCharge off)", false, "RapidCharge", nullptr, nullptr},
    {"RapidCharge", 1, "off, on (switches ConservationMode off)", false, "ConservationMode", nullptr,
     nullptr},
    {"IntelligentCooling", 0, "the thermal modes", false, nullptr,
     "by the thermal service QRMDSVC in HKLM\\SYSTEM\\CurrentControlSet\\Services\\QRMDSVC\\QVXRMD\\IC, not "
     "by "
     "the host",
     nullptr},
    {"ECourseMode", 1, "off, on; disabled: the audio driver is not available", true, nullptr, nullptr,
     "IsSupportDolbyEx (DolbyAudio's form and answer texts; attribute Key): IsDolbyAudioProfile (True while "
     "DolbyAudio is supported), IsMaxwaveAudioProfile (False), AudioProfilesSupported; GetECourseStatusEx "
     "and SetECourseMode: IsAudioProfileEnabled, DriverAvailability, ECourseStatus (true or false)"},
    {"EyeCareMode", 1, "off, on; disabled: the graphics driver is disabled", true, nullptr, nullptr,
     "GetEyeCareModeStatusEx and SetEyeCareMode (state, type; no change while disabled): APICapability, "
     "Capability (Support, NotAvaliable, NotSupport), EyeModeState, ColorTemperature, InSchedule, "
     "MyScheduleState; GetEyeCareTempSettings: 1 while supported (the eye-care panel's support); the state "
     "is "
     "also the plug-in's REG_DWORD \"EyeModeState\" in "
     "HKCU\\Software\\Corvex\\Plexhost\\PluginData\\CorvexVisionProtectionPlugin; the button is offered "
     "only with a CorvexVisionProtectionPlugin.dll newer than the profiles' 1.2.92.14, the panel with an "
     "older "
     "one"},
};

// A feature whose state a driver or plug-in of the machine publishes as a REG_DWORD (64-bit view), where the
// feature's own software reads or watches it.
struct PublishedState {
    const char* feature;
    HKEY root;
    const wchar_t* key;
    const wchar_t* value;
};

const PublishedState kPublishedStates[] = {
    {"PrivacyGuard", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Corvex\\Shadeveil", L"State"},
    {"EyeCareMode", HKEY_CURRENT_USER,
     L"Software\\Corvex\\Plexhost\\PluginData\\CorvexVisionProtectionPlugin", L"EyeModeState"},
};

// The driver follows every change of the state, however it was made; a key it cannot write is left.
void PublishState(const FeatureInfo& feature, int state) {
    const auto published = std::find_if(
        std::begin(kPublishedStates), std::end(kPublishedStates),
        [&feature](const PublishedState& entry) { return std::string_view(entry.feature) == feature.name; });
    HKEY key = nullptr;
    if (published == std::end(kPublishedStates) ||
        RegCreateKeyExW(published->root, published->key, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD data = static_cast<DWORD>(state);
    RegSetValueExW(key, published->value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
}

} // namespace

std::span<const FeatureInfo> Features() {
    return kFeatures;
}

const FeatureInfo* FindFeature(std::string_view name) {
    const std::wstring wanted = platform::FromUtf8(name);
    const auto found =
        std::find_if(std::begin(kFeatures), std::end(kFeatures), [&](const FeatureInfo& feature) {
            return platform::EqualsNoCase(platform::FromUtf8(feature.name), wanted);
        });
    return found == std::end(kFeatures) ? nullptr : &*found;
}

std::optional<int> ParseFeatureState(const FeatureInfo& feature, std::string_view text) {
    int state = -1;
    if (text == "on") {
        state = 1;
    } else if (text == "off") {
        state = 0;
    } else {
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), state);
        if (error != std::errc() || end != text.data() + text.size()) {
            return std::nullopt;
        }
    }
    return state >= 0 && state <= feature.maxState ? std::optional(state) : std::nullopt;
}

nlohmann::json& FeatureEntry(nlohmann::json& data, const FeatureInfo& feature) {
    nlohmann::json& features = data[kFeaturesKey];
    if (!features.is_object()) {
        features = nlohmann::json::object();
    }
    nlohmann::json& entry = features[feature.name];
    if (!entry.is_object()) {
        entry = nlohmann::json::object();
    }
    return entry;
}

void SetFeatureState(nlohmann::json& data, const FeatureInfo& feature, int state) {
    nlohmann::json& entry = FeatureEntry(data, feature);
    entry[kStateKey] = state;
    entry[kDisabledKey] = false;
    PublishState(feature, state);
    if (feature.exclusiveWith && state != 0) {
        const FeatureInfo* other = FindFeature(feature.exclusiveWith);
        SetFeatureState(data, *other, 0);
    }
}

} // namespace host

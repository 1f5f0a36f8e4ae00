#include "machine/host/KeyboardAnswers.h"

#include "machine/host/ContractAnswers.h"
#include "platform/internal.h"

namespace host {

namespace {

constexpr int kBacklightAuto = 3;
constexpr int kTopRowSpecial = 1;

std::wstring CapabilityList(const Settings& entries, const HostFeature& feature) {
    return KeyedListAnswer(L"CapabilityList", L"Capability", entries, feature);
}

std::wstring SettingList(const Settings& entries, const HostFeature& feature) {
    return KeyedListAnswer(L"SettingList", L"Setting", entries, feature);
}

const wchar_t* BacklightStatusText(const HostFeature& backlight) {
    if (backlight.supported && backlight.disabled) {
        return L"DisabledOff";
    }
    switch (backlight.supported ? backlight.state : 0) {
    case 1:
        return L"Level_1";
    case 2:
        return L"Level_2";
    case kBacklightAuto:
        return L"Auto";
    default:
        return L"Off";
    }
}

// The feature's answer text of the key, else the host's own.
std::wstring AnswerText(const HostFeature& feature, const char* key, const wchar_t* hostText) {
    const auto found = feature.answer.find(key);
    return found == feature.answer.end() ? hostText : platform::FromUtf8(found->second);
}

// The primary settings of the two plug-ins: their texts, and whether the F1-F12 keys lead.
struct PrimarySetting {
    const char* key;
    const wchar_t* hostText;
    const wchar_t* fnKeysText;
};

constexpr PrimarySetting kKobalPrimary = {"PrimaryFunction", L"unselect", L"select"};
constexpr PrimarySetting kIxorPrimary = {"PrimeKey", L"hotkey", L"fnkey"};

bool FnKeysLead(const HostFeature& topRow, const PrimarySetting& primary) {
    return platform::EqualsNoCase(AnswerText(topRow, primary.key, primary.hostText), primary.fnKeysText);
}

// The Fn lock is on when it brings the special functions over F1-F12 keys that lead, or the reverse.
bool FnLockOn(const HostFeature& topRow, const PrimarySetting& primary) {
    return (topRow.state == kTopRowSpecial) == FnKeysLead(topRow, primary);
}

std::optional<int> TopRowStateAfterFnLock(const HostFeature& topRow, const PrimarySetting& primary,
                                          int fnLock) {
    if (fnLock != 0 && fnLock != 1) {
        return std::nullopt;
    }
    return (fnLock == 1) == FnKeysLead(topRow, primary) ? kTopRowSpecial : 0;
}

} // namespace

std::wstring BacklightCapabilityAnswer(const HostState& state) {
    const HostFeature backlight = state.Feature(kKeyboardBacklightFeature);
    return CapabilityList({{L"KeyboardBacklightControl", CapitalTrueOrFalse(backlight.supported)}},
                          backlight);
}

std::wstring BacklightStatusAnswer(const HostState& state) {
    const HostFeature backlight = state.Feature(kKeyboardBacklightFeature);
    return SettingList({{L"KeyboardBacklightLevel", backlight.supported ? L"TwoLevelsAuto" : L"None"},
                        {L"KeyboardBacklightStatus", BacklightStatusText(backlight)}},
                       backlight);
}

std::wstring AutoBacklightAnswer(const HostState& state) {
    const HostFeature backlight = state.Feature(kKeyboardBacklightFeature);
    const bool autoOn = backlight.supported && !backlight.disabled && backlight.state == kBacklightAuto;
    return SettingList({{L"IsAutoModeEnabled", CapitalTrueOrFalse(backlight.supported)},
                        {L"IsAutoModeOn", CapitalTrueOrFalse(autoOn)}},
                       backlight);
}

std::optional<int> BacklightStateAfterSmartSense(const HostFeature& backlight, int smartSense) {
    if (backlight.disabled) {
        return std::nullopt;
    }
    if (smartSense == 1) {
        return kBacklightAuto;
    }
    if (smartSense == 0 && backlight.state == kBacklightAuto) {
        return 0;
    }
    return std::nullopt;
}

std::wstring KobalKbdCapabilityAnswer(const HostState& state) {
    const HostFeature topRow = state.Feature(kKeyboardTopRowFeature);
    return CapabilityList({{L"PrimaryFunction", TrueOrFalse(topRow.supported)},
                           {L"FnLock", TrueOrFalse(topRow.supported)},
                           {L"FnStickKey", TrueOrFalse(false)}},
                          topRow);
}

std::wstring KobalKbdSettingsAnswer(const HostState& state) {
    const HostFeature topRow = state.Feature(kKeyboardTopRowFeature);
    return SettingList({{L"PrimaryFunction", kKobalPrimary.hostText},
                        {L"FnLock", TrueOrFalse(FnLockOn(topRow, kKobalPrimary))},
                        {L"FnStickKey", TrueOrFalse(false)}},
                       topRow);
}

std::wstring IxorKbdCapabilityAnswer(const HostState& state) {
    const HostFeature topRow = state.Feature(kKeyboardTopRowFeature);
    return CapabilityList(
        {{L"PrimeKey", TrueOrFalse(topRow.supported)}, {L"FnLock", TrueOrFalse(topRow.supported)}}, topRow);
}

std::wstring IxorPrimeKeySettingsAnswer(const HostState& state) {
    const HostFeature topRow = state.Feature(kKeyboardTopRowFeature);
    return SettingList({{L"PrimeKey", kIxorPrimary.hostText}}, topRow);
}

std::wstring IxorFnLockSettingsAnswer(const HostState& state) {
    const HostFeature topRow = state.Feature(kKeyboardTopRowFeature);
    return SettingList({{L"FnLock", TrueOrFalse(FnLockOn(topRow, kIxorPrimary))}}, topRow);
}

std::optional<int> TopRowStateAfterKobalFnLock(const HostFeature& topRow, int fnLock) {
    return TopRowStateAfterFnLock(topRow, kKobalPrimary, fnLock);
}

std::optional<int> TopRowStateAfterIxorFnLock(const HostFeature& topRow, int fnLock) {
    return TopRowStateAfterFnLock(topRow, kIxorPrimary, fnLock);
}

} // namespace host

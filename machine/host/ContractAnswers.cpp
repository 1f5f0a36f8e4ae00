#include "machine/host/ContractAnswers.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "machine/host/HostFeatures.h"
#include "platform/internal.h"

namespace host {

namespace {

constexpr const wchar_t* kXmlDeclaration = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>";

} // namespace

const wchar_t* TrueOrFalse(bool value) {
    return value ? L"true" : L"false";
}

// As the privacy guard plug-in spells its flags.
const wchar_t* CapitalTrueOrFalse(bool value) {
    return value ? L"True" : L"False";
}

std::wstring Escaped(std::wstring_view text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        switch (c) {
        case L'&':
            escaped += L"&amp;";
            break;
        case L'<':
            escaped += L"&lt;";
            break;
        case L'>':
            escaped += L"&gt;";
            break;
        case L'"':
            escaped += L"&quot;";
            break;
        case L'\'':
            escaped += L"&apos;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

namespace {

std::wstring KeyedElement(const wchar_t* name, const std::wstring& key, const std::wstring& value,
                          const wchar_t* attribute = L"key") {
    return std::wstring(L"<") + name + L" " + attribute + L"=\"" + Escaped(key) + L"\">" + Escaped(value) +
           L"</" + name + L">";
}

// The host's own settings with the feature's answer texts: in place of a setting of the same key, else
// after the host's.
Settings WithAnswerTexts(Settings settings, const HostFeature& feature) {
    for (const auto& [key, text] : feature.answer) {
        const std::wstring wideKey = platform::FromUtf8(key);
        const std::wstring wideText = platform::FromUtf8(text);
        const auto found = std::find_if(settings.begin(), settings.end(),
                                        [&](const auto& setting) { return setting.first == wideKey; });
        if (found != settings.end()) {
            found->second = wideText;
        } else {
            settings.emplace_back(wideKey, wideText);
        }
    }
    return settings;
}

std::wstring KeyedElements(const wchar_t* name, const Settings& settings, const wchar_t* attribute = L"key") {
    std::wstring elements;
    for (const auto& [key, value] : settings) {
        elements += KeyedElement(name, key, value, attribute);
    }
    return elements;
}

// The feature's document as its answers carry it: as the answer itself, or as the text of the "Data"
// element of the host's response.
std::wstring InForm(const std::wstring& document, AnswerForm form) {
    if (form == AnswerForm::Direct) {
        return document;
    }
    return std::wstring(kXmlDeclaration) + L"<ContractResponse><Result>Success</Result><Data>" +
           Escaped(document) + L"</Data></ContractResponse>";
}

} // namespace

std::wstring KeyedListAnswer(const wchar_t* list, const wchar_t* entry, const Settings& settings,
                             const HostFeature& feature, const wchar_t* attribute) {
    return InForm(std::wstring(kXmlDeclaration) + L"<" + list + L">" +
                      KeyedElements(entry, WithAnswerTexts(settings, feature), attribute) + L"</" + list +
                      L">",
                  feature.form);
}

std::wstring DocumentAnswer(const std::wstring& body, AnswerForm form) {
    return InForm(std::wstring(kXmlDeclaration) + body, form);
}

namespace {

// "allow" or "deny" for each of Windows' location consents, comma-separated; a consent that is missing
// or not "Allow" is denied.
std::wstring LocationPermissionText() {
    std::wstring text;
    for (const wchar_t* keyPath : kLocationConsentKeys) {
        const auto consent = ReadRegistryText(keyPath, kLocationConsentValue);
        text += text.empty() ? L"" : L",";
        text += consent && platform::EqualsNoCase(*consent, L"Allow") ? L"allow" : L"deny";
    }
    return text;
}

} // namespace

std::wstring MachineBrandAnswer(const HostState& state) {
    return platform::FromUtf8(state.brand);
}

std::wstring MachineTypeModelAnswer(const HostState& state) {
    return platform::FromUtf8(state.mtm);
}

std::wstring PluginInvokeAnswer(const HostState& state) {
    return std::wstring(kXmlDeclaration) + L"<PluginInvokeResult><Status>" +
           (state.pluginInvokeError ? L"PluginInvokeError1" : L"PluginInvokeSuccess") +
           L"</Status></PluginInvokeResult>";
}

// A setting list of the vision-protection plug-in: its colour-temperature settings, the eye-care state
// and whether the display driver lets it work ("NotAvaliable", as the plug-in spells it, while the
// feature is disabled).
std::wstring EyeCareModeStatusAnswer(const HostState& state) {
    const HostFeature eyeCare = state.Feature(kEyeCareFeature);
    const wchar_t* capability = !eyeCare.supported ? L"NotSupport"
                                : eyeCare.disabled ? L"NotAvaliable"
                                                   : L"Support";
    const Settings settings = {
        {L"APICapability", TrueOrFalse(eyeCare.supported)},
        {L"Capability", capability},
        {L"EyeModeState", TrueOrFalse(eyeCare.supported && eyeCare.state == 1)},
        {L"ColorTemperature", L"6500"},
        {L"InSchedule", L"false"},
        {L"MyScheduleState", L"false"},
    };
    return InForm(std::wstring(kXmlDeclaration) + L"<SettingList><CTempSettings>" +
                      KeyedElements(L"Settings", WithAnswerTexts(settings, eyeCare)) +
                      L"</CTempSettings></SettingList>",
                  eyeCare.form);
}

std::optional<int> StateUnlessDisabled(const HostFeature& feature, int state) {
    return feature.disabled ? std::nullopt : std::optional(state);
}

// The service is enabled while it is supported and switched on; the user's preference follows the
// switch; the system's policy allows it.
std::wstring WifiSecurityStatusAnswer(const HostState& state) {
    const HostFeature wifi = state.Feature(kWiFiSecurityFeature);
    const Settings settings = {
        {L"IsSupported", TrueOrFalse(wifi.supported)},
        {L"IsEnabled", TrueOrFalse(wifi.supported && wifi.state == 1)},
        {L"SystemPolicy", L"true"},
        {L"UserPreference", TrueOrFalse(wifi.state == 1)},
        {L"LocationPermission", LocationPermissionText()},
    };
    return KeyedListAnswer(L"SettingList", L"Setting", settings, wifi);
}

// The guard and its start while a password is typed come together with the feature.
std::wstring PrivacyGuardCapabilityAnswer(const HostState& state) {
    const HostFeature guard = state.Feature(kPrivacyGuardFeature);
    const Settings capabilities = {
        {L"PrivacyGuard", CapitalTrueOrFalse(guard.supported)},
        {L"PrivacyGuardOnPassword", CapitalTrueOrFalse(guard.supported)},
    };
    return KeyedListAnswer(L"CapabilityList", L"Capability", capabilities, guard);
}

// The guard is on while it is supported and switched on; the host never starts it for passwords.
std::wstring PrivacyGuardStatusAnswer(const HostState& state) {
    const HostFeature guard = state.Feature(kPrivacyGuardFeature);
    const Settings settings = {
        {L"PrivacyGuard", CapitalTrueOrFalse(guard.supported && guard.state == 1)},
        {L"PrivacyGuardOnPassword", CapitalTrueOrFalse(false)},
    };
    return KeyedListAnswer(L"SettingList", L"Setting", settings, guard);
}

std::wstring CameraAnswer(const HostState&) {
    return std::wstring(kXmlDeclaration) + L"<ContractResponse><Result>Success</Result></ContractResponse>";
}

std::wstring MalformedAnswer(const std::wstring& answer) {
    const size_t lastEndTag = answer.rfind(L"</");
    return answer.substr(0, lastEndTag == std::wstring::npos ? answer.size() / 2 : lastEndTag);
}

} // namespace host

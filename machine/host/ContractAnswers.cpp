#include "machine/host/ContractAnswers.h"

#include "platform/internal.h"

namespace host {

namespace {

constexpr const wchar_t* kXmlDeclaration = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>";

const wchar_t* TrueOrFalse(bool value) {
    return value ? L"true" : L"false";
}

std::wstring Setting(const wchar_t* key, const std::wstring& value) {
    return std::wstring(L"<Settings key=\"") + key + L"\">" + value + L"</Settings>";
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
// and whether the display driver lets it work.
std::wstring EyeCareModeStatusAnswer(const HostState& state) {
    const HostFeature eyeCare = state.Feature(kEyeCareFeature);
    return std::wstring(kXmlDeclaration) + L"<SettingList><CTempSettings>" +
           Setting(L"APICapability", TrueOrFalse(eyeCare.supported)) +
           Setting(L"Capability", eyeCare.supported ? L"Support" : L"NotSupport") +
           Setting(L"EyeModeState", TrueOrFalse(eyeCare.supported && eyeCare.state == 1)) +
           Setting(L"ColorTemperature", L"6500") + Setting(L"InSchedule", L"false") +
           Setting(L"MyScheduleState", L"false") + L"</CTempSettings></SettingList>";
}

} // namespace host

#include "machine/host/TouchpadAnswers.h"

#include "machine/host/ContractAnswers.h"

namespace host {

std::wstring TouchpadCapabilityAnswer(const HostState& state) {
    const HostFeature touchpad = state.Feature(kTouchpadFeature);
    return KeyedListAnswer(L"CapabilityList", L"Capability",
                           {{L"TouchPadControl", CapitalTrueOrFalse(touchpad.supported)}}, touchpad);
}

// The plug-in has no state to report without the device: its setting says why.
std::wstring TouchpadStatusAnswer(const HostState& state) {
    const HostFeature touchpad = state.Feature(kTouchpadFeature);
    if (!touchpad.supported) {
        return DocumentAnswer(
            L"<SettingList><Setting key=\"TouchPadEnabled\" errorCode=\"NoCapability\">False"
            L"</Setting></SettingList>",
            touchpad.form);
    }
    return KeyedListAnswer(L"SettingList", L"Setting",
                           {{L"TouchPadEnabled", CapitalTrueOrFalse(touchpad.state == 1)}}, touchpad);
}

} // namespace host

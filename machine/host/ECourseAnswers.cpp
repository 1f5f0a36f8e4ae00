#include "machine/host/ECourseAnswers.h"

#include "machine/host/ContractAnswers.h"

namespace host {

std::wstring AudioProfileCapabilityAnswer(const HostState& state) {
    const HostFeature dolby = state.Feature(kDolbyAudioFeature);
    return KeyedListAnswer(L"CapabilityList", L"Capability",
                           {{L"IsDolbyAudioProfile", CapitalTrueOrFalse(dolby.supported)},
                            {L"IsMaxwaveAudioProfile", CapitalTrueOrFalse(false)},
                            {L"AudioProfilesSupported", dolby.supported ? kDolbyProfiles : L""}},
                           dolby, L"Key");
}

std::wstring ECourseStatusAnswer(const HostState& state) {
    const HostFeature eCourse = state.Feature(kECourseFeature);
    return KeyedListAnswer(L"SettingList", L"Setting",
                           {{L"IsAudioProfileEnabled", TrueOrFalse(eCourse.supported)},
                            {L"DriverAvailability", TrueOrFalse(!eCourse.disabled)},
                            {L"ECourseStatus", TrueOrFalse(eCourse.state == 1)}},
                           eCourse);
}

} // namespace host

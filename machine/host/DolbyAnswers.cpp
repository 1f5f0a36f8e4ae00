#include "machine/host/DolbyAnswers.h"

#include "machine/host/ContractAnswers.h"
#include "machine/host/ECourseAnswers.h"

namespace host {

std::wstring DolbyStatusAnswer(const HostState& state) {
    const HostFeature dolby = state.Feature(kDolbyAudioFeature);
    return KeyedListAnswer(
        L"SettingList", L"Setting",
        {{L"IsAudioProfileEnabled", CapitalTrueOrFalse(dolby.supported && dolby.state == 1)},
         {L"CurrentAudioProfile", kCurrentDolbyProfile},
         {L"DriverAvailability", TrueOrFalse(true)}},
        dolby);
}

} // namespace host

#include "machine/host/ContractServer.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "machine/host/AirplaneModeAnswers.h"
#include "machine/host/ChargeThresholdAnswers.h"
#include "machine/host/ContractAnswers.h"
#include "machine/host/ECourseAnswers.h"
#include "machine/host/HostFeatures.h"
#include "machine/host/HostStateCache.h"
#include "machine/host/KeyboardAnswers.h"
#include "platform/internal.h"

namespace host {

namespace {

// How often a held call looks whether the host has left the slow mode.
constexpr std::chrono::milliseconds kSlowPollInterval(20);

CHostStateCache& SharedState() {
    static CHostStateCache cache;
    return cache;
}

HRESULT ResultOf(HostMode mode) {
    switch (mode) {
    case HostMode::Normal:
    case HostMode::Slow:
    case HostMode::Malformed:
        return S_OK;
    case HostMode::Absent:
        return kDisconnected;
    case HostMode::Failing:
        break;
    }
    return kServerFault;
}

// Switches the feature when the host supports it and the state (the one the change makes of the
// argument, with a change) is one of the feature's.
bool SwitchFeature(const char* name, int argument, StateChange change) {
    const FeatureInfo* feature = FindFeature(name);
    std::string error;
    return UpdateHostState(
        [&](nlohmann::json& data) {
            const HostFeature current = ParseHostState(data).Feature(feature->name);
            const std::optional<int> state = change ? change(current, argument) : argument;
            if (current.supported && state && *state >= 0 && *state <= feature->maxState) {
                SetFeatureState(data, *feature, *state);
            }
        },
        error);
}

// A null BSTR is the empty text.
std::string Utf8(BSTR text) {
    return text ? platform::ToUtf8(std::wstring_view(text, SysStringLen(text))) : "";
}

} // namespace

std::atomic<long> CContractServer::s_liveObjects{0};

CContractServer::CContractServer() {
    ++s_liveObjects;
}

CContractServer::~CContractServer() {
    --s_liveObjects;
}

STDMETHODIMP CContractServer::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IContractInterface)) {
        *ppvObject = static_cast<IContractInterface*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CContractServer::AddRef() {
    return ++m_references;
}

STDMETHODIMP_(ULONG) CContractServer::Release() {
    const ULONG left = --m_references;
    if (left == 0) {
        delete this;
    }
    return left;
}

STDMETHODIMP CContractServer::raw_CheckPluginInvoke(BSTR* pAnswer) {
    return Query(Server::Host, "contract.CheckPluginInvoke", nlohmann::json::object(), PluginInvokeAnswer,
                 pAnswer);
}

STDMETHODIMP CContractServer::raw_GetMachineBrand(BSTR* pAnswer) {
    return Query(Server::Host, "contract.GetMachineBrand", nlohmann::json::object(), MachineBrandAnswer,
                 pAnswer);
}

STDMETHODIMP CContractServer::raw_GetEyeCareModeStatusEx(int type, BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetEyeCareModeStatusEx", {{"type", type}}, EyeCareModeStatusAnswer,
                 pAnswer);
}

// The plug-in answers its settings after the change; while the graphics driver is disabled the mode stays.
STDMETHODIMP CContractServer::raw_SetEyeCareMode(int state, int type, BSTR* pAnswer) {
    return Set("contract.SetEyeCareMode", kEyeCareFeature, state, EyeCareModeStatusAnswer, pAnswer,
               StateUnlessDisabled, {{"type", type}});
}

// The panel's support: the vision-protection plug-in offers eye care.
STDMETHODIMP CContractServer::raw_GetEyeCareTempSettings(int* pSupport) {
    if (!pSupport) {
        return E_POINTER;
    }
    return QueryNumbers("contract.GetEyeCareTempSettings", [pSupport](const HostState& state) {
        *pSupport = state.Feature(kEyeCareFeature).supported ? 1 : 0;
    });
}

STDMETHODIMP CContractServer::raw_GetPrivacyMonitorState(int* pState) {
    if (!pState) {
        return E_POINTER;
    }
    return QueryNumbers("contract.GetPrivacyMonitorState",
                        [pState](const HostState& state) { *pState = state.privacyMonitor.state; });
}

STDMETHODIMP CContractServer::raw_GetPrivacyMonitorStatus(int* pCount1, int* pCount2, int* pCount3,
                                                          int* pCount4, int* pCount5, int* pCount6,
                                                          int* pCount7, int* pMode) {
    int* const counts[kPrivacyCountCount] = {pCount1, pCount2, pCount3, pCount4, pCount5, pCount6, pCount7};
    if (std::find(std::begin(counts), std::end(counts), nullptr) != std::end(counts) || !pMode) {
        return E_POINTER;
    }
    return QueryNumbers("contract.GetPrivacyMonitorStatus", [&counts, pMode](const HostState& state) {
        for (int i = 0; i < kPrivacyCountCount; ++i) {
            *counts[i] = state.privacyMonitor.counts[static_cast<size_t>(i)];
        }
        *pMode = state.privacyMonitor.mode;
    });
}

STDMETHODIMP CContractServer::raw_GetMachineTypeModel(BSTR* pAnswer) {
    return Query(Server::Host, "contract.GetMachineTypeModel", nlohmann::json::object(),
                 MachineTypeModelAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetWifiSecurityStatus(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetWifiSecurityStatus", nlohmann::json::object(),
                 WifiSecurityStatusAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_SetWiFiStatus(int state, BSTR* pAnswer) {
    return Set("contract.SetWiFiStatus", kWiFiSecurityFeature, state, WifiSecurityStatusAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_IsSupportPrivacyGuard(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.IsSupportPrivacyGuard", nlohmann::json::object(),
                 PrivacyGuardCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetPrivacyGuardStatus(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetPrivacyGuardStatus", nlohmann::json::object(),
                 PrivacyGuardStatusAnswer, pAnswer);
}

// The screen-privacy driver publishes the new state too (SetFeatureState).
STDMETHODIMP CContractServer::raw_SetPrivacyGuard(int state, BSTR* pAnswer) {
    return Set("contract.SetPrivacyGuard", kPrivacyGuardFeature, state, PrivacyGuardStatusAnswer, pAnswer);
}

// The host keeps no camera state: the call is recorded and answered as the camera plug-in's queries are.
STDMETHODIMP CContractServer::raw_SetCamera(int state, BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.SetCamera", {{"state", state}}, CameraAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_IsSupportBacklightEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.IsSupportBacklightEx", nlohmann::json::object(),
                 BacklightCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetBacklightStatusEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetBacklightStatusEx", nlohmann::json::object(),
                 BacklightStatusAnswer, pAnswer);
}

// The level is the state; a level set ends the auto mode. A backlight off by hardware keeps its state.
STDMETHODIMP CContractServer::raw_SetBackLight(int level, BSTR* pAnswer) {
    return Set("contract.SetBackLight", kKeyboardBacklightFeature, level, BacklightStatusAnswer, pAnswer,
               StateUnlessDisabled);
}

STDMETHODIMP CContractServer::raw_GetAutoKBDBacklightEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetAutoKBDBacklightEx", nlohmann::json::object(),
                 AutoBacklightAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_SetSmartSense(int state, BSTR* pAnswer) {
    return Set("contract.SetSmartSense", kKeyboardBacklightFeature, state, AutoBacklightAnswer, pAnswer,
               BacklightStateAfterSmartSense);
}

STDMETHODIMP CContractServer::raw_GetIxorKBDCapability(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetIxorKBDCapability", nlohmann::json::object(),
                 IxorKbdCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetIxorPrimeKeySettings(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetIxorPrimeKeySettings", nlohmann::json::object(),
                 IxorPrimeKeySettingsAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetIxorFnLockSettings(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetIxorFnLockSettings", nlohmann::json::object(),
                 IxorFnLockSettingsAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_SetIxorFnLock(int state, BSTR* pAnswer) {
    return Set("contract.SetIxorFnLock", kKeyboardTopRowFeature, state, IxorFnLockSettingsAnswer, pAnswer,
               TopRowStateAfterIxorFnLock);
}

STDMETHODIMP CContractServer::raw_GetKobalKBDCapability(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetKobalKBDCapability", nlohmann::json::object(),
                 KobalKbdCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetKobalKBDSettings(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetKobalKBDSettings", nlohmann::json::object(),
                 KobalKbdSettingsAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_SetKobalFnLock(int state, BSTR* pAnswer) {
    return Set("contract.SetKobalFnLock", kKeyboardTopRowFeature, state, KobalKbdSettingsAnswer, pAnswer,
               TopRowStateAfterKobalFnLock);
}

STDMETHODIMP CContractServer::raw_GetAirplaneModeCapability(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetAirplaneModeCapability", nlohmann::json::object(),
                 AirplaneModeCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetAllPowerSettings(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetAllPowerSettings", nlohmann::json::object(),
                 PowerSettingsAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_SetAirplaneMode(int state, BSTR* pAnswer) {
    return Set("contract.SetAirplaneMode", kAirplanePowerModeFeature, state, PowerSettingsAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_IsSupportDolbyEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.IsSupportDolbyEx", nlohmann::json::object(),
                 AudioProfileCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetECourseStatusEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetECourseStatusEx", nlohmann::json::object(), ECourseStatusAnswer,
                 pAnswer);
}

// Without the audio driver the mode stays as it is.
STDMETHODIMP CContractServer::raw_SetECourseMode(int state, BSTR* pAnswer) {
    return Set("contract.SetECourseMode", kECourseFeature, state, ECourseStatusAnswer, pAnswer,
               StateUnlessDisabled);
}

STDMETHODIMP CContractServer::raw_IsSupportBatteryEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.IsSupportBatteryEx", nlohmann::json::object(),
                 BatteryCapabilityAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetChargeThresholdStatusEx(BSTR* pAnswer) {
    return Query(Server::Plugin, "contract.GetChargeThresholdStatusEx", nlohmann::json::object(),
                 ChargeThresholdStatusAnswer, pAnswer);
}

// The switch and each battery's "BATTERY,START,STOP" (ApplyChargeThreshold), recorded with the three
// arguments whatever the host made of them.
STDMETHODIMP CContractServer::raw_SetChargeThreshold(int enable, BSTR threshold1, BSTR threshold2,
                                                     BSTR* pAnswer) {
    if (!pAnswer) {
        return E_POINTER;
    }
    *pAnswer = nullptr;
    HostState hostState;
    const HRESULT hr = BeginCall(Server::Plugin, hostState);
    if (FAILED(hr)) {
        return hr;
    }
    const std::string first = Utf8(threshold1);
    const std::string second = Utf8(threshold2);
    std::string error;
    if (!UpdateHostState([&](nlohmann::json& data) { ApplyChargeThreshold(data, enable, first, second); },
                         error)) {
        return kServerFault;
    }
    platform::AppendMachineEvent("contract.SetChargeThreshold",
                                 {{"enable", enable}, {"threshold1", first}, {"threshold2", second}});
    return Deliver(Server::Plugin, SharedState().Current(), ChargeThresholdStatusAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_InitializeContract(BSTR packageName, BSTR version) {
    return Notify("contract.InitializeContract",
                  {{"package", Utf8(packageName)}, {"version", Utf8(version)}});
}

STDMETHODIMP CContractServer::raw_SendPageView(BSTR feature, BSTR page) {
    return Notify("telemetry.pageview", {{"feature", Utf8(feature)}, {"page", Utf8(page)}});
}

STDMETHODIMP CContractServer::raw_SendFeatureTelemetry(BSTR eventName, BSTR value, BSTR page,
                                                       BSTR launchContext) {
    return Notify("telemetry.feature", {{"name", Utf8(eventName)},
                                        {"value", Utf8(value)},
                                        {"page", Utf8(page)},
                                        {"context", Utf8(launchContext)}});
}

STDMETHODIMP CContractServer::raw_SendPageTelemetry(BSTR page, BSTR fromPage, BSTR value,
                                                    BSTR launchContext) {
    return Notify("telemetry.page", {{"page", Utf8(page)},
                                     {"from", Utf8(fromPage)},
                                     {"value", Utf8(value)},
                                     {"context", Utf8(launchContext)}});
}

HRESULT CContractServer::NotImplemented(BSTR* pAnswer) {
    if (pAnswer) {
        *pAnswer = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT CContractServer::BeginCall(Server server, HostState& state) {
    state = SharedState().Current();
    std::this_thread::sleep_for(std::chrono::milliseconds(state.answerDelayMs));
    const auto release = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxAnswerDelayMs);
    while (server == Server::Plugin && state.mode == HostMode::Slow &&
           std::chrono::steady_clock::now() < release) {
        std::this_thread::sleep_for(kSlowPollInterval);
        state = SharedState().Current();
    }
    return ResultOf(state.mode);
}

HRESULT CContractServer::Notify(const char* event, const nlohmann::json& fields) {
    HostState state;
    const HRESULT hr = BeginCall(Server::Host, state);
    if (SUCCEEDED(hr)) {
        platform::AppendMachineEvent(event, fields);
    }
    return hr;
}

HRESULT CContractServer::Query(Server server, const char* event, const nlohmann::json& fields,
                               AnswerMaker makeAnswer, BSTR* pAnswer) {
    if (!pAnswer) {
        return E_POINTER;
    }
    *pAnswer = nullptr;
    HostState state;
    HRESULT hr = BeginCall(server, state);
    if (SUCCEEDED(hr)) {
        hr = Deliver(server, state, makeAnswer, pAnswer);
    }
    if (SUCCEEDED(hr)) {
        platform::AppendMachineEvent(event, fields);
    }
    return hr;
}

HRESULT CContractServer::QueryNumbers(const char* event, const std::function<void(const HostState&)>& write) {
    HostState state;
    const HRESULT hr = BeginCall(Server::Plugin, state);
    if (SUCCEEDED(hr)) {
        write(state);
        platform::AppendMachineEvent(event, nlohmann::json::object());
    }
    return hr;
}

HRESULT CContractServer::Set(const char* event, const char* feature, int state, AnswerMaker makeAnswer,
                             BSTR* pAnswer, StateChange change, const nlohmann::json& arguments) {
    if (!pAnswer) {
        return E_POINTER;
    }
    *pAnswer = nullptr;
    HostState hostState;
    const HRESULT hr = BeginCall(Server::Plugin, hostState);
    if (FAILED(hr)) {
        return hr;
    }
    if (!SwitchFeature(feature, state, change)) {
        return kServerFault;
    }
    nlohmann::json record = arguments;
    record["state"] = state;
    platform::AppendMachineEvent(event, record);
    return Deliver(Server::Plugin, SharedState().Current(), makeAnswer, pAnswer);
}

HRESULT CContractServer::Deliver(Server server, const HostState& state, AnswerMaker makeAnswer,
                                 BSTR* pAnswer) {
    std::wstring answer = makeAnswer(state);
    if (server == Server::Plugin && state.mode == HostMode::Malformed) {
        answer = MalformedAnswer(answer);
    }
    *pAnswer = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    return *pAnswer ? S_OK : E_OUTOFMEMORY;
}

} // namespace host

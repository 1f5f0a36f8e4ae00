// The host's contract object: IContractInterface as the plug-in host serves it. Each call reads the
// host's state; the calls that reach the host are recorded in the machine's events, and a set call
// changes the state. Methods the host does not serve yet answer E_NOTIMPL.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "machine/host/HostState.h"
#include "services/ContractInterface.h"

namespace host {

// What a call meets when the host's service fails inside it, or is gone.
inline constexpr HRESULT kServerFault = static_cast<HRESULT>(0x80010105u);  // RPC_E_SERVERFAULT
inline constexpr HRESULT kDisconnected = static_cast<HRESULT>(0x80010108u); // RPC_E_DISCONNECTED

// The state a set call's argument gives the feature as it is now, where the plug-in does not take the
// argument as the state itself; none leaves the feature as it is.
using StateChange = std::optional<int> (*)(const HostFeature& feature, int argument);

class CContractServer final : public IContractInterface {
public:
    CContractServer();
    ~CContractServer();
    CContractServer(const CContractServer&) = delete;
    CContractServer& operator=(const CContractServer&) = delete;

    // The objects of the module alive now.
    static long LiveObjects() { return s_liveObjects.load(); }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: the host offers no type information and no late binding.
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // Served.
    STDMETHODIMP raw_CheckPluginInvoke(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetMachineBrand(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetEyeCareModeStatusEx(int type, BSTR* pAnswer) override;
    STDMETHODIMP raw_SetEyeCareMode(int state, int type, BSTR* pAnswer) override;
    STDMETHODIMP raw_GetEyeCareTempSettings(int* pSupport) override;
    STDMETHODIMP raw_GetPrivacyMonitorState(int* pState) override;
    STDMETHODIMP raw_GetPrivacyMonitorStatus(int* pCount1, int* pCount2, int* pCount3, int* pCount4,
                                             int* pCount5, int* pCount6, int* pCount7, int* pMode) override;
    STDMETHODIMP raw_GetMachineTypeModel(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetWifiSecurityStatus(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetWiFiStatus(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_IsSupportPrivacyGuard(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetPrivacyGuardStatus(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetPrivacyGuard(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_SetCamera(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_IsSupportBacklightEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetBacklightStatusEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetBackLight(int level, BSTR* pAnswer) override;
    STDMETHODIMP raw_GetAutoKBDBacklightEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetSmartSense(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_GetIxorKBDCapability(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetIxorPrimeKeySettings(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetIxorFnLockSettings(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetIxorFnLock(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_GetKobalKBDCapability(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetKobalKBDSettings(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetKobalFnLock(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_GetAirplaneModeCapability(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetAllPowerSettings(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetAirplaneMode(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_IsSupportDolbyEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetECourseStatusEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetECourseMode(int state, BSTR* pAnswer) override;
    STDMETHODIMP raw_IsSupportBatteryEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_GetChargeThresholdStatusEx(BSTR* pAnswer) override;
    STDMETHODIMP raw_SetChargeThreshold(int enable, BSTR threshold1, BSTR threshold2, BSTR* pAnswer) override;
    STDMETHODIMP raw_InitializeContract(BSTR packageName, BSTR version) override;
    STDMETHODIMP raw_SendPageView(BSTR feature, BSTR page) override;
    STDMETHODIMP raw_SendFeatureTelemetry(BSTR eventName, BSTR value, BSTR page, BSTR launchContext) override;
    STDMETHODIMP raw_SendPageTelemetry(BSTR page, BSTR fromPage, BSTR value, BSTR launchContext) override;

    // Not served yet.
    STDMETHODIMP raw_GetDolbyStatusEx(BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_SetDolby(int, BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_Unused14() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused24() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused26() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused27() override { return E_NOTIMPL; }
    STDMETHODIMP raw_SetKobalTouchPad(int, BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_IsSupportTouchPadEx2(BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_GetTouchPadStatusEx(BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_SetTouchPad(int, BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_Unused32() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused33() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused35() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused36() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused37() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused38() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused39() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused40() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused44() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused45() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused46() override { return E_NOTIMPL; }
    STDMETHODIMP raw_GetBatteryStatus(BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_GetBatteryChargeModeEx(BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_SetBatteryChargeMode(int, BSTR* pAnswer) override { return NotImplemented(pAnswer); }
    STDMETHODIMP raw_Unused51() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused52() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused53() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused54() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused58() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused60() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused64() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused68() override { return E_NOTIMPL; }
    STDMETHODIMP raw_Unused72() override { return E_NOTIMPL; }

private:
    using AnswerMaker = std::wstring (*)(const HostState&);
    // Who serves a call: the host itself, or a feature's plug-in through it. Only the plug-ins' calls are
    // held by a slow host, and only their answers come cut short from a malformed one.
    enum class Server { Host, Plugin };

    static HRESULT NotImplemented(BSTR* pAnswer);
    // The state for a call once its answer delay has passed and a slow host has let it go, or the
    // failure of a host that does not answer.
    static HRESULT BeginCall(Server server, HostState& state);
    // A call of the host's without an answer, recorded when the host takes it.
    static HRESULT Notify(const char* event, const nlohmann::json& fields);
    // A query answered from the state, recorded when the host takes it.
    static HRESULT Query(Server server, const char* event, const nlohmann::json& fields,
                         AnswerMaker makeAnswer, BSTR* pAnswer);
    // A set call of a feature's plug-in, recorded when the host takes it: a supported feature takes a
    // state within its states; the answer is made from the state after the change. With a change, the
    // state is the one the change makes of the argument ("state" in the record). The call's further
    // arguments are recorded beside the state.
    static HRESULT Set(const char* event, const char* feature, int state, AnswerMaker makeAnswer,
                       BSTR* pAnswer, StateChange change = nullptr,
                       const nlohmann::json& arguments = nlohmann::json::object());
    // A query of a feature's plug-in answered in numbers that the writer puts out from the state, recorded
    // when the host takes it; nothing is written when the call fails.
    static HRESULT QueryNumbers(const char* event, const std::function<void(const HostState&)>& write);
    // The answer as the host's mode gives it, in a new BSTR.
    static HRESULT Deliver(Server server, const HostState& state, AnswerMaker makeAnswer, BSTR* pAnswer);

    static std::atomic<long> s_liveObjects;
    std::atomic<ULONG> m_references{1};
};

} // namespace host

#include "machine/host/ContractServer.h"

#include <chrono>
#include <thread>

#include "machine/host/ContractAnswers.h"
#include "machine/host/HostStateCache.h"
#include "platform/internal.h"

namespace host {

namespace {

CHostStateCache& SharedState() {
    static CHostStateCache cache;
    return cache;
}

HRESULT ResultOf(HostMode mode) {
    return mode == HostMode::Normal ? S_OK : mode == HostMode::Absent ? kDisconnected : kServerFault;
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
    return Query("contract.CheckPluginInvoke", nlohmann::json::object(), PluginInvokeAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetMachineBrand(BSTR* pAnswer) {
    return Query("contract.GetMachineBrand", nlohmann::json::object(), MachineBrandAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetEyeCareModeStatusEx(int type, BSTR* pAnswer) {
    return Query("contract.GetEyeCareModeStatusEx", {{"type", type}}, EyeCareModeStatusAnswer, pAnswer);
}

STDMETHODIMP CContractServer::raw_GetMachineTypeModel(BSTR* pAnswer) {
    return Query("contract.GetMachineTypeModel", nlohmann::json::object(), MachineTypeModelAnswer, pAnswer);
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

HRESULT CContractServer::BeginCall(HostState& state) {
    state = SharedState().Current();
    std::this_thread::sleep_for(std::chrono::milliseconds(state.answerDelayMs));
    return ResultOf(state.mode);
}

HRESULT CContractServer::Notify(const char* event, const nlohmann::json& fields) {
    HostState state;
    const HRESULT hr = BeginCall(state);
    if (SUCCEEDED(hr)) {
        platform::AppendMachineEvent(event, fields);
    }
    return hr;
}

HRESULT CContractServer::Query(const char* event, const nlohmann::json& fields, AnswerMaker makeAnswer,
                               BSTR* pAnswer) {
    if (!pAnswer) {
        return E_POINTER;
    }
    *pAnswer = nullptr;
    HostState state;
    const HRESULT hr = BeginCall(state);
    if (FAILED(hr)) {
        return hr;
    }
    const std::wstring answer = makeAnswer(state);
    *pAnswer = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    if (!*pAnswer) {
        return E_OUTOFMEMORY;
    }
    platform::AppendMachineEvent(event, fields);
    return S_OK;
}

} // namespace host

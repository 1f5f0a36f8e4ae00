#include "services/ContractClient.h"

#include "services/Log.h"
#include "services/SystemRoutines.h"

IContractInterfacePtr g_pContractInterface;
std::wstring g_strLaunchContext;

int CreateContractInterfaceInstance() {
    if (g_pContractInterface) {
        return 0;
    }
    const HRESULT hr = g_pContractInterface.CreateInstance(CLSID_Pactbridge);
    if (!g_pContractInterface || FAILED(hr)) {
        WriteLog(L"[create Contract Interface Instance failure!][InitWindow]");
        return 1;
    }
    return ContractResultOf(
        [] { return g_pContractInterface->InitializeContract("CorvexAmpwisePackage", "0.0.0.0"); });
}

void ReleaseContractInterface() {
    if (g_pContractInterface) {
        g_pContractInterface.Release();
    }
}

int TrackPanelPageView() {
    if (!g_pContractInterface) {
        return 1;
    }
    return ContractResultOf(
        [] { return g_pContractInterface->SendPageView(L"Features.Toolbar.Flipdecks", L"Pages.Toolbar"); });
}

int SendFeatureEvent(const wchar_t* pszEvent, const wchar_t* pszValue, const wchar_t* pszPage) {
    if (!g_pContractInterface) {
        return 1;
    }
    return ContractResultOf([&] {
        return g_pContractInterface->SendFeatureTelemetry(pszEvent, pszValue, pszPage,
                                                          g_strLaunchContext.c_str());
    });
}

int SendPageEvent(const wchar_t* pszPage, const wchar_t* pszFromPage, const wchar_t* pszValue) {
    if (!g_pContractInterface) {
        return 1;
    }
    return ContractResultOf([&] {
        return g_pContractInterface->SendPageTelemetry(pszPage, pszFromPage, pszValue,
                                                       g_strLaunchContext.c_str());
    });
}

int TrackPanelPageLeave(const FILETIME* pOpenTime) {
    std::wstring strElapsed;
    FormatElapsedSinceFileTime(*pOpenTime, strElapsed);
    return SendPageEvent(L"Pages.Toolbar", L"", strElapsed.c_str());
}

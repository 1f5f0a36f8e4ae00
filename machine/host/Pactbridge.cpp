// The module's entry points: the class factory of the contract class, and whether the module may be
// unloaded.
#include <atomic>

#include "machine/host/ContractServer.h"

#define PACTBRIDGE_EXPORT __attribute__((visibility("default")))

namespace {

std::atomic<long> g_serverLocks{0};

class CContractFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppvObject = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory lives as long as the module.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        *ppvObject = nullptr;
        if (pUnkOuter) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* contract = new host::CContractServer;
        const HRESULT hr = contract->QueryInterface(riid, ppvObject);
        contract->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        g_serverLocks += fLock ? 1 : -1;
        return S_OK;
    }
};

CContractFactory g_factory;

} // namespace

STDAPI PACTBRIDGE_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (rclsid != CLSID_Pactbridge) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI PACTBRIDGE_EXPORT DllCanUnloadNow() {
    return host::CContractServer::LiveObjects() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE;
}

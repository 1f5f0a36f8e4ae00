// MMDevApi.dll, the machine's Core Audio server: the class factory of MMDeviceEnumerator over the
// layer's audio objects, and whether the module may be unloaded.
#include "platform/audio/AudioObjects.h"

#define MMDEVAPI_EXPORT __attribute__((visibility("default")))

namespace {

std::atomic<long> g_serverLocks{0};

class CDeviceEnumeratorFactory final : public IClassFactory {
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
        return platform::audio::CreateDeviceEnumerator(riid, ppvObject);
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        g_serverLocks += fLock ? 1 : -1;
        return S_OK;
    }
};

CDeviceEnumeratorFactory g_factory;

} // namespace

STDAPI MMDEVAPI_EXPORT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (rclsid != CLSID_MMDeviceEnumerator) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI MMDEVAPI_EXPORT DllCanUnloadNow() {
    return platform::audio::LiveAudioObjects() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE;
}

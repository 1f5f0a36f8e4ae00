// The test server: DllGetClassObject for the class TestAnswers, whose objects answer ITestAnswers.
#include <atomic>

#include "tests/platform/module/TestAnswers.h"

namespace {

using namespace test_server;

std::atomic<int> g_liveObjects{0};
std::atomic<int> g_serverLocks{0};

class CTestAnswers final : public ITestAnswers {
public:
    CTestAnswers() { ++g_liveObjects; }
    ~CTestAnswers() { --g_liveObjects; }
    CTestAnswers(const CTestAnswers&) = delete;
    CTestAnswers& operator=(const CTestAnswers&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(ITestAnswers)) {
            *ppvObject = static_cast<ITestAnswers*>(this);
            AddRef();
            return S_OK;
        }
        *ppvObject = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --m_references;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) {
            return E_POINTER;
        }
        *pctinfo = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    STDMETHODIMP raw_Echo(BSTR text, BSTR* answer) override {
        if (!answer) {
            return E_POINTER;
        }
        *answer = text ? SysAllocStringLen(text, SysStringLen(text)) : nullptr;
        return text && !*answer ? E_OUTOFMEMORY : S_OK;
    }
    STDMETHODIMP raw_Fail(HRESULT result) override { return result; }
    STDMETHODIMP raw_LiveObjects(int* count) override {
        if (!count) {
            return E_POINTER;
        }
        *count = g_liveObjects.load();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class CTestAnswersFactory final : public IClassFactory {
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
    // The factory is static: it lives as long as the server is loaded.
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
        auto* object = new CTestAnswers;
        const HRESULT hr = object->QueryInterface(riid, ppvObject);
        object->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL fLock) override {
        g_serverLocks += fLock ? 1 : -1;
        return S_OK;
    }
};

CTestAnswersFactory g_factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (rclsid != __uuidof(TestAnswers)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return g_liveObjects.load() == 0 && g_serverLocks.load() == 0 ? S_OK : S_FALSE;
}

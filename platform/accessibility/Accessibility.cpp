// The references a window procedure hands to its accessibility client for WM_GETOBJECT, and the ways a
// client gets a window's object.
#include <map>
#include <mutex>

#include "platform/accessibility/StdAccessible.h"

namespace {

// The objects handed out and not yet redeemed, each holding one reference, by their value.
struct CHandedObjects {
    std::mutex mutex;
    std::map<LRESULT, IUnknown*> objects;
    LRESULT next = 1;
};

CHandedObjects& Handed() {
    static auto* handed = new CHandedObjects;
    return *handed;
}

} // namespace

LRESULT LresultFromObject(REFIID riid, WPARAM, LPUNKNOWN punk) {
    if (!punk) {
        return E_INVALIDARG;
    }
    IUnknown* object = nullptr;
    if (const HRESULT hr = punk->QueryInterface(riid, reinterpret_cast<void**>(&object)); FAILED(hr)) {
        return hr;
    }
    CHandedObjects& handed = Handed();
    const std::lock_guard<std::mutex> lock(handed.mutex);
    const LRESULT value = handed.next++;
    handed.objects.emplace(value, object);
    return value;
}

HRESULT ObjectFromLresult(LRESULT lResult, REFIID riid, WPARAM, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    IUnknown* object = nullptr;
    {
        CHandedObjects& handed = Handed();
        const std::lock_guard<std::mutex> lock(handed.mutex);
        const auto found = handed.objects.find(lResult);
        if (found == handed.objects.end()) {
            return E_INVALIDARG;
        }
        object = found->second;
        handed.objects.erase(found);
    }
    const HRESULT hr = object->QueryInterface(riid, ppvObject);
    object->Release();
    return hr;
}

HRESULT AccessibleObjectFromWindow(HWND hwnd, DWORD dwId, REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (!IsWindow(hwnd)) {
        return E_INVALIDARG;
    }
    const LRESULT answer = SendMessageW(hwnd, WM_GETOBJECT, 0, static_cast<LPARAM>(static_cast<LONG>(dwId)));
    if (answer > 0) {
        return ObjectFromLresult(answer, riid, 0, ppvObject);
    }
    return CreateStdAccessibleObject(hwnd, static_cast<LONG>(dwId), riid, ppvObject);
}

HRESULT CreateStdAccessibleObject(HWND hwnd, LONG idObject, REFIID riid, void** ppvObject) {
    if (!ppvObject) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (!IsWindow(hwnd)) {
        return E_INVALIDARG;
    }
    if (idObject != OBJID_CLIENT) {
        return E_NOTIMPL;
    }
    auto* object = new platform::accessibility::CStdAccessible(hwnd);
    const HRESULT hr = object->QueryInterface(riid, ppvObject);
    object->Release();
    return hr;
}

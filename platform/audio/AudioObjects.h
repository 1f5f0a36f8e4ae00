// The layer's Core Audio objects over the machine's microphone (Microphone.h): the device enumerator,
// the collection of endpoints it lists, the capture endpoint and its volume control. MMDevApi.dll makes
// the enumerator; the others are made by the objects before them.
#pragma once

#include <atomic>

#include "platform/audio.h"

namespace platform::audio {

// The enumerator, asked for the interface; E_NOINTERFACE for one it lacks.
HRESULT CreateDeviceEnumerator(REFIID riid, void** ppv);
// The microphone's endpoint, for the enumerator; its calls fail with AUDCLNT_E_DEVICE_INVALIDATED once
// the microphone has gone.
HRESULT CreateCaptureEndpoint(IMMDevice** ppDevice);

// The objects alive now, of every kind: MMDevApi.dll may be unloaded when none is.
long LiveAudioObjects();

namespace detail {
extern std::atomic<long> g_liveAudioObjects;
} // namespace detail

// The reference count and interface lookup of an object with one interface besides IUnknown.
template <typename Interface> class CAudioObject : public Interface {
public:
    CAudioObject() { ++detail::g_liveAudioObjects; }
    virtual ~CAudioObject() { --detail::g_liveAudioObjects; }
    CAudioObject(const CAudioObject&) = delete;
    CAudioObject& operator=(const CAudioObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) {
            return E_POINTER;
        }
        if (riid == IID_IUnknown || riid == __uuidof(Interface)) {
            *ppvObject = static_cast<Interface*>(this);
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

private:
    std::atomic<ULONG> m_references{1};
};

// Hands out a new object (made with one reference) as the interface asked for; the object goes when
// it lacks it.
template <typename Object> HRESULT HandOut(Object* pObject, REFIID riid, void** ppv) {
    const HRESULT hr = pObject->QueryInterface(riid, ppv);
    pObject->Release();
    return hr;
}

} // namespace platform::audio

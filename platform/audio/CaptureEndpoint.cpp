// The microphone's endpoint and its volume control, which holds the mute: each call reads the machine's
// audio state again, so a microphone unplugged meanwhile invalidates the objects made for it.
#include <string>

#include "platform/audio/AudioObjects.h"
#include "platform/audio/Microphone.h"
#include "platform/internal.h"

namespace platform::audio {

namespace {

class CEndpointVolume final : public CAudioObject<IAudioEndpointVolume> {
public:
    STDMETHODIMP RegisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    STDMETHODIMP UnregisterControlChangeNotify(IAudioEndpointVolumeCallback*) override { return E_NOTIMPL; }
    STDMETHODIMP GetChannelCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP SetMasterVolumeLevel(float, LPCGUID) override { return E_NOTIMPL; }
    STDMETHODIMP SetMasterVolumeLevelScalar(float, LPCGUID) override { return E_NOTIMPL; }
    STDMETHODIMP GetMasterVolumeLevel(float*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMasterVolumeLevelScalar(float*) override { return E_NOTIMPL; }
    STDMETHODIMP SetChannelVolumeLevel(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    STDMETHODIMP SetChannelVolumeLevelScalar(UINT, float, LPCGUID) override { return E_NOTIMPL; }
    STDMETHODIMP GetChannelVolumeLevel(UINT, float*) override { return E_NOTIMPL; }
    STDMETHODIMP GetChannelVolumeLevelScalar(UINT, float*) override { return E_NOTIMPL; }

    // Recorded as {"event": "audio.mute", "mute": ..., "changed": ...} once the microphone has it.
    STDMETHODIMP SetMute(BOOL bMute, LPCGUID) override {
        std::string error;
        const bool muted = bMute != FALSE;
        switch (SetMicrophoneMute(muted, error)) {
        case EMicrophoneChange::Changed:
            AppendMachineEvent("audio.mute", {{"mute", muted}, {"changed", true}});
            return S_OK;
        case EMicrophoneChange::Unchanged:
            AppendMachineEvent("audio.mute", {{"mute", muted}, {"changed", false}});
            return S_FALSE;
        case EMicrophoneChange::NoMicrophone:
            return AUDCLNT_E_DEVICE_INVALIDATED;
        case EMicrophoneChange::Failed:
            break;
        }
        return E_FAIL;
    }

    STDMETHODIMP GetMute(BOOL* pbMute) override {
        if (!pbMute) {
            return E_POINTER;
        }
        const SMicrophone microphone = CurrentMicrophone();
        if (!microphone.present) {
            return AUDCLNT_E_DEVICE_INVALIDATED;
        }
        *pbMute = microphone.muted ? TRUE : FALSE;
        return S_OK;
    }
};

class CCaptureEndpoint final : public CAudioObject<IMMDevice> {
public:
    STDMETHODIMP Activate(REFIID iid, DWORD, PROPVARIANT* pActivationParams, void** ppInterface) override {
        if (!ppInterface) {
            return E_POINTER;
        }
        *ppInterface = nullptr;
        if (pActivationParams) {
            return E_INVALIDARG;
        }
        if (!CurrentMicrophone().present) {
            return AUDCLNT_E_DEVICE_INVALIDATED;
        }
        if (iid != __uuidof(IAudioEndpointVolume)) {
            return E_NOINTERFACE;
        }
        return HandOut(new CEndpointVolume, iid, ppInterface);
    }
};

} // namespace

HRESULT CreateCaptureEndpoint(IMMDevice** ppDevice) {
    return HandOut(new CCaptureEndpoint, __uuidof(IMMDevice), reinterpret_cast<void**>(ppDevice));
}

} // namespace platform::audio

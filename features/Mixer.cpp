#include "features/Mixer.h"

#include "platform/audio.h"
#include "platform/comdef.h"

namespace {

_COM_SMARTPTR_TYPEDEF(IMMDeviceEnumerator, __uuidof(IMMDeviceEnumerator));
_COM_SMARTPTR_TYPEDEF(IMMDevice, __uuidof(IMMDevice));
_COM_SMARTPTR_TYPEDEF(IMMDeviceCollection, __uuidof(IMMDeviceCollection));
_COM_SMARTPTR_TYPEDEF(IAudioEndpointVolume, __uuidof(IAudioEndpointVolume));

// The volume control of the default capture endpoint; null when a step fails.
IAudioEndpointVolumePtr DefaultCaptureVolume() {
    IMMDeviceEnumeratorPtr pEnumerator;
    IMMDevicePtr pDevice;
    IAudioEndpointVolumePtr pVolume;
    if (FAILED(pEnumerator.CreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER)) ||
        FAILED(pEnumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &pDevice)) || !pDevice ||
        FAILED(pDevice->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_INPROC_SERVER, nullptr,
                                 reinterpret_cast<void**>(&pVolume)))) {
        return nullptr;
    }
    return pVolume;
}

} // namespace

int CMixer::GetMicMute() {
    const IAudioEndpointVolumePtr pVolume = DefaultCaptureVolume();
    BOOL bMuted = FALSE;
    if (!pVolume || FAILED(pVolume->GetMute(&bMuted))) {
        return -1;
    }
    return bMuted ? 0 : 1;
}

int CMixer::SetMicMute(BOOL bMute) {
    const IAudioEndpointVolumePtr pVolume = DefaultCaptureVolume();
    return pVolume && SUCCEEDED(pVolume->SetMute(bMute, nullptr)) ? 1 : 0;
}

bool CMixer::HasCaptureDevice() {
    IMMDeviceEnumeratorPtr pEnumerator;
    IMMDeviceCollectionPtr pDevices;
    IMMDevicePtr pDevice;
    UINT nCount = 0;
    return SUCCEEDED(pEnumerator.CreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL)) &&
           SUCCEEDED(pEnumerator->EnumAudioEndpoints(eCapture, DEVICE_STATE_ACTIVE, &pDevices)) && pDevices &&
           SUCCEEDED(pEnumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &pDevice)) && pDevice &&
           SUCCEEDED(pDevices->GetCount(&nCount)) && nCount > 0;
}

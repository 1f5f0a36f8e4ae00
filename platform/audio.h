// Core Audio: the multimedia device enumerator (the class MMDeviceEnumerator of the machine's
// MMDevApi.dll, made with CoCreateInstance), its endpoints and an endpoint's volume control. The
// machine has at most one audio endpoint, its microphone; what the program calls is declared, each
// interface's methods in the system's vtable order up to the last one the program calls.
#pragma once

#include "platform/com.h"

enum EDataFlow {
    eRender = 0,
    eCapture = 1,
    eAll = 2,
};

enum ERole {
    eConsole = 0,
    eMultimedia = 1,
    eCommunications = 2,
};

#define DEVICE_STATE_ACTIVE 0x00000001u
#define DEVICE_STATE_DISABLED 0x00000002u
#define DEVICE_STATE_NOTPRESENT 0x00000004u
#define DEVICE_STATE_UNPLUGGED 0x00000008u
#define DEVICE_STATEMASK_ALL 0x0000000Fu

// HRESULT_FROM_WIN32(ERROR_NOT_FOUND): no endpoint of that kind.
#define E_NOTFOUND (static_cast<HRESULT>(0x80070490u))
// The endpoint an object belongs to has gone.
#define AUDCLNT_E_DEVICE_INVALIDATED (static_cast<HRESULT>(0x88890004u))

using LPCGUID = const GUID*;
struct tagPROPVARIANT;
using PROPVARIANT = tagPROPVARIANT;
struct IAudioEndpointVolumeCallback;

FLIPDECK_DECLARE_UUID(IMMDevice, "{D666063F-1587-4E43-81F1-B948E807363F}")
struct IMMDevice : IUnknown {
    // An object of the endpoint (IAudioEndpointVolume); no activation parameters are taken.
    STDMETHOD(Activate)(REFIID iid, DWORD dwClsCtx, PROPVARIANT* pActivationParams, void** ppInterface) PURE;
};

FLIPDECK_DECLARE_UUID(IMMDeviceCollection, "{0BD7A1BE-7A1A-44DB-8397-CC5392387B5E}")
struct IMMDeviceCollection : IUnknown {
    STDMETHOD(GetCount)(UINT* pcDevices) PURE;
};

FLIPDECK_DECLARE_UUID(IMMDeviceEnumerator, "{A95664D2-9614-4F35-A746-DE8DB63617E6}")
struct IMMDeviceEnumerator : IUnknown {
    // The endpoints of the flow whose state is one of the mask's.
    STDMETHOD(EnumAudioEndpoints)
    (EDataFlow dataFlow, DWORD dwStateMask, IMMDeviceCollection** ppDevices) PURE;
    // The active endpoint of the flow for the role; E_NOTFOUND when there is none.
    STDMETHOD(GetDefaultAudioEndpoint)(EDataFlow dataFlow, ERole role, IMMDevice** ppEndpoint) PURE;
};

FLIPDECK_DECLARE_UUID(MMDeviceEnumerator, "{BCDE0395-E52F-467C-8E3D-C4579291692E}")
constexpr CLSID CLSID_MMDeviceEnumerator = __uuidof(MMDeviceEnumerator);

FLIPDECK_DECLARE_UUID(IAudioEndpointVolume, "{5CDF2C82-841E-4546-9722-0CF74078229A}")
struct IAudioEndpointVolume : IUnknown {
    // The slots before the mute; the machine's microphone has no volume or notification of its own, so
    // each of them answers E_NOTIMPL.
    STDMETHOD(RegisterControlChangeNotify)(IAudioEndpointVolumeCallback* pNotify) PURE;
    STDMETHOD(UnregisterControlChangeNotify)(IAudioEndpointVolumeCallback* pNotify) PURE;
    STDMETHOD(GetChannelCount)(UINT* pnChannelCount) PURE;
    STDMETHOD(SetMasterVolumeLevel)(float fLevelDB, LPCGUID pguidEventContext) PURE;
    STDMETHOD(SetMasterVolumeLevelScalar)(float fLevel, LPCGUID pguidEventContext) PURE;
    STDMETHOD(GetMasterVolumeLevel)(float* pfLevelDB) PURE;
    STDMETHOD(GetMasterVolumeLevelScalar)(float* pfLevel) PURE;
    STDMETHOD(SetChannelVolumeLevel)(UINT nChannel, float fLevelDB, LPCGUID pguidEventContext) PURE;
    STDMETHOD(SetChannelVolumeLevelScalar)(UINT nChannel, float fLevel, LPCGUID pguidEventContext) PURE;
    STDMETHOD(GetChannelVolumeLevel)(UINT nChannel, float* pfLevelDB) PURE;
    STDMETHOD(GetChannelVolumeLevelScalar)(UINT nChannel, float* pfLevel) PURE;
    // S_OK when the mute changed, S_FALSE when it was so already.
    STDMETHOD(SetMute)(BOOL bMute, LPCGUID pguidEventContext) PURE;
    STDMETHOD(GetMute)(BOOL* pbMute) PURE;
};

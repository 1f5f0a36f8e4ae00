// The device enumerator and the collections it lists: the machine's only endpoint is its microphone,
// active while it is present.
#include "platform/audio/AudioObjects.h"
#include "platform/audio/Microphone.h"

namespace platform::audio {

std::atomic<long> detail::g_liveAudioObjects{0};

long LiveAudioObjects() {
    return detail::g_liveAudioObjects.load();
}

namespace {

// The endpoints found at the enumeration; later changes do not reach it.
class CDeviceCollection final : public CAudioObject<IMMDeviceCollection> {
public:
    explicit CDeviceCollection(UINT count) : m_count(count) {}

    STDMETHODIMP GetCount(UINT* pcDevices) override {
        if (!pcDevices) {
            return E_POINTER;
        }
        *pcDevices = m_count;
        return S_OK;
    }

private:
    const UINT m_count;
};

class CDeviceEnumerator final : public CAudioObject<IMMDeviceEnumerator> {
public:
    STDMETHODIMP EnumAudioEndpoints(EDataFlow dataFlow, DWORD dwStateMask,
                                    IMMDeviceCollection** ppDevices) override {
        if (!ppDevices) {
            return E_POINTER;
        }
        *ppDevices = nullptr;
        if (!IsFlow(dataFlow, true) || dwStateMask == 0 || (dwStateMask & ~DEVICE_STATEMASK_ALL) != 0) {
            return E_INVALIDARG;
        }
        const bool listed =
            dataFlow != eRender && (dwStateMask & DEVICE_STATE_ACTIVE) != 0 && CurrentMicrophone().present;
        return HandOut(new CDeviceCollection(listed ? 1 : 0), __uuidof(IMMDeviceCollection),
                       reinterpret_cast<void**>(ppDevices));
    }

    STDMETHODIMP GetDefaultAudioEndpoint(EDataFlow dataFlow, ERole role, IMMDevice** ppEndpoint) override {
        if (!ppEndpoint) {
            return E_POINTER;
        }
        *ppEndpoint = nullptr;
        if (!IsFlow(dataFlow, false) || role < eConsole || role > eCommunications) {
            return E_INVALIDARG;
        }
        if (dataFlow != eCapture || !CurrentMicrophone().present) {
            return E_NOTFOUND;
        }
        return CreateCaptureEndpoint(ppEndpoint);
    }

private:
    static bool IsFlow(EDataFlow dataFlow, bool bAllowAll) {
        return dataFlow == eRender || dataFlow == eCapture || (bAllowAll && dataFlow == eAll);
    }
};

} // namespace

HRESULT CreateDeviceEnumerator(REFIID riid, void** ppv) {
    if (!ppv) {
        return E_POINTER;
    }
    *ppv = nullptr;
    return HandOut(new CDeviceEnumerator, riid, ppv);
}

} // namespace platform::audio

// Events: manual-reset and auto-reset, named within the process.
#include "platform/threads.h"

namespace platform {

namespace {

class CEvent : public CKernelObject {
public:
    CEvent(bool manualReset, bool signaled) : m_manualReset(manualReset), m_signaled(signaled) {}

    bool IsWaitable() const override { return true; }

    EAcquire TryAcquire(DWORD) override {
        if (!m_signaled) {
            return EAcquire::NotSignaled;
        }
        if (!m_manualReset) {
            m_signaled = false;
        }
        return EAcquire::Acquired;
    }

    void UndoAcquire(DWORD, EAcquire) override { m_signaled = true; }

    void Set() {
        ChangeWaitableState([this] { m_signaled = true; });
    }

    void Reset() {
        auto lock = LockWaitableState();
        m_signaled = false;
    }

private:
    const bool m_manualReset;
    bool m_signaled;
};

MakeNamedObject EventMaker(bool manualReset, bool signaled) {
    return [=](const std::filesystem::path&, bool firstOnMachine) -> std::unique_ptr<CKernelObject> {
        if (!firstOnMachine) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        }
        return std::make_unique<CEvent>(manualReset, signaled);
    };
}

constexpr std::string_view kEventKind = "event";

BOOL WithEvent(HANDLE handle, void (CEvent::*change)()) {
    const auto event = LookupHandle<CEvent>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ((*event).*change)();
    return TRUE;
}

} // namespace

} // namespace platform

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCWSTR lpName) {
    using namespace platform;
    if (!CheckSecurityAttributes(lpEventAttributes)) {
        return nullptr;
    }
    const bool manualReset = bManualReset != FALSE;
    const bool signaled = bInitialState != FALSE;
    const CNamedObjectResult result =
        !lpName || !*lpName ? CNamedObjectResult{std::make_shared<CEvent>(manualReset, signaled)}
                            : CreateNamedObject(lpName, kEventKind, EventMaker(manualReset, signaled));
    return HandleForObjectResult(result, true);
}

HANDLE CreateEventExW(LPSECURITY_ATTRIBUTES lpEventAttributes, LPCWSTR lpName, DWORD dwFlags,
                      DWORD dwDesiredAccess) {
    if ((dwFlags & ~(CREATE_EVENT_MANUAL_RESET | CREATE_EVENT_INITIAL_SET)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateEventW(lpEventAttributes, (dwFlags & CREATE_EVENT_MANUAL_RESET) != 0,
                        (dwFlags & CREATE_EVENT_INITIAL_SET) != 0, lpName);
}

HANDLE OpenEventW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName) {
    using namespace platform;
    if (!lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return HandleForObjectResult(OpenNamedObject(lpName, kEventKind, EventMaker(false, false)), false);
}

BOOL SetEvent(HANDLE hEvent) {
    return platform::WithEvent(hEvent, &platform::CEvent::Set);
}

BOOL ResetEvent(HANDLE hEvent) {
    return platform::WithEvent(hEvent, &platform::CEvent::Reset);
}

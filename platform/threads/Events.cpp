// Events: manual-reset and auto-reset, named within the process, and those the machine holds.
#include <optional>
#include <string>
#include <utility>

#include "platform/internal.h"
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

// An event that a simulated process of the machine holds: its state is the machine's fact, read at
// each look.
class CMachineEvent : public CKernelObject {
public:
    explicit CMachineEvent(std::string name) : m_name(std::move(name)) {}

    // The event's fact; none when the machine holds no event of that name.
    static std::optional<nlohmann::json> HeldByMachine(const std::string& name) {
        const nlohmann::json events = MachineFact("/namedEvents");
        const auto found = events.is_object() ? events.find(name) : events.end();
        if (!events.is_object() || found == events.end() || !found->is_object()) {
            return std::nullopt;
        }
        return *found;
    }

    bool IsWaitable() const override { return true; }
    bool ChangesOutsideProcess() const override { return true; }

    EAcquire TryAcquire(DWORD) override {
        const std::optional<nlohmann::json> fact = HeldByMachine(m_name);
        const bool signaled = fact && fact->contains("signaled") && (*fact)["signaled"] == true;
        return signaled ? EAcquire::Acquired : EAcquire::NotSignaled;
    }

private:
    const std::string m_name;
};

// The machine's event of that name, when no process holds the name.
CNamedObjectResult OpenMachineEvent(LPCWSTR lpName, const CNamedObjectResult& notFound) {
    DWORD error = ERROR_SUCCESS;
    const std::optional<std::wstring> name = NameInNamespace(lpName, error);
    if (!name || !CMachineEvent::HeldByMachine(ToUtf8(*name))) {
        return notFound;
    }
    return CNamedObjectResult{std::make_shared<CMachineEvent>(ToUtf8(*name)), true};
}

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
        // The program opens a machine's event for waiting only.
        SetLastError(LookupHandle<CMachineEvent>(handle) ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
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
    const CNamedObjectResult result = OpenNamedObject(lpName, kEventKind, EventMaker(false, false));
    if (!result.object && result.error == ERROR_FILE_NOT_FOUND) {
        return HandleForObjectResult(OpenMachineEvent(lpName, result), false);
    }
    return HandleForObjectResult(result, false);
}

BOOL SetEvent(HANDLE hEvent) {
    return platform::WithEvent(hEvent, &platform::CEvent::Set);
}

BOOL ResetEvent(HANDLE hEvent) {
    return platform::WithEvent(hEvent, &platform::CEvent::Reset);
}

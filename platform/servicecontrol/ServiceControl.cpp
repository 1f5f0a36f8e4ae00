// The service control manager: handles to the manager and to the services the machine's facts list.
// A service's status is read from the facts at each query, so a changed machine answers at once.
#include <cstring>
#include <optional>
#include <string>

#include "platform/internal.h"
#include "platform/libraries.h"
#include "platform/servicecontrol.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr size_t kMaxServiceName = 256;

// How generic rights map onto an object's own rights, and what a standard user is granted on it.
struct CRightsMap {
    DWORD read;
    DWORD write;
    DWORD execute;
    DWORD all;
    DWORD userGranted;
};

constexpr CRightsMap kManagerRights = {
    READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK,
    SC_MANAGER_ALL_ACCESS,
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
};

constexpr CRightsMap kServiceRights = {
    READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
        SERVICE_ENUMERATE_DEPENDENTS,
    READ_CONTROL | SERVICE_CHANGE_CONFIG,
    READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_USER_DEFINED_CONTROL,
    SERVICE_ALL_ACCESS,
    READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
        SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL,
};

DWORD MapGenericRights(DWORD access, const CRightsMap& map) {
    const struct {
        DWORD generic;
        DWORD specific;
    } generics[] = {{GENERIC_READ, map.read},
                    {GENERIC_WRITE, map.write},
                    {GENERIC_EXECUTE, map.execute},
                    {GENERIC_ALL, map.all}};
    for (const auto& entry : generics) {
        if (access & entry.generic) {
            access = (access & ~entry.generic) | entry.specific;
        }
    }
    return access;
}

// The rights asked for, when the user holds them all.
std::optional<DWORD> GrantedRights(DWORD access, const CRightsMap& map) {
    const DWORD wanted = MapGenericRights(access, map);
    if ((wanted & ~map.userGranted) != 0) {
        return std::nullopt;
    }
    return wanted;
}

class CServiceControlObject : public CKernelObject {
public:
    explicit CServiceControlObject(DWORD granted) : m_granted(granted) {}
    bool Grants(DWORD rights) const { return (m_granted & rights) == rights; }

private:
    DWORD m_granted;
};

class CServiceManagerObject : public CServiceControlObject {
    using CServiceControlObject::CServiceControlObject;
};

class CServiceObject : public CServiceControlObject {
public:
    CServiceObject(std::wstring name, DWORD granted)
        : CServiceControlObject(granted), m_name(std::move(name)) {}
    const std::wstring& Name() const { return m_name; }

private:
    std::wstring m_name;
};

struct CServiceState {
    const char* name;
    DWORD state;
};

constexpr CServiceState kStates[] = {
    {"stopped", SERVICE_STOPPED},
    {"startPending", SERVICE_START_PENDING},
    {"stopPending", SERVICE_STOP_PENDING},
    {"running", SERVICE_RUNNING},
    {"continuePending", SERVICE_CONTINUE_PENDING},
    {"pausePending", SERVICE_PAUSE_PENDING},
    {"paused", SERVICE_PAUSED},
};

std::optional<DWORD> StateOf(const nlohmann::json& service) {
    const nlohmann::json state = service.value("state", nlohmann::json("stopped"));
    for (const auto& known : kStates) {
        if (state == known.name) {
            return known.state;
        }
    }
    return std::nullopt;
}

// The facts of a service by its name (any case); a malformed entry counts as missing.
std::optional<nlohmann::json> FindService(std::wstring_view name) {
    const nlohmann::json services = MachineFact("/services");
    if (!services.is_object()) {
        return std::nullopt;
    }
    for (const auto& [key, service] : services.items()) {
        if (EqualsNoCase(FromUtf8(key), name) && service.is_object() && StateOf(service)) {
            return service;
        }
    }
    return std::nullopt;
}

SERVICE_STATUS_PROCESS StatusOf(const nlohmann::json& service) {
    SERVICE_STATUS_PROCESS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = *StateOf(service);
    const bool active = status.dwCurrentState == SERVICE_RUNNING || status.dwCurrentState == SERVICE_PAUSED;
    status.dwControlsAccepted = active ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    const nlohmann::json pid = service.value("pid", nlohmann::json());
    status.dwProcessId = active && pid.is_number_unsigned() ? pid.get<DWORD>() : 0;
    return status;
}

template <typename Result> Result Fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

SC_HANDLE HandleFor(std::shared_ptr<CServiceControlObject> object) {
    return reinterpret_cast<SC_HANDLE>(InsertHandle(std::move(object)));
}

template <typename T> std::shared_ptr<T> LookupScHandle(SC_HANDLE handle) {
    return LookupHandle<T>(reinterpret_cast<HANDLE>(handle));
}

constexpr DWORD kFirstUserControl = 128;
constexpr DWORD kLastUserControl = 255;

// Whether a service in that state takes a control, and the error when it does not.
DWORD ControlAcceptance(DWORD state) {
    switch (state) {
    case SERVICE_RUNNING:
    case SERVICE_PAUSED:
        return NO_ERROR;
    case SERVICE_STOPPED:
        return ERROR_SERVICE_NOT_ACTIVE;
    default:
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
}

// Runs the handler that the service's module exports; its result.
DWORD RunControlHandler(const nlohmann::json& service, DWORD control) {
    const nlohmann::json module = service.value("module", nlohmann::json());
    if (!module.is_string()) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    const HMODULE library = LoadLibraryW(FromUtf8(module.get<std::string>()).c_str());
    if (!library) {
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
    const auto handler =
        reinterpret_cast<LPHANDLER_FUNCTION_EX>(GetProcAddress(library, "ServiceControlHandler"));
    const DWORD result = handler ? handler(control, 0, nullptr, nullptr) : ERROR_CALL_NOT_IMPLEMENTED;
    FreeLibrary(library);
    return result;
}

} // namespace

} // namespace platform

SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess) {
    if (lpMachineName && *lpMachineName) {
        return platform::Fail<SC_HANDLE>(RPC_S_SERVER_UNAVAILABLE, nullptr);
    }
    if (lpDatabaseName && !platform::EqualsNoCase(lpDatabaseName, SERVICES_ACTIVE_DATABASEW)) {
        return platform::Fail<SC_HANDLE>(ERROR_DATABASE_DOES_NOT_EXIST, nullptr);
    }
    // Every caller may connect; other rights as a standard user holds them.
    const auto granted = platform::GrantedRights(dwDesiredAccess, platform::kManagerRights);
    if (!granted) {
        return platform::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    }
    return platform::HandleFor(
        std::make_shared<platform::CServiceManagerObject>(*granted | SC_MANAGER_CONNECT));
}

SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    const auto manager = platform::LookupScHandle<platform::CServiceManagerObject>(hSCManager);
    if (!manager) {
        return platform::Fail<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    }
    if (!lpServiceName) {
        return platform::Fail<SC_HANDLE>(ERROR_INVALID_ADDRESS, nullptr);
    }
    const std::wstring_view name = lpServiceName;
    if (name.empty() || name.size() > platform::kMaxServiceName || name.find_first_of(L"\\/") != name.npos) {
        return platform::Fail<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    }
    if (!manager->Grants(SC_MANAGER_CONNECT)) {
        return platform::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    }
    if (!platform::FindService(name)) {
        return platform::Fail<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    }
    const auto granted = platform::GrantedRights(dwDesiredAccess, platform::kServiceRights);
    if (!granted) {
        return platform::Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    }
    return platform::HandleFor(std::make_shared<platform::CServiceObject>(std::wstring(name), *granted));
}

BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                          LPDWORD pcbBytesNeeded) {
    const auto service = platform::LookupScHandle<platform::CServiceObject>(hService);
    if (!service) {
        return platform::Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (InfoLevel != SC_STATUS_PROCESS_INFO) {
        return platform::Fail<BOOL>(ERROR_INVALID_LEVEL, FALSE);
    }
    if (!pcbBytesNeeded) {
        return platform::Fail<BOOL>(ERROR_INVALID_ADDRESS, FALSE);
    }
    if (!service->Grants(SERVICE_QUERY_STATUS)) {
        return platform::Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    *pcbBytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
    if (!lpBuffer || cbBufSize < sizeof(SERVICE_STATUS_PROCESS)) {
        return platform::Fail<BOOL>(ERROR_INSUFFICIENT_BUFFER, FALSE);
    }
    // A service removed from the machine since it was opened no longer answers.
    const auto facts = platform::FindService(service->Name());
    if (!facts) {
        return platform::Fail<BOOL>(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    }
    const SERVICE_STATUS_PROCESS status = platform::StatusOf(*facts);
    std::memcpy(lpBuffer, &status, sizeof(status));
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject) {
    if (!platform::LookupScHandle<platform::CServiceControlObject>(hSCObject)) {
        return platform::Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    return CloseHandle(reinterpret_cast<HANDLE>(hSCObject));
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    const auto service = platform::LookupScHandle<platform::CServiceObject>(hService);
    if (!service) {
        return platform::Fail<BOOL>(ERROR_INVALID_HANDLE, FALSE);
    }
    if (!lpServiceStatus) {
        return platform::Fail<BOOL>(ERROR_INVALID_ADDRESS, FALSE);
    }
    if (dwControl < platform::kFirstUserControl || dwControl > platform::kLastUserControl) {
        return platform::Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (!service->Grants(SERVICE_USER_DEFINED_CONTROL)) {
        return platform::Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    const auto facts = platform::FindService(service->Name());
    if (!facts) {
        return platform::Fail<BOOL>(ERROR_SERVICE_DOES_NOT_EXIST, FALSE);
    }
    const SERVICE_STATUS_PROCESS status = platform::StatusOf(*facts);
    std::memcpy(lpServiceStatus, &status, sizeof(*lpServiceStatus));
    if (const DWORD refused = platform::ControlAcceptance(status.dwCurrentState); refused != NO_ERROR) {
        return platform::Fail<BOOL>(refused, FALSE);
    }
    const DWORD result = platform::RunControlHandler(*facts, dwControl);
    if (result != NO_ERROR) {
        return platform::Fail<BOOL>(result, FALSE);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

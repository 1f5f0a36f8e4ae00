// ControlService with user-defined codes: the handler of the module a service's facts name, the codes,
// rights and states it refuses as Windows does; and the driver devices that CreateFileW opens.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/internal.h"
#include "platform/servicecontrol.h"
#include "platform/threads.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

constexpr DWORD kIntelligentMode = 135;
const SERVICE_STATUS kUntouched = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7};

class CServiceHandles {
public:
    explicit CServiceHandles(const wchar_t* pszService, DWORD access = SERVICE_USER_DEFINED_CONTROL)
        : m_manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)),
          m_service(OpenServiceW(m_manager, pszService, access)) {}
    ~CServiceHandles() {
        if (m_service) {
            CloseServiceHandle(m_service);
        }
        CloseServiceHandle(m_manager);
    }
    SC_HANDLE Manager() const { return m_manager; }
    SC_HANDLE Service() const { return m_service; }

private:
    SC_HANDLE m_manager;
    SC_HANDLE m_service;
};

// The call's last error, 0 when it succeeded.
DWORD Control(SC_HANDLE service, DWORD code, SERVICE_STATUS& status) {
    SetLastError(0xDEAD);
    const BOOL done = ControlService(service, code, &status);
    EXPECT_EQ(done != FALSE, GetLastError() == ERROR_SUCCESS);
    return GetLastError();
}

TEST(ServiceControlCode, ReachesTheHandlerOfTheServicesModuleAndFillsTheStatus) {
    CTestMachine machine;
    const CServiceHandles thermal(L"qrmdsvc");
    ASSERT_NE(thermal.Service(), nullptr);
    SERVICE_STATUS status = kUntouched;
    EXPECT_EQ(Control(thermal.Service(), kIntelligentMode, status), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(status.dwCurrentState, SERVICE_RUNNING);
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(testing_support::ReadMachineEvents("service.control").size(), 1u);
    // The handler's own refusal of a code it does not know.
    EXPECT_EQ(Control(thermal.Service(), 255, status), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
}

TEST(ServiceControlCode, RefusesCodesRightsAndHandlesAsWindowsDoes) {
    CTestMachine machine;
    const CServiceHandles thermal(L"QRMDSVC");
    const CServiceHandles queryOnly(L"QRMDSVC", SERVICE_QUERY_STATUS);
    const CServiceHandles host(L"PlexhostService");
    const struct {
        const char* name;
        SC_HANDLE service;
        DWORD code;
        DWORD error;
    } cases[] = {
        {"a code Windows keeps", thermal.Service(), 1, ERROR_INVALID_PARAMETER},
        {"below the user's codes", thermal.Service(), 127, ERROR_INVALID_PARAMETER},
        {"above the user's codes", thermal.Service(), 256, ERROR_INVALID_PARAMETER},
        {"without the right", queryOnly.Service(), kIntelligentMode, ERROR_ACCESS_DENIED},
        {"the manager's handle", thermal.Manager(), kIntelligentMode, ERROR_INVALID_HANDLE},
        {"no handle", nullptr, kIntelligentMode, ERROR_INVALID_HANDLE},
        {"a service without a handler", host.Service(), 128, ERROR_CALL_NOT_IMPLEMENTED},
    };
    for (const auto& c : cases) {
        SERVICE_STATUS status = kUntouched;
        EXPECT_EQ(Control(c.service, c.code, status), static_cast<DWORD>(c.error)) << c.name;
    }
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ControlService(thermal.Service(), kIntelligentMode, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
    EXPECT_TRUE(testing_support::ReadMachineEvents("service.control").empty());
}

TEST(ServiceControlCode, AServiceThatIsNotRunningOrHasNoModuleTakesNoCode) {
    CTestMachine machine;
    const CServiceHandles thermal(L"QRMDSVC");
    const struct {
        const char* name;
        nlohmann::json service;
        DWORD error;
    } cases[] = {
        {"stopped",
         {{"state", "stopped"}, {"module", "C:\\Windows\\System32\\QRMDSVC.dll"}},
         ERROR_SERVICE_NOT_ACTIVE},
        {"starting",
         {{"state", "startPending"}, {"module", "C:\\Windows\\System32\\QRMDSVC.dll"}},
         ERROR_SERVICE_CANNOT_ACCEPT_CTRL},
        {"a module that is not there",
         {{"state", "running"}, {"module", "C:\\Windows\\System32\\None.dll"}},
         ERROR_CALL_NOT_IMPLEMENTED},
        {"a malformed module", {{"state", "running"}, {"module", 7}}, ERROR_CALL_NOT_IMPLEMENTED},
        {"removed since it was opened", nullptr, ERROR_SERVICE_DOES_NOT_EXIST},
    };
    for (const auto& c : cases) {
        testing_support::SetMachineFact(machine.Folder(), "/services/QRMDSVC", c.service);
        SERVICE_STATUS status = kUntouched;
        EXPECT_EQ(Control(thermal.Service(), kIntelligentMode, status), static_cast<DWORD>(c.error))
            << c.name;
    }
    EXPECT_TRUE(testing_support::ReadMachineEvents("service.control").empty());
}

TEST(DriverDevice, OpensTheMachinesDevicesByNameInAnyCase) {
    CTestMachine machine;
    const struct {
        const wchar_t* path;
        DWORD disposition;
        bool opens;
    } cases[] = {
        {L"\\\\.\\VexlorDrv", CREATE_ALWAYS, true}, {L"\\\\.\\vexlordrv", OPEN_EXISTING, true},
        {L"\\\\.\\OtherDrv", OPEN_EXISTING, false}, {L"\\\\.\\VexlorDrv\\x", OPEN_EXISTING, false},
        {L"\\\\.\\", OPEN_EXISTING, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::ToUtf8(c.path));
        const HANDLE device =
            CreateFileW(c.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(device != INVALID_HANDLE_VALUE, c.opens);
        if (device != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(device));
        }
    }
    const HANDLE missing =
        CreateFileW(L"\\\\.\\OtherDrv", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(missing, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // A machine without the driver, and malformed device facts.
    testing_support::SetMachineFact(machine.Folder(), "/devices", {{"VexlorDrv", "yes"}});
    EXPECT_EQ(CreateFileW(L"\\\\.\\VexlorDrv", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    CTestMachine business("business-win10");
    EXPECT_EQ(CreateFileW(L"\\\\.\\VexlorDrv", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

} // namespace

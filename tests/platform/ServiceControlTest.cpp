// The service control manager over the profiles' services.
#include <gtest/gtest.h>

#include "platform/internal.h"
#include "platform/servicecontrol.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;

// Closes a service handle at the end of a test.
struct CScHandle {
    SC_HANDLE handle;
    ~CScHandle() {
        if (handle) {
            CloseServiceHandle(handle);
        }
    }
};

struct ServiceCase {
    const char* profile;
    const wchar_t* service;
    DWORD state;
};

class ServiceStatusTest : public testing::TestWithParam<ServiceCase> {};

TEST_P(ServiceStatusTest, QueriesTheProfilesState) {
    const ServiceCase& expected = GetParam();
    CTestMachine machine(expected.profile);
    CScHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    ASSERT_NE(manager.handle, nullptr);
    CScHandle service{OpenServiceW(manager.handle, expected.service, SERVICE_QUERY_STATUS)};
    ASSERT_NE(service.handle, nullptr);

    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service.handle, SC_STATUS_PROCESS_INFO,
                                     reinterpret_cast<LPBYTE>(&status), sizeof(status), &needed));
    EXPECT_EQ(status.dwCurrentState, expected.state);
    EXPECT_EQ(status.dwServiceType, SERVICE_WIN32_OWN_PROCESS);
    EXPECT_EQ(status.dwControlsAccepted != 0, expected.state == SERVICE_RUNNING);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ServiceStatusTest,
                         testing::Values(ServiceCase{"consumer-win11", L"PlexhostService", SERVICE_RUNNING},
                                         ServiceCase{"business-win10", L"plexhostservice", SERVICE_RUNNING},
                                         ServiceCase{"consumer-win11", L"QRMDSVC", SERVICE_RUNNING},
                                         ServiceCase{"business-win10", L"QRMDSVC", SERVICE_STOPPED}));

class ServiceControlTest : public testing::Test {
protected:
    CTestMachine m_machine;
    CScHandle m_manager{OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_CONNECT)};
};

TEST_F(ServiceControlTest, OpenFailsAsWindowsReportsIt) {
    const struct {
        const wchar_t* name;
        DWORD access;
        DWORD error;
    } cases[] = {
        {L"NoSuchService", SERVICE_QUERY_STATUS, ERROR_SERVICE_DOES_NOT_EXIST},
        {L"", SERVICE_QUERY_STATUS, ERROR_INVALID_NAME},
        {L"Plexhost\\Service", SERVICE_QUERY_STATUS, ERROR_INVALID_NAME},
        // A standard user may query and send user-defined controls, not start or stop.
        {L"PlexhostService", SERVICE_STOP, ERROR_ACCESS_DENIED},
        {L"PlexhostService", SERVICE_ALL_ACCESS, ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OpenServiceW(m_manager.handle, c.name, c.access), nullptr);
        EXPECT_EQ(GetLastError(), c.error) << platform::ToUtf8(c.name);
    }
    CScHandle allowed{
        OpenServiceW(m_manager.handle, L"QRMDSVC", GENERIC_READ | SERVICE_USER_DEFINED_CONTROL)};
    EXPECT_NE(allowed.handle, nullptr);
}

TEST_F(ServiceControlTest, ManagerOfAnotherMachineOrDatabaseFails) {
    EXPECT_EQ(OpenSCManagerW(L"\\\\OTHER", nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
    EXPECT_EQ(OpenSCManagerW(nullptr, L"ServicesFailed", SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DATABASE_DOES_NOT_EXIST));
    EXPECT_EQ(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(ServiceControlTest, QueryChecksLevelRightsAndBuffer) {
    CScHandle service{OpenServiceW(m_manager.handle, L"PlexhostService", SERVICE_QUERY_STATUS)};
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    auto* buffer = reinterpret_cast<LPBYTE>(&status);
    EXPECT_FALSE(
        QueryServiceStatusEx(service.handle, SC_STATUS_PROCESS_INFO, buffer, sizeof(status) - 1, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(needed, sizeof(SERVICE_STATUS_PROCESS));
    EXPECT_FALSE(QueryServiceStatusEx(service.handle, static_cast<SC_STATUS_TYPE>(1), buffer, sizeof(status),
                                      &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

    CScHandle configOnly{OpenServiceW(m_manager.handle, L"PlexhostService", SERVICE_QUERY_CONFIG)};
    EXPECT_FALSE(
        QueryServiceStatusEx(configOnly.handle, SC_STATUS_PROCESS_INFO, buffer, sizeof(status), &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // The manager's handle is no service handle.
    EXPECT_FALSE(
        QueryServiceStatusEx(m_manager.handle, SC_STATUS_PROCESS_INFO, buffer, sizeof(status), &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServiceControlTest, StatusFollowsTheMachineAndMalformedEntriesAreMissing) {
    CScHandle service{OpenServiceW(m_manager.handle, L"PlexhostService", SERVICE_QUERY_STATUS)};
    const auto facts = platform::MachineFolder() / "facts.json";
    auto data = nlohmann::json::parse(*platform::ReadWholeFile(facts));
    data["services"] = {{"PlexhostService", {{"state", "stopped"}}}, {"Broken", {{"state", "sleeping"}}}};
    ASSERT_TRUE(platform::ReplaceFileAtomically(facts, data.dump()));

    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceStatusEx(service.handle, SC_STATUS_PROCESS_INFO,
                                     reinterpret_cast<LPBYTE>(&status), sizeof(status), &needed));
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(status.dwProcessId, 0u);
    EXPECT_EQ(OpenServiceW(m_manager.handle, L"Broken", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST_F(ServiceControlTest, CloseServiceHandleTakesServiceHandlesOnlyOnce) {
    SC_HANDLE service = OpenServiceW(m_manager.handle, L"PlexhostService", SERVICE_QUERY_STATUS);
    EXPECT_TRUE(CloseServiceHandle(service));
    EXPECT_FALSE(CloseServiceHandle(service));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

} // namespace

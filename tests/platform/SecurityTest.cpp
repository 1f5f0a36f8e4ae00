#include <gtest/gtest.h>

#include "platform/security.h"
#include "platform/threads.h"
#include "tests/support/TestMachine.h"

namespace {

using testing_support::CTestMachine;
using testing_support::SetMachineFact;

LONGLONG NowAsFileTime() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}

class LogonSessionTest : public testing::Test {
protected:
    // The logon id of the process token, as the program reads it.
    static LUID TokenLogonId() {
        HANDLE token = nullptr;
        EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
        TOKEN_STATISTICS statistics{};
        DWORD length = 0;
        EXPECT_TRUE(GetTokenInformation(token, TokenStatistics, &statistics, sizeof(statistics), &length));
        EXPECT_EQ(length, sizeof(statistics));
        EXPECT_TRUE(CloseHandle(token));
        return statistics.AuthenticationId;
    }

    CTestMachine m_machine;
};

TEST_F(LogonSessionTest, TheSessionsLogonTimeLiesTheGivenSecondsBeforeTheStart) {
    for (const double seconds : {600.0, 30.0, -45.0}) {
        SetMachineFact(m_machine.Folder(), "/session/logonSecondsBeforeStart", seconds);
        LUID id = TokenLogonId();
        PSECURITY_LOGON_SESSION_DATA data = nullptr;
        ASSERT_EQ(LsaGetLogonSessionData(&id, &data), STATUS_SUCCESS);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->LogonId.LowPart, id.LowPart);
        // The process started before this test; its start is no later than now.
        const double before = static_cast<double>(NowAsFileTime() - data->LogonTime.QuadPart) / 1e7;
        EXPECT_GE(before, seconds) << seconds;
        EXPECT_LT(before, seconds + 300) << seconds;
        EXPECT_EQ(LsaFreeReturnBuffer(data), STATUS_SUCCESS);
    }
}

TEST_F(LogonSessionTest, WithoutALogonTimeOrForAnotherSessionThereIsNoData) {
    SetMachineFact(m_machine.Folder(), "/session/logonSecondsBeforeStart", nullptr);
    LUID id = TokenLogonId();
    PSECURITY_LOGON_SESSION_DATA data = reinterpret_cast<PSECURITY_LOGON_SESSION_DATA>(1);
    EXPECT_EQ(LsaGetLogonSessionData(&id, &data), STATUS_NO_SUCH_LOGON_SESSION);
    EXPECT_EQ(data, nullptr);

    SetMachineFact(m_machine.Folder(), "/session/logonSecondsBeforeStart", 60);
    LUID other{id.LowPart + 1, id.HighPart};
    EXPECT_EQ(LsaGetLogonSessionData(&other, &data), STATUS_NO_SUCH_LOGON_SESSION);
    EXPECT_EQ(LsaGetLogonSessionData(nullptr, &data), STATUS_INVALID_PARAMETER);
}

TEST_F(LogonSessionTest, TheTokenAnswersOnlyWhatItCanAndAsMuchAsTheBufferHolds) {
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD length = 0;
    BYTE small[8] = {};
    EXPECT_FALSE(GetTokenInformation(token, TokenStatistics, small, sizeof(small), &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, sizeof(TOKEN_STATISTICS));
    TOKEN_STATISTICS statistics{};
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, &statistics, sizeof(statistics), &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(GetTokenInformation(token, TokenStatistics, &statistics, sizeof(statistics), &length));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    SetMachineFact(m_machine.Folder(), "/session/token", "denied");
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(token, nullptr);
}

} // namespace

// The process's access token and its logon session, as the machine's facts describe them.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/internal.h"
#include "platform/security.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr LUID kLogonId = {0x0003A1F4u, 0};
constexpr LUID kTokenId = {0x0003A2C8u, 0};
constexpr LONGLONG kTicksPerSecond = 10'000'000;

class CAccessToken : public CKernelObject {};

// When the layer was loaded: the start of the process as far as its logon session is concerned.
const LONGLONG g_processStart = [] {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
}();

bool SameLuid(const LUID& a, const LUID& b) {
    return a.LowPart == b.LowPart && a.HighPart == b.HighPart;
}

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

} // namespace platform

BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle) {
    if (!TokenHandle) {
        return platform::FailWith(ERROR_INVALID_PARAMETER);
    }
    *TokenHandle = nullptr;
    if (ProcessHandle != GetCurrentProcess()) {
        return platform::FailWith(ERROR_INVALID_HANDLE);
    }
    if (platform::MachineFact("/session/token") == "denied") {
        return platform::FailWith(ERROR_ACCESS_DENIED);
    }
    *TokenHandle = platform::InsertHandle(std::make_shared<platform::CAccessToken>());
    return TRUE;
}

BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                         LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength) {
    if (!platform::LookupHandle<platform::CAccessToken>(TokenHandle)) {
        return platform::FailWith(ERROR_INVALID_HANDLE);
    }
    if (TokenInformationClass != TokenStatistics || !ReturnLength) {
        return platform::FailWith(ERROR_INVALID_PARAMETER);
    }
    *ReturnLength = sizeof(TOKEN_STATISTICS);
    if (!TokenInformation || TokenInformationLength < sizeof(TOKEN_STATISTICS)) {
        return platform::FailWith(ERROR_INSUFFICIENT_BUFFER);
    }
    TOKEN_STATISTICS statistics{};
    statistics.TokenId = platform::kTokenId;
    statistics.AuthenticationId = platform::kLogonId;
    statistics.ExpirationTime.QuadPart = 0x7FFFFFFFFFFFFFFFLL;
    statistics.TokenType = TokenPrimary;
    statistics.ImpersonationLevel = SecurityAnonymous;
    statistics.ModifiedId = platform::kTokenId;
    std::memcpy(TokenInformation, &statistics, sizeof(statistics));
    return TRUE;
}

NTSTATUS LsaGetLogonSessionData(PLUID LogonId, PSECURITY_LOGON_SESSION_DATA* ppLogonSessionData) {
    if (!LogonId || !ppLogonSessionData) {
        return STATUS_INVALID_PARAMETER;
    }
    *ppLogonSessionData = nullptr;
    const nlohmann::json secondsBefore = platform::MachineFact("/session/logonSecondsBeforeStart");
    if (!platform::SameLuid(*LogonId, platform::kLogonId) || !secondsBefore.is_number()) {
        return STATUS_NO_SUCH_LOGON_SESSION;
    }
    auto data = std::make_unique<SECURITY_LOGON_SESSION_DATA>();
    data->Size = sizeof(SECURITY_LOGON_SESSION_DATA);
    data->LogonId = platform::kLogonId;
    data->LogonType = Interactive;
    data->Session = 1;
    // Within about a century either way, so that the file time stays in range.
    const double seconds = std::clamp(secondsBefore.get<double>(), -3e9, 3e9);
    data->LogonTime.QuadPart =
        platform::g_processStart - static_cast<LONGLONG>(seconds * static_cast<double>(platform::kTicksPerSecond));
    *ppLogonSessionData = data.release();
    return STATUS_SUCCESS;
}

NTSTATUS LsaFreeReturnBuffer(PVOID Buffer) {
    delete static_cast<PSECURITY_LOGON_SESSION_DATA>(Buffer);
    return STATUS_SUCCESS;
}

// Security: the process's access token and the logon session it belongs to. The session's logon time
// comes from the machine's fact "/session/logonSecondsBeforeStart" (the user logged on that many seconds
// before the process started; a negative number puts the logon after the start). Without the fact the
// session has no data; with "/session/token" "denied" the token cannot be opened.
#pragma once

#include "platform/base.h"
#include "platform/time.h"

// ---- Access tokens ----
#define TOKEN_QUERY 0x0008u

struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
using PLUID = LUID*;

enum TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups = 2,
    TokenPrivileges = 3,
    TokenOwner = 4,
    TokenPrimaryGroup = 5,
    TokenDefaultDacl = 6,
    TokenSource = 7,
    TokenType = 8,
    TokenImpersonationLevel = 9,
    TokenStatistics = 10
};

enum TOKEN_TYPE { TokenPrimary = 1, TokenImpersonation = 2 };

enum SECURITY_IMPERSONATION_LEVEL {
    SecurityAnonymous = 0,
    SecurityIdentification = 1,
    SecurityImpersonation = 2,
    SecurityDelegation = 3
};

struct TOKEN_STATISTICS {
    LUID TokenId;
    LUID AuthenticationId;
    LARGE_INTEGER ExpirationTime;
    TOKEN_TYPE TokenType;
    SECURITY_IMPERSONATION_LEVEL ImpersonationLevel;
    DWORD DynamicCharged;
    DWORD DynamicAvailable;
    DWORD GroupCount;
    DWORD PrivilegeCount;
    LUID ModifiedId;
};

// Only the calling process's token (GetCurrentProcess() or a handle to the calling process); the handle
// is closed with CloseHandle.
BOOL OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, HANDLE* TokenHandle);
// TokenStatistics only (other classes fail with ERROR_INVALID_PARAMETER). *ReturnLength is always the
// size needed; a smaller buffer fails with ERROR_INSUFFICIENT_BUFFER.
BOOL GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                         LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength);

// ---- Logon sessions ----
using NTSTATUS = LONG;
#define STATUS_SUCCESS static_cast<NTSTATUS>(0x00000000L)
#define STATUS_INVALID_PARAMETER static_cast<NTSTATUS>(0xC000000DL)
#define STATUS_NO_SUCH_LOGON_SESSION static_cast<NTSTATUS>(0xC000005FL)

struct LSA_UNICODE_STRING {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};

enum SECURITY_LOGON_TYPE { UndefinedLogonType = 0, Interactive = 2 };

struct SECURITY_LOGON_SESSION_DATA {
    ULONG Size;
    LUID LogonId;
    LSA_UNICODE_STRING UserName;
    LSA_UNICODE_STRING LogonDomain;
    LSA_UNICODE_STRING AuthenticationPackage;
    ULONG LogonType;
    ULONG Session;
    PVOID Sid;
    LARGE_INTEGER LogonTime; // UTC file time
    LSA_UNICODE_STRING LogonServer;
    LSA_UNICODE_STRING DnsDomainName;
    LSA_UNICODE_STRING Upn;
};
using PSECURITY_LOGON_SESSION_DATA = SECURITY_LOGON_SESSION_DATA*;

// The data of the calling process's logon session, freed with LsaFreeReturnBuffer;
// STATUS_NO_SUCH_LOGON_SESSION for any other id or when the machine gives no logon time.
NTSTATUS LsaGetLogonSessionData(PLUID LogonId, PSECURITY_LOGON_SESSION_DATA* ppLogonSessionData);
NTSTATUS LsaFreeReturnBuffer(PVOID Buffer);

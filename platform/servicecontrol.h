// The service control manager over the machine's services (fact "/services": {"Name": {"state":
// "running", "pid": 4194404}, ...}). The calling user gets the rights a standard user has.
#pragma once

#include "platform/base.h"

#define ERROR_INVALID_ADDRESS 487L
#define ERROR_INVALID_LEVEL 124L
#define ERROR_DATABASE_DOES_NOT_EXIST 1065L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_SERVICE_CANNOT_ACCEPT_CTRL 1061L
#define ERROR_SERVICE_NOT_ACTIVE 1062L

FLIPDECK_DECLARE_HANDLE(SC_HANDLE);
using LPSC_HANDLE = SC_HANDLE*;

#define SERVICES_ACTIVE_DATABASEW L"ServicesActive"

// Rights on the service control manager.
#define SC_MANAGER_CONNECT 0x0001u
#define SC_MANAGER_CREATE_SERVICE 0x0002u
#define SC_MANAGER_ENUMERATE_SERVICE 0x0004u
#define SC_MANAGER_LOCK 0x0008u
#define SC_MANAGER_QUERY_LOCK_STATUS 0x0010u
#define SC_MANAGER_MODIFY_BOOT_CONFIG 0x0020u
#define SC_MANAGER_ALL_ACCESS 0x000F003Fu

// Rights on a service.
#define SERVICE_QUERY_CONFIG 0x0001u
#define SERVICE_CHANGE_CONFIG 0x0002u
#define SERVICE_QUERY_STATUS 0x0004u
#define SERVICE_ENUMERATE_DEPENDENTS 0x0008u
#define SERVICE_START 0x0010u
#define SERVICE_STOP 0x0020u
#define SERVICE_PAUSE_CONTINUE 0x0040u
#define SERVICE_INTERROGATE 0x0080u
#define SERVICE_USER_DEFINED_CONTROL 0x0100u
#define SERVICE_ALL_ACCESS 0x000F01FFu

// Service types, states and accepted controls.
#define SERVICE_WIN32_OWN_PROCESS 0x00000010u
#define SERVICE_STOPPED 0x00000001u
#define SERVICE_START_PENDING 0x00000002u
#define SERVICE_STOP_PENDING 0x00000003u
#define SERVICE_RUNNING 0x00000004u
#define SERVICE_CONTINUE_PENDING 0x00000005u
#define SERVICE_PAUSE_PENDING 0x00000006u
#define SERVICE_PAUSED 0x00000007u
#define SERVICE_ACCEPT_STOP 0x00000001u
#define SERVICE_ACCEPT_PAUSE_CONTINUE 0x00000002u
#define SERVICE_ACCEPT_SHUTDOWN 0x00000004u

struct SERVICE_STATUS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

struct SERVICE_STATUS_PROCESS {
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
    DWORD dwProcessId;
    DWORD dwServiceFlags;
};
using LPSERVICE_STATUS_PROCESS = SERVICE_STATUS_PROCESS*;

enum SC_STATUS_TYPE { SC_STATUS_PROCESS_INFO = 0 };

// The local machine only (another name: RPC_S_SERVER_UNAVAILABLE), the active database only.
SC_HANDLE OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess);
// Service names compare without regard to case; an unknown one fails with ERROR_SERVICE_DOES_NOT_EXIST.
SC_HANDLE OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess);
// The service's current status, read from the machine at each call.
BOOL QueryServiceStatusEx(SC_HANDLE hService, SC_STATUS_TYPE InfoLevel, LPBYTE lpBuffer, DWORD cbBufSize,
                          LPDWORD pcbBytesNeeded);
BOOL CloseServiceHandle(SC_HANDLE hSCObject);

// A service's control handler, in the form a service registers it.
using LPHANDLER_FUNCTION_EX = DWORD (*)(DWORD dwControl, DWORD dwEventType, LPVOID lpEventData,
                                        LPVOID lpContext);
// Sends a user-defined control code (128 to 255, right SERVICE_USER_DEFINED_CONTROL) to a running or paused
// service and fills its status; other codes fail with ERROR_INVALID_PARAMETER. The service's handler is the
// export "ServiceControlHandler" (an LPHANDLER_FUNCTION_EX) of the module its facts name ("module": a
// Windows path), called on the caller's thread; a result other than NO_ERROR is the call's last error. A
// service without a handler answers ERROR_CALL_NOT_IMPLEMENTED, a stopped one ERROR_SERVICE_NOT_ACTIVE, a
// starting or stopping one ERROR_SERVICE_CANNOT_ACCEPT_CTRL.
BOOL ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus);

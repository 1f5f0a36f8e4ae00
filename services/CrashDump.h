// Crash dumps and fault handlers: the process-wide unhandled-exception filter that writes a minidump
// into the per-user data area, the dump's module filter, the handler that turns pure-virtual calls and
// invalid run-time parameters into an exception, and the lock that keeps the filter in force.
#pragma once

#include <cstdint>

#include "platform/faults.h"

// Writes the dump and answers EXCEPTION_EXECUTE_HANDLER, so that the process ends without the system's
// error dialog.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* pExceptionInfo);
// A minidump of the process into the file (made anew); pExceptionInfo may be null. Silent on failure.
void WriteCrashDump(EXCEPTION_POINTERS* pExceptionInfo, const wchar_t* pszDumpFile);
// Keeps the data segments of ntdll only; includes all threads and modules, and no further memory.
BOOL CALLBACK MiniDumpModuleCallback(PVOID pCallbackParam, const PMINIDUMP_CALLBACK_INPUT pCallbackInput,
                                     PMINIDUMP_CALLBACK_OUTPUT pCallbackOutput);
// The path's file name without extension is "ntdll", ignoring case; false for a null path.
bool IsNtdllModule(const wchar_t* pszModulePath);
// Throws the int 1. The pure-virtual-call handler and the invalid-parameter handler, with their two
// signatures.
[[noreturn]] void ThrowOnRuntimeError();
[[noreturn]] void ThrowOnRuntimeError(const wchar_t* pszExpression, const wchar_t* pszFunction,
                                      const wchar_t* pszFile, unsigned int nLine, uintptr_t pReserved);
// kernel32.dll of the system folder, when that file exists; hModule is null on failure.
bool LoadSystemKernel32(HMODULE& hModule);
// Writes a jump to IgnoreUnhandledExceptionFilter over the entry of kernel32's SetUnhandledExceptionFilter,
// so that no later call can replace CrashDumpFilter; true when the patch was written.
bool LockUnhandledExceptionFilter();
// What every call of SetUnhandledExceptionFilter reaches after the lock: answers null, changes nothing.
LPTOP_LEVEL_EXCEPTION_FILTER WINAPI IgnoreUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpFilter);
// The start-up's run-time error handling, in its order: no abort message or fault report, both
// handlers, the filter, the lock.
void InstallCrashHandlers();

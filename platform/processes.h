// Processes: Toolhelp snapshots of the machine's processes, process handles (open, image path, end, exit
// code), the process's command line and its parsing, and local memory for the blocks the system hands out.
#pragma once

#include "platform/base.h"

#define ERROR_NO_MORE_FILES 18L
#define ERROR_BAD_LENGTH 24L
#define ERROR_PARTIAL_COPY 299L

// ---- Toolhelp snapshots ----
#define TH32CS_SNAPHEAPLIST 0x00000001u
#define TH32CS_SNAPPROCESS 0x00000002u
#define TH32CS_SNAPTHREAD 0x00000004u
#define TH32CS_SNAPMODULE 0x00000008u
#define TH32CS_SNAPMODULE32 0x00000010u
#define TH32CS_INHERIT 0x80000000u

struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
};
using PPROCESSENTRY32W = PROCESSENTRY32W*;
using LPPROCESSENTRY32W = PROCESSENTRY32W*;

// The machine's processes: this one, the other live processes of the program started on the machine, and
// the simulated ones its profile lists. Only TH32CS_SNAPPROCESS (with TH32CS_INHERIT) is supported.
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// FALSE with ERROR_BAD_LENGTH when lppe->dwSize is too small, ERROR_NO_MORE_FILES after the last one.
BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);

// ---- Process handles ----
#define PROCESS_TERMINATE 0x0001u
#define PROCESS_CREATE_THREAD 0x0002u
#define PROCESS_VM_OPERATION 0x0008u
#define PROCESS_VM_READ 0x0010u
#define PROCESS_VM_WRITE 0x0020u
#define PROCESS_DUP_HANDLE 0x0040u
#define PROCESS_SET_INFORMATION 0x0200u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define PROCESS_QUERY_LIMITED_INFORMATION 0x1000u
#define PROCESS_ALL_ACCESS 0x001FFFFFu

// A handle to a process of the snapshot; waiting on it (SYNCHRONIZE) ends when the process has ended.
// NULL with ERROR_INVALID_PARAMETER for an unknown id, ERROR_ACCESS_DENIED for a simulated process whose
// profile denies access.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// The Windows image path of the process (hModule NULL), truncated to the buffer as GetModuleFileNameW
// does. Needs PROCESS_QUERY_INFORMATION (or its limited form) and PROCESS_VM_READ.
DWORD K32GetModuleFileNameExW(HANDLE hProcess, HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
#define GetModuleFileNameExW K32GetModuleFileNameExW
// Ends another live process of the program and records it in the machine's events. Simulated processes
// and ended ones refuse with ERROR_ACCESS_DENIED; the calling process is not ended this way
// (ERROR_NOT_SUPPORTED).
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);
// STILL_ACTIVE while the process runs; afterwards the code it ended with, when the machine recorded one.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
// Ends the calling process with the code: its other threads end with it wherever they are, and no code of
// the program runs any more (no destructors, no exit handlers).
[[noreturn]] void ExitProcess(UINT uExitCode);

// ---- Command line ----
// The Windows command line of the process: its image path (quoted when it holds a blank), then its
// arguments quoted by the rules CommandLineToArgvW undoes.
LPWSTR GetCommandLineW();
// The arguments of a command line, in one block to free with LocalFree; an empty line gives the
// process's image path alone.
LPWSTR* CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs);

// ---- Local memory ----
#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

// Fixed blocks only (LMEM_MOVEABLE fails with ERROR_NOT_SUPPORTED).
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
// NULL on success; the handle itself with ERROR_INVALID_HANDLE for one that is not a live block.
HLOCAL LocalFree(HLOCAL hMem);

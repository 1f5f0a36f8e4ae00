// Faults: structured exceptions and the process's unhandled-exception filter, the run-time's abort
// behaviour and its invalid-parameter and pure-virtual-call handlers, minidumps of the process, and
// writes into the process's own memory.
//
// A fault reaches the filter from the POSIX fault signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, and SIGABRT
// when the abort behaviour reports faults), handled on an alternate stack, or from a C++ exception that
// no handler catches. Faults are handled one at a time: a thread that faults while another thread's fault
// is handled waits, and ends with the process when that one ends it. The filter's result:
// EXCEPTION_EXECUTE_HANDLER ends the process with the exception code as its exit code;
// EXCEPTION_CONTINUE_SEARCH leaves the fault to the system (the signal's default action);
// EXCEPTION_CONTINUE_EXECUTION resumes a continuable fault with the registers of the context record.
// A filter that does not come back within half a minute ends the process (SIGALRM), so that a fault
// inside a lock the filter needs never hangs the process.
#pragma once

#include <cstdint>

#include "platform/base.h"
#include "platform/threads.h"
#include "platform/version.h"

#ifndef CALLBACK
#define CALLBACK
#endif

// ---- Exception codes ----
#define EXCEPTION_ACCESS_VIOLATION 0xC0000005u
#define EXCEPTION_IN_PAGE_ERROR 0xC0000006u
#define EXCEPTION_ILLEGAL_INSTRUCTION 0xC000001Du
#define EXCEPTION_ARRAY_BOUNDS_EXCEEDED 0xC000008Cu
#define EXCEPTION_FLT_DENORMAL_OPERAND 0xC000008Du
#define EXCEPTION_FLT_DIVIDE_BY_ZERO 0xC000008Eu
#define EXCEPTION_FLT_INEXACT_RESULT 0xC000008Fu
#define EXCEPTION_FLT_INVALID_OPERATION 0xC0000090u
#define EXCEPTION_FLT_OVERFLOW 0xC0000091u
#define EXCEPTION_FLT_UNDERFLOW 0xC0000093u
#define EXCEPTION_INT_DIVIDE_BY_ZERO 0xC0000094u
#define EXCEPTION_INT_OVERFLOW 0xC0000095u
#define EXCEPTION_PRIV_INSTRUCTION 0xC0000096u
#define EXCEPTION_DATATYPE_MISALIGNMENT 0x80000002u
#define STATUS_FATAL_APP_EXIT 0x40000015u
// The code of a C++ exception that no handler catches.
#define EXCEPTION_CPP_EXCEPTION 0xE06D7363u

#define EXCEPTION_NONCONTINUABLE 0x1u
#define EXCEPTION_MAXIMUM_PARAMETERS 15

// Filter results.
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0
#define EXCEPTION_CONTINUE_EXECUTION (-1)

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    EXCEPTION_RECORD* ExceptionRecord;
    PVOID ExceptionAddress;
    DWORD NumberParameters;
    ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
using PEXCEPTION_RECORD = EXCEPTION_RECORD*;

// ---- The processor context (x86-64) ----
struct alignas(16) M128A {
    ULONGLONG Low;
    LONGLONG High;
};

// The FXSAVE image of the x87, MMX and SSE state.
struct alignas(16) XMM_SAVE_AREA32 {
    WORD ControlWord;
    WORD StatusWord;
    BYTE TagWord;
    BYTE Reserved1;
    WORD ErrorOpcode;
    DWORD ErrorOffset;
    WORD ErrorSelector;
    WORD Reserved2;
    DWORD DataOffset;
    WORD DataSelector;
    WORD Reserved3;
    DWORD MxCsr;
    DWORD MxCsr_Mask;
    M128A FloatRegisters[8];
    M128A XmmRegisters[16];
    BYTE Reserved4[96];
};

#define CONTEXT_AMD64 0x00100000u
#define CONTEXT_CONTROL (CONTEXT_AMD64 | 0x1u)
#define CONTEXT_INTEGER (CONTEXT_AMD64 | 0x2u)
#define CONTEXT_SEGMENTS (CONTEXT_AMD64 | 0x4u)
#define CONTEXT_FLOATING_POINT (CONTEXT_AMD64 | 0x8u)
#define CONTEXT_FULL (CONTEXT_CONTROL | CONTEXT_INTEGER | CONTEXT_FLOATING_POINT)

struct alignas(16) CONTEXT {
    DWORD64 P1Home;
    DWORD64 P2Home;
    DWORD64 P3Home;
    DWORD64 P4Home;
    DWORD64 P5Home;
    DWORD64 P6Home;
    DWORD ContextFlags;
    DWORD MxCsr;
    WORD SegCs;
    WORD SegDs;
    WORD SegEs;
    WORD SegFs;
    WORD SegGs;
    WORD SegSs;
    DWORD EFlags;
    DWORD64 Dr0;
    DWORD64 Dr1;
    DWORD64 Dr2;
    DWORD64 Dr3;
    DWORD64 Dr6;
    DWORD64 Dr7;
    DWORD64 Rax;
    DWORD64 Rcx;
    DWORD64 Rdx;
    DWORD64 Rbx;
    DWORD64 Rsp;
    DWORD64 Rbp;
    DWORD64 Rsi;
    DWORD64 Rdi;
    DWORD64 R8;
    DWORD64 R9;
    DWORD64 R10;
    DWORD64 R11;
    DWORD64 R12;
    DWORD64 R13;
    DWORD64 R14;
    DWORD64 R15;
    DWORD64 Rip;
    XMM_SAVE_AREA32 FltSave;
    M128A VectorRegister[26];
    DWORD64 VectorControl;
    DWORD64 DebugControl;
    DWORD64 LastBranchToRip;
    DWORD64 LastBranchFromRip;
    DWORD64 LastExceptionToRip;
    DWORD64 LastExceptionFromRip;
};
using PCONTEXT = CONTEXT*;
static_assert(sizeof(CONTEXT) == 1232, "the x86-64 context record is 1232 bytes");

struct EXCEPTION_POINTERS {
    PEXCEPTION_RECORD ExceptionRecord;
    PCONTEXT ContextRecord;
};
using PEXCEPTION_POINTERS = EXCEPTION_POINTERS*;

// ---- The unhandled-exception filter ----
using PTOP_LEVEL_EXCEPTION_FILTER = LONG(WINAPI*)(EXCEPTION_POINTERS* ExceptionInfo);
using LPTOP_LEVEL_EXCEPTION_FILTER = PTOP_LEVEL_EXCEPTION_FILTER;

// Sets the process's filter and answers the previous one. The first call installs the fault handling.
// An export of the layer under its plain name (the machine installs the layer as the system's
// kernel32.dll): a relative jump written over its entry with WriteProcessMemory sends every later call to
// the jump's target instead.
extern "C" LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter);

// ---- The run-time's handlers ----
#define _WRITE_ABORT_MSG 0x1u
#define _CALL_REPORTFAULT 0x2u

// The abort behaviour (both flags set at start), changed in the bits of mask; answers the old flags.
// _WRITE_ABORT_MSG: an abort writes "abort() has been called" to the standard error. _CALL_REPORTFAULT: an
// abort is reported as the fault STATUS_FATAL_APP_EXIT: the run-time first resets the filter with
// SetUnhandledExceptionFilter(NULL), then hands the fault to the filter. Without it an abort ends the
// process at once with exit code 3.
unsigned int _set_abort_behavior(unsigned int flags, unsigned int mask);

using _invalid_parameter_handler = void (*)(const wchar_t* expression, const wchar_t* function,
                                            const wchar_t* file, unsigned int line, uintptr_t reserved);
using _purecall_handler = void (*)();
// The run-time calls the invalid-parameter handler (with null texts and line 0, as a release run-time
// does) when one of its checked functions (wcscpy_s, swprintf_s, ...) gets an invalid parameter; when the
// handler returns, or none is set, the function returns its documented failure.
_invalid_parameter_handler _set_invalid_parameter_handler(_invalid_parameter_handler pNew);
_invalid_parameter_handler _get_invalid_parameter_handler();
// A pure virtual call calls the handler; when it returns, or none is set, the run-time aborts.
_purecall_handler _set_purecall_handler(_purecall_handler function);
_purecall_handler _get_purecall_handler();

// ---- Minidumps ----
enum MINIDUMP_TYPE : DWORD {
    MiniDumpNormal = 0x00000000,
    MiniDumpWithDataSegs = 0x00000001,
    MiniDumpWithFullMemory = 0x00000002,
};

enum MINIDUMP_STREAM_TYPE : ULONG {
    UnusedStream = 0,
    ThreadListStream = 3,
    ModuleListStream = 4,
    MemoryListStream = 5,
    ExceptionStream = 6,
    SystemInfoStream = 7,
};

enum MINIDUMP_CALLBACK_TYPE : ULONG {
    ModuleCallback = 0,
    ThreadCallback = 1,
    ThreadExCallback = 2,
    IncludeThreadCallback = 3,
    IncludeModuleCallback = 4,
    MemoryCallback = 5,
    CancelCallback = 6,
};

enum MODULE_WRITE_FLAGS : ULONG {
    ModuleWriteModule = 0x0001,
    ModuleWriteDataSeg = 0x0002,
    ModuleWriteMiscRecord = 0x0004,
    ModuleWriteCvRecord = 0x0008,
};

enum THREAD_WRITE_FLAGS : ULONG {
    ThreadWriteThread = 0x0001,
    ThreadWriteStack = 0x0002,
    ThreadWriteContext = 0x0004,
};

#define ERROR_WRITE_FAULT 29L

#define MINIDUMP_SIGNATURE 0x504D444Du // "MDMP"
#define MINIDUMP_VERSION 42899u
#define PROCESSOR_ARCHITECTURE_AMD64 9
#define VER_NT_WORKSTATION 1
#define VER_PLATFORM_WIN32_NT 2

using ULONG32 = std::uint32_t;
using ULONG64 = std::uint64_t;
using RVA = ULONG32;

#pragma pack(push, 4)

struct MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    PEXCEPTION_POINTERS ExceptionPointers;
    BOOL ClientPointers;
};
using PMINIDUMP_EXCEPTION_INFORMATION = MINIDUMP_EXCEPTION_INFORMATION*;

#pragma pack(pop)

struct MINIDUMP_USER_STREAM_INFORMATION;
using PMINIDUMP_USER_STREAM_INFORMATION = MINIDUMP_USER_STREAM_INFORMATION*;

struct MINIDUMP_THREAD_CALLBACK {
    ULONG ThreadId;
    HANDLE ThreadHandle;
    CONTEXT Context;
    ULONG SizeOfContext;
    ULONG64 StackBase;
    ULONG64 StackEnd;
};

struct MINIDUMP_INCLUDE_THREAD_CALLBACK {
    ULONG ThreadId;
};

struct MINIDUMP_MODULE_CALLBACK {
    WCHAR* FullPath;
    ULONG64 BaseOfImage;
    ULONG SizeOfImage;
    ULONG CheckSum;
    ULONG TimeDateStamp;
    VS_FIXEDFILEINFO VersionInfo;
    PVOID CvRecord;
    ULONG SizeOfCvRecord;
    PVOID MiscRecord;
    ULONG SizeOfMiscRecord;
};

struct MINIDUMP_INCLUDE_MODULE_CALLBACK {
    ULONG64 BaseOfImage;
};

struct MINIDUMP_CALLBACK_INPUT {
    ULONG ProcessId;
    HANDLE ProcessHandle;
    ULONG CallbackType;
    union {
        HRESULT Status;
        MINIDUMP_THREAD_CALLBACK Thread;
        MINIDUMP_INCLUDE_THREAD_CALLBACK IncludeThread;
        MINIDUMP_MODULE_CALLBACK Module;
        MINIDUMP_INCLUDE_MODULE_CALLBACK IncludeModule;
    };
};
using PMINIDUMP_CALLBACK_INPUT = MINIDUMP_CALLBACK_INPUT*;

struct MINIDUMP_CALLBACK_OUTPUT {
    union {
        ULONG ModuleWriteFlags;
        ULONG ThreadWriteFlags;
        struct {
            ULONG64 MemoryBase;
            ULONG MemorySize;
        };
        HRESULT Status;
    };
};
using PMINIDUMP_CALLBACK_OUTPUT = MINIDUMP_CALLBACK_OUTPUT*;

using MINIDUMP_CALLBACK_ROUTINE = BOOL(CALLBACK*)(PVOID CallbackParam,
                                                  const PMINIDUMP_CALLBACK_INPUT CallbackInput,
                                                  PMINIDUMP_CALLBACK_OUTPUT CallbackOutput);

struct MINIDUMP_CALLBACK_INFORMATION {
    MINIDUMP_CALLBACK_ROUTINE CallbackRoutine;
    PVOID CallbackParam;
};
using PMINIDUMP_CALLBACK_INFORMATION = MINIDUMP_CALLBACK_INFORMATION*;

// ---- The file's layout ----
#pragma pack(push, 4)

struct MINIDUMP_LOCATION_DESCRIPTOR {
    ULONG32 DataSize;
    RVA Rva;
};

struct MINIDUMP_MEMORY_DESCRIPTOR {
    ULONG64 StartOfMemoryRange;
    MINIDUMP_LOCATION_DESCRIPTOR Memory;
};

struct MINIDUMP_HEADER {
    ULONG32 Signature;
    ULONG32 Version;
    ULONG32 NumberOfStreams;
    RVA StreamDirectoryRva;
    ULONG32 CheckSum;
    ULONG32 TimeDateStamp;
    ULONG64 Flags;
};

struct MINIDUMP_DIRECTORY {
    ULONG32 StreamType;
    MINIDUMP_LOCATION_DESCRIPTOR Location;
};

// Length in bytes without the terminator, then the UTF-16 text and a terminating 0.
struct MINIDUMP_STRING {
    ULONG32 Length;
    char16_t Buffer[1];
};

struct MINIDUMP_SYSTEM_INFO {
    USHORT ProcessorArchitecture;
    USHORT ProcessorLevel;
    USHORT ProcessorRevision;
    BYTE NumberOfProcessors;
    BYTE ProductType;
    ULONG32 MajorVersion;
    ULONG32 MinorVersion;
    ULONG32 BuildNumber;
    ULONG32 PlatformId;
    RVA CSDVersionRva;
    USHORT SuiteMask;
    USHORT Reserved2;
    struct {
        ULONG32 VendorId[3];
        ULONG32 VersionInformation;
        ULONG32 FeatureInformation;
        ULONG32 AMDExtendedCpuFeatures;
    } Cpu;
};

struct MINIDUMP_THREAD {
    ULONG32 ThreadId;
    ULONG32 SuspendCount;
    ULONG32 PriorityClass;
    ULONG32 Priority;
    ULONG64 Teb;
    MINIDUMP_MEMORY_DESCRIPTOR Stack;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};

struct MINIDUMP_MODULE {
    ULONG64 BaseOfImage;
    ULONG32 SizeOfImage;
    ULONG32 CheckSum;
    ULONG32 TimeDateStamp;
    RVA ModuleNameRva;
    VS_FIXEDFILEINFO VersionInfo;
    MINIDUMP_LOCATION_DESCRIPTOR CvRecord;
    MINIDUMP_LOCATION_DESCRIPTOR MiscRecord;
    ULONG64 Reserved0;
    ULONG64 Reserved1;
};

struct MINIDUMP_EXCEPTION {
    ULONG32 ExceptionCode;
    ULONG32 ExceptionFlags;
    ULONG64 ExceptionRecord;
    ULONG64 ExceptionAddress;
    ULONG32 NumberParameters;
    ULONG32 __unusedAlignment;
    ULONG64 ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};

struct MINIDUMP_EXCEPTION_STREAM {
    ULONG32 ThreadId;
    ULONG32 __alignment;
    MINIDUMP_EXCEPTION ExceptionRecord;
    MINIDUMP_LOCATION_DESCRIPTOR ThreadContext;
};

#pragma pack(pop)

static_assert(sizeof(MINIDUMP_HEADER) == 32 && sizeof(MINIDUMP_DIRECTORY) == 12);
static_assert(sizeof(MINIDUMP_SYSTEM_INFO) == 56 && sizeof(MINIDUMP_THREAD) == 48);
static_assert(sizeof(MINIDUMP_MODULE) == 108 && sizeof(MINIDUMP_EXCEPTION_STREAM) == 168);

// Writes a minidump of the calling process (hProcess GetCurrentProcess(), ProcessId its id) into hFile, a
// file of CreateFileW opened for writing. Only MiniDumpNormal is written: the system
// information; one thread, the exception's (with its context record) or else the calling thread (with
// its context at the call), and its stack; the process's mapped modules, named by their real paths; the
// exception; and the memory that the callback's memory callbacks add. The callback is asked, as the
// system's writer asks it, to include each thread and module (IncludeThreadCallback,
// IncludeModuleCallback), then for each thread's and module's write flags (ThreadCallback,
// ModuleCallback), then for memory (MemoryCallback, until it answers FALSE); a FALSE answer leaves the
// thread or module out. The dump is written with system calls only, from static storage, so that it may
// be written from a fault handler; the dump is then recorded in the machine's events ("crash.dump").
// Failures: FALSE with an HRESULT as the last error: E_INVALIDARG for another process id or a handle that
// is no file open for writing; HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED) for another process, another dump
// type or user streams; HRESULT_FROM_WIN32(ERROR_WRITE_FAULT) when the file cannot be written, or when
// the calling thread is already writing a dump (a fault inside the writer).
BOOL WINAPI MiniDumpWriteDump(HANDLE hProcess, DWORD ProcessId, HANDLE hFile, MINIDUMP_TYPE DumpType,
                              PMINIDUMP_EXCEPTION_INFORMATION ExceptionParam,
                              PMINIDUMP_USER_STREAM_INFORMATION UserStreamParam,
                              PMINIDUMP_CALLBACK_INFORMATION CallbackParam);

// ---- The process's memory ----
// Writes into the calling process's memory (hProcess must be GetCurrentProcess(); other processes:
// ERROR_ACCESS_DENIED). Writable memory is written; code is never written. A relative jump (0xE9 and a
// 32-bit displacement) written over the entry of SetUnhandledExceptionFilter is kept by the layer and
// followed from then on; the displacement is taken, as in the 32-bit process the program was made for,
// modulo 2^32 within the module of the code that writes it. Any other write to code, or a jump whose
// target is no code of that module, fails with ERROR_NOACCESS; a range partly unwritable fails with
// ERROR_PARTIAL_COPY after writing what it could.
BOOL WINAPI WriteProcessMemory(HANDLE hProcess, LPVOID lpBaseAddress, LPCVOID lpBuffer, SIZE_T nSize,
                               SIZE_T* lpNumberOfBytesWritten);

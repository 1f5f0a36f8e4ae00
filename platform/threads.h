// Kernel objects and threads: handles, events, waits, mutexes (named ones across processes), threads
// with the run-time's _beginthreadex and the layer's count of live workers, Sleep, process and thread ids.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "platform/base.h"

// Calling conventions mean nothing on this target.
#define WINAPI
#define __stdcall

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID lpThreadParameter);
using _beginthreadex_proc_type = unsigned (*)(void* arg);

#define MAXIMUM_WAIT_OBJECTS 64
#define WAIT_ABANDONED_0 0x00000080u
#define STILL_ACTIVE 259
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
#define CREATE_EVENT_MANUAL_RESET 0x00000001u
#define CREATE_EVENT_INITIAL_SET 0x00000002u
#define ERROR_FILENAME_EXCED_RANGE 206L

#define SYNCHRONIZE 0x00100000u
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u
#define MUTEX_MODIFY_STATE 0x0001u
#define MUTEX_ALL_ACCESS 0x001F0001u

// ---- Handles ----
BOOL CloseHandle(HANDLE hObject);
HANDLE GetCurrentProcess();
HANDLE GetCurrentThread();
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// ---- Events ----
// Object names ("Global\" and "Local\" prefixes are one namespace here) are shared by events and mutexes.
// A named event is one object within its process; a name another process holds as an event fails with
// ERROR_NOT_SUPPORTED, since events are not shared across processes. OpenEventW also opens the events
// that the machine's simulated processes hold (facts "/namedEvents/<name>": {"signaled": true|false},
// the name without its prefix): manual-reset, signalled while the fact says so, not set by the program.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCWSTR lpName);
HANDLE CreateEventExW(LPSECURITY_ATTRIBUTES lpEventAttributes, LPCWSTR lpName, DWORD dwFlags,
                      DWORD dwDesiredAccess);
HANDLE OpenEventW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

// ---- Mutexes ----
// A named mutex is shared by every process of the machine, ownership included.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
HANDLE OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
BOOL ReleaseMutex(HANDLE hMutex);

// ---- Waits ----
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds);

// ---- Threads ----
// An exception that escapes a thread's procedure ends the process (std::terminate), as the unhandled
// exception filter does on Windows.
uintptr_t _beginthreadex(void* security, unsigned stack_size, _beginthreadex_proc_type start_address,
                         void* arglist, unsigned initflag, unsigned* thrdaddr);
// Ends the calling thread by unwinding its stack (destructors run, unlike on Windows).
[[noreturn]] void _endthreadex(unsigned retval);
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId);
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
void Sleep(DWORD dwMilliseconds);
BOOL SwitchToThread();

namespace platform {

// ---- Kernel objects, for the areas of the layer ----

enum class EAcquire { NotSignaled, Acquired, Abandoned };

// An object a HANDLE stands for. Waitable ones keep their state under the waitable-state lock. A last
// reference may drop under that lock, so a destructor must never take it.
class CKernelObject : public std::enable_shared_from_this<CKernelObject> {
public:
    virtual ~CKernelObject();
    virtual bool IsWaitable() const { return false; }
    // Under the waitable-state lock, on the waiting thread: takes the object when it is signalled (an
    // auto-reset event resets, a mutex becomes the thread's own).
    virtual EAcquire TryAcquire(DWORD threadId) { return EAcquire::NotSignaled; }
    // Under the same lock: gives back what TryAcquire took, when a wait for all objects cannot complete.
    virtual void UndoAcquire(DWORD threadId, EAcquire taken) {}
    // True when another process can signal the object; a waiter then looks again every few milliseconds.
    virtual bool ChangesOutsideProcess() const { return false; }
};

// The one handle table of the process. Values are multiples of 4, never NULL or INVALID_HANDLE_VALUE,
// and are not reused at once. The table keeps the object alive until its handle is closed.
HANDLE InsertHandle(std::shared_ptr<CKernelObject> object);
// The object of a handle (GetCurrentThread() resolves to the calling thread); null when unknown.
std::shared_ptr<CKernelObject> LookupKernelObject(HANDLE handle);
template <class T = CKernelObject> std::shared_ptr<T> LookupHandle(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupKernelObject(handle));
}

// Every change of waitable state is made under this lock and followed by WakeWaiters().
std::unique_lock<std::mutex> LockWaitableState();
void WakeWaiters();
template <class Change> void ChangeWaitableState(Change&& change) {
    {
        auto lock = LockWaitableState();
        change();
    }
    WakeWaiters();
}
// WaitForMultipleObjects on objects rather than handles (a message queue, for instance, can be one).
DWORD WaitForKernelObjects(std::span<const std::shared_ptr<CKernelObject>> objects, bool waitAll,
                           DWORD milliseconds);

// Security attributes may only ask for handle inheritance; a security descriptor fails with
// ERROR_NOT_SUPPORTED.
bool CheckSecurityAttributes(const SECURITY_ATTRIBUTES* attributes);

// ---- Named objects ----

struct CNamedObjectResult {
    std::shared_ptr<CKernelObject> object;
    bool existed = false;
    DWORD error = ERROR_SUCCESS;
};
// Makes this process's object for a name. objectFiles is a path stem under which the object may keep
// files of its own (objectFiles + ".owner"); firstOnMachine tells that no other process holds the name.
// Returns null with the last error set when it cannot.
using MakeNamedObject = std::function<std::unique_ptr<CKernelObject>(const std::filesystem::path& objectFiles,
                                                                     bool firstOnMachine)>;
// The object of a name in the machine's one namespace: the live object of this process, else a new one.
// kind ("event", "mutex") must match the kind the name was made with, else ERROR_INVALID_HANDLE.
CNamedObjectResult CreateNamedObject(std::wstring_view name, std::string_view kind,
                                     const MakeNamedObject& make);
// As CreateNamedObject, but ERROR_FILE_NOT_FOUND when no process of the machine holds the name.
CNamedObjectResult OpenNamedObject(std::wstring_view name, std::string_view kind,
                                   const MakeNamedObject& make);
// The name within the machine's one namespace ("Global\" and "Local\" taken off); none, with the
// error, for a name no object can have.
std::optional<std::wstring> NameInNamespace(std::wstring_view name, DWORD& error);
// A handle to the result's object, or null with its error. A created one sets the last error to
// ERROR_ALREADY_EXISTS when the name existed, else to ERROR_SUCCESS.
HANDLE HandleForObjectResult(const CNamedObjectResult& result, bool created);

// ---- Threads ----

// The kernel object of the calling thread, made on first use for a thread the layer did not start.
std::shared_ptr<CKernelObject> CurrentThreadObject();
// Runs action on the calling thread's end, before its handle is signalled.
void AtCurrentThreadExit(std::function<void()> action);
// Threads started by _beginthreadex or CreateThread that have not ended.
int LiveWorkerCount();
// Waits until no worker but the caller is live; false when timeoutMs passed first.
bool WaitForWorkers(DWORD timeoutMs);

} // namespace platform

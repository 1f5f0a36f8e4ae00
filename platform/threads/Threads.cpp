// Threads: workers on detached std::threads, the kernel object of each thread, the count of live workers,
// thread ends and Sleep.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/faults/FaultHandling.h"
#include "platform/threads.h"

namespace platform {

namespace {

std::atomic<int> g_liveWorkers{0};
thread_local bool t_isWorker = false;

// Signalled when the thread has ended; the exit code is STILL_ACTIVE until then.
class CThread : public CKernelObject {
public:
    bool IsWaitable() const override { return true; }
    EAcquire TryAcquire(DWORD) override { return m_ended ? EAcquire::Acquired : EAcquire::NotSignaled; }

    DWORD ExitCode() {
        auto lock = LockWaitableState();
        return m_ended ? m_exitCode : static_cast<DWORD>(STILL_ACTIVE);
    }

    void End(DWORD exitCode, bool worker) {
        ChangeWaitableState([&] {
            m_exitCode = exitCode;
            m_ended = true;
            if (worker) {
                --g_liveWorkers;
            }
        });
    }

private:
    bool m_ended = false;
    DWORD m_exitCode = 0;
};

// The calling thread's part in the layer. Its destructor runs when the thread ends, whether its procedure
// returned, it called _endthreadex, or (for a thread the layer did not start) it simply finished.
struct CThreadState {
    std::shared_ptr<CThread> self;
    std::vector<std::function<void()>> exitActions;
    DWORD exitCode = 0;

    ~CThreadState() {
        while (!exitActions.empty()) {
            auto action = std::move(exitActions.back());
            exitActions.pop_back();
            action();
        }
        if (self) {
            self->End(exitCode, t_isWorker);
        }
    }
};

thread_local CThreadState t_state;

// Signalled while no worker but the waiting one is live.
class CNoWorkersLeft : public CKernelObject {
public:
    bool IsWaitable() const override { return true; }
    EAcquire TryAcquire(DWORD) override {
        return g_liveWorkers <= (t_isWorker ? 1 : 0) ? EAcquire::Acquired : EAcquire::NotSignaled;
    }
};

// Starts a worker running body; its handle and id, or null with the Win32 error.
HANDLE StartWorker(std::function<DWORD()> body, DWORD& threadId, DWORD& error) {
    auto thread = std::make_shared<CThread>();
    std::promise<DWORD> started;
    std::future<DWORD> startedId = started.get_future();
    ++g_liveWorkers;
    try {
        std::thread([thread, body = std::move(body), started = std::move(started)]() mutable {
            t_isWorker = true;
            PrepareFaultStack();
            t_state.self = thread;
            started.set_value(GetCurrentThreadId());
            t_state.exitCode = body();
        }).detach();
    } catch (const std::system_error&) {
        ChangeWaitableState([] { --g_liveWorkers; });
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    threadId = startedId.get();
    return InsertHandle(std::move(thread));
}

} // namespace

std::shared_ptr<CKernelObject> CurrentThreadObject() {
    if (!t_state.self) {
        t_state.self = std::make_shared<CThread>();
    }
    return t_state.self;
}

void AtCurrentThreadExit(std::function<void()> action) {
    t_state.exitActions.push_back(std::move(action));
}

int LiveWorkerCount() {
    return g_liveWorkers;
}

bool WaitForWorkers(DWORD timeoutMs) {
    static const auto* noWorkersLeft = new std::shared_ptr<CKernelObject>(std::make_shared<CNoWorkersLeft>());
    return WaitForKernelObjects({noWorkersLeft, 1}, false, timeoutMs) == WAIT_OBJECT_0;
}

} // namespace platform

DWORD GetCurrentThreadId() {
    thread_local const DWORD id = static_cast<DWORD>(gettid());
    return id;
}

uintptr_t _beginthreadex(void* security, unsigned stack_size, _beginthreadex_proc_type start_address,
                         void* arglist, unsigned initflag, unsigned* thrdaddr) {
    if (!start_address || (initflag & ~STACK_SIZE_PARAM_IS_A_RESERVATION) != 0 ||
        !platform::CheckSecurityAttributes(static_cast<const SECURITY_ATTRIBUTES*>(security))) {
        errno = EINVAL;
        return 0;
    }
    DWORD threadId = 0;
    DWORD error = ERROR_SUCCESS;
    const HANDLE handle =
        platform::StartWorker([=] { return static_cast<DWORD>(start_address(arglist)); }, threadId, error);
    if (!handle) {
        errno = EAGAIN;
        SetLastError(error);
        return 0;
    }
    if (thrdaddr) {
        *thrdaddr = threadId;
    }
    return reinterpret_cast<uintptr_t>(handle);
}

void _endthreadex(unsigned retval) {
    platform::t_state.exitCode = retval;
    pthread_exit(nullptr);
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter, DWORD dwCreationFlags,
                    LPDWORD lpThreadId) {
    if (!platform::CheckSecurityAttributes(lpThreadAttributes)) {
        return nullptr;
    }
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Suspended creation is not supported.
    if ((dwCreationFlags & ~STACK_SIZE_PARAM_IS_A_RESERVATION) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DWORD threadId = 0;
    DWORD error = ERROR_SUCCESS;
    const HANDLE handle = platform::StartWorker([=] { return lpStartAddress(lpParameter); }, threadId, error);
    if (!handle) {
        SetLastError(error);
        return nullptr;
    }
    if (lpThreadId) {
        *lpThreadId = threadId;
    }
    return handle;
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    const auto thread = platform::LookupHandle<platform::CThread>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) {
            pause();
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

BOOL SwitchToThread() {
    return sched_yield() == 0;
}

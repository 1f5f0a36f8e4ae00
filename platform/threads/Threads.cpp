// Threads: workers on threads with Windows' stack sizes, the kernel object of each thread, the count of live
// workers, thread ends and Sleep.
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
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

// The stack a thread gets, as Windows reserves it: the executable's 1 MB unless the size asks for more
// (a commit size is rounded up to whole megabytes), or the reservation asked for, in 64 KB steps.
size_t StackReservation(size_t size, bool isReservation) {
    constexpr size_t kDefaultReserve = 1024 * 1024;
    constexpr size_t kGranularity = 64 * 1024;
    const auto roundUp = [](size_t value, size_t step) { return (value + step - 1) / step * step; };
    if (size == 0) {
        return kDefaultReserve;
    }
    if (isReservation) {
        return std::max<size_t>(roundUp(size, kGranularity), PTHREAD_STACK_MIN);
    }
    return size <= kDefaultReserve ? kDefaultReserve : roundUp(size, kDefaultReserve);
}

struct CWorkerStart {
    std::shared_ptr<CThread> thread;
    std::function<DWORD()> body;
    std::promise<DWORD> started;
};

void* WorkerMain(void* param) {
    std::function<DWORD()> body;
    {
        const std::unique_ptr<CWorkerStart> start(static_cast<CWorkerStart*>(param));
        t_isWorker = true;
        PrepareFaultStack();
        t_state.self = start->thread;
        body = std::move(start->body);
        start->started.set_value(GetCurrentThreadId());
    }
    t_state.exitCode = body();
    return nullptr;
}

// A worker's stack, made here so that it is exactly the size asked for (the C library would hand a thread
// a larger stack it kept from an earlier one), with a guard page under it; unmapped once its thread has
// ended and been joined.
struct CWorkerStack {
    pthread_t thread;
    void* pBlock;
    size_t nBytes;
};

std::mutex& StacksLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::vector<CWorkerStack>& Stacks() {
    static auto* stacks = new std::vector<CWorkerStack>;
    return *stacks;
}

void ReleaseEndedStacksLocked() {
    std::erase_if(Stacks(), [](const CWorkerStack& stack) {
        if (pthread_tryjoin_np(stack.thread, nullptr) != 0) {
            return false;
        }
        munmap(stack.pBlock, stack.nBytes);
        return true;
    });
}

// Starts a worker running body on a stack of that many bytes; its handle and id, or null with the Win32
// error.
HANDLE StartWorker(std::function<DWORD()> body, size_t stackBytes, DWORD& threadId, DWORD& error) {
    const std::lock_guard stacksLock(StacksLock());
    ReleaseEndedStacksLocked();
    const auto guard = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t blockBytes = guard + stackBytes;
    void* pBlock =
        mmap(nullptr, blockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (pBlock == MAP_FAILED) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    mprotect(pBlock, guard, PROT_NONE);
    auto thread = std::make_shared<CThread>();
    auto start = std::make_unique<CWorkerStart>(CWorkerStart{thread, std::move(body), {}});
    std::future<DWORD> startedId = start->started.get_future();
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstack(&attributes, static_cast<char*>(pBlock) + guard, stackBytes);
    ++g_liveWorkers;
    pthread_t id{};
    const bool created = pthread_create(&id, &attributes, WorkerMain, start.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (!created) {
        munmap(pBlock, blockBytes);
        ChangeWaitableState([] { --g_liveWorkers; });
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    Stacks().push_back(CWorkerStack{id, pBlock, blockBytes});
    start.release();
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
    const HANDLE handle = platform::StartWorker(
        [=] { return static_cast<DWORD>(start_address(arglist)); },
        platform::StackReservation(stack_size, (initflag & STACK_SIZE_PARAM_IS_A_RESERVATION) != 0), threadId,
        error);
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
    const HANDLE handle = platform::StartWorker(
        [=] { return lpStartAddress(lpParameter); },
        platform::StackReservation(dwStackSize, (dwCreationFlags & STACK_SIZE_PARAM_IS_A_RESERVATION) != 0),
        threadId, error);
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

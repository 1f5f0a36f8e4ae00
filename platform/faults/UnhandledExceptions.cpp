// The unhandled-exception filter: the fault signals and uncaught C++ exceptions that reach it, on each
// faulting thread as on Windows (two threads that fault at once both run it; the first to end the
// process ends the other's run), and the end of the process that its result decides.
//
// The handlers run on an alternate stack, so that a thread whose stack overflowed is still handled. What
// they do before the filter (building the records) uses no lock and no heap; the filter itself is the
// program's and may do more, so a watchdog alarm ends a handling that hangs.
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <exception>
#include <mutex>

#include "platform/faults/FaultHandling.h"
#include "platform/processes/ProcessList.h"

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr unsigned kWatchdogSeconds = 30;
constexpr size_t kFaultStackSize = 256 * 1024;
constexpr int kAnyCode = -1;

// Page fault error code bits of the x86-64 trap.
constexpr greg_t kPageFaultWrite = 0x2;
constexpr greg_t kPageFaultFetch = 0x10;
// The access kinds of an access violation's first parameter.
constexpr ULONG_PTR kAccessRead = 0;
constexpr ULONG_PTR kAccessWrite = 1;
constexpr ULONG_PTR kAccessExecute = 8;

struct CSignalCode {
    int signal;
    int code;
    DWORD exception;
};

// The exception code of a signal and its si_code; the first matching row counts.
constexpr CSignalCode kSignalCodes[] = {
    {SIGFPE, FPE_INTDIV, EXCEPTION_INT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_INTOVF, EXCEPTION_INT_OVERFLOW},
    {SIGFPE, FPE_FLTDIV, EXCEPTION_FLT_DIVIDE_BY_ZERO},
    {SIGFPE, FPE_FLTOVF, EXCEPTION_FLT_OVERFLOW},
    {SIGFPE, FPE_FLTUND, EXCEPTION_FLT_UNDERFLOW},
    {SIGFPE, FPE_FLTRES, EXCEPTION_FLT_INEXACT_RESULT},
    {SIGFPE, FPE_FLTSUB, EXCEPTION_ARRAY_BOUNDS_EXCEEDED},
    {SIGFPE, kAnyCode, EXCEPTION_FLT_INVALID_OPERATION},
    {SIGILL, ILL_PRVOPC, EXCEPTION_PRIV_INSTRUCTION},
    {SIGILL, ILL_PRVREG, EXCEPTION_PRIV_INSTRUCTION},
    {SIGILL, kAnyCode, EXCEPTION_ILLEGAL_INSTRUCTION},
    {SIGBUS, BUS_ADRALN, EXCEPTION_DATATYPE_MISALIGNMENT},
    {SIGBUS, kAnyCode, EXCEPTION_IN_PAGE_ERROR},
    {SIGSEGV, kAnyCode, EXCEPTION_ACCESS_VIOLATION},
    {SIGABRT, kAnyCode, STATUS_FATAL_APP_EXIT},
};

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
std::atomic<bool> g_installed{false};
// The threads in the filter now; the watchdog runs while there are any.
constinit std::atomic<int> g_threadsInFilter{0};
thread_local bool t_inFilter = false;
std::terminate_handler g_previousTerminate = nullptr;

// An alternate signal stack of one thread; the one it replaced comes back when the thread ends.
class CFaultStack {
public:
    ~CFaultStack() { Release(); }

    void Prepare() {
        if (m_stack) {
            return;
        }
        void* memory = mmap(nullptr, kFaultStackSize, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (memory == MAP_FAILED) {
            return;
        }
        stack_t ours{};
        ours.ss_sp = memory;
        ours.ss_size = kFaultStackSize;
        if (sigaltstack(&ours, &m_previous) != 0) {
            munmap(memory, kFaultStackSize);
            return;
        }
        m_stack = memory;
    }

private:
    void Release() {
        if (!m_stack) {
            return;
        }
        stack_t current{};
        if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == m_stack) {
            stack_t previous = m_previous;
            if (previous.ss_flags & SS_DISABLE) {
                previous = stack_t{};
                previous.ss_flags = SS_DISABLE;
            }
            sigaltstack(&previous, nullptr);
        }
        munmap(m_stack, kFaultStackSize);
    }

    void* m_stack = nullptr;
    stack_t m_previous{};
};

thread_local CFaultStack t_faultStack;

DWORD ExceptionCodeOf(int signal, int code) {
    for (const auto& row : kSignalCodes) {
        if (row.signal == signal && (row.code == kAnyCode || row.code == code)) {
            return row.exception;
        }
    }
    return EXCEPTION_ACCESS_VIOLATION;
}

ULONG_PTR AccessKindOf(const ucontext_t& signalContext) {
    const greg_t error = signalContext.uc_mcontext.gregs[REG_ERR];
    return (error & kPageFaultFetch)   ? kAccessExecute
           : (error & kPageFaultWrite) ? kAccessWrite
                                       : kAccessRead;
}

EXCEPTION_RECORD RecordOfSignal(int signal, const siginfo_t& info, const CONTEXT& context,
                                const ucontext_t& signalContext) {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = ExceptionCodeOf(signal, info.si_code);
    record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
    if (signal == SIGABRT) {
        record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
    }
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION ||
        record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR) {
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = AccessKindOf(signalContext);
        record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info.si_addr);
    }
    return record;
}

// The system's own end of a fault nobody handled: the signal's default action.
[[noreturn]] void EndBySignal(int signal) {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblocked, nullptr);
    raise(signal);
    _exit(128 + signal);
}

void OnFaultSignal(int signal, siginfo_t* info, void* signalContext) {
    auto& ucontext = *static_cast<ucontext_t*>(signalContext);
    if (signal == SIGABRT) {
        platform::ReportAbort();
    }
    CONTEXT context;
    platform::ContextFromSignal(ucontext, context);
    EXCEPTION_RECORD record = RecordOfSignal(signal, *info, context, ucontext);
    if (platform::RunUnhandledExceptionFilter(record, context) == EXCEPTION_CONTINUE_EXECUTION) {
        platform::ContextToSignal(context, ucontext);
        return;
    }
    EndBySignal(signal);
}

// An uncaught C++ exception reaches the filter before the run-time's own end.
[[noreturn]] void OnTerminate() {
    if (std::current_exception() && g_filter.load()) {
        CONTEXT context;
        platform::CaptureCurrentContext(context);
        EXCEPTION_RECORD record{};
        record.ExceptionCode = EXCEPTION_CPP_EXCEPTION;
        record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
        record.ExceptionAddress = reinterpret_cast<PVOID>(context.Rip);
        platform::RunUnhandledExceptionFilter(record, context);
        EndBySignal(SIGABRT);
    }
    if (g_previousTerminate) {
        g_previousTerminate();
    }
    std::abort();
}

void InstallFaultHandling() {
    platform::PrepareMiniDumps();
    struct sigaction action {};
    action.sa_sigaction = OnFaultSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFaultSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : kFaultSignals) {
        sigaction(signal, &action, nullptr);
    }
    g_previousTerminate = std::set_terminate(OnTerminate);
    g_installed = true;
    platform::PrepareFaultStack();
}

} // namespace

namespace platform {

LONG RunUnhandledExceptionFilter(EXCEPTION_RECORD& record, CONTEXT& context) {
    // A fault of the filter itself ends the process.
    if (t_inFilter) {
        EndProcessWithCode(record.ExceptionCode);
    }
    t_inFilter = true;
    ++g_threadsInFilter;
    alarm(kWatchdogSeconds);
    EXCEPTION_POINTERS pointers{&record, &context};
    const LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load();
    const LONG result = filter ? filter(&pointers) : EXCEPTION_CONTINUE_SEARCH;
    if (result == EXCEPTION_EXECUTE_HANDLER) {
        EndProcessWithCode(record.ExceptionCode);
    }
    if (result != EXCEPTION_CONTINUE_EXECUTION || (record.ExceptionFlags & EXCEPTION_NONCONTINUABLE)) {
        // The process ends by the system's default.
        return EXCEPTION_CONTINUE_SEARCH;
    }
    t_inFilter = false;
    if (--g_threadsInFilter == 0) {
        alarm(0);
    }
    return EXCEPTION_CONTINUE_EXECUTION;
}

bool CThreadSlot::Enter() {
    const pid_t self = gettid();
    pid_t holder = 0;
    if (m_holder.compare_exchange_strong(holder, self)) {
        return true;
    }
    if (holder == self) {
        return false;
    }
    const timespec pause{0, 1000000};
    for (holder = 0; !m_holder.compare_exchange_weak(holder, self); holder = 0) {
        nanosleep(&pause, nullptr);
    }
    return true;
}

void EndProcessWithCode(DWORD exitCode) {
    RecordCurrentProcessExit(exitCode);
    // The host keeps the low byte of an exit status; a code whose low byte is 0 must not read as success.
    const int status = static_cast<int>(exitCode & 0xFF);
    _exit(status != 0 ? status : 0xFF);
}

void PrepareFaultStack() {
    if (g_installed) {
        t_faultStack.Prepare();
    }
}

} // namespace platform

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI
SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter) {
    if (const platform::FilterEntry jump = platform::PatchedFilterEntry()) {
        return jump(lpTopLevelExceptionFilter);
    }
    static std::once_flag installed;
    std::call_once(installed, InstallFaultHandling);
    return g_filter.exchange(lpTopLevelExceptionFilter);
}

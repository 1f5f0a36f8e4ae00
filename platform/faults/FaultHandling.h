// The faults area's own plumbing: the one fault handling of the process, the processor context of a
// signal, the emulated entry of SetUnhandledExceptionFilter, and the run-time's abort.
#pragma once

#include <sys/types.h>
#include <ucontext.h>

#include <atomic>

#include "platform/faults.h"

namespace platform {

// A slot that one thread holds at a time, taken without a lock or the heap, so that a signal handler
// may take it.
class CThreadSlot {
public:
    // Takes the slot, waiting while another thread holds it; false when the caller holds it already.
    bool Enter();
    void Leave() { m_holder = 0; }

private:
    std::atomic<pid_t> m_holder{0};
};

// Hands a fault to the process's filter on the faulting thread; faults of several threads run it side by
// side, as on Windows. Ends the process when the filter handles the fault (and when the filter itself
// faults); otherwise answers EXCEPTION_CONTINUE_SEARCH or, for a continuable fault,
// EXCEPTION_CONTINUE_EXECUTION.
LONG RunUnhandledExceptionFilter(EXCEPTION_RECORD& record, CONTEXT& context);
// Ends the process at once with a Windows exit code (recorded on the machine; the host sees its low byte).
[[noreturn]] void EndProcessWithCode(DWORD exitCode);

// Gives the calling thread an alternate signal stack, once fault handling is installed; the stack is
// released when the thread ends.
void PrepareFaultStack();

void ContextFromSignal(const ucontext_t& signalContext, CONTEXT& context);
// Writes the context's registers back, so that the thread resumes with them.
void ContextToSignal(const CONTEXT& context, ucontext_t& signalContext);
void CaptureCurrentContext(CONTEXT& context);

// The target of a relative jump written over SetUnhandledExceptionFilter's entry; null while unpatched.
using FilterEntry = LPTOP_LEVEL_EXCEPTION_FILTER(WINAPI*)(LPTOP_LEVEL_EXCEPTION_FILTER);
FilterEntry PatchedFilterEntry();

// The run-time's part of an abort (SIGABRT): its message, then either its fault report (the filter is
// reset through SetUnhandledExceptionFilter and the caller hands the fault on) or the end with exit code 3.
void ReportAbort();

// Reads what a dump needs from the machine, so that a dump written from a fault handler need not.
void PrepareMiniDumps();

} // namespace platform

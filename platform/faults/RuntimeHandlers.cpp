// The run-time's error handling: the abort behaviour, the invalid-parameter and pure-virtual-call
// handlers, and the calls the run-time makes of them.
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/faults/FaultHandling.h"
#include "platform/strings.h"

namespace {

constexpr DWORD kAbortExitCode = 3;

std::atomic<unsigned> g_abortBehavior{_WRITE_ABORT_MSG | _CALL_REPORTFAULT};
std::atomic<_invalid_parameter_handler> g_invalidParameterHandler{nullptr};
std::atomic<_purecall_handler> g_purecallHandler{nullptr};

} // namespace

namespace platform {

void InvalidParameter() {
    if (const _invalid_parameter_handler handler = g_invalidParameterHandler.load()) {
        handler(nullptr, nullptr, nullptr, 0, 0);
    }
}

void ReportAbort() {
    const unsigned behavior = g_abortBehavior.load();
    if (behavior & _WRITE_ABORT_MSG) {
        static const char kMessage[] = "abort() has been called\n";
        const ssize_t written = write(STDERR_FILENO, kMessage, sizeof(kMessage) - 1);
        (void)written;
    }
    if (!(behavior & _CALL_REPORTFAULT)) {
        EndProcessWithCode(kAbortExitCode);
    }
    SetUnhandledExceptionFilter(nullptr);
}

} // namespace platform

unsigned int _set_abort_behavior(unsigned int flags, unsigned int mask) {
    unsigned old = g_abortBehavior.load();
    while (!g_abortBehavior.compare_exchange_weak(old, (old & ~mask) | (flags & mask))) {
    }
    return old;
}

_invalid_parameter_handler _set_invalid_parameter_handler(_invalid_parameter_handler pNew) {
    return g_invalidParameterHandler.exchange(pNew);
}

_invalid_parameter_handler _get_invalid_parameter_handler() {
    return g_invalidParameterHandler.load();
}

_purecall_handler _set_purecall_handler(_purecall_handler function) {
    return g_purecallHandler.exchange(function);
}

_purecall_handler _get_purecall_handler() {
    return g_purecallHandler.load();
}

// The C++ run-time's entry for a call of a pure virtual function; the layer's definition takes the place
// of the standard library's, for the whole process.
extern "C" [[noreturn]] void __cxa_pure_virtual() {
    if (const _purecall_handler handler = g_purecallHandler.load()) {
        handler();
    }
    std::abort();
}

// The x86-64 context record of a signal's ucontext, and of the calling thread.
#include <cstring>

#include "platform/faults/FaultHandling.h"

#if !defined(__x86_64__)
#error "the context record is written for x86-64"
#endif

namespace {

struct CRegisterSlot {
    DWORD64 CONTEXT::*field;
    int reg;
};

constexpr CRegisterSlot kRegisters[] = {
    {&CONTEXT::Rax, REG_RAX}, {&CONTEXT::Rcx, REG_RCX}, {&CONTEXT::Rdx, REG_RDX}, {&CONTEXT::Rbx, REG_RBX},
    {&CONTEXT::Rsp, REG_RSP}, {&CONTEXT::Rbp, REG_RBP}, {&CONTEXT::Rsi, REG_RSI}, {&CONTEXT::Rdi, REG_RDI},
    {&CONTEXT::R8, REG_R8},   {&CONTEXT::R9, REG_R9},   {&CONTEXT::R10, REG_R10}, {&CONTEXT::R11, REG_R11},
    {&CONTEXT::R12, REG_R12}, {&CONTEXT::R13, REG_R13}, {&CONTEXT::R14, REG_R14}, {&CONTEXT::R15, REG_R15},
    {&CONTEXT::Rip, REG_RIP},
};

static_assert(sizeof(_libc_fpstate) == sizeof(XMM_SAVE_AREA32), "fpregs is the FXSAVE image");

} // namespace

namespace platform {

void ContextFromSignal(const ucontext_t& signalContext, CONTEXT& context) {
    context = CONTEXT{};
    context.ContextFlags = CONTEXT_FULL | CONTEXT_SEGMENTS;
    const auto& registers = signalContext.uc_mcontext.gregs;
    for (const auto& slot : kRegisters) {
        context.*slot.field = static_cast<DWORD64>(registers[slot.reg]);
    }
    context.EFlags = static_cast<DWORD>(registers[REG_EFL]);
    const auto segments = static_cast<DWORD64>(registers[REG_CSGSFS]);
    context.SegCs = static_cast<WORD>(segments);
    context.SegGs = static_cast<WORD>(segments >> 16);
    context.SegFs = static_cast<WORD>(segments >> 32);
    if (signalContext.uc_mcontext.fpregs) {
        std::memcpy(&context.FltSave, signalContext.uc_mcontext.fpregs, sizeof(context.FltSave));
        context.MxCsr = context.FltSave.MxCsr;
    }
}

void ContextToSignal(const CONTEXT& context, ucontext_t& signalContext) {
    auto& registers = signalContext.uc_mcontext.gregs;
    for (const auto& slot : kRegisters) {
        registers[slot.reg] = static_cast<greg_t>(context.*slot.field);
    }
    registers[REG_EFL] = static_cast<greg_t>(context.EFlags);
    if (signalContext.uc_mcontext.fpregs) {
        std::memcpy(signalContext.uc_mcontext.fpregs, &context.FltSave, sizeof(context.FltSave));
    }
}

void CaptureCurrentContext(CONTEXT& context) {
    ucontext_t current;
    getcontext(&current);
    ContextFromSignal(current, context);
}

} // namespace platform

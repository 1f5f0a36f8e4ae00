// Faults for tests of the fault handling, made without the sanitizers' own checks, so that the process
// meets the fault itself.
#pragma once

#include <sys/resource.h>

#include <latch>
#include <thread>

#include "platform/strings.h"

namespace testing_support {

#define FLIPDECK_UNCHECKED __attribute__((noinline, no_sanitize("undefined", "address")))

FLIPDECK_UNCHECKED inline void WriteThrough(int* pointer) {
    *static_cast<volatile int*>(pointer) = 1;
}

inline void NullWrite() {
    WriteThrough(nullptr);
}

// Two threads that write through a null pointer at the same moment.
inline void NullWritesOnTwoThreadsAtOnce() {
    std::latch start(2);
    auto fault = [&start] {
        start.arrive_and_wait();
        NullWrite();
    };
    std::thread first(fault);
    std::thread second(fault);
    first.join();
    second.join();
}

// A pure virtual call from the base's constructor, through a call the compiler cannot resolve.
class CPureVirtualCaller {
public:
    CPureVirtualCaller() { CallPure(); }
    virtual ~CPureVirtualCaller() = default;
    virtual void Pure() = 0;

private:
    __attribute__((noinline)) void CallPure() { Pure(); }
};

class CPureVirtualCallee : public CPureVirtualCaller {
public:
    void Pure() override {}
};

inline void PureVirtualCall() {
    CPureVirtualCallee callee;
}

// A checked run-time function given a null buffer.
inline void InvalidParameterCall() {
    wcscpy_s(nullptr, 8, L"text");
}

// A child that is meant to die by a signal leaves no core file behind.
inline void NoCoreDumps() {
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

} // namespace testing_support

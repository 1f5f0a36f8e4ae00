// Helpers of the thread and mutex tests: owned handles and workers.
#pragma once

#include <memory>

#include "platform/threads.h"

namespace threads_test {

using UniqueHandle = std::unique_ptr<void, BOOL (*)(HANDLE)>;
inline UniqueHandle Own(HANDLE handle) {
    return UniqueHandle(handle, &CloseHandle);
}

// Long enough never to expire in a passing test.
constexpr DWORD kLongWait = 10000;

inline HANDLE BeginThread(unsigned(__stdcall* procedure)(void*), void* arg, unsigned* threadId = nullptr) {
    return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, procedure, arg, 0, threadId));
}

// Runs a procedure on a worker and answers its exit code, WAIT_FAILED when it did not end.
inline DWORD RunOnWorker(unsigned(__stdcall* procedure)(void*), void* arg) {
    const auto thread = Own(BeginThread(procedure, arg));
    DWORD code = WAIT_FAILED;
    if (thread && WaitForSingleObject(thread.get(), kLongWait) == WAIT_OBJECT_0) {
        GetExitCodeThread(thread.get(), &code);
    }
    return code;
}

} // namespace threads_test

// Waits: one lock guards the state of every waitable object and one condition wakes every waiter, so
// that a wait for all objects takes them at once and any kind of object can join a wait.
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <optional>
#include <vector>

#include "platform/threads.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kOutsidePollInterval = std::chrono::milliseconds(10);

struct CDispatcher {
    std::mutex mutex;
    std::condition_variable changed;
};

// Never destroyed: detached threads may still wait while the process exits.
CDispatcher& Dispatcher() {
    static auto* dispatcher = new CDispatcher;
    return *dispatcher;
}

using ObjectSpan = std::span<const std::shared_ptr<CKernelObject>>;

DWORD ResultFor(EAcquire taken, size_t index) {
    return (taken == EAcquire::Abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(index);
}

std::optional<DWORD> TryAcquireAny(ObjectSpan objects, DWORD threadId) {
    for (size_t i = 0; i < objects.size(); ++i) {
        const EAcquire taken = objects[i]->TryAcquire(threadId);
        if (taken != EAcquire::NotSignaled) {
            return ResultFor(taken, i);
        }
    }
    return std::nullopt;
}

// Takes every object or none; the result names the first abandoned mutex, if any.
std::optional<DWORD> TryAcquireAll(ObjectSpan objects, DWORD threadId) {
    std::array<EAcquire, MAXIMUM_WAIT_OBJECTS> taken{};
    for (size_t i = 0; i < objects.size(); ++i) {
        taken[i] = objects[i]->TryAcquire(threadId);
        if (taken[i] == EAcquire::NotSignaled) {
            while (i-- > 0) {
                objects[i]->UndoAcquire(threadId, taken[i]);
            }
            return std::nullopt;
        }
    }
    const auto end = taken.begin() + static_cast<std::ptrdiff_t>(objects.size());
    const auto abandoned = std::find(taken.begin(), end, EAcquire::Abandoned);
    return abandoned == end ? ResultFor(EAcquire::Acquired, 0)
                            : ResultFor(EAcquire::Abandoned, static_cast<size_t>(abandoned - taken.begin()));
}

DWORD Fail(DWORD error) {
    SetLastError(error);
    return WAIT_FAILED;
}

bool HasDuplicates(ObjectSpan objects) {
    std::vector<const CKernelObject*> seen;
    for (const auto& object : objects) {
        if (std::find(seen.begin(), seen.end(), object.get()) != seen.end()) {
            return true;
        }
        seen.push_back(object.get());
    }
    return false;
}

} // namespace

std::unique_lock<std::mutex> LockWaitableState() {
    return std::unique_lock(Dispatcher().mutex);
}

void WakeWaiters() {
    Dispatcher().changed.notify_all();
}

DWORD WaitForKernelObjects(ObjectSpan objects, bool waitAll, DWORD milliseconds) {
    if (objects.empty() || objects.size() > MAXIMUM_WAIT_OBJECTS) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (std::any_of(objects.begin(), objects.end(), [](const auto& o) { return !o || !o->IsWaitable(); })) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (waitAll && HasDuplicates(objects)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const bool poll = std::any_of(objects.begin(), objects.end(),
                                  [](const auto& object) { return object->ChangesOutsideProcess(); });
    const bool forever = milliseconds == INFINITE;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
    const DWORD threadId = GetCurrentThreadId();

    auto lock = LockWaitableState();
    for (;;) {
        if (const auto result =
                waitAll ? TryAcquireAll(objects, threadId) : TryAcquireAny(objects, threadId)) {
            return *result;
        }
        const Clock::time_point now = Clock::now();
        if (!forever && now >= deadline) {
            return WAIT_TIMEOUT;
        }
        Clock::time_point wake = forever ? Clock::time_point::max() : deadline;
        if (poll) {
            wake = std::min(wake, now + kOutsidePollInterval);
        }
        if (wake == Clock::time_point::max()) {
            Dispatcher().changed.wait(lock);
        } else {
            Dispatcher().changed.wait_until(lock, wake);
        }
    }
}

} // namespace platform

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
    if (!lpHandles || nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS) {
        return platform::Fail(ERROR_INVALID_PARAMETER);
    }
    // Held for the whole wait: closing a handle meanwhile does not destroy what is waited on.
    std::vector<std::shared_ptr<platform::CKernelObject>> objects;
    for (DWORD i = 0; i < nCount; ++i) {
        auto object = platform::LookupHandle(lpHandles[i]);
        if (!object) {
            return platform::Fail(ERROR_INVALID_HANDLE);
        }
        objects.push_back(std::move(object));
    }
    return platform::WaitForKernelObjects(objects, bWaitAll != FALSE, dwMilliseconds);
}

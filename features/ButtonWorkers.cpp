#include "features/ButtonWorkers.h"

#include <atomic>
#include <chrono>
#include <memory>

#include "platform/comdef.h"
#include "platform/processes.h"
#include "platform/window.h"

namespace {

// How often a waiting thread runs the messages sent to it.
constexpr std::chrono::milliseconds kSentMessagesSlice(10);

// When the close's waits end, in steady-clock ticks; 0 until the close begins.
std::atomic<std::chrono::steady_clock::rep> g_closeDeadline{0};

bool IsPastCloseDeadline() {
    const auto deadline = g_closeDeadline.load();
    return deadline != 0 && std::chrono::steady_clock::now().time_since_epoch().count() >= deadline;
}

} // namespace

struct CButtonWorkers::CStartedWorker {
    CButtonWorkers* pWorkers;
    _beginthreadex_proc_type pfnProc;
    void* pArg;
};

CButtonWorkers::~CButtonWorkers() {
    WaitForAll();
}

bool CButtonWorkers::Start(_beginthreadex_proc_type pfnProc, void* pArg) {
    {
        const std::lock_guard lock(m_lock);
        ++m_nRunning;
    }
    auto pWorker = std::make_unique<CStartedWorker>(CStartedWorker{this, pfnProc, pArg});
    const uintptr_t hThread = _beginthreadex(nullptr, 0, WorkerProc, pWorker.get(), 0, nullptr);
    if (!hThread) {
        Leave();
        return false;
    }
    pWorker.release();
    CloseHandle(reinterpret_cast<HANDLE>(hThread));
    return true;
}

void CButtonWorkers::WaitForAll() {
    std::unique_lock lock(m_lock);
    while (!m_allDone.wait_for(lock, kSentMessagesSlice, [this] { return m_nRunning == 0; })) {
        lock.unlock();
        if (IsPastCloseDeadline()) {
            ExitProcess(0);
        }
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        lock.lock();
    }
}

void CButtonWorkers::BeginClosing() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCloseBoundMs);
    std::chrono::steady_clock::rep none = 0;
    g_closeDeadline.compare_exchange_strong(none, deadline.time_since_epoch().count());
}

bool CButtonWorkers::IsRunning() const {
    const std::lock_guard lock(m_lock);
    return m_nRunning > 0;
}

unsigned __stdcall CButtonWorkers::WorkerProc(void* pParam) {
    const std::unique_ptr<CStartedWorker> pWorker(static_cast<CStartedWorker*>(pParam));
    // Also when the procedure ends its thread early.
    const std::unique_ptr<CButtonWorkers, void (*)(CButtonWorkers*)> leave(
        pWorker->pWorkers, [](CButtonWorkers* pWorkers) { pWorkers->Leave(); });
    try {
        return pWorker->pfnProc(pWorker->pArg);
    } catch (const _com_error& error) {
        return static_cast<unsigned>(error.Error());
    }
}

// The last touch of the set: the waiter can only see the count drop once the lock is given back.
void CButtonWorkers::Leave() {
    const std::lock_guard lock(m_lock);
    if (--m_nRunning == 0) {
        m_allDone.notify_all();
    }
}

#include "features/ButtonWorkers.h"

#include <chrono>
#include <memory>

#include "platform/comdef.h"
#include "platform/window.h"

namespace {

// How often a waiting thread runs the messages sent to it.
constexpr std::chrono::milliseconds kSentMessagesSlice(10);

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
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        lock.lock();
    }
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

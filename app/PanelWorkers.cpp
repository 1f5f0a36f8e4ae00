#include "app/PanelWorkers.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/comdef.h"
#include "platform/window.h"

namespace {

// How often a waiting panel runs the messages sent to its thread.
constexpr std::chrono::milliseconds kSentMessagesSlice(10);

} // namespace

struct CPanelWorkers::CState {
    std::mutex lock;
    std::condition_variable changed;
    int nRunning = 0;
    int nInUse = 0;
    bool bReleased = false;

    void Leave(int& nCount) {
        const std::lock_guard guard(lock);
        --nCount;
        changed.notify_all();
    }
    // Waits, running the messages sent to this thread, until the condition holds or the deadline passes.
    template <typename Condition>
    bool WaitServicing(Condition condition, std::chrono::steady_clock::time_point deadline) {
        std::unique_lock guard(lock);
        while (!changed.wait_for(guard, kSentMessagesSlice, condition)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            guard.unlock();
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            guard.lock();
        }
        return true;
    }
};

thread_local CPanelWorkers::CState* CPanelWorkers::s_pWorkerState = nullptr;

struct CPanelWorkers::CStartedWorker {
    std::shared_ptr<CState> pState;
    _beginthreadex_proc_type pfnProc;
    void* pArg;
};

CPanelWorkers::CPanelWorkers() : m_pState(std::make_shared<CState>()) {}

CPanelWorkers::~CPanelWorkers() {
    Release();
}

bool CPanelWorkers::Start(_beginthreadex_proc_type pfnProc, void* pArg) {
    {
        std::unique_lock guard(m_pState->lock);
        if (m_pState->bReleased) {
            // The workers let go may still run: they keep the old set.
            guard.unlock();
            m_pState = std::make_shared<CState>();
            guard = std::unique_lock(m_pState->lock);
        }
        ++m_pState->nRunning;
    }
    auto pWorker = std::make_unique<CStartedWorker>(CStartedWorker{m_pState, pfnProc, pArg});
    const uintptr_t hThread = _beginthreadex(nullptr, 0, WorkerProc, pWorker.get(), 0, nullptr);
    if (!hThread) {
        m_pState->Leave(m_pState->nRunning);
        return false;
    }
    pWorker.release();
    CloseHandle(reinterpret_cast<HANDLE>(hThread));
    return true;
}

void CPanelWorkers::Release(DWORD dwBoundMs) {
    CState& state = *m_pState;
    {
        const std::lock_guard guard(state.lock);
        if (state.bReleased) {
            return;
        }
    }
    state.WaitServicing([&state] { return state.nRunning == 0; },
                        std::chrono::steady_clock::now() + std::chrono::milliseconds(dwBoundMs));
    {
        const std::lock_guard guard(state.lock);
        state.bReleased = true;
    }
    state.WaitServicing([&state] { return state.nInUse == 0; }, std::chrono::steady_clock::time_point::max());
}

bool CPanelWorkers::IsRunning() const {
    const std::lock_guard guard(m_pState->lock);
    return m_pState->nRunning > 0;
}

unsigned __stdcall CPanelWorkers::WorkerProc(void* pParam) {
    const std::unique_ptr<CStartedWorker> pWorker(static_cast<CStartedWorker*>(pParam));
    s_pWorkerState = pWorker->pState.get();
    // Also when the procedure ends its thread early.
    const std::unique_ptr<CState, void (*)(CState*)> leave(
        pWorker->pState.get(), [](CState* pState) { pState->Leave(pState->nRunning); });
    try {
        return pWorker->pfnProc(pWorker->pArg);
    } catch (const _com_error& error) {
        return static_cast<unsigned>(error.Error());
    }
}

CPanelWorkers::CUse::CUse() {
    CState* pState = s_pWorkerState;
    if (!pState) {
        return;
    }
    const std::lock_guard guard(pState->lock);
    m_bHeld = !pState->bReleased;
    if (m_bHeld) {
        ++pState->nInUse;
    }
}

CPanelWorkers::CUse::~CUse() {
    if (m_bHeld && s_pWorkerState) {
        s_pWorkerState->Leave(s_pWorkerState->nInUse);
    }
}

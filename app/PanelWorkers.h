// The worker threads of a panel, each started with _beginthreadex and its handle closed at once. A worker
// touches its panel only while it holds a CPanelWorkers::CUse. Once the panel has let its workers go
// (Release), no use is granted any more: a worker stuck in a host call neither holds up the panel's close
// nor reaches the panel afterwards.
#pragma once

#include <memory>

#include "platform/threads.h"

class CPanelWorkers {
public:
    // How long a closing panel waits for its workers.
    static constexpr DWORD kReleaseBoundMs = 500;

    CPanelWorkers();
    // Releases the workers, unless that was done.
    ~CPanelWorkers();
    CPanelWorkers(const CPanelWorkers&) = delete;
    CPanelWorkers& operator=(const CPanelWorkers&) = delete;

    // Runs pfnProc(pArg) on a new thread; false when the thread cannot be started. A COM error that
    // escapes the procedure ends that worker alone. After a release the new workers start a new set.
    bool Start(_beginthreadex_proc_type pfnProc, void* pArg);
    // Waits up to the bound for the workers to end, running the messages sent to this thread meanwhile
    // (a worker may wait in SendMessage for it); then grants no further use and waits for the uses under
    // way, which never wait on anything but this thread.
    void Release(DWORD dwBoundMs = kReleaseBoundMs);
    bool IsRunning() const;

    // A worker's hold on its panel for one stretch of work; false once the panel has let its workers go.
    // On a thread that no CPanelWorkers started (the panel's own) it always holds.
    class CUse {
    public:
        CUse();
        ~CUse();
        CUse(const CUse&) = delete;
        CUse& operator=(const CUse&) = delete;
        explicit operator bool() const { return m_bHeld; }

    private:
        bool m_bHeld = true;
    };

private:
    struct CState;
    struct CStartedWorker;
    static unsigned __stdcall WorkerProc(void* pParam);

    // The state of the workers whose thread this is; null on other threads.
    static thread_local CState* s_pWorkerState;
    std::shared_ptr<CState> m_pState;
};

// The worker threads of one feature button: each started with _beginthreadex and its handle closed at
// once, and counted, so that the button frees nothing a worker may still use.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/threads.h"

class CButtonWorkers {
public:
    CButtonWorkers() = default;
    // Waits for the workers still running.
    ~CButtonWorkers();
    CButtonWorkers(const CButtonWorkers&) = delete;
    CButtonWorkers& operator=(const CButtonWorkers&) = delete;

    // Runs pfnProc(pArg) on a new thread; false when the thread cannot be started. A COM error that
    // escapes the procedure ends that worker alone, with its HRESULT as the exit code.
    bool Start(_beginthreadex_proc_type pfnProc, void* pArg);
    // Returns once no worker runs. Meanwhile the calling thread runs the messages sent to it, since a
    // worker may be waiting in SendMessage for that thread. Once the close has begun the wait is bounded
    // by the close's deadline: a worker still running then is stuck outside the program (a host call
    // that does not return), and since nothing it may touch can be freed, the process ends at once with
    // the exit code of a finished close (0).
    void WaitForAll();
    bool IsRunning() const;

    // The flyout's close has begun: every wait for workers from now on ends by kCloseBoundMs from now.
    static void BeginClosing();
    static constexpr int kCloseBoundMs = 750;

private:
    struct CStartedWorker;
    static unsigned __stdcall WorkerProc(void* pParam);
    void Leave();

    mutable std::mutex m_lock;
    std::condition_variable m_allDone;
    int m_nRunning = 0;
};

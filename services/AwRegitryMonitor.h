// Watches one registry key with its subtree on a worker thread of its own and calls a callback on that
// thread after each change.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/registry.h"

class CAwRegitryMonitor {
public:
    CAwRegitryMonitor() = default;
    // Stops the worker and waits until it has left, so that it never outlives the monitor.
    virtual ~CAwRegitryMonitor();
    CAwRegitryMonitor(const CAwRegitryMonitor&) = delete;
    CAwRegitryMonitor& operator=(const CAwRegitryMonitor&) = delete;

    // Stops the worker and waits until it has left (its callback done); nothing when none runs.
    void Stop();
    // Fills the callback, its context and the key, then starts the worker; once per monitor.
    void Start(void (*pfnCallback)(void*), void* pContext, HKEY hRoot, LPCWSTR pszSubKey);

    static unsigned __stdcall ThreadProc(void* pParam);
    // The watch loop: returns when stopped or on any failure.
    void WatchKey();

    void (*m_pfnCallback)(void*) = nullptr;
    void* m_pContext = nullptr;
    // Made and closed by the worker; the lock keeps the destructor from signalling a closed handle.
    HANDLE m_hEvent = nullptr;
    std::atomic<bool> m_bStop = false;
    HKEY m_hRootKey = nullptr;
    // The owner keeps the text alive.
    LPCWSTR m_pszSubKey = nullptr;

private:
    HANDLE MakeEvent();
    void CloseEvent();
    void WaitForWorker();

    std::mutex m_eventLock;
    HANDLE m_hThread = nullptr;
};

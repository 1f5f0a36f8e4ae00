#include "services/AwRegitryMonitor.h"

#include "platform/window.h"

namespace {

constexpr DWORD kNotifyFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES |
                                REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_SECURITY;
// How often the owner's thread, while it waits for the worker, runs the messages sent to it.
constexpr DWORD kSentMessagesSliceMs = 10;

bool ArmNotification(HKEY hKey, HANDLE hEvent) {
    return RegNotifyChangeKeyValue(hKey, TRUE, kNotifyFilter, hEvent, TRUE) == ERROR_SUCCESS;
}

} // namespace

CAwRegitryMonitor::~CAwRegitryMonitor() {
    Stop();
}

void CAwRegitryMonitor::Stop() {
    m_bStop = true;
    {
        std::lock_guard lock(m_eventLock);
        if (m_hEvent) {
            SetEvent(m_hEvent);
        }
    }
    WaitForWorker();
}

void CAwRegitryMonitor::Start(void (*pfnCallback)(void*), void* pContext, HKEY hRoot, LPCWSTR pszSubKey) {
    if (m_hThread) {
        return;
    }
    m_pfnCallback = pfnCallback;
    m_pContext = pContext;
    m_hRootKey = hRoot;
    m_pszSubKey = pszSubKey;
    m_hThread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadProc, this, 0, nullptr));
}

unsigned __stdcall CAwRegitryMonitor::ThreadProc(void* pParam) {
    if (pParam) {
        static_cast<CAwRegitryMonitor*>(pParam)->WatchKey();
    }
    return 0;
}

// A change made while the callback runs is not armed for: it is reported with the next one.
void CAwRegitryMonitor::WatchKey() {
    if (!m_pfnCallback || !m_hRootKey || !m_pszSubKey) {
        return;
    }
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(m_hRootKey, m_pszSubKey, 0, KEY_NOTIFY, &hKey) != ERROR_SUCCESS) {
        return;
    }
    const HANDLE hEvent = MakeEvent();
    if (!hEvent) {
        RegCloseKey(hKey);
        return;
    }
    if (ArmNotification(hKey, hEvent)) {
        while (!m_bStop) {
            if (WaitForSingleObject(hEvent, INFINITE) != WAIT_OBJECT_0 || m_bStop) {
                break;
            }
            m_pfnCallback(m_pContext);
            ResetEvent(hEvent);
            if (!ArmNotification(hKey, hEvent)) {
                break;
            }
        }
    }
    RegCloseKey(hKey);
    CloseEvent();
}

HANDLE CAwRegitryMonitor::MakeEvent() {
    std::lock_guard lock(m_eventLock);
    m_hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return m_hEvent;
}

void CAwRegitryMonitor::CloseEvent() {
    std::lock_guard lock(m_eventLock);
    CloseHandle(m_hEvent);
    m_hEvent = nullptr;
}

// A callback may be sending to the owner's window: its thread keeps running sent messages meanwhile.
void CAwRegitryMonitor::WaitForWorker() {
    if (!m_hThread) {
        return;
    }
    while (WaitForSingleObject(m_hThread, kSentMessagesSliceMs) == WAIT_TIMEOUT) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
}

// Process handles: a real process is held by a pidfd, so that neither a wait nor TerminateProcess can
// reach another process that reused its pid; a simulated process answers as its profile says.
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/files/FileSystem.h"
#include "platform/internal.h"
#include "platform/processes.h"
#include "platform/processes/ProcessList.h"
#include "platform/threads.h"

namespace platform {

namespace {

int OpenPidfd(DWORD pid) {
    return static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

bool SendKill(int pidfd) {
    return syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0) == 0;
}

bool IsCurrentProcess(DWORD pid) {
    return pid == static_cast<DWORD>(getpid());
}

class CProcessObject : public CKernelObject {
public:
    CProcessObject(CProcessRecord record, DWORD access, int pidfd)
        : m_record(std::move(record)), m_access(access), m_pidfd(pidfd) {}
    ~CProcessObject() override {
        if (m_pidfd >= 0) {
            close(m_pidfd);
        }
    }
    CProcessObject(const CProcessObject&) = delete;
    CProcessObject& operator=(const CProcessObject&) = delete;

    bool IsWaitable() const override { return true; }
    EAcquire TryAcquire(DWORD) override { return HasEnded() ? EAcquire::Acquired : EAcquire::NotSignaled; }
    bool ChangesOutsideProcess() const override { return true; }

    const CProcessRecord& Record() const { return m_record; }
    bool Grants(DWORD rights) const { return (m_access & rights) == rights; }
    bool GrantsAny(DWORD rights) const { return (m_access & rights) != 0; }

    // A simulated process and the calling one run for as long as this handle exists.
    bool HasEnded() const {
        if (m_pidfd < 0) {
            return false;
        }
        pollfd ended{m_pidfd, POLLIN, 0};
        return poll(&ended, 1, 0) > 0;
    }

    bool Kill(DWORD exitCode) {
        if (m_pidfd < 0 || HasEnded() || !SendKill(m_pidfd)) {
            return false;
        }
        std::lock_guard lock(m_mutex);
        m_terminatedWith = exitCode;
        return true;
    }

    std::optional<DWORD> ExitCode() const {
        {
            std::lock_guard lock(m_mutex);
            if (m_terminatedWith) {
                return m_terminatedWith;
            }
        }
        return RecordedExitCode(m_record.id, m_record.startTime);
    }

private:
    CProcessRecord m_record;
    DWORD m_access;
    int m_pidfd;
    mutable std::mutex m_mutex;
    std::optional<DWORD> m_terminatedWith;
};

// The calling process, as GetCurrentProcess() stands for it.
std::shared_ptr<CProcessObject> CurrentProcessObject() {
    CProcessRecord self;
    self.id = static_cast<DWORD>(getpid());
    self.image = ProcessImagePath();
    return std::make_shared<CProcessObject>(std::move(self), PROCESS_ALL_ACCESS, -1);
}

std::shared_ptr<CProcessObject> ProcessOfHandle(HANDLE handle) {
    if (handle == GetCurrentProcess()) {
        return CurrentProcessObject();
    }
    auto process = LookupHandle<CProcessObject>(handle);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
    }
    return process;
}

template <typename Result> Result Fail(DWORD error, Result result) {
    SetLastError(error);
    return result;
}

// The pidfd of a real process, opened before its start time is compared, so that it cannot stand for a
// later process with the same pid; -1 when the process has gone.
int PidfdOfRunning(const CProcessRecord& record) {
    const int pidfd = OpenPidfd(record.id);
    if (pidfd >= 0 && RunningStartTime(record.id) != record.startTime) {
        close(pidfd);
        return -1;
    }
    return pidfd;
}

} // namespace

} // namespace platform

HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId) {
    auto record = dwProcessId == 0 ? std::nullopt : platform::FindMachineProcess(dwProcessId);
    if (!record) {
        return platform::Fail<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    }
    if (record->accessDenied) {
        return platform::Fail<HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    }
    int pidfd = -1;
    if (!record->simulated) {
        pidfd = platform::PidfdOfRunning(*record);
        if (pidfd < 0) {
            return platform::Fail<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
        }
    }
    return platform::InsertHandle(
        std::make_shared<platform::CProcessObject>(std::move(*record), dwDesiredAccess, pidfd));
}

DWORD K32GetModuleFileNameExW(HANDLE hProcess, HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    const auto process = platform::ProcessOfHandle(hProcess);
    if (!process) {
        return 0;
    }
    if (!process->Grants(PROCESS_VM_READ) ||
        !process->GrantsAny(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION)) {
        return platform::Fail<DWORD>(ERROR_ACCESS_DENIED, 0);
    }
    const platform::CProcessRecord& record = process->Record();
    if (hModule) {
        // The layer knows the modules of the calling process only.
        return platform::IsCurrentProcess(record.id) ? GetModuleFileNameW(hModule, lpFilename, nSize)
                                                     : platform::Fail<DWORD>(ERROR_INVALID_HANDLE, 0);
    }
    if (record.image.empty()) {
        return platform::Fail<DWORD>(ERROR_PARTIAL_COPY, 0);
    }
    if (!lpFilename || !platform::CopyTruncated(record.image, lpFilename, nSize)) {
        return platform::Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, lpFilename ? nSize : 0);
    }
    return static_cast<DWORD>(record.image.size());
}

BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode) {
    const auto process = platform::ProcessOfHandle(hProcess);
    if (!process) {
        return FALSE;
    }
    const platform::CProcessRecord& record = process->Record();
    if (platform::IsCurrentProcess(record.id)) {
        return platform::Fail<BOOL>(ERROR_NOT_SUPPORTED, FALSE);
    }
    if (!process->Grants(PROCESS_TERMINATE) || record.simulated || !process->Kill(uExitCode)) {
        return platform::Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    platform::RecordProcessExitCode(record.id, record.startTime, uExitCode);
    platform::AppendMachineEvent("process.terminate", {{"pid", record.id},
                                                       {"image", platform::ToUtf8(record.image)},
                                                       {"exitCode", uExitCode},
                                                       {"callerPid", static_cast<DWORD>(getpid())}});
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    const auto process = platform::ProcessOfHandle(hProcess);
    if (!process) {
        return FALSE;
    }
    if (!lpExitCode) {
        return platform::Fail<BOOL>(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (!process->GrantsAny(PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION)) {
        return platform::Fail<BOOL>(ERROR_ACCESS_DENIED, FALSE);
    }
    if (!process->HasEnded()) {
        *lpExitCode = STILL_ACTIVE;
        return TRUE;
    }
    const auto exitCode = process->ExitCode();
    if (!exitCode) {
        // Ended outside the layer (a signal, a crash): the machine holds no code for it.
        return platform::Fail<BOOL>(ERROR_NOT_SUPPORTED, FALSE);
    }
    *lpExitCode = *exitCode;
    return TRUE;
}

void ExitProcess(UINT uExitCode) {
    platform::RecordCurrentProcessExit(uExitCode);
    std::fflush(nullptr);
    // The host keeps the low byte of an exit status; a failure whose low byte is 0 must not read as success.
    const int status = static_cast<int>(uExitCode & 0xFF);
    _exit(uExitCode != 0 && status == 0 ? 0xFF : status);
}

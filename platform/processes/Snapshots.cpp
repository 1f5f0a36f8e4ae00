// Toolhelp process snapshots: the machine's process list taken once, walked with Process32FirstW/NextW.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/processes.h"
#include "platform/processes/ProcessList.h"
#include "platform/threads.h"

namespace platform {

namespace {

constexpr LONG kNormalPriority = 8;

class CSnapshotObject : public CKernelObject {
public:
    explicit CSnapshotObject(std::vector<PROCESSENTRY32W> entries) : m_entries(std::move(entries)) {}

    // The entry at the walk's position (0 restarts it), moving the position on.
    BOOL Next(bool restart, LPPROCESSENTRY32W entry) {
        std::lock_guard lock(m_mutex);
        if (restart) {
            m_next = 0;
        }
        if (m_next >= m_entries.size()) {
            SetLastError(ERROR_NO_MORE_FILES);
            return FALSE;
        }
        *entry = m_entries[m_next++];
        return TRUE;
    }

private:
    std::mutex m_mutex;
    std::vector<PROCESSENTRY32W> m_entries;
    size_t m_next = 0;
};

PROCESSENTRY32W EntryOf(const CProcessRecord& record) {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    entry.th32ProcessID = record.id;
    entry.cntThreads = record.threads;
    entry.th32ParentProcessID = record.parentId;
    entry.pcPriClassBase = kNormalPriority;
    const size_t length = std::min<size_t>(record.exeFile.size(), MAX_PATH - 1);
    record.exeFile.copy(entry.szExeFile, length);
    entry.szExeFile[length] = L'\0';
    return entry;
}

BOOL WalkSnapshot(HANDLE hSnapshot, LPPROCESSENTRY32W lppe, bool restart) {
    const auto snapshot = LookupHandle<CSnapshotObject>(hSnapshot);
    if (!snapshot) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lppe || lppe->dwSize < sizeof(PROCESSENTRY32W)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    return snapshot->Next(restart, lppe);
}

} // namespace

} // namespace platform

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) {
    if ((dwFlags & ~TH32CS_INHERIT) != TH32CS_SNAPPROCESS) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<PROCESSENTRY32W> entries;
    for (const auto& record : platform::ListMachineProcesses()) {
        entries.push_back(platform::EntryOf(record));
    }
    HANDLE snapshot = platform::InsertHandle(std::make_shared<platform::CSnapshotObject>(std::move(entries)));
    return snapshot ? snapshot : INVALID_HANDLE_VALUE;
}

BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    return platform::WalkSnapshot(hSnapshot, lppe, true);
}

BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe) {
    return platform::WalkSnapshot(hSnapshot, lppe, false);
}

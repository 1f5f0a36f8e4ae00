// The process's one handle table: HANDLE values to the kernel objects they keep alive.
#include <unistd.h>

#include <unordered_map>

#include "platform/threads.h"

namespace platform {

namespace {

const HANDLE kCurrentProcessPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

class CHandleTable {
public:
    HANDLE Insert(std::shared_ptr<CKernelObject> object) {
        std::lock_guard lock(m_mutex);
        // Values go up to the limit before they wrap around, so that a closed value is not handed out
        // again at once; a value still in use is skipped.
        do {
            m_last = m_last >= kLastValue ? kStep : m_last + kStep;
        } while (m_objects.contains(m_last));
        m_objects.emplace(m_last, std::move(object));
        return reinterpret_cast<HANDLE>(m_last);
    }

    std::shared_ptr<CKernelObject> Find(HANDLE handle) {
        std::lock_guard lock(m_mutex);
        const auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        return found == m_objects.end() ? nullptr : found->second;
    }

    // The removed object, so that the caller drops it outside the table's lock.
    std::shared_ptr<CKernelObject> Remove(HANDLE handle) {
        std::lock_guard lock(m_mutex);
        const auto found = m_objects.find(reinterpret_cast<uintptr_t>(handle));
        if (found == m_objects.end()) {
            return nullptr;
        }
        auto object = std::move(found->second);
        m_objects.erase(found);
        return object;
    }

private:
    static constexpr uintptr_t kStep = 4;
    static constexpr uintptr_t kLastValue = 0x00FFFFFC;
    std::mutex m_mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<CKernelObject>> m_objects;
    uintptr_t m_last = 0;
};

// Never destroyed: detached threads may still use handles while the process exits.
CHandleTable& Table() {
    static auto* table = new CHandleTable;
    return *table;
}

bool IsPseudoHandle(HANDLE handle) {
    return handle == kCurrentProcessPseudoHandle || handle == kCurrentThreadPseudoHandle;
}

} // namespace

CKernelObject::~CKernelObject() = default;

HANDLE InsertHandle(std::shared_ptr<CKernelObject> object) {
    if (!object) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Table().Insert(std::move(object));
}

std::shared_ptr<CKernelObject> LookupKernelObject(HANDLE handle) {
    if (handle == kCurrentThreadPseudoHandle) {
        return CurrentThreadObject();
    }
    return Table().Find(handle);
}

} // namespace platform

BOOL CloseHandle(HANDLE hObject) {
    if (platform::IsPseudoHandle(hObject)) {
        return TRUE;
    }
    if (!platform::Table().Remove(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HANDLE GetCurrentProcess() {
    return platform::kCurrentProcessPseudoHandle;
}

HANDLE GetCurrentThread() {
    return platform::kCurrentThreadPseudoHandle;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

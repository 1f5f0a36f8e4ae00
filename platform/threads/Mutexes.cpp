// Mutexes: recursive ownership by a thread, abandonment when the owner ends. A named mutex is owned
// across processes through an exclusive lock on objects/<name>.owner, whose first byte is '1' while an
// owner holds it: a lock found free with '1' was left by an owner that ended, even by a killed process.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <vector>

#include "platform/threads.h"

namespace platform {

namespace {

constexpr std::string_view kMutexKind = "mutex";

void RememberOwned(CKernelObject& mutex);
void ForgetOwned(const CKernelObject& mutex);

class CMutex : public CKernelObject {
public:
    // ownerFd is the .owner file of a named mutex, -1 for an unnamed one.
    CMutex(int ownerFd, DWORD initialOwner)
        : m_ownerFd(ownerFd), m_owner(initialOwner), m_count(initialOwner ? 1 : 0) {}
    ~CMutex() override {
        // Closing drops the lock; an owner's mark stays, so the next owner learns it was abandoned.
        if (m_ownerFd >= 0) {
            close(m_ownerFd);
        }
    }
    CMutex(const CMutex&) = delete;
    CMutex& operator=(const CMutex&) = delete;

    static std::unique_ptr<CKernelObject> MakeNamed(const std::filesystem::path& objectFiles,
                                                    bool firstOnMachine, DWORD initialOwner) {
        std::filesystem::path ownerFile = objectFiles;
        ownerFile += ".owner";
        const int fd = open(ownerFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        // A name new on the machine is a new mutex: whatever mark an old one left does not count.
        const bool ready = fd >= 0 && (!firstOnMachine || WriteOwnedMark(fd, false)) &&
                           (!initialOwner || (flock(fd, LOCK_EX | LOCK_NB) == 0 && WriteOwnedMark(fd, true)));
        if (!ready) {
            if (fd >= 0) {
                close(fd);
            }
            SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return std::make_unique<CMutex>(fd, initialOwner);
    }

    bool IsWaitable() const override { return true; }
    bool ChangesOutsideProcess() const override { return IsNamed(); }

    EAcquire TryAcquire(DWORD threadId) override {
        if (m_owner == threadId) {
            ++m_count;
            return EAcquire::Acquired;
        }
        if (m_owner != 0) {
            return EAcquire::NotSignaled;
        }
        bool abandoned = m_abandoned;
        if (IsNamed()) {
            if (flock(m_ownerFd, LOCK_EX | LOCK_NB) != 0) {
                return EAcquire::NotSignaled;
            }
            abandoned = ReadOwnedMark(m_ownerFd);
            WriteOwnedMark(m_ownerFd, true);
        }
        m_owner = threadId;
        m_count = 1;
        m_abandoned = false;
        RememberOwned(*this);
        return abandoned ? EAcquire::Abandoned : EAcquire::Acquired;
    }

    void UndoAcquire(DWORD, EAcquire taken) override {
        if (--m_count == 0) {
            GiveUp(taken == EAcquire::Abandoned);
            ForgetOwned(*this);
        }
    }

    // Under the waitable-state lock.
    bool Release(DWORD threadId) {
        if (m_owner == 0 || m_owner != threadId) {
            return false;
        }
        if (--m_count == 0) {
            GiveUp(false);
            ForgetOwned(*this);
        }
        return true;
    }

    // Under the waitable-state lock, when the owning thread ends.
    void Abandon() {
        m_count = 0;
        GiveUp(true);
    }

private:
    bool IsNamed() const { return m_ownerFd >= 0; }

    void GiveUp(bool abandoned) {
        m_owner = 0;
        if (IsNamed()) {
            WriteOwnedMark(m_ownerFd, abandoned);
            flock(m_ownerFd, LOCK_UN);
        } else {
            m_abandoned = abandoned;
        }
    }

    static bool WriteOwnedMark(int fd, bool owned) {
        const char mark = owned ? '1' : '0';
        return pwrite(fd, &mark, 1, 0) == 1;
    }

    static bool ReadOwnedMark(int fd) {
        char mark = '0';
        return pread(fd, &mark, 1, 0) == 1 && mark == '1';
    }

    const int m_ownerFd;
    DWORD m_owner;
    ULONG m_count;
    bool m_abandoned = false;
};

// The mutexes the calling thread owns; a thread only ever changes its own list.
struct COwnedMutex {
    const CKernelObject* id;
    std::weak_ptr<CKernelObject> mutex;
};
using OwnedList = std::vector<COwnedMutex>;

void AbandonAll(const OwnedList& owned) {
    std::vector<std::shared_ptr<CKernelObject>> alive; // dropped after the lock is released
    ChangeWaitableState([&] {
        for (const auto& entry : owned) {
            if (auto mutex = entry.mutex.lock()) {
                static_cast<CMutex&>(*mutex).Abandon();
                alive.push_back(std::move(mutex));
            }
        }
    });
}

OwnedList& OwnedByCurrentThread() {
    thread_local OwnedList* owned = nullptr;
    if (!owned) {
        auto list = std::make_shared<OwnedList>();
        owned = list.get();
        AtCurrentThreadExit([list] {
            owned = nullptr;
            AbandonAll(*list);
        });
    }
    return *owned;
}

void RememberOwned(CKernelObject& mutex) {
    OwnedByCurrentThread().push_back({&mutex, mutex.weak_from_this()});
}

void ForgetOwned(const CKernelObject& mutex) {
    std::erase_if(OwnedByCurrentThread(), [&](const COwnedMutex& entry) { return entry.id == &mutex; });
}

} // namespace

} // namespace platform

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName) {
    using namespace platform;
    if (!CheckSecurityAttributes(lpMutexAttributes)) {
        return nullptr;
    }
    const DWORD owner = bInitialOwner ? GetCurrentThreadId() : 0;
    CNamedObjectResult result;
    if (!lpName || !*lpName) {
        result.object = std::make_shared<CMutex>(-1, owner);
    } else {
        result =
            CreateNamedObject(lpName, kMutexKind, [owner](const std::filesystem::path& files, bool first) {
                return CMutex::MakeNamed(files, first, first ? owner : 0);
            });
    }
    // An existing mutex is not taken: the caller learns from ERROR_ALREADY_EXISTS that it does not own it.
    if (result.object && !result.existed && owner) {
        RememberOwned(*result.object);
    }
    return HandleForObjectResult(result, true);
}

HANDLE OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName) {
    using namespace platform;
    if (!lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return HandleForObjectResult(OpenNamedObject(lpName, kMutexKind,
                                                 [](const std::filesystem::path& files, bool first) {
                                                     return CMutex::MakeNamed(files, first, 0);
                                                 }),
                                 false);
}

BOOL ReleaseMutex(HANDLE hMutex) {
    using namespace platform;
    const auto mutex = LookupHandle<CMutex>(hMutex);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool released = false;
    ChangeWaitableState([&] { released = mutex->Release(GetCurrentThreadId()); });
    if (!released) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

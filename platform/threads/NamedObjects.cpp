// The machine's one namespace of kernel object names. In each process a name has at most one live object;
// across processes, objects/<name>.name in the machine folder tells whether a name exists: every process
// that holds it keeps a shared lock on that file (the system drops it when the process ends, even when it
// is killed), and the test for other holders runs under the exclusive lock of objects/names.lock.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "platform/internal.h"
#include "platform/threads.h"

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxFileStem = 200;
constexpr size_t kMaxKindLength = 16;

// The name within the namespace: "Global\" and "Local\" lead to the same one here.
std::optional<std::wstring> NamespaceName(std::wstring_view name, DWORD& error) {
    if (name.size() > MAX_PATH) {
        error = ERROR_FILENAME_EXCED_RANGE;
        return std::nullopt;
    }
    for (const std::wstring_view prefix : {L"Global\\", L"Local\\"}) {
        if (name.starts_with(prefix)) {
            name.remove_prefix(prefix.size());
            break;
        }
    }
    if (name.empty()) {
        error = ERROR_INVALID_NAME;
        return std::nullopt;
    }
    if (name.find(L'\\') != std::wstring_view::npos) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    return std::wstring(name);
}

// A distinct file name for each object name (names are case-sensitive): ASCII letters, digits, '-' and
// '_' stay, any other character becomes %<hex code>; a long one is cut and ends in a hash of the name.
std::string FileStemOf(std::wstring_view name) {
    std::string stem;
    std::uint64_t hash = 14695981039346656037ull;
    for (const wchar_t c : name) {
        const bool plain = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                           c == L'-' || c == L'_';
        if (plain) {
            stem += static_cast<char>(c);
        } else {
            char escaped[16];
            std::snprintf(escaped, sizeof(escaped), "%%%x;", static_cast<unsigned>(c));
            stem += escaped;
        }
        hash = (hash ^ static_cast<std::uint64_t>(c)) * 1099511628211ull;
    }
    if (stem.size() > kMaxFileStem) {
        char tail[24];
        std::snprintf(tail, sizeof(tail), "~%016llx", static_cast<unsigned long long>(hash));
        stem.resize(kMaxFileStem - std::string_view(tail).size());
        stem += tail;
    }
    return stem;
}

bool WriteKind(int fd, std::string_view kind) {
    return ftruncate(fd, 0) == 0 &&
           pwrite(fd, kind.data(), kind.size(), 0) == static_cast<ssize_t>(kind.size());
}

std::string ReadKind(int fd) {
    char text[kMaxKindLength] = {};
    const ssize_t size = pread(fd, text, sizeof(text), 0);
    return size > 0 ? std::string(text, static_cast<size_t>(size)) : std::string();
}

class CNameRegistry;

// This process's hold on a name: the shared lock on its file, for as long as an object of the name lives.
class CNamePresence {
public:
    CNamePresence(CNameRegistry& registry, std::wstring key, int fd)
        : m_registry(registry), m_key(std::move(key)), m_fd(fd) {}
    ~CNamePresence();
    CNamePresence(const CNamePresence&) = delete;
    CNamePresence& operator=(const CNamePresence&) = delete;
    int Fd() const { return m_fd; }

private:
    CNameRegistry& m_registry;
    const std::wstring m_key;
    const int m_fd;
};

class CNameRegistry {
public:
    CNamedObjectResult Find(std::wstring_view name, std::string_view kind, const MakeNamedObject& make,
                            bool create) {
        // Declared before the lock, so that objects found or made here die only after it is released.
        std::shared_ptr<CKernelObject> object;
        std::shared_ptr<CNamePresence> presence;
        DWORD error = ERROR_SUCCESS;
        const auto key = NamespaceName(name, error);
        if (!key) {
            return Failure(error);
        }

        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(*key);
        if (found != m_entries.end()) {
            if ((object = found->second.object.lock())) {
                return found->second.kind == kind ? CNamedObjectResult{object, true}
                                                  : Failure(ERROR_INVALID_HANDLE);
            }
            // The last object of the name is being destroyed: its hold on the name can serve the next one.
            presence = found->second.presence.lock();
        }

        const fs::path folder = MachineFolder() / "objects";
        const CFileLock guard(folder / "names.lock");
        const fs::path objectFiles = folder / FileStemOf(*key);
        if (!presence) {
            fs::path nameFile = objectFiles;
            nameFile += ".name";
            const int fd = guard.IsHeld() ? open(nameFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644) : -1;
            if (fd < 0) {
                return Failure(ERROR_ACCESS_DENIED);
            }
            presence = std::make_shared<CNamePresence>(*this, *key, fd);
        }
        // An exclusive lock is granted only when no other process holds the name.
        const bool firstOnMachine = flock(presence->Fd(), LOCK_EX | LOCK_NB) == 0;
        const bool kindMatches =
            firstOnMachine ? !create || WriteKind(presence->Fd(), kind) : ReadKind(presence->Fd()) == kind;
        flock(presence->Fd(), LOCK_SH);
        if (firstOnMachine && !create) {
            return Failure(ERROR_FILE_NOT_FOUND);
        }
        if (!kindMatches) {
            return Failure(ERROR_INVALID_HANDLE);
        }
        std::unique_ptr<CKernelObject> made = make(objectFiles, firstOnMachine);
        if (!made) {
            return Failure(GetLastError());
        }
        // The object keeps the name's hold for its lifetime (not the deleter's, which weak pointers prolong).
        object = std::shared_ptr<CKernelObject>(made.release(), [presence](CKernelObject* dying) mutable {
            delete dying;
            presence.reset();
        });
        m_entries[*key] = CEntry{object, presence, presence.get(), std::string(kind)};
        return CNamedObjectResult{object, !firstOnMachine};
    }

    void Forget(const std::wstring& key, const CNamePresence* presence) {
        std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(key);
        if (found != m_entries.end() && found->second.presenceId == presence) {
            m_entries.erase(found);
        }
    }

private:
    struct CEntry {
        std::weak_ptr<CKernelObject> object;
        std::weak_ptr<CNamePresence> presence;
        const CNamePresence* presenceId = nullptr;
        std::string kind;
    };

    static CNamedObjectResult Failure(DWORD error) { return CNamedObjectResult{nullptr, false, error}; }

    std::mutex m_mutex;
    std::map<std::wstring, CEntry> m_entries;
};

CNamePresence::~CNamePresence() {
    m_registry.Forget(m_key, this);
    close(m_fd);
}

// Never destroyed: objects of detached threads may still die while the process exits.
CNameRegistry& Registry() {
    static auto* registry = new CNameRegistry;
    return *registry;
}

} // namespace

CNamedObjectResult CreateNamedObject(std::wstring_view name, std::string_view kind,
                                     const MakeNamedObject& make) {
    return Registry().Find(name, kind, make, true);
}

CNamedObjectResult OpenNamedObject(std::wstring_view name, std::string_view kind,
                                   const MakeNamedObject& make) {
    return Registry().Find(name, kind, make, false);
}

std::optional<std::wstring> NameInNamespace(std::wstring_view name, DWORD& error) {
    return NamespaceName(name, error);
}

HANDLE HandleForObjectResult(const CNamedObjectResult& result, bool created) {
    if (!result.object) {
        SetLastError(result.error);
        return nullptr;
    }
    const HANDLE handle = InsertHandle(result.object);
    if (created) {
        SetLastError(result.existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    }
    return handle;
}

bool CheckSecurityAttributes(const SECURITY_ATTRIBUTES* attributes) {
    if (attributes && attributes->lpSecurityDescriptor) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    return true;
}

} // namespace platform

#include "platform/registry/RegistryNotify.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/registry/RegistryStore.h"
#include "platform/threads.h"

namespace platform::registry {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kStoreEvents = IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM;

struct SArming {
    SArmingOwner owner;
    SWatchedKey watched;
    std::size_t baseline = 0;
    std::function<void()> signal;
};

std::size_t DigestOf(const SStoreSnapshot& snapshot, const SWatchedKey& watched) {
    return ContentDigest(snapshot.document, watched.storage, watched.filter, watched.subtree);
}

class CNotifier {
public:
    ~CNotifier() {
        if (m_thread.joinable()) {
            const uint64_t stop = 1;
            [[maybe_unused]] const ssize_t written = write(m_wake, &stop, sizeof(stop));
            m_thread.join();
        }
        for (const int fd : {m_inotify, m_wake}) {
            if (fd >= 0) {
                close(fd);
            }
        }
    }

    LONG Arm(SArming arming) {
        std::lock_guard guard(m_lock);
        // The folder is watched before the baseline is read: a replacement after the read is seen.
        if (!StartWatcher() || !WatchFolder(arming.watched.store.parent_path())) {
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        arming.baseline = DigestOf(*ReadStore(arming.watched.store), arming.watched);
        m_armings.push_back(std::move(arming));
        return ERROR_SUCCESS;
    }

    void Check(const fs::path& store) {
        std::lock_guard guard(m_lock);
        StoreSnapshot snapshot;
        std::erase_if(m_armings, [&](const SArming& arming) {
            if (arming.watched.store != store) {
                return false;
            }
            if (!snapshot) {
                snapshot = ReadStore(store);
            }
            if (DigestOf(*snapshot, arming.watched) == arming.baseline) {
                return false;
            }
            arming.signal();
            return true;
        });
    }

    void End(const std::function<bool(const SArmingOwner&)>& chosen) {
        std::lock_guard guard(m_lock);
        std::erase_if(m_armings, [&](const SArming& arming) {
            if (!chosen(arming.owner)) {
                return false;
            }
            arming.signal();
            return true;
        });
    }

private:
    bool StartWatcher() {
        if (m_thread.joinable()) {
            return true;
        }
        if (m_inotify < 0) {
            m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        }
        if (m_wake < 0) {
            m_wake = eventfd(0, EFD_CLOEXEC);
        }
        if (m_inotify < 0 || m_wake < 0) {
            return false;
        }
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    bool WatchFolder(const fs::path& folder) {
        const int wd = inotify_add_watch(m_inotify, folder.c_str(), kStoreEvents | IN_ONLYDIR);
        if (wd < 0) {
            return false;
        }
        m_folders[wd] = folder;
        return true;
    }

    void Run() {
        pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_wake, POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            for (const auto& store : ReadChangedStores()) {
                Check(store);
            }
        }
    }

    // The stores whose files the pending inotify events tell of.
    std::set<fs::path> ReadChangedStores() {
        std::set<fs::path> stores;
        alignas(inotify_event) char buffer[16384];
        ssize_t length = 0;
        while ((length = read(m_inotify, buffer, sizeof(buffer))) > 0) {
            std::lock_guard guard(m_lock);
            for (ssize_t offset = 0; offset < length;) {
                inotify_event event;
                std::memcpy(&event, buffer + offset, sizeof(event));
                const char* name = buffer + offset + sizeof(inotify_event);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
                const auto folder = m_folders.find(event.wd);
                if (folder == m_folders.end()) {
                    continue;
                }
                if (event.mask & IN_IGNORED) {
                    m_folders.erase(folder);
                } else if (event.len > 0 && std::strcmp(name, "registry.json") == 0) {
                    stores.insert(folder->second / "registry.json");
                }
            }
        }
        return stores;
    }

    std::mutex m_lock;
    std::vector<SArming> m_armings;
    std::map<int, fs::path> m_folders;
    int m_inotify = -1;
    int m_wake = -1;
    std::thread m_thread;
};

CNotifier& Notifier() {
    static CNotifier notifier;
    return notifier;
}

void EndThreadArmings() {
    EndArmings([thread = GetCurrentThreadId()](const SArmingOwner& owner) { return owner.thread == thread; });
}

} // namespace

LONG ArmNotification(const SArmingOwner& owner, const SWatchedKey& watched, std::function<void()> signal) {
    thread_local bool endsWithThread = false;
    if (owner.thread != 0 && !endsWithThread) {
        AtCurrentThreadExit(EndThreadArmings);
        endsWithThread = true;
    }
    return Notifier().Arm(SArming{owner, watched, 0, std::move(signal)});
}

void CheckArmings(const fs::path& store) {
    Notifier().Check(store);
}

void EndArmings(const std::function<bool(const SArmingOwner&)>& chosen) {
    Notifier().End(chosen);
}

} // namespace platform::registry

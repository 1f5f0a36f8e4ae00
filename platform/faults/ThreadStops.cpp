// Stopping the process's other threads for a dump: a real-time signal to each, whose handler leaves the
// thread's registers in its slot and waits until the dump is written.
#include "platform/faults/ThreadStops.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/faults/FaultHandling.h"

namespace {

constexpr size_t kMaxStops = 256;
// How long the dump waits for the threads to stop, all together.
constexpr long long kStopWaitMs = 2000;
// A stopped thread goes on by itself after this, should the dump never end its round.
constexpr long long kLongestStopMs = 30000;

enum EStopState : int { kIdle, kRequested, kStopped };

struct CStopSlot {
    std::atomic<pid_t> thread{0};
    std::atomic<int> state{kIdle};
    CONTEXT context{};
};

constinit CStopSlot g_slots[kMaxStops];
constinit std::atomic<size_t> g_slotCount{0};
// Each stop is a round; the threads of a round wait until it is over.
constinit std::atomic<unsigned> g_round{0};
constinit std::atomic<unsigned> g_roundOver{0};
constinit std::atomic<bool> g_handlerInstalled{false};

int StopSignal() {
    return SIGRTMIN + 6;
}

long long NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void PauseBriefly() {
    const timespec pause{0, 1000000};
    nanosleep(&pause, nullptr);
}

void OnStopSignal(int, siginfo_t*, void* signalContext) {
    const int savedErrno = errno;
    const pid_t self = gettid();
    const unsigned round = g_round.load();
    const size_t count = g_slotCount.load();
    for (size_t i = 0; i < count; ++i) {
        CStopSlot& slot = g_slots[i];
        if (slot.thread.load() != self || slot.state.load() != kRequested) {
            continue;
        }
        platform::ContextFromSignal(*static_cast<const ucontext_t*>(signalContext), slot.context);
        slot.state.store(kStopped);
        const long long deadline = NowMs() + kLongestStopMs;
        while (g_roundOver.load() < round && NowMs() < deadline) {
            PauseBriefly();
        }
        break;
    }
    errno = savedErrno;
}

void InstallStopHandler() {
    if (g_handlerInstalled.exchange(true)) {
        return;
    }
    struct sigaction action {};
    action.sa_sigaction = OnStopSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(StopSignal(), &action, nullptr);
}

// A task's name is its decimal id; 0 for "." and "..".
DWORD ThreadIdOfName(const char* name) {
    DWORD id = 0;
    for (; *name >= '0' && *name <= '9'; ++name) {
        id = id * 10 + static_cast<DWORD>(*name - '0');
    }
    return *name == '\0' ? id : 0;
}

// The thread ids in /proc/self/task.
size_t ListThreads(DWORD* ids, size_t maxIds) {
    const int descriptor = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return 0;
    }
    size_t count = 0;
    alignas(dirent64) char buffer[4096];
    long length = 0;
    while (count < maxIds && (length = syscall(SYS_getdents64, descriptor, buffer, sizeof(buffer))) > 0) {
        for (long offset = 0; offset < length && count < maxIds;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
            offset += entry->d_reclen;
            if (const DWORD id = ThreadIdOfName(entry->d_name)) {
                ids[count++] = id;
            }
        }
    }
    close(descriptor);
    return count;
}

bool AllStopped(size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (g_slots[i].state.load() == kRequested) {
            return false;
        }
    }
    return true;
}

} // namespace

namespace platform {

size_t StopOtherThreads(DWORD* ids, size_t maxIds) {
    InstallStopHandler();
    const size_t listed = ListThreads(ids, maxIds);
    const auto self = static_cast<DWORD>(gettid());
    size_t count = 0;
    for (size_t i = 0; i < listed && count < kMaxStops; ++i) {
        if (ids[i] != self) {
            g_slots[count].state.store(kRequested);
            g_slots[count++].thread.store(static_cast<pid_t>(ids[i]));
        }
    }
    g_slotCount.store(count);
    g_round.fetch_add(1);
    for (size_t i = 0; i < count; ++i) {
        if (syscall(SYS_tgkill, getpid(), g_slots[i].thread.load(), StopSignal()) != 0) {
            g_slots[i].state.store(kIdle); // it has ended since it was listed
        }
    }
    const long long deadline = NowMs() + kStopWaitMs;
    while (!AllStopped(count) && NowMs() < deadline) {
        PauseBriefly();
    }
    return listed;
}

bool StoppedThreadContext(DWORD id, CONTEXT& context) {
    const size_t count = g_slotCount.load();
    for (size_t i = 0; i < count; ++i) {
        const CStopSlot& slot = g_slots[i];
        if (slot.thread.load() == static_cast<pid_t>(id) && slot.state.load() == kStopped) {
            context = slot.context;
            return true;
        }
    }
    return false;
}

void ResumeThreads() {
    g_roundOver.store(g_round.load());
    for (size_t i = 0, count = g_slotCount.exchange(0); i < count; ++i) {
        g_slots[i].state.store(kIdle);
    }
}

} // namespace platform

// Change notifications: armings of RegNotifyChangeKeyValue, each signalled once, at the first change of
// what it watches, when its handle is closed or when the thread that armed it ends. One watcher thread per
// process follows the stores' replacements (inotify on their folders); this process's own writes are
// checked at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/registry/RegistryPath.h"

namespace platform::registry {

struct SArmingOwner {
    std::uintptr_t key = 0;
    // The arming thread's id; 0 when the arming does not end with the thread.
    DWORD thread = 0;
};

struct SWatchedKey {
    std::filesystem::path store;
    KeyPath storage;
    bool subtree = false;
    DWORD filter = 0;
};

LONG ArmNotification(const SArmingOwner& owner, const SWatchedKey& watched, std::function<void()> signal);
// Signals the armings on this store whose watched content changed.
void CheckArmings(const std::filesystem::path& store);
// Signals and removes the armings of the owners chosen.
void EndArmings(const std::function<bool(const SArmingOwner&)>& chosen);

} // namespace platform::registry

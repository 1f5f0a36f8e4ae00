// Open key handles: each HKEY the layer hands out names a key of one machine's store, through the view
// fixed when it was opened, with the access granted then.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "platform/registry/RegistryPath.h"

namespace platform::registry {

struct SKeyRef {
    std::filesystem::path store;
    KeyPath logical;
    KeyPath storage;
    EView view = EView::Default32;
    REGSAM access = 0;
    // A predefined key always exists (it is made on the first write below it).
    bool predefined = false;
    // The open handle's number, 0 for a predefined key.
    std::uintptr_t id = 0;
};

// One open handle. Destroying it (RegCloseKey) ends its notification armings, signalling their events.
class COpenKey {
public:
    explicit COpenKey(SKeyRef ref) : m_ref(std::move(ref)) {}
    ~COpenKey();
    COpenKey(const COpenKey&) = delete;
    COpenKey& operator=(const COpenKey&) = delete;
    const SKeyRef& Ref() const { return m_ref; }

private:
    SKeyRef m_ref;
};

HKEY AddOpenKey(SKeyRef ref);
std::optional<SKeyRef> FindOpenKey(HKEY key);
// False when the handle is not open.
bool CloseOpenKey(HKEY key);

} // namespace platform::registry

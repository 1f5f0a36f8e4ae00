#include "platform/registry/RegistryHandles.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/registry/RegistryNotify.h"

namespace platform::registry {

namespace {

// Handle values are multiples of 4 from 0x1000 on, far below the predefined keys, and never reused.
constexpr std::uintptr_t kFirstHandle = 0x1000;
constexpr std::uintptr_t kHandleStep = 4;

class CHandleTable {
public:
    HKEY Add(SKeyRef ref) {
        std::lock_guard guard(m_lock);
        ref.id = m_next;
        m_next += kHandleStep;
        const std::uintptr_t id = ref.id;
        m_keys.emplace(id, std::make_unique<COpenKey>(std::move(ref)));
        return reinterpret_cast<HKEY>(id);
    }

    std::optional<SKeyRef> Find(HKEY key) {
        std::lock_guard guard(m_lock);
        const auto found = m_keys.find(reinterpret_cast<std::uintptr_t>(key));
        return found == m_keys.end() ? std::nullopt : std::optional<SKeyRef>(found->second->Ref());
    }

    std::unique_ptr<COpenKey> Remove(HKEY key) {
        std::lock_guard guard(m_lock);
        const auto found = m_keys.find(reinterpret_cast<std::uintptr_t>(key));
        if (found == m_keys.end()) {
            return nullptr;
        }
        auto removed = std::move(found->second);
        m_keys.erase(found);
        return removed;
    }

private:
    std::mutex m_lock;
    std::uintptr_t m_next = kFirstHandle;
    std::map<std::uintptr_t, std::unique_ptr<COpenKey>> m_keys;
};

// Handles still open when the process ends are left to the end of the process, as on Windows: the table
// is never destroyed, so no closing runs while the layer's other parts are being torn down.
CHandleTable& Table() {
    static auto* table = new CHandleTable();
    return *table;
}

} // namespace

COpenKey::~COpenKey() {
    EndArmings([id = m_ref.id](const SArmingOwner& owner) { return owner.key == id; });
}

HKEY AddOpenKey(SKeyRef ref) {
    return Table().Add(std::move(ref));
}

std::optional<SKeyRef> FindOpenKey(HKEY key) {
    return Table().Find(key);
}

bool CloseOpenKey(HKEY key) {
    // The key dies outside the table's lock: ending its armings signals events.
    return Table().Remove(key) != nullptr;
}

} // namespace platform::registry

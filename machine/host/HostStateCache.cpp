#include "machine/host/HostStateCache.h"

#include "platform/internal.h"

namespace host {

// The file is small: reading it at each call is what tells a change reliably (a replaced file may have
// the same size, time stamp and even inode as the one before).
HostState CHostStateCache::Current() {
    std::optional<std::string> text = platform::ReadWholeFile(HostStateFile());
    std::lock_guard guard(m_lock);
    if (!m_bLoaded || text != m_text) {
        m_state = ParseHostState(text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json());
        m_text = std::move(text);
        m_bLoaded = true;
    }
    return m_state;
}

} // namespace host

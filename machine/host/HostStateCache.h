// The contract server's view of the host's state: host.json of the current machine, parsed again
// whenever its content changes.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "machine/host/HostState.h"

namespace host {

class CHostStateCache {
public:
    HostState Current();

private:
    std::mutex m_lock;
    bool m_bLoaded = false;
    // The content the state was parsed from; none when the file was missing.
    std::optional<std::string> m_text;
    HostState m_state;
};

} // namespace host

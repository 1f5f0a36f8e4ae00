// The privacy monitoring of the host's privacy plug-in as the machine keeps it: host.json's
// "privacyMonitor" {"state": 1, "counts": [C1, ..., C7], "mode": 1}. GetPrivacyMonitorState answers the
// state (0: not available) and GetPrivacyMonitorStatus the seven counts and the mode; the tool changes them.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include <nlohmann/json.hpp>

namespace host {

inline constexpr const char* kPrivacyMonitorKey = "privacyMonitor";
inline constexpr const char* kPrivacyStateKey = "state";
inline constexpr const char* kPrivacyCountsKey = "counts";
inline constexpr const char* kPrivacyModeKey = "mode";

inline constexpr int kPrivacyCountCount = 7;

// The counts are C1 breached accounts, C2 tracking tools and C3 vulnerable passwords found (above 0 that
// many, 0 none, below 0 not checked), then C4 accounts monitored, C5 accounts with masked e-mail
// addresses, C6 trackers blocked and C7 sites connected privately; the mode is 2 for the dashboard, 1 for
// the rotating blocks, anything else for a single block.
struct PrivacyMonitor {
    int state = 0;
    std::array<int, kPrivacyCountCount> counts{};
    int mode = 0;
};

// From host.json's content; what is missing or malformed keeps its default (not available).
PrivacyMonitor ParsePrivacyMonitor(const nlohmann::json& data);

// The forms the privacy panel shows, each a whole privacy monitor: "dashboard", "rotating", "good-job",
// "single" and "unavailable".
struct PrivacyForm {
    const char* name;
    const char* meaning;
    PrivacyMonitor monitor;
};
std::span<const PrivacyForm> PrivacyForms();
const PrivacyForm* FindPrivacyForm(std::string_view name);

// The monitor as host.json's "privacyMonitor" holds it.
nlohmann::json PrivacyMonitorJson(const PrivacyMonitor& monitor);

} // namespace host

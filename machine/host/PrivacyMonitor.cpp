#include "machine/host/PrivacyMonitor.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <optional>

namespace host {

namespace {

constexpr PrivacyForm kForms[] = {
    {"dashboard", "the dashboard of four counters (mode 2)", {1, {1, 3, 2, 7, 3, 128, 42}, 2}},
    {"rotating",
     "three blocks that rotate every 3 s (mode 1: 2 breaches, trackers not checked, no passwords)",
     {1, {2, -1, 0, 7, 3, 128, 42}, 1}},
    {"good-job",
     "the good-job card (mode 1, nothing found, passwords checked)",
     {1, {0, 0, 4, 7, 3, 128, 42}, 1}},
    {"single", "the single call-to-action card (mode 0)", {1, {-1, -1, -1, 0, 0, 0, 0}, 0}},
    {"unavailable", "no privacy monitoring (state 0)", {0, {}, 0}},
};

// An int of the entry; none when it is missing or no int.
std::optional<int> IntOf(const nlohmann::json& value) {
    if (!value.is_number_integer()) {
        return std::nullopt;
    }
    const long long number = value.get<long long>();
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(number);
}

} // namespace

PrivacyMonitor ParsePrivacyMonitor(const nlohmann::json& data) {
    PrivacyMonitor monitor;
    const auto found = data.is_object() ? data.find(kPrivacyMonitorKey) : data.end();
    if (!data.is_object() || found == data.end() || !found->is_object()) {
        return monitor;
    }
    monitor.state = IntOf(found->value(kPrivacyStateKey, nlohmann::json())).value_or(0);
    monitor.mode = IntOf(found->value(kPrivacyModeKey, nlohmann::json())).value_or(0);
    const nlohmann::json counts = found->value(kPrivacyCountsKey, nlohmann::json());
    if (counts.is_array() && counts.size() == kPrivacyCountCount) {
        for (size_t i = 0; i < counts.size(); ++i) {
            monitor.counts[i] = IntOf(counts[i]).value_or(0);
        }
    }
    return monitor;
}

std::span<const PrivacyForm> PrivacyForms() {
    return kForms;
}

const PrivacyForm* FindPrivacyForm(std::string_view name) {
    const auto found = std::find_if(std::begin(kForms), std::end(kForms),
                                    [name](const PrivacyForm& form) { return name == form.name; });
    return found == std::end(kForms) ? nullptr : &*found;
}

nlohmann::json PrivacyMonitorJson(const PrivacyMonitor& monitor) {
    return {{kPrivacyStateKey, monitor.state},
            {kPrivacyCountsKey, monitor.counts},
            {kPrivacyModeKey, monitor.mode}};
}

} // namespace host

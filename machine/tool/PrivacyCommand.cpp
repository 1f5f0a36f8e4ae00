// privacy: the privacy monitoring that the host's privacy plug-in reports (host.json's "privacyMonitor").
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "machine/host/HostState.h"
#include "machine/host/PrivacyMonitor.h"
#include "machine/tool/Commands.h"
#include "platform/internal.h"

namespace {

void PrintPrivacyHelp(FILE* out) {
    std::fprintf(
        out,
        "usage: flipdeck-machine privacy [show]\n"
        "       flipdeck-machine privacy form NAME\n"
        "       flipdeck-machine privacy [--state N] [--counts C1,C2,C3,C4,C5,C6,C7] [--mode N]\n\n"
        "The privacy monitoring as the host's privacy plug-in reports it to the privacy panel:\n"
        "GetPrivacyMonitorState answers the state (0: not available), GetPrivacyMonitorStatus the\n"
        "seven counts and the mode. The options apply together or, when one is wrong, not at all.\n\n"
        "  --state N    the state; the panel is shown while it is 1 or more\n"
        "  --counts ... C1 breached accounts, C2 tracking tools, C3 vulnerable passwords found (above\n"
        "               0 that many, 0 none, below 0 not checked), C4 accounts monitored, C5 of them\n"
        "               with masked e-mail addresses, C6 trackers blocked, C7 sites connected privately\n"
        "  --mode N     2 the dashboard of four counters, 1 the rotating blocks, else a single block\n\n"
        "forms (each sets all three):\n");
    for (const host::PrivacyForm& form : host::PrivacyForms()) {
        std::fprintf(out, "  %-12s %s\n", form.name, form.meaning);
    }
}

int UsageError() {
    PrintPrivacyHelp(stderr);
    return 2;
}

std::optional<int> ParseInt(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::array<int, host::kPrivacyCountCount>> ParseCounts(const std::string& text) {
    std::array<int, host::kPrivacyCountCount> counts{};
    size_t start = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        const size_t comma = text.find(',', start);
        const bool last = i + 1 == counts.size();
        if (last != (comma == std::string::npos)) {
            return std::nullopt;
        }
        const auto count = ParseInt(text.substr(start, last ? std::string::npos : comma - start));
        if (!count) {
            return std::nullopt;
        }
        counts[i] = *count;
        start = comma + 1;
    }
    return counts;
}

host::PrivacyMonitor StoredMonitor() {
    const auto text = platform::ReadWholeFile(host::HostStateFile());
    return host::ParsePrivacyMonitor(text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json());
}

int Show() {
    std::printf("privacy monitor: %s\n", host::PrivacyMonitorJson(StoredMonitor()).dump().c_str());
    return 0;
}

// The monitor as the options make it of the stored one; none when an option is wrong.
std::optional<host::PrivacyMonitor> Changed(const std::vector<std::string>& options) {
    host::PrivacyMonitor monitor = StoredMonitor();
    if (options.size() == 2 && options[0] == "form") {
        const host::PrivacyForm* form = host::FindPrivacyForm(options[1]);
        return form ? std::optional(form->monitor) : std::nullopt;
    }
    for (size_t i = 0; i < options.size(); i += 2) {
        if (i + 1 >= options.size()) {
            return std::nullopt;
        }
        const std::string& value = options[i + 1];
        if (options[i] == "--counts") {
            const auto counts = ParseCounts(value);
            if (!counts) {
                return std::nullopt;
            }
            monitor.counts = *counts;
            continue;
        }
        const auto number = ParseInt(value);
        if (!number || (options[i] != "--state" && options[i] != "--mode")) {
            return std::nullopt;
        }
        (options[i] == "--state" ? monitor.state : monitor.mode) = *number;
    }
    return monitor;
}

} // namespace

int RunPrivacyCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintPrivacyHelp(stdout);
        return 0;
    }
    if (args.empty() || (args.size() == 1 && args[0] == "show")) {
        return Show();
    }
    const auto monitor = Changed(args);
    if (!monitor) {
        return UsageError();
    }
    std::string error;
    if (!host::UpdateHostState(
            [&](nlohmann::json& data) {
                data[host::kPrivacyMonitorKey] = host::PrivacyMonitorJson(*monitor);
            },
            error)) {
        std::fprintf(stderr, "flipdeck-machine privacy: %s\n", error.c_str());
        return 1;
    }
    return Show();
}

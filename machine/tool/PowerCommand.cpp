// power: the machine's power source, battery charge and monitor power, and the power-setting
// notification the running program gets when one of them changes.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "machine/tool/Commands.h"
#include "platform/internal.h"
#include "platform/power.h"
#include "platform/window/ScreenChannel.h"

namespace {

void PrintPowerHelp(FILE* out) {
    std::fprintf(out,
                 "usage: flipdeck-machine power source ac|dc\n"
                 "       flipdeck-machine power battery PERCENT|none|unknown\n"
                 "       flipdeck-machine power remaining SECONDS|unknown\n"
                 "       flipdeck-machine power status readable|unreadable\n"
                 "       flipdeck-machine power monitor on|off\n\n"
                 "Changes the machine's power facts (\"power\" in facts.json: acLine, batteryPercent,\n"
                 "battery, batteryLifeSeconds, readable, monitorOn) and, when the value really changes,\n"
                 "sends the program running on the machine the power-setting notification its windows\n"
                 "registered for (the battery percentage's for battery; remaining and status send none).\n"
                 "PERCENT is 0 to 100 and puts a battery in; none takes the system battery out, unknown\n"
                 "leaves one whose data cannot be read. SECONDS is the time left on battery that the\n"
                 "system reports while the machine runs on it. An unreadable status makes every\n"
                 "GetSystemPowerStatus fail. The battery charges while the source is ac and its charge\n"
                 "is below 100. Without a running program only the facts change.\n\n"
                 "Exit status: 0 done, 1 failed (the reason on stderr), 2 usage error.\n");
}

// One change: the setting's name on the program's channel (null: none is notified), the facts it sets
// and their new values, and the setting's data as the system sends it.
struct SPowerChange {
    const char* setting;
    std::vector<std::pair<const char*, nlohmann::json>> facts;
    DWORD data;
};

std::optional<DWORD> ParseNumber(const std::string& text, DWORD maximum) {
    DWORD number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number <= maximum
               ? std::optional<DWORD>(number)
               : std::nullopt;
}

std::optional<SPowerChange> ParseBatteryChange(const std::string& word) {
    if (word == "none" || word == "unknown") {
        return SPowerChange{"battery", {{"/power/battery", word}}, 0};
    }
    const std::optional<DWORD> percent = ParseNumber(word, 100);
    if (!percent) {
        return std::nullopt;
    }
    return SPowerChange{
        "battery", {{"/power/battery", "present"}, {"/power/batteryPercent", *percent}}, *percent};
}

std::optional<SPowerChange> ParsePowerChange(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        return std::nullopt;
    }
    const std::string& word = args[1];
    if (args[0] == "source" && (word == "ac" || word == "dc")) {
        return SPowerChange{"source", {{"/power/acLine", word == "ac"}}, word == "ac" ? 0u : 1u};
    }
    if (args[0] == "monitor" && (word == "on" || word == "off")) {
        return SPowerChange{"monitor", {{"/power/monitorOn", word == "on"}}, word == "on" ? 1u : 0u};
    }
    if (args[0] == "status" && (word == "readable" || word == "unreadable")) {
        return SPowerChange{nullptr, {{"/power/readable", word == "readable"}}, 0};
    }
    if (args[0] == "remaining") {
        const std::optional<DWORD> seconds = ParseNumber(word, BATTERY_LIFE_UNKNOWN - 1);
        if (word != "unknown" && !seconds) {
            return std::nullopt;
        }
        return SPowerChange{
            nullptr, {{"/power/batteryLifeSeconds", seconds ? nlohmann::json(*seconds) : nullptr}}, 0};
    }
    return args[0] == "battery" ? ParseBatteryChange(word) : std::nullopt;
}

// Sets the change's facts; Changed when any of them changed.
platform::EFactUpdate UpdateFacts(const SPowerChange& change) {
    platform::EFactUpdate result = platform::EFactUpdate::Unchanged;
    for (const auto& [pointer, value] : change.facts) {
        switch (platform::UpdateMachineFact(pointer, value)) {
        case platform::EFactUpdate::Failed:
            return platform::EFactUpdate::Failed;
        case platform::EFactUpdate::Changed:
            result = platform::EFactUpdate::Changed;
            break;
        case platform::EFactUpdate::Unchanged:
            break;
        }
    }
    return result;
}

} // namespace

int RunPowerCommand(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintPowerHelp(stdout);
        return 0;
    }
    const std::optional<SPowerChange> change = ParsePowerChange(args);
    if (!change) {
        PrintPowerHelp(stderr);
        return 2;
    }
    switch (UpdateFacts(*change)) {
    case platform::EFactUpdate::Failed:
        std::fprintf(stderr, "flipdeck-machine power: cannot change the facts of the machine %s\n",
                     platform::MachineFolderPath().c_str());
        return 1;
    case platform::EFactUpdate::Unchanged:
        std::printf("power %s is already %s: nothing to notify\n", args[0].c_str(), args[1].c_str());
        return 0;
    case platform::EFactUpdate::Changed:
        break;
    }
    if (!change->setting) {
        return 0;
    }
    const std::optional<std::string> answer = platform::desktop::RequestScreenChannel(
        platform::MachineFolderPath(),
        "power " + std::string(change->setting) + " " + std::to_string(change->data));
    if (!answer) {
        std::printf("no program runs on the machine: only its facts changed\n");
        return 0;
    }
    if (*answer != "ok\n") {
        std::fprintf(stderr, "flipdeck-machine power: the program answered: %s\n",
                     answer->empty() ? "nothing" : answer->substr(0, answer->find('\n')).c_str());
        return 1;
    }
    return 0;
}

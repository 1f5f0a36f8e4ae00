// power: the machine's power source, battery charge and monitor power, and the power-setting
// notification the running program gets when one of them changes.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "machine/tool/Commands.h"
#include "platform/internal.h"
#include "platform/window/ScreenChannel.h"

namespace {

void PrintPowerHelp(FILE* out) {
    std::fprintf(out, "usage: flipdeck-machine power source ac|dc\n"
                      "       flipdeck-machine power battery PERCENT\n"
                      "       flipdeck-machine power monitor on|off\n\n"
                      "Changes the machine's power facts (\"power\" in facts.json: acLine, batteryPercent,\n"
                      "monitorOn) and, when the value really changes, sends the program running on the\n"
                      "machine the power-setting notification its windows registered for. PERCENT is 0\n"
                      "to 100. Without a running program only the facts change.\n\n"
                      "Exit status: 0 done, 1 failed (the reason on stderr), 2 usage error.\n");
}

// One change: the setting's name on the program's channel, its fact, the fact's new value and the
// setting's data as the system sends it.
struct SPowerChange {
    const char* setting;
    const char* fact;
    nlohmann::json value;
    DWORD data;
};

std::optional<DWORD> ParsePercent(const std::string& text) {
    DWORD percent = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), percent);
    return error == std::errc() && end == text.data() + text.size() && percent <= 100
               ? std::optional<DWORD>(percent)
               : std::nullopt;
}

std::optional<SPowerChange> ParsePowerChange(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        return std::nullopt;
    }
    const std::string& word = args[1];
    if (args[0] == "source" && (word == "ac" || word == "dc")) {
        return SPowerChange{"source", "/power/acLine", word == "ac", word == "ac" ? 0u : 1u};
    }
    if (args[0] == "monitor" && (word == "on" || word == "off")) {
        return SPowerChange{"monitor", "/power/monitorOn", word == "on", word == "on" ? 1u : 0u};
    }
    if (const std::optional<DWORD> percent = ParsePercent(word); args[0] == "battery" && percent) {
        return SPowerChange{"battery", "/power/batteryPercent", *percent, *percent};
    }
    return std::nullopt;
}

enum class EFactUpdate { Changed, Unchanged, Failed };

// Sets the fact in facts.json under the machine's facts lock, replacing the file atomically.
EFactUpdate UpdateFact(const std::string& pointer, const nlohmann::json& value) {
    const std::filesystem::path folder = platform::MachineFolder();
    const platform::CFileLock lock(folder / "locks" / "facts.lock");
    const std::filesystem::path file = folder / "facts.json";
    nlohmann::json facts = nlohmann::json::parse(platform::ReadWholeFile(file).value_or(""), nullptr, false);
    if (!lock.IsHeld() || !facts.is_object()) {
        return EFactUpdate::Failed;
    }
    try {
        const nlohmann::json::json_pointer where(pointer);
        if (facts.contains(where) && facts.at(where) == value) {
            return EFactUpdate::Unchanged;
        }
        facts[where] = value;
    } catch (const nlohmann::json::exception&) {
        return EFactUpdate::Failed;
    }
    return platform::ReplaceFileAtomically(file, facts.dump(2) + "\n") ? EFactUpdate::Changed
                                                                       : EFactUpdate::Failed;
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
    switch (UpdateFact(change->fact, change->value)) {
    case EFactUpdate::Failed:
        std::fprintf(stderr, "flipdeck-machine power: cannot change the facts of the machine %s\n",
                     platform::MachineFolderPath().c_str());
        return 1;
    case EFactUpdate::Unchanged:
        std::printf("%s is already %s: nothing to notify\n", change->fact, change->value.dump().c_str());
        return 0;
    case EFactUpdate::Changed:
        break;
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

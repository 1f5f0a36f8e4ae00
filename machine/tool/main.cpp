// flipdeck-machine: makes, inspects and changes a simulated machine.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "machine/tool/Commands.h"

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"init", "init [--profile NAME] [--force]   make the machine from a profile", RunInitCommand},
    {"info", "info                               the machine's folder and profile (made when missing)",
     RunInfoCommand},
    {"events", "events                             print the machine's events.jsonl", RunEventsCommand},
    {"reg", "reg get|set|delete|list ...       read and change the registry (64-bit view)", RunRegCommand},
    {"host", "host [mode MODE|answer METHOD HOW|set KEY VALUE]  the plug-in host's state and registration",
     RunHostCommand},
    {"feature", "feature [NAME [OPTION VALUE]...]   a feature of the grid as the host keeps it",
     RunFeatureCommand},
    {"input", "input move X Y|click X Y|wheel N|key NAME  the running program's mouse and keyboard",
     RunInputCommand},
    {"screen", "screen FILE                        write the running program's screen to FILE (PNG)",
     RunScreenCommand},
    {"power", "power source|battery|remaining|status|monitor VALUE  the machine's power (power --help)",
     RunPowerCommand},
    {"audio", "audio [mute on|off|microphone present|absent]  the machine's microphone and its mute",
     RunAudioCommand},
    {"privacy", "privacy [form NAME|--state N ...]  the privacy monitoring the host reports",
     RunPrivacyCommand},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: flipdeck-machine COMMAND [ARGS]\n\n"
                      "The machine is the folder $FLIPDECK_MACHINE, else $XDG_DATA_HOME/flipdeckex/machine\n"
                      "(~/.local/share/flipdeckex/machine).\n\ncommands:\n");
    for (const auto& command : kCommands) {
        std::fprintf(out, "  %s\n", command.usage);
    }
    std::fprintf(out, "\n'flipdeck-machine COMMAND --help' tells more.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    for (const auto& command : kCommands) {
        if (std::strcmp(argv[1], command.name) == 0) {
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    std::fprintf(stderr, "flipdeck-machine: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
